#include "generator.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "modern_machine.h"
#include "platform/sim/formats/event_record.h"
#include "platform/sim/services/accounts.h"
#include "random.h"
#include "util/text.h"

namespace qb::samplegen {
namespace {

namespace fs = std::filesystem;

// Lists may name lists; the description is checked against cycles, this only bounds the work.
constexpr int kMaxListDepth = 16;

struct Calendar {
  std::int64_t year;
  unsigned month, day, hour, minute, second;
};

// Seconds since 1970 as a civil date and time (the proleptic Gregorian calendar).
Calendar CalendarOf(std::int64_t seconds) {
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const auto day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
  const auto month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return {year,
          month,
          day,
          static_cast<unsigned>(rest / 3600),
          static_cast<unsigned>(rest / 60 % 60),
          static_cast<unsigned>(rest % 60)};
}

std::string HexDigits(std::uint64_t value, std::size_t digits, bool upper) {
  const char* alphabet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string text(digits, '0');
  for (std::size_t i = digits; i-- > 0; value >>= 4) text[i] = alphabet[value & 0xF];
  return text;
}

std::string TwoDigits(unsigned value) {
  return std::string(1, static_cast<char>('0' + value / 10 % 10)) +
         static_cast<char>('0' + value % 10);
}

class LogWriter {
 public:
  LogWriter(const Description& description, const LogDescription& log)
      : d_(description),
        log_(log),
        random_(description.seed ^ HashName(log.name.data(), log.name.size())) {
    for (const auto& source : log.sources) {
      for (const auto& event : source.events) {
        if (event.weight == 0) continue;
        totalWeight_ += event.weight;
        choices_.push_back({totalWeight_, &source, &event});
      }
    }
  }

  std::vector<GeneratedEvent> Run() {
    std::vector<GeneratedEvent> out;
    std::uint64_t time = d_.start;
    for (std::uint32_t i = 0; i < log_.records; ++i) {
      if (i > 0) time += random_.Between(log_.gap.low, log_.gap.high);
      const Choice& choice = Pick();
      const EventDescription& event = *choice.event;

      GeneratedEvent generated;
      generated.source = choice.source;
      generated.event = choice.event;
      generated.recordNumber = log_.firstNumber + i;
      generated.timeGenerated = static_cast<std::uint32_t>(time);
      // Now and then the service writes a record a second after it was reported.
      generated.timeWritten = generated.timeGenerated + (random_.Below(16) == 0 ? 1 : 0);
      generated.category =
          static_cast<std::uint16_t>(random_.Between(event.category.low, event.category.high));

      Context context;
      context.time = time;
      context.user = PickAccount(event.userGroups);
      context.other = PickAccount(event.otherGroups);
      const Account* sidAccount = nullptr;
      if (event.sid == EventDescription::Sid::kUser) sidAccount = context.user;
      if (event.sid == EventDescription::Sid::kOther) sidAccount = context.other;
      if (event.sid == EventDescription::Sid::kGroups) sidAccount = PickAccount(event.sidGroups);
      if (sidAccount != nullptr) {
        generated.sid = sim::SimAccounts::SidFromString(util::Utf8ToUtf16(sidAccount->sid));
      }
      for (const auto& insert : event.inserts) {
        generated.strings.push_back(util::Utf8ToUtf16(Expand(insert, context, 0)));
      }
      const auto size =
          event.dataSizes[static_cast<std::size_t>(random_.Below(event.dataSizes.size()))];
      generated.data.resize(size);
      for (auto& b : generated.data) b = static_cast<std::byte>(random_.Next() & 0xFF);
      out.push_back(std::move(generated));
    }
    return out;
  }

 private:
  struct Choice {
    std::uint64_t cumulativeWeight;
    const SourceDescription* source;
    const EventDescription* event;
  };
  struct Context {
    std::uint64_t time = 0;
    const Account* user = nullptr;
    const Account* other = nullptr;
  };

  const Choice& Pick() {
    const std::uint64_t r = random_.Below(totalWeight_);
    return *std::upper_bound(
        choices_.begin(), choices_.end(), r,
        [](std::uint64_t value, const Choice& c) { return value < c.cumulativeWeight; });
  }

  const Account* PickAccount(const std::vector<std::string>& groups) {
    if (groups.empty()) return nullptr;
    std::vector<const Account*> candidates;
    for (const auto& account : d_.accounts) {
      if (std::find(groups.begin(), groups.end(), account.group) != groups.end()) {
        candidates.push_back(&account);
      }
    }
    // The description is checked to have an account in every group it names.
    return candidates[static_cast<std::size_t>(random_.Below(candidates.size()))];
  }

  std::string Expand(const Template& item, const Context& context, int depth) {
    std::string text;
    for (const auto& piece : item) text += ExpandPiece(piece, context, depth);
    return text;
  }

