#include "wfxhost/columns.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "wfxhost/formatting.h"
#include "wfxhost/text_codec.h"

namespace qb::wfxhost {
namespace {

// Field names, units and view strings: the host's buffer sizes.
constexpr int kNameBufferSize = 260;
constexpr int kViewBufferSize = 2048;
// A plugin that never answers ft_nomorefields must not hang the host.
constexpr int kMaxFields = 1000;

template <typename T>
T Read(std::span<const std::byte> buffer) {
  T value{};
  std::memcpy(&value, buffer.data(), std::min(sizeof(T), buffer.size()));
  return value;
}

std::string TwoDigits(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02u", value % 100);
  return text;
}

}  // namespace

std::vector<Field> SupportedFields(const host::PluginExports& api) {
  std::vector<Field> fields;
  if (!api.FsContentGetSupportedField) return fields;
  for (int index = 0; index < kMaxFields; ++index) {
    std::array<char, kNameBufferSize> name{}, units{};
    const int type =
        api.FsContentGetSupportedField(index, name.data(), units.data(), kNameBufferSize);
    if (type == fs::ft_nomorefields) break;
    fields.push_back({index, FromBuffer(name.data(), name.size()),
                      FromBuffer(units.data(), units.size()), type});
  }
  return fields;
}

std::optional<DefaultView> GetDefaultView(const host::PluginExports& api) {
  if (!api.FsContentGetDefaultViewW) return std::nullopt;
  std::vector<fs::WCHAR> contents(kViewBufferSize), headers(kViewBufferSize),
      widths(kViewBufferSize), options(kViewBufferSize);
  if (api.FsContentGetDefaultViewW(contents.data(), headers.data(), widths.data(), options.data(),
                                   kViewBufferSize) == fs::kFalse) {
    return std::nullopt;
  }
  const auto text = [](const std::vector<fs::WCHAR>& buffer) {
    return ToUtf8(FromBuffer(buffer.data(), buffer.size()));
  };
  return DefaultView{text(contents), text(headers), text(widths), text(options)};
}

std::string ValueText(int result, std::span<const std::byte> buffer) {
  switch (result) {
    case fs::ft_numeric_32:
      return std::to_string(Read<std::int32_t>(buffer));
    case fs::ft_numeric_64:
      return std::to_string(Read<std::int64_t>(buffer));
    case fs::ft_numeric_floating: {
      char text[64];
      std::snprintf(text, sizeof text, "%g", Read<double>(buffer));
      return text;
    }
    case fs::ft_date: {
      const auto date = Read<std::array<std::uint16_t, 3>>(buffer);  // year, month, day
      return std::to_string(date[0]) + "-" + TwoDigits(date[1]) + "-" + TwoDigits(date[2]);
    }
    case fs::ft_time: {
      const auto time = Read<std::array<std::uint16_t, 3>>(buffer);  // hour, minute, second
      return TwoDigits(time[0]) + ":" + TwoDigits(time[1]) + ":" + TwoDigits(time[2]);
    }
    case fs::ft_boolean:
      return Read<std::int32_t>(buffer) != 0 ? "true" : "false";
    case fs::ft_multiplechoice:
    case fs::ft_string:
    case fs::ft_fulltext:
      return FromBuffer(reinterpret_cast<const char*>(buffer.data()), buffer.size());
    case fs::ft_stringw: {
      std::u16string text(buffer.size() / 2, u'\0');
      std::memcpy(text.data(), buffer.data(), text.size() * 2);
      return ToUtf8(FromBuffer(text.data(), text.size()));
    }
    case fs::ft_datetime:
      return FileTimeText(Read<fs::FILETIME>(buffer));
    case fs::ft_fieldempty:
      return "";
    case fs::ft_delayed:
      // Only asked for without CONTENT_DELAYIFSLOW, where a plugin must not delay.
      return "<delayed again>";
    default:
      return "<" + FieldTypeName(result) + ">";
  }
}

ColumnFetcher::ColumnFetcher(const host::PluginExports& api, std::vector<Field> fields)
    : api_(api), fields_(std::move(fields)), worker_([this] { Work(); }) {}

ColumnFetcher::~ColumnFetcher() {
  {
    std::lock_guard lock(mutex_);
    finishing_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

std::string ColumnFetcher::Fetch(const std::u16string& remoteName, const Field& field, int flags,
                                 int& result) {
  if (!api_.FsContentGetValueW) {
    result = fs::ft_nosuchfield;
    return "<no FsContentGetValueW>";
  }
  std::vector<fs::WCHAR> name(std::max<std::size_t>(fs::kMaxPath, remoteName.size() + 1), 0);
  std::copy(remoteName.begin(), remoteName.end(), name.begin());
  alignas(8) std::array<std::byte, kValueBufferSize> value{};
  result =
      api_.FsContentGetValueW(name.data(), field.index, 0, value.data(), kValueBufferSize, flags);
  return ValueText(result, value);
}

void ColumnFetcher::Request(const std::u16string& remoteName) {
  std::vector<std::string> row(fields_.size());
  std::vector<std::size_t> delayed;
  for (std::size_t column = 0; column < fields_.size(); ++column) {
    int result = 0;
    row[column] = Fetch(remoteName, fields_[column], fs::CONTENT_DELAYIFSLOW, result);
    if (result == fs::ft_delayed) {
      row[column] = "<pending>";
      delayed.push_back(column);
    }
  }
  {
    std::lock_guard lock(mutex_);
    const std::size_t index = rows_.size();
    rows_.push_back(std::move(row));
    stats_.immediate += fields_.size() - delayed.size();
    for (const std::size_t column : delayed) jobs_.push_back({index, column, remoteName});
  }
  if (!delayed.empty()) wake_.notify_one();
}

void ColumnFetcher::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return finishing_ || !jobs_.empty(); });
    if (jobs_.empty()) return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    int result = 0;
    std::string text = Fetch(job.remoteName, fields_[job.column], 0, result);
    const bool offThread = std::this_thread::get_id() != requester_;
    lock.lock();
    rows_[job.row][job.column] = std::move(text);
    ++stats_.delayed;
    stats_.delayedOffThread = stats_.delayedOffThread && offThread;
  }
}

std::vector<std::vector<std::string>> ColumnFetcher::Finish() {
  {
    std::lock_guard lock(mutex_);
    finishing_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
  std::lock_guard lock(mutex_);
  return rows_;
}

ColumnFetcher::Stats ColumnFetcher::stats() const {
  std::lock_guard lock(mutex_);
  return stats_;
}

}  // namespace qb::wfxhost
