// Every call is the wevtapi function of the same name, on the local session (a null session
// handle), with the buffers grown as the function asks.
#include "platform/win32/channel_service.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"
#include "platform/win32/wide.h"

namespace qb::win32 {
namespace {

using platform::ErrorCode;
using platform::EvtValue;
using platform::Handle;

// Past this a buffer the API asks for is taken as a fault, not grown.
constexpr DWORD kMaxBuffer = 64u << 20;
// A size can be asked for again when the data grew in between: a few rounds, then give up.
constexpr int kGrowthRounds = 4;

EvtHandle Evt(Handle handle) {
  return FromHandle<EvtHandle>(handle);
}

// A zero-terminated copy, or nullptr for an empty text where the API takes "none".
struct OptionalText {
  explicit OptionalText(std::u16string_view text) : value(Terminated(text)), empty(text.empty()) {}
  const wchar_t* get() const { return empty ? nullptr : value.c_str(); }
  std::wstring value;
  bool empty;
};

std::u16string AnsiToText(std::string_view text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return {};
  }
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
  return FromWide(wide);
}

std::string TextToAnsi(std::u16string_view text) {
  const std::wstring wide = Terminated(text);
  if (wide.empty() || wide.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return {};
  }
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string ansi(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), size, ansi.data(), length, nullptr, nullptr);
  return ansi;
}

// A buffer of variants, aligned as they must be.
class VariantBuffer {
 public:
  explicit VariantBuffer(DWORD bytes = 512) { Resize(bytes); }
  void Resize(DWORD bytes) {
    storage_.resize((bytes + sizeof(EvtVariant) - 1) / sizeof(EvtVariant));
  }
  DWORD bytes() const { return static_cast<DWORD>(storage_.size() * sizeof(EvtVariant)); }
  EvtVariant* data() { return storage_.data(); }
  std::span<std::byte> span() {
    return {reinterpret_cast<std::byte*>(storage_.data()), storage_.size() * sizeof(EvtVariant)};
  }

 private:
  std::vector<EvtVariant> storage_;
};

// Calls `call(size, used)` while it fails with ERROR_INSUFFICIENT_BUFFER and asks for more
// than `size`; `grow(needed)` makes the buffer that large. ERROR_SUCCESS, or the call's error.
template <class Call, class Grow>
ErrorCode Growing(DWORD size, Call call, Grow grow) {
  for (int round = 0; round < kGrowthRounds; ++round) {
    DWORD used = 0;
    if (call(size, used)) return ERROR_SUCCESS;
    const ErrorCode error = LastError();
    if (error != ERROR_INSUFFICIENT_BUFFER || used <= size || used > kMaxBuffer) return error;
    size = used;
    grow(size);
  }
  return ERROR_INSUFFICIENT_BUFFER;
}

// A single variant that an EvtGet*Property function writes.
template <class Call>
ErrorCode GetProperty(Call call, EvtValue& value) {
  value = EvtValue{};
  VariantBuffer buffer;
  const ErrorCode error = Growing(
      buffer.bytes(),
      [&](DWORD, DWORD& used) { return call(buffer.bytes(), buffer.data(), &used); },
      [&](DWORD needed) { buffer.Resize(needed); });
  if (error != ERROR_SUCCESS) return error;
  return FromVariant(*buffer.data(), &AnsiToText, value);
}

// Text a function wrote into `buffer`, `used` characters with the terminator (or terminators:
// a keyword list ends in two).
std::u16string Written(const std::wstring& buffer, DWORD used) {
  std::size_t length = std::min<std::size_t>(used, buffer.size());
  while (length > 0 && buffer[length - 1] == L'\0') --length;
  return FromWide(buffer.data(), length);
}

bool PartialText(ErrorCode error) {
  return error == platform::err::kEvtUnresolvedValueInsert ||
         error == platform::err::kEvtUnresolvedParameterInsert ||
         error == platform::err::kEvtMaxInsertsReached;
}

ErrorCode HandleResult(EvtHandle opened, Handle& handle) {
  handle = ToHandle(opened);
  return opened != nullptr ? ERROR_SUCCESS : LastError();
}

}  // namespace

template <class Function>
ErrorCode Win32ChannelService::Proc(Function WevtapiProcs::*member, Function& function) {
  ErrorCode error = ERROR_SUCCESS;
  const WevtapiProcs* procs = library_.Get(error);
  if (procs == nullptr) return error;
  function = procs->*member;
  return function != nullptr ? ERROR_SUCCESS : ERROR_PROC_NOT_FOUND;
}

