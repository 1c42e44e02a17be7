// Custom columns: account, category, event code and description.
#include <cstring>

#include "dialogs/record_fields.h"
#include "plugin/column_text.h"
#include "plugin/export_call.h"
#include "plugin/exports.h"
#include "plugin/host_text.h"
#include "plugin/plugin_state.h"
#include "plugin/record_name.h"
#include "plugin/record_text.h"

namespace {

using namespace qb;

struct Field {
  const char* name;
  int type;
};
constexpr Field kFields[] = {{"Account", fs::ft_stringw},
                             {"Category", fs::ft_stringw},
                             {"Code", fs::ft_numeric_32},
                             {"Description", fs::ft_stringw}};

// The listing a column value belongs to: a listing, or a clear made through the plugin since,
// makes what was read before stale.
std::uint64_t ListingKey() {
  auto& state = plugin::State();
  return state.findRecord->frSerial ^ (state.eventLog->Clears() * 0x9E3779B97F4A7C15ull);
}

// The record behind a text column. The reading, the account lookup and the formatting happen
// with the plugin's lock let go: the main thread never waits for a column.
const TFWEventLogRecord* CachedRecord(const plugin::RemoteRecord& name, plugin::StateLock& lock) {
  auto& state = plugin::State();
  const std::int32_t index = LogIndexOf(*state.eventLog, name.logName);
  if (index == 0) return nullptr;
  const std::uint64_t listing = ListingKey();
  plugin::ColumnCache& cache = plugin::ThreadsColumnCache();
  if (cache.valid && cache.listing == listing && cache.log == index &&
      cache.number == name.number) {
    return &cache.record;
  }
  cache.valid = false;
  plugin::ColumnReader& reader = *state.columns;
  const std::uint64_t load = plugin::LoadCount();
  bool read = false;
  TFWEventLogRecord record;
  {
    // Begun under the lock: an unload meanwhile leaves the reader alive for this thread.
    const plugin::ColumnReader::Use use(reader);
    lock.unlock();
    read = reader.Fetch(index, listing, name.number, record);
  }
  lock.lock();
  // Unloaded (and perhaps loaded again) meanwhile: the state this call began with is gone.
  if (!plugin::IsLoaded() || plugin::LoadCount() != load) return nullptr;
  if (!read) return nullptr;
  // The state is the one this call began with: the cache is still where it was.
  cache = plugin::ColumnCache{true, listing, index, name.number, std::move(record)};
  return &cache.record;
}

// The event code from the listing when the name lies in the listed folder.
std::optional<std::uint32_t> EventCode(const plugin::RemoteRecord& name) {
  auto& find = *plugin::State().findRecord;
  if (!find.frIsRoot && find.frPath == name.logName) {
    const auto index = find.frEventList.Find(name.number);
    if (!index) return std::nullopt;
    return find.frEventList[*index].fiSize;
  }
  // Another log than the listed one: the record itself tells, read without its account or
  // message text by the columns' log object, or, while another thread uses that, by a seek
  // read of its own. The listed log stays open as it is.
  auto& state = plugin::State();
  const std::int32_t index = LogIndexOf(*state.eventLog, name.logName);
  if (index == 0) return std::nullopt;
  std::optional<std::uint32_t> code;
  if (state.columns->TryEventCode(index, ListingKey(), name.number, code)) return code;
  return state.eventLog->ReadEventCode(index, name.number);
}

int GetValue(const std::u16string& fileName, int fieldIndex, void* fieldValue, int maxlen,
             int flags, plugin::StateLock& lock) {
  auto& state = plugin::State();
  if (state.findRecord->frIsRoot) {
    plugin::ThreadsColumnCache() = plugin::ColumnCache{};
    return fs::ft_fieldempty;
  }
  if (fieldIndex < 0 || fieldIndex > 3) return fs::ft_fieldempty;
  const auto name = plugin::ExtractRecordNumber(fileName);
  if (!name) return fs::ft_fieldempty;
  if (fieldIndex == 2) {
    const auto code = EventCode(*name);
    if (!code || maxlen < static_cast<int>(sizeof(std::int32_t))) return fs::ft_fieldempty;
    const auto value = static_cast<std::int32_t>(*code);
    std::memcpy(fieldValue, &value, sizeof(value));
    return fs::ft_numeric_32;
  }
  if (flags & fs::CONTENT_DELAYIFSLOW) return fs::ft_delayed;
  const int limit = maxlen / 2 - 1;
  if (limit < 0) return fs::ft_fieldempty;
  const TFWEventLogRecord* record = CachedRecord(*name, lock);
  if (record == nullptr) return fs::ft_fieldempty;
  std::u16string text;
  switch (fieldIndex) {
    case 0:
      text = UserText(*state.language, *record);
      break;
    case 1:
      text = record->Category;
      break;
    default:
      text = plugin::FlattenDescription(record->Description);
      break;
  }
  text = plugin::TruncateWithEllipsis(text, static_cast<std::size_t>(limit));
  plugin::CopyToHost(static_cast<fs::WCHAR*>(fieldValue), static_cast<std::size_t>(limit) + 1,
                     text);
  return fs::ft_stringw;
}

std::u16string ViewText(std::initializer_list<std::u16string_view> parts, std::u16string_view head,
                        std::u16string_view tail) {
  // The host separates columns with the two characters backslash and n.
  std::u16string text;
  for (const auto part : parts) {
    if (!text.empty()) text += u"\\n";
    text += std::u16string(head) + std::u16string(part) + std::u16string(tail);
  }
  return text;
}

}  // namespace

