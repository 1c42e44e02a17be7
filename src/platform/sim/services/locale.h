// Simulated locale and time: en-US rules, a selectable ANSI code page and a fixed offset
// between UTC and local time.
#pragma once

#include <atomic>

#include "platform/locale.h"
#include "platform/sim/formats/codepage.h"

namespace qb::sim {

class SimLocale final : public platform::ILocale {
 public:
  void SetAnsiCodePage(unsigned codePage) { codePage_ = codePage; }
  unsigned AnsiCodePage() const { return codePage_; }
  // Local time = UTC + offset.
  void SetUtcOffsetMinutes(int minutes) { offsetMinutes_ = minutes; }
  int UtcOffsetMinutes() const { return offsetMinutes_; }
  void SetThousandSeparator(std::u16string separator);

  std::u16string AnsiToWide(std::string_view text) override;
  std::string WideToAnsi(std::u16string_view text) override;
  std::u16string ToLower(std::u16string_view text) override;
  int CompareNoCase(std::u16string_view a, std::u16string_view b) override;
  bool LanguageName(std::uint32_t lcid, std::u16string& name) override;
  std::u16string FormatShortDate(const platform::SystemTime& time) override;
  std::u16string FormatLongTime(const platform::SystemTime& time) override;
  std::u16string ThousandSeparator() override;
  bool FileTimeToLocal(platform::FileTime utc, platform::FileTime& local) override;
  bool LocalToFileTime(platform::FileTime local, platform::FileTime& utc) override;

  // Counts calls of ToLower, to check hot paths do not lower-case per item.
  std::size_t ToLowerCalls() const { return toLowerCalls_; }

 private:
  std::atomic<unsigned> codePage_{kCp1252};
  std::atomic<int> offsetMinutes_{0};
  std::u16string thousand_ = u",";
  std::atomic<std::size_t> toLowerCalls_{0};
};

}  // namespace qb::sim