ErrorCode Win32ChannelService::OpenChannelEnum(Handle& channels) {
  channels = 0;
  wevtapi::OpenChannelEnum open = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::openChannelEnum, open)) return error;
  return HandleResult(open(nullptr, 0), channels);
}

ErrorCode Win32ChannelService::NextChannelPath(Handle channels, std::u16string& path) {
  path.clear();
  wevtapi::NextChannelPath next = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::nextChannelPath, next)) return error;
  std::wstring buffer(256, L'\0');
  DWORD written = 0;
  const ErrorCode error = Growing(
      static_cast<DWORD>(buffer.size()),
      [&](DWORD size, DWORD& used) {
        const BOOL ok = next(Evt(channels), size, buffer.data(), &used);
        written = used;
        return ok;
      },
      [&](DWORD needed) { buffer.resize(needed); });
  if (error == ERROR_SUCCESS) path = Written(buffer, written);
  return error;
}

ErrorCode Win32ChannelService::OpenChannelConfig(std::u16string_view channel, Handle& config) {
  config = 0;
  wevtapi::OpenChannelConfig open = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::openChannelConfig, open)) return error;
  return HandleResult(open(nullptr, Terminated(channel).c_str(), 0), config);
}

ErrorCode Win32ChannelService::GetChannelConfigProperty(Handle config,
                                                        platform::EvtChannelConfig id,
                                                        EvtValue& value) {
  value = EvtValue{};
  wevtapi::GetChannelConfigProperty get = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::getChannelConfigProperty, get)) return error;
  return GetProperty(
      [&](DWORD size, EvtVariant* buffer, DWORD* used) {
        return get(Evt(config), static_cast<DWORD>(id), 0, size, buffer, used);
      },
      value);
}

ErrorCode Win32ChannelService::SetChannelConfigProperty(Handle config,
                                                        platform::EvtChannelConfig id,
                                                        const EvtValue& value) {
  wevtapi::SetChannelConfigProperty set = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::setChannelConfigProperty, set)) return error;
  const std::span<const EvtValue> one(&value, 1);
  VariantBuffer buffer(static_cast<DWORD>(PackVariants(one, &TextToAnsi, {})));
  PackVariants(one, &TextToAnsi, buffer.span());
  return Result(set(Evt(config), static_cast<DWORD>(id), 0, buffer.data()));
}

ErrorCode Win32ChannelService::SaveChannelConfig(Handle config) {
  wevtapi::SaveChannelConfig save = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::saveChannelConfig, save)) return error;
  return Result(save(Evt(config), 0));
}

ErrorCode Win32ChannelService::Query(std::u16string_view path, std::u16string_view query,
                                     std::uint32_t flags, Handle& results) {
  results = 0;
  wevtapi::Query open = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::query, open)) return error;
  // An empty query goes as it is: the API refuses it, where a null one would select all.
  return HandleResult(open(nullptr, Terminated(path).c_str(), Terminated(query).c_str(), flags),
                      results);
}

ErrorCode Win32ChannelService::Next(Handle results, std::span<Handle> events,
                                    std::uint32_t& returned) {
  returned = 0;
  wevtapi::Next next = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::next, next)) return error;
  std::vector<EvtHandle> batch(events.size(), nullptr);
  DWORD count = 0;
  if (!next(Evt(results), static_cast<DWORD>(batch.size()), batch.data(), INFINITE, 0, &count)) {
    return LastError();
  }
  returned = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(events.size()));
  for (std::uint32_t i = 0; i < returned; ++i) events[i] = ToHandle(batch[i]);
  return ERROR_SUCCESS;
}

ErrorCode Win32ChannelService::CreateRenderContext(std::uint32_t flags, Handle& context) {
  context = 0;
  wevtapi::CreateRenderContext create = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::createRenderContext, create)) return error;
  return HandleResult(create(0, nullptr, flags), context);
}

ErrorCode Win32ChannelService::RenderValues(Handle context, Handle event,
                                            std::vector<EvtValue>& values) {
  values.clear();
  wevtapi::Render render = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::render, render)) return error;
  VariantBuffer buffer(2048);
  DWORD written = 0;
  DWORD count = 0;
  const ErrorCode error = Growing(
      buffer.bytes(),
      [&](DWORD size, DWORD& used) {
        const BOOL ok = render(Evt(context), Evt(event), evtrender::kValues, size, buffer.data(),
                               &used, &count);
        written = used;
        return ok;
      },
      [&](DWORD needed) { buffer.Resize(needed); });
  if (error != ERROR_SUCCESS) return error;
  // Never more variants than the bytes written hold.
  count = std::min<DWORD>(count, std::min(written, buffer.bytes()) / sizeof(EvtVariant));
  values.resize(count);
  for (DWORD i = 0; i < count; ++i) {
    // A value of a type this code does not know stays null; the others are still worth having.
    if (FromVariant(buffer.data()[i], &AnsiToText, values[i]) != ERROR_SUCCESS) {
      values[i] = EvtValue{};
    }
  }
  return ERROR_SUCCESS;
}