extern "C" int QB_STDCALL FsContentGetSupportedField(int FieldIndex, char* FieldName, char* Units,
                                                     int maxlen) {
  if (Units != nullptr && maxlen > 0) Units[0] = '\0';
  if (FieldIndex < 0 || FieldIndex > 3) return fs::ft_nomorefields;
  if (FieldName != nullptr && maxlen > 0) {
    const std::size_t n =
        std::min(std::strlen(kFields[FieldIndex].name), static_cast<std::size_t>(maxlen) - 1);
    std::memcpy(FieldName, kFields[FieldIndex].name, n);
    FieldName[n] = '\0';
  }
  return kFields[FieldIndex].type;
}

extern "C" fs::BOOL QB_STDCALL FsContentGetDefaultViewW(fs::WCHAR* ViewContents,
                                                        fs::WCHAR* ViewHeaders,
                                                        fs::WCHAR* ViewWidths,
                                                        fs::WCHAR* ViewOptions, int maxlen) {
  try {
    const plugin::ExportCall call;
    if (!call || maxlen <= 0) return fs::kFalse;
    const plugin::StateLock lock;
    const auto& lng = *plugin::State().language;
    const auto size = static_cast<std::size_t>(maxlen);
    plugin::CopyToHost(
        ViewContents, size,
        u"[=tc.writedate]\\n" +
            ViewText({u"Account", u"Category", u"Code", u"Description"}, u"[=<fs>.", u"]"));
    std::u16string headers;
    for (std::uint16_t id = 120; id <= 124; ++id) {
      if (id != 120) headers += u"\\n";
      headers += lng.GetLocaleString(id);
    }
    plugin::CopyToHost(ViewHeaders, size, headers);
    plugin::CopyToHost(ViewWidths, size, u"130,38,60,50,60,30,200");
    plugin::CopyToHost(ViewOptions, size, u"-1|1");
    return fs::kTrue;
  } catch (...) {
    return fs::kFalse;
  }
}

extern "C" fs::BOOL QB_STDCALL FsContentGetDefaultView(char* ViewContents, char* ViewHeaders,
                                                       char* ViewWidths, char* ViewOptions,
                                                       int maxlen) {
  try {
    if (maxlen <= 0) return fs::kFalse;
    const auto size = static_cast<std::size_t>(maxlen);
    std::u16string texts[4];
    for (auto& t : texts) t.assign(size, u'\0');
    const fs::BOOL result = FsContentGetDefaultViewW(texts[0].data(), texts[1].data(),
                                                     texts[2].data(), texts[3].data(), maxlen);
    char* const targets[4] = {ViewContents, ViewHeaders, ViewWidths, ViewOptions};
    for (int i = 0; i < 4; ++i) {
      plugin::CopyToHostAnsi(targets[i], size, std::u16string_view(texts[i].c_str()));
    }
    return result;
  } catch (...) {
    return fs::kFalse;
  }
}

extern "C" int QB_STDCALL FsContentGetValueW(fs::WCHAR* FileName, int FieldIndex, int,
                                             void* FieldValue, int maxlen, int flags) {
  try {
    const plugin::ExportCall call;
    if (!call || FileName == nullptr || FieldValue == nullptr) return fs::ft_fieldempty;
    plugin::StateLock lock;
    return GetValue(plugin::RemotePath(plugin::FromHost(FileName)), FieldIndex, FieldValue, maxlen,
                    flags, lock);
  } catch (...) {
    return fs::ft_fieldempty;
  }
}

extern "C" int QB_STDCALL FsContentGetValue(char*, int, int, void*, int, int) {
  return fs::ft_fieldempty;
}