  std::string ExpandPiece(const Piece& piece, const Context& context, int depth) {
    using K = Piece::Kind;
    switch (piece.kind) {
      case K::kText:
        return piece.text;
      case K::kList: {
        const auto& items = d_.lists.at(piece.text);
        if (items.empty() || depth >= kMaxListDepth) return {};
        return Expand(items[static_cast<std::size_t>(random_.Below(items.size()))], context,
                      depth + 1);
      }
      case K::kIp:
        return "192.168." + std::to_string(random_.Between(0, 3)) + "." +
               std::to_string(random_.Between(2, 254));
      case K::kMac: {
        std::string mac = "00-0C-29";
        for (int i = 0; i < 3; ++i) mac += "-" + HexDigits(random_.Below(256), 2, true);
        return mac;
      }
      case K::kNumber:
        return std::to_string(random_.Between(piece.range.low, piece.range.high));
      case K::kHex: {
        std::string hex;
        for (std::uint64_t left = piece.range.low; left > 0;
             left -= std::min<std::uint64_t>(left, 8)) {
          const std::size_t digits = static_cast<std::size_t>(std::min<std::uint64_t>(left, 8));
          hex += HexDigits(random_.Next(), digits, true);
        }
        return hex;
      }
      case K::kGuid: {
        const std::uint64_t a = random_.Next(), b = random_.Next();
        return "{" + HexDigits(a >> 32, 8, false) + "-" + HexDigits(a >> 16, 4, false) + "-" +
               HexDigits(a, 4, false) + "-" + HexDigits(b >> 48, 4, false) + "-" +
               HexDigits(b, 12, false) + "}";
      }
      case K::kCrLf:
        return "\r\n";
      case K::kTab:
        return "\t";
      case K::kBar:
        return "|";
      case K::kComputer:
        return d_.computer;
      case K::kDate: {
        const Calendar c =
            CalendarOf(static_cast<std::int64_t>(context.time) + d_.zoneMinutes * 60);
        return std::to_string(c.month) + "/" + std::to_string(c.day) + "/" + std::to_string(c.year);
      }
      case K::kTime: {
        const Calendar c =
            CalendarOf(static_cast<std::int64_t>(context.time) + d_.zoneMinutes * 60);
        const unsigned hour12 = c.hour % 12 == 0 ? 12 : c.hour % 12;
        return std::to_string(hour12) + ":" + TwoDigits(c.minute) + ":" + TwoDigits(c.second) +
               (c.hour < 12 ? " AM" : " PM");
      }
      case K::kUserName:
        return context.user ? context.user->name : std::string();
      case K::kUserDomain:
        return context.user ? context.user->domain : std::string();
      case K::kUserSid:
        return context.user ? context.user->sid : std::string();
      case K::kOtherName:
        return context.other ? context.other->name : std::string();
      case K::kOtherDomain:
        return context.other ? context.other->domain : std::string();
      case K::kOtherSid:
        return context.other ? context.other->sid : std::string();
    }
    return {};
  }

  const Description& d_;
  const LogDescription& log_;
  Random random_;
  std::vector<Choice> choices_;
  std::uint64_t totalWeight_ = 0;
};

std::string WriteFile(const fs::path& path, const platform::Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return "cannot write " + path.string();
  return {};
}

}  // namespace

std::vector<GeneratedEvent> GenerateEvents(const Description& description,
                                           const LogDescription& log) {
  return LogWriter(description, log).Run();
}

sim::EvtLog GenerateLog(const Description& description, const LogDescription& log) {
  sim::EvtLog out;
  out.maxSize = log.maxSize;
  out.retention = log.retention;
  out.oldestRecordNumber = log.records == 0 ? 0 : log.firstNumber;
  out.currentRecordNumber = log.firstNumber + log.records;
  const std::u16string computer = util::Utf8ToUtf16(description.computer);
  for (GeneratedEvent& event : GenerateEvents(description, log)) {
    sim::RecordFields contents;
    contents.recordNumber = event.recordNumber;
    contents.timeGenerated = event.timeGenerated;
    contents.timeWritten = event.timeWritten;
    contents.eventId = event.event->eventId;
    contents.eventType = event.event->eventType;
    contents.category = event.category;
    contents.source = util::Utf8ToUtf16(event.source->name);
    contents.computer = computer;
    contents.sid = std::move(event.sid);
    contents.strings = std::move(event.strings);
    contents.data = std::move(event.data);
    out.records.push_back(sim::BuildEventRecord(contents));
  }
  return out;
}

platform::Bytes GenerateEvtFile(const Description& description, const LogDescription& log) {
  sim::EvtWriteOptions options;
  options.startOffset = log.startOffset;
  options.dirtyStaleHeader = log.dirty;
  return sim::WriteEvtFile(GenerateLog(description, log), options);
}

std::string WriteMachineFolder(const Description& description, const fs::path& descriptionFolder,
                               const fs::path& out) {
  std::error_code error;
  if (!description.machineFolder.empty()) {
    const fs::path from = descriptionFolder / description.machineFolder;
    if (!fs::is_directory(from, error)) return from.string() + " is no folder";
    fs::create_directories(out, error);
    fs::copy(from, out, fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    if (error) return "cannot copy " + from.string() + ": " + error.message();
  }
  if (description.osMajor >= 6) return WriteModernMachine(description, out);
  const fs::path logs = out / "logs";
  fs::create_directories(logs, error);
  if (error) return "cannot create " + logs.string() + ": " + error.message();
  for (const auto& log : description.logs) {
    const platform::Bytes file = GenerateEvtFile(description, log);
    if (file.empty()) return "log " + log.name + " does not fit in an .evt file";
    if (auto problem = WriteFile(logs / (log.name + ".evt"), file); !problem.empty()) {
      return problem;
    }
  }
  return {};
}

}  // namespace qb::samplegen