ErrorCode Win32ChannelService::RenderXml(Handle event, std::u16string& xml) {
  xml.clear();
  wevtapi::Render render = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::render, render)) return error;
  // Sizes in bytes, though the text is wide.
  std::wstring buffer(4096, L'\0');
  DWORD written = 0;
  const ErrorCode error = Growing(
      static_cast<DWORD>(buffer.size() * sizeof(wchar_t)),
      [&](DWORD size, DWORD& used) {
        DWORD properties = 0;
        const BOOL ok =
            render(nullptr, Evt(event), evtrender::kXml, size, buffer.data(), &used, &properties);
        written = used;
        return ok;
      },
      [&](DWORD needed) { buffer.resize((needed + sizeof(wchar_t) - 1) / sizeof(wchar_t)); });
  if (error == ERROR_SUCCESS) xml = Written(buffer, written / sizeof(wchar_t));
  return error;
}

ErrorCode Win32ChannelService::OpenPublisherMetadata(std::u16string_view publisher,
                                                     Handle& metadata) {
  metadata = 0;
  wevtapi::OpenPublisherMetadata open = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::openPublisherMetadata, open)) return error;
  return HandleResult(open(nullptr, Terminated(publisher).c_str(), nullptr, 0, 0), metadata);
}

ErrorCode Win32ChannelService::FormatMessage(Handle metadata, Handle event, std::uint32_t flags,
                                             std::u16string& text) {
  text.clear();
  wevtapi::FormatMessage format = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::formatMessage, format)) return error;
  std::wstring buffer(512, L'\0');
  DWORD written = 0;
  const auto call = [&](DWORD size, DWORD& used) {
    const BOOL ok =
        format(Evt(metadata), Evt(event), 0, 0, nullptr, flags, size, buffer.data(), &used);
    written = used;
    return ok;
  };
  const ErrorCode error = Growing(static_cast<DWORD>(buffer.size()), call,
                                  [&](DWORD needed) { buffer.resize(needed); });
  // A text with inserts left unresolved is written all the same, and kept.
  if (error == ERROR_SUCCESS || PartialText(error)) text = Written(buffer, written);
  return error;
}

ErrorCode Win32ChannelService::OpenLog(std::u16string_view path, std::uint32_t flags, Handle& log) {
  log = 0;
  wevtapi::OpenLog open = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::openLog, open)) return error;
  return HandleResult(open(nullptr, Terminated(path).c_str(), flags), log);
}

ErrorCode Win32ChannelService::GetLogInfo(Handle log, platform::EvtLogProperty id,
                                          EvtValue& value) {
  value = EvtValue{};
  wevtapi::GetLogInfo get = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::getLogInfo, get)) return error;
  return GetProperty(
      [&](DWORD size, EvtVariant* buffer, DWORD* used) {
        return get(Evt(log), static_cast<DWORD>(id), size, buffer, used);
      },
      value);
}

ErrorCode Win32ChannelService::ClearLog(std::u16string_view channel,
                                        std::u16string_view backupPath) {
  wevtapi::ClearLog clear = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::clearLog, clear)) return error;
  const OptionalText backup(backupPath);
  return Result(clear(nullptr, Terminated(channel).c_str(), backup.get(), 0));
}

ErrorCode Win32ChannelService::ExportLog(std::u16string_view path, std::u16string_view query,
                                         std::u16string_view targetPath, std::uint32_t flags) {
  wevtapi::ExportLog exportLog = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::exportLog, exportLog)) return error;
  return Result(exportLog(nullptr, Terminated(path).c_str(), Terminated(query).c_str(),
                          Terminated(targetPath).c_str(), flags));
}

ErrorCode Win32ChannelService::Close(Handle handle) {
  wevtapi::Close close = nullptr;
  if (const ErrorCode error = Proc(&WevtapiProcs::close, close)) return error;
  return Result(close(Evt(handle)));
}

}  // namespace qb::win32
