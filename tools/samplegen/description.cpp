#include "description.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "platform/sim/formats/wevt_manifest.h"
#include "platform/sim/services/accounts.h"
#include "util/text.h"

namespace qb::samplegen {
namespace {

// Raised inside the parser only; ParseDescription turns it into "line <n>: <what>".
struct Fault {
  std::string what;
};

[[noreturn]] void Fail(std::string what) {
  throw Fault{std::move(what)};
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

// The first whitespace-separated word, removed from `text`.
std::string_view TakeWord(std::string_view& text) {
  text = Trim(text);
  std::size_t end = 0;
  while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
  std::string_view word = text.substr(0, end);
  text = Trim(text.substr(end));
  return word;
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  while (!(text = Trim(text)).empty()) words.push_back(TakeWord(text));
  return words;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t pos = 0;
  while (true) {
    const std::size_t end = text.find(separator, pos);
    parts.push_back(Trim(text.substr(pos, end == std::string_view::npos ? end : end - pos)));
    if (end == std::string_view::npos) return parts;
    pos = end + 1;
  }
}

std::uint64_t Number(std::string_view text, std::string_view what,
                     std::uint64_t max = 0xFFFFFFFFu) {
  unsigned base = 10;
  std::string_view digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  if (digits.empty() || digits.size() > 20)
    Fail("bad " + std::string(what) + ": " + std::string(text));
  std::uint64_t value = 0;
  for (char c : digits) {
    unsigned digit = 16;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    if (digit >= base || value > (max - digit) / base) {
      Fail("bad " + std::string(what) + ": " + std::string(text));
    }
    value = value * base + digit;
  }
  return value;
}

// "<n>" or "<a>..<b>".
Range RangeOf(std::string_view text, std::string_view what) {
  const std::size_t dots = text.find("..");
  if (dots == std::string_view::npos) {
    const std::uint64_t v = Number(text, what);
    return {v, v};
  }
  Range range{Number(text.substr(0, dots), what), Number(text.substr(dots + 2), what)};
  if (range.high < range.low) Fail(std::string(what) + " range runs backwards");
  return range;
}

std::vector<std::string> Names(std::string_view text) {
  std::vector<std::string> names;
  for (std::string_view name : Split(text, ',')) {
    if (name.empty()) Fail("empty name in a list of groups");
    names.emplace_back(name);
  }
  return names;
}

Template ParseTemplate(std::string_view text) {
  static const std::map<std::string_view, Piece::Kind> kBuiltins = {
      {"ip", Piece::Kind::kIp},
      {"mac", Piece::Kind::kMac},
      {"guid", Piece::Kind::kGuid},
      {"crlf", Piece::Kind::kCrLf},
      {"tab", Piece::Kind::kTab},
      {"bar", Piece::Kind::kBar},
      {"computer", Piece::Kind::kComputer},
      {"date", Piece::Kind::kDate},
      {"time", Piece::Kind::kTime},
      {"user.name", Piece::Kind::kUserName},
      {"user.domain", Piece::Kind::kUserDomain},
      {"user.sid", Piece::Kind::kUserSid},
      {"other.name", Piece::Kind::kOtherName},
      {"other.domain", Piece::Kind::kOtherDomain},
      {"other.sid", Piece::Kind::kOtherSid},
  };
  Template result;
  std::string literal;
  const auto flush = [&] {
    if (!literal.empty()) result.push_back(Piece{Piece::Kind::kText, std::move(literal), {}});
    literal.clear();
  };
  std::size_t i = 0;
  while (i < text.size()) {
    // "{{" and "}}" are literal braces; a lone "}" is one too.
    if ((text[i] == '{' || text[i] == '}') && i + 1 < text.size() && text[i + 1] == text[i]) {
      literal.push_back(text[i]);
      i += 2;
      continue;
    }
    if (text[i] != '{') {
      literal.push_back(text[i++]);
      continue;
    }
    const std::size_t close = text.find('}', i);
    if (close == std::string_view::npos) Fail("unclosed '{' in an insert");
    const std::string_view name = text.substr(i + 1, close - i - 1);
    i = close + 1;
    flush();
    Piece piece;
    const std::size_t colon = name.find(':');
    const std::string_view head = name.substr(0, colon);
    const std::string_view argument =
        colon == std::string_view::npos ? std::string_view() : name.substr(colon + 1);
    if (head == "number") {
      piece.kind = Piece::Kind::kNumber;
      piece.range = argument.empty() ? Range{0, 65535} : RangeOf(argument, "number range");
    } else if (head == "hex") {
      piece.kind = Piece::Kind::kHex;
      piece.range.low = argument.empty() ? 8 : Number(argument, "digit count", 16);
      if (piece.range.low == 0) Fail("{hex:0} gives nothing");
    } else if (auto builtin = kBuiltins.find(name); builtin != kBuiltins.end()) {
      piece.kind = builtin->second;
    } else if (!name.empty() && colon == std::string_view::npos) {
      piece.kind = Piece::Kind::kList;  // checked once every list is known
      piece.text = std::string(name);
    } else {
      Fail("unknown insert {" + std::string(name) + "}");
    }
    result.push_back(std::move(piece));
  }
  flush();
  return result;
}

// "2007-03-05 07:12:00" as seconds since 1970.
std::uint32_t ParseTime(std::string_view date, std::string_view time) {
  const auto fields = [&](std::string_view text, char separator, std::size_t count) {
    std::vector<std::uint64_t> values;
    for (std::string_view part : Split(text, separator)) values.push_back(Number(part, "time"));
    if (values.size() != count) Fail("bad time: " + std::string(date) + " " + std::string(time));
    return values;
  };
  const auto d = fields(date, '-', 3);
  const auto t = fields(time, ':', 3);
  if (d[0] < 1970 || d[0] > 2105 || d[1] < 1 || d[1] > 12 || d[2] < 1 || d[2] > 31 || t[0] > 23 ||
      t[1] > 59 || t[2] > 59) {
    Fail("time out of range");
  }
  // Days from the civil date (the proleptic Gregorian calendar).
  const auto y = static_cast<std::int64_t>(d[0]) - (d[1] <= 2 ? 1 : 0);
  const std::int64_t era = y / 400;
  const std::int64_t yoe = y - era * 400;
  const auto m = static_cast<std::int64_t>(d[1]);
  const std::int64_t doy =
      (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<std::int64_t>(d[2]) - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t days = era * 146097 + doe - 719468;
  const std::int64_t seconds =
      days * 86400 + static_cast<std::int64_t>(t[0] * 3600 + t[1] * 60 + t[2]);
  if (seconds < 0 || seconds > 0xFFFFFFFFll) Fail("time out of range");
  return static_cast<std::uint32_t>(seconds);
}

class Parser {
 public:
  Description Run(std::string_view text) {
    std::size_t pos = 0;
    while (pos <= text.size()) {
      std::size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      ++line_;
      Line(Trim(text.substr(pos, end - pos)));
      pos = end + 1;
    }
    Check();
    return std::move(d_);
  }

  int line() const { return line_; }

 private:
  void Line(std::string_view text) {
    if (text.empty() || text.front() == '#') return;
    std::string_view rest = text;
    const std::string_view keyword = TakeWord(rest);
    if (keyword == "seed") {
      d_.seed = Number(rest, "seed", ~std::uint64_t{0});
    } else if (keyword == "computer") {
      if (rest.empty()) Fail("computer needs a name");
      d_.computer = std::string(rest);
    } else if (keyword == "start") {
      const auto words = Words(rest);
      if (words.size() != 2) Fail("start needs a date and a time");
      d_.start = ParseTime(words[0], words[1]);
    } else if (keyword == "zone") {
      const bool negative = !rest.empty() && rest.front() == '-';
      const auto minutes =
          static_cast<int>(Number(negative ? rest.substr(1) : rest, "zone", 24 * 60));
      d_.zoneMinutes = negative ? -minutes : minutes;
    } else if (keyword == "machine") {
      if (rest.empty()) Fail("machine needs a folder");
      d_.machineFolder = std::string(rest);
    } else if (keyword == "list") {
      List(rest);
    } else if (keyword == "account") {
      AccountLine(rest);
    } else if (keyword == "log") {
      Log(rest);
    } else if (keyword == "source") {
      if (d_.logs.empty()) Fail("source outside a log");
      Source(rest);
    } else if (keyword == "event") {
      if (d_.logs.empty() || d_.logs.back().sources.empty()) Fail("event outside a source");
      Event(rest);
    } else if (keyword == "os") {
      d_.osMajor = static_cast<int>(Number(rest, "OS version", 99));
    } else if (keyword == "provider") {
      Provider(rest);
    } else if (keyword == "task" || keyword == "keyword") {
      if (d_.providers.empty()) Fail(std::string(keyword) + " outside a provider");
      auto& provider = d_.providers.back();
      ProviderItem item = Item(rest, keyword == "task" ? 0xFFFF : ~std::uint64_t{0});
      (keyword == "task" ? provider.tasks : provider.keywords).push_back(std::move(item));
    } else if (keyword == "text") {
      if (d_.logs.empty() || d_.logs.back().sources.empty() ||
          d_.logs.back().sources.back().events.empty()) {
        Fail("text outside an event");
      }
      auto& event = d_.logs.back().sources.back().events.back();
      if (event.text) Fail("the event has a text already");
      event.text = std::string(rest);
    } else {
      Fail("unknown keyword '" + std::string(keyword) + "'");
    }
  }

  void List(std::string_view rest) {
    const std::size_t equals = rest.find('=');
    if (equals == std::string_view::npos) Fail("list needs '='");
    const std::string name(Trim(rest.substr(0, equals)));
    if (name.empty() || name.find_first_of(" \t{}:") != std::string::npos) {
      Fail("bad list name '" + name + "'");
    }
    if (d_.lists.contains(name)) Fail("list '" + name + "' defined twice");
    listLines_[name] = line_;
    std::vector<Template> items;
    for (std::string_view item : Split(rest.substr(equals + 1), '|')) {
      items.push_back(ParseTemplate(item));
    }
    d_.lists.emplace(name, std::move(items));
  }

  void AccountLine(std::string_view rest) {
    Account account;
    account.group = std::string(TakeWord(rest));
    account.sid = std::string(TakeWord(rest));
    const std::size_t slash = rest.find('\\');
    if (account.group.empty() || slash == std::string_view::npos || slash == 0 ||
        slash + 1 == rest.size()) {
      Fail("account needs a group, a SID and DOMAIN\\name");
    }
    if (sim::SimAccounts::SidFromString(util::Utf8ToUtf16(account.sid)).empty()) {
      Fail("bad SID " + account.sid);
    }
    account.domain = std::string(rest.substr(0, slash));
    account.name = std::string(rest.substr(slash + 1));
    d_.accounts.push_back(std::move(account));
  }

  // A name that may have spaces, then attributes: words with '=' and the given flags.
  static std::pair<std::string, std::vector<std::string_view>> NameAndAttributes(
      std::string_view rest, std::initializer_list<std::string_view> flags) {
    std::vector<std::string_view> words = Words(rest);
    std::size_t first = words.size();
    while (first > 0 && (words[first - 1].find('=') != std::string_view::npos ||
                         std::find(flags.begin(), flags.end(), words[first - 1]) != flags.end())) {
      --first;
    }
    std::string name;
    for (std::size_t i = 0; i < first; ++i) name += (i > 0 ? " " : "") + std::string(words[i]);
    return {name, {words.begin() + static_cast<std::ptrdiff_t>(first), words.end()}};
  }

  void Source(std::string_view rest) {
    auto [name, attributes] = NameAndAttributes(rest, {"unregistered"});
    if (name.empty()) Fail("source needs a name");
    SourceDescription source{name, {}, true, {}};
    for (std::string_view word : attributes) {
      if (word == "unregistered") {
        source.registered = false;
        continue;
      }
      const auto [key, value] = Attribute(word);
      if (key != "messages") Fail("unknown source attribute '" + std::string(key) + "'");
      source.messageFile = std::string(value);
    }
    d_.logs.back().sources.push_back(std::move(source));
  }

  void Provider(std::string_view rest) {
    auto [name, attributes] = NameAndAttributes(rest, {"mui"});
    if (name.empty()) Fail("provider needs a name");
    if (d_.FindProvider(name) != nullptr) Fail("provider " + name + " described twice");
    ProviderDescription provider;
    provider.name = name;
    for (std::string_view word : attributes) {
      if (word == "mui") {
        provider.mui = true;
        continue;
      }
      const auto [key, value] = Attribute(word);
      if (key == "guid") {
        if (!sim::WevtGuid::Parse(util::Utf8ToUtf16(value))) {
          Fail("bad GUID " + std::string(value));
        }
        provider.guid = std::string(value);
      } else if (key == "library") {
        provider.library = std::string(value);
      } else if (key == "messages") {
        provider.messages = std::string(value);
      } else {
        Fail("unknown provider attribute '" + std::string(key) + "'");
      }
    }
    if (provider.guid.empty()) Fail("provider needs guid=");
    if (provider.messages.empty()) provider.messages = provider.library;
    if (provider.mui && provider.messages.empty()) Fail("mui needs a library");
    d_.providers.push_back(std::move(provider));
  }

  ProviderItem Item(std::string_view rest, std::uint64_t max) {
    ProviderItem item;
    const std::size_t colon = rest.find(':');
    if (colon != std::string_view::npos) item.text = std::string(Trim(rest.substr(colon + 1)));
    const auto words = Words(rest.substr(0, colon));
    if (words.size() != 2) Fail("a task or keyword needs a value and a name");
    item.value = Number(words[0], "value", max);
    item.name = std::string(words[1]);
    return item;
  }

  void Log(std::string_view rest) {
    LogDescription log;
    log.line = line_;
    log.name = std::string(TakeWord(rest));
    if (log.name.empty()) Fail("log needs a name");
    for (const auto& other : d_.logs) {
      if (util::EqualsNoCase(util::Utf8ToUtf16(other.name), util::Utf8ToUtf16(log.name))) {
        Fail("log " + log.name + " described twice");
      }
    }
    bool haveRecords = false, haveGap = false;
    for (std::string_view word : Words(rest)) {
      if (word == "dirty" || word == "channel" || word == "disabled") {
        log.dirty = log.dirty || word == "dirty";
        log.channel = log.channel || word == "channel";
        log.enabled = log.enabled && word != "disabled";
        continue;
      }
      const auto [key, value] = Attribute(word);
      if (key == "type") {
        if (value != "Admin" && value != "Operational" && value != "Analytic" && value != "Debug") {
          Fail("unknown channel type '" + std::string(value) + "'");
        }
        log.channelType = std::string(value);
      } else if (key == "owner") {
        log.owner = std::string(value);
      } else if (key == "records") {
        log.records = static_cast<std::uint32_t>(Number(value, "record count"));
        haveRecords = true;
      } else if (key == "gap") {
        log.gap = RangeOf(value, "gap");
        haveGap = true;
      } else if (key == "maxsize") {
        log.maxSize = static_cast<std::uint32_t>(Number(value, "maxsize"));
      } else if (key == "retention") {
        log.retention = static_cast<std::uint32_t>(Number(value, "retention"));
      } else if (key == "first") {
        log.firstNumber = static_cast<std::uint32_t>(Number(value, "first record number"));
        if (log.firstNumber == 0) Fail("record numbers start at 1");
      } else if (key == "offset") {
        log.startOffset = static_cast<std::uint32_t>(Number(value, "offset"));
      } else {
        Fail("unknown log attribute '" + std::string(key) + "'");
      }
    }
    if (!haveRecords || !haveGap) Fail("log needs records= and gap=");
    d_.logs.push_back(std::move(log));
  }

  void Event(std::string_view rest) {
    EventDescription event;
    event.line = line_;
    const std::size_t colon = rest.find(':');
    const std::string_view head = rest.substr(0, colon);
    if (colon != std::string_view::npos) {
      for (std::string_view insert : Split(rest.substr(colon + 1), '|')) {
        event.inserts.push_back(ParseTemplate(insert));
      }
    }
    const auto words = Words(head);
    if (words.size() < 2) Fail("event needs an identifier and a type");
    event.eventId = static_cast<std::uint32_t>(Number(words[0], "event identifier"));
    const auto type = EventTypeByName(words[1]);
    if (!type) Fail("unknown event type '" + std::string(words[1]) + "'");
    event.eventType = *type;
    for (std::size_t i = 2; i < words.size(); ++i) {
      if (words[i] == "undefined") {
        event.undefined = true;
        continue;
      }
      const auto [key, value] = Attribute(words[i]);
      if (key == "level") {
        event.level = static_cast<std::uint8_t>(Number(value, "level", 255));
      } else if (key == "version") {
        event.version = static_cast<std::uint8_t>(Number(value, "version", 255));
      } else if (key == "task") {
        event.task = static_cast<std::uint16_t>(Number(value, "task", 0xFFFF));
      } else if (key == "opcode") {
        event.opcode = static_cast<std::uint8_t>(Number(value, "opcode", 255));
      } else if (key == "keywords") {
        event.keywords = Number(value, "keywords", ~std::uint64_t{0});
      } else if (key == "fields") {
        event.fields = Names(value);
      } else if (key == "weight") {
        event.weight = static_cast<std::uint32_t>(Number(value, "weight", 1000000));
      } else if (key == "category") {
        event.category = RangeOf(value, "category");
        if (event.category.high > 0xFFFF) Fail("categories are 16-bit");
      } else if (key == "user") {
        event.userGroups = Names(value);
      } else if (key == "other") {
        event.otherGroups = Names(value);
      } else if (key == "sid") {
        if (value == "none") {
          event.sid = EventDescription::Sid::kNone;
        } else if (value == "user") {
          event.sid = EventDescription::Sid::kUser;
        } else if (value == "other") {
          event.sid = EventDescription::Sid::kOther;
        } else {
          event.sid = EventDescription::Sid::kGroups;
          event.sidGroups = Names(value);
        }
      } else if (key == "data") {
        event.dataSizes.clear();
        for (std::string_view size : Split(value, ',')) {
          event.dataSizes.push_back(static_cast<std::uint32_t>(Number(size, "data size", 65536)));
        }
      } else {
        Fail("unknown event attribute '" + std::string(key) + "'");
      }
    }
    d_.logs.back().sources.back().events.push_back(std::move(event));
  }

  static std::pair<std::string_view, std::string_view> Attribute(std::string_view word) {
    const std::size_t equals = word.find('=');
    if (equals == std::string_view::npos || equals == 0 || equals + 1 == word.size()) {
      Fail("expected key=value, got '" + std::string(word) + "'");
    }
    return {word.substr(0, equals), word.substr(equals + 1)};
  }

  // What can only be checked with the whole description at hand. Faults name the line of the
  // event they concern.
  void Check() {
    if (d_.logs.empty()) Fail("no log described");
    for (const auto& log : d_.logs) {
      line_ = log.line;
      if (!log.owner.empty() && d_.FindProvider(log.owner) == nullptr) {
        Fail("log " + log.name + ": no provider " + log.owner);
      }
      if (d_.osMajor < 6 && log.channel) Fail("channels need os 6 or later");
    }
    std::set<std::string> groups;
    for (const auto& account : d_.accounts) groups.insert(account.group);
    const auto checkGroups = [&](const std::vector<std::string>& names) {
      for (const auto& name : names) {
        if (!groups.contains(name)) Fail("no account in group '" + name + "'");
      }
    };
    for (const auto& [name, items] : d_.lists) {
      line_ = listLines_[name];
      std::vector<std::string> visiting{name};
      for (const auto& item : items) CheckTemplate(item, nullptr, &visiting);
    }
    for (const auto& log : d_.logs) {
      std::uint64_t weight = 0;
      for (const auto& source : log.sources) {
        for (const auto& event : source.events) {
          line_ = event.line;
          checkGroups(event.userGroups);
          checkGroups(event.otherGroups);
          checkGroups(event.sidGroups);
          if (event.sid == EventDescription::Sid::kUser && event.userGroups.empty()) {
            Fail("sid=user needs user=");
          }
          if (event.sid == EventDescription::Sid::kOther && event.otherGroups.empty()) {
            Fail("sid=other needs other=");
          }
          for (const auto& insert : event.inserts) CheckTemplate(insert, &event);
          if (!event.fields.empty() && event.fields.size() != event.inserts.size()) {
            Fail("fields= names " + std::to_string(event.fields.size()) + " items for " +
                 std::to_string(event.inserts.size()) + " inserts");
          }
          weight += event.weight;
        }
      }
      if (log.records > 0 && weight == 0) Fail("log " + log.name + " has no event to write");
    }
  }

  // Lists named exist, and {user.*} / {other.*} have an account to come from. Lists may use
  // lists, but not themselves, however indirectly.
  void CheckTemplate(const Template& item, const EventDescription* event,
                     std::vector<std::string>* visiting = nullptr) {
    std::vector<std::string> path;
    if (visiting == nullptr) visiting = &path;
    for (const auto& piece : item) {
      using K = Piece::Kind;
      if (event != nullptr) {
        const bool user =
            piece.kind == K::kUserName || piece.kind == K::kUserDomain || piece.kind == K::kUserSid;
        const bool other = piece.kind == K::kOtherName || piece.kind == K::kOtherDomain ||
                           piece.kind == K::kOtherSid;
        if (user && event->userGroups.empty()) Fail("{user.*} needs user=");
        if (other && event->otherGroups.empty()) Fail("{other.*} needs other=");
      }
      if (piece.kind != K::kList) continue;
      const auto list = d_.lists.find(piece.text);
      if (list == d_.lists.end()) Fail("no list named '" + piece.text + "'");
      if (std::find(visiting->begin(), visiting->end(), piece.text) != visiting->end()) {
        Fail("list '" + piece.text + "' uses itself");
      }
      visiting->push_back(piece.text);
      for (const auto& inner : list->second) CheckTemplate(inner, event, visiting);
      visiting->pop_back();
    }
  }

  Description d_;
  int line_ = 0;
  std::map<std::string, int> listLines_;
};

}  // namespace

const ProviderDescription* Description::FindProvider(std::string_view name) const {
  for (const auto& provider : providers) {
    if (provider.name == name) return &provider;
  }
  return nullptr;
}

std::optional<std::uint16_t> EventTypeByName(std::string_view name) {
  static const std::map<std::string_view, std::uint16_t> kTypes = {
      {"success", 0},     {"error", 1},         {"warning", 2},
      {"information", 4}, {"audit_success", 8}, {"audit_failure", 16},
  };
  const auto it = kTypes.find(name);
  if (it == kTypes.end()) return std::nullopt;
  return it->second;
}

std::optional<Description> ParseDescription(std::string_view text, std::string* error) {
  Parser parser;
  try {
    return parser.Run(text);
  } catch (const Fault& fault) {
    if (error != nullptr) *error = "line " + std::to_string(parser.line()) + ": " + fault.what;
    return std::nullopt;
  }
}

}  // namespace qb::samplegen
