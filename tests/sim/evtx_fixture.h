// What the .evtx tests share: the folder of real files, the independent reader (Debian's
// evtxexport) and a tolerant reading of its XML and ours, with what is only presentation
// normalised away, and a Windows-like template to write events with.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/formats/evtx_event.h"
#include "platform/sim/formats/evtx_writer.h"
#include "platform/sim/rules/text.h"

namespace qb::sim::evtxtest {

// ../shared/evtx beside the project, found from this file's place in it (tests/sim).
inline const std::filesystem::path kSamples =
    std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().parent_path() /
    "shared" / "evtx";
inline const char* const kEvtxexport = "/usr/bin/evtxexport";

#define QB_NEED_SAMPLES()                                            \
  if (!std::filesystem::is_directory(::qb::sim::evtxtest::kSamples)) \
  GTEST_SKIP() << "the real .evtx files are not at " << ::qb::sim::evtxtest::kSamples.string()
#define QB_NEED_EVTXEXPORT()                                      \
  if (!std::filesystem::exists(::qb::sim::evtxtest::kEvtxexport)) \
  GTEST_SKIP() << "no " << ::qb::sim::evtxtest::kEvtxexport

// An element as text XML shows it: entities resolved, text trimmed.
struct XmlNode {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;
  std::vector<XmlNode> children;
};

inline std::string DecodeEntities(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const std::size_t semi = s[i] == '&' ? s.find(';', i) : std::string_view::npos;
    if (semi == std::string_view::npos || semi - i > 10) {
      out += s[i];
      continue;
    }
    const std::string_view e = s.substr(i + 1, semi - i - 1);
    std::u16string c;
    if (e == "amp")
      c = u"&";
    else if (e == "lt")
      c = u"<";
    else if (e == "gt")
      c = u">";
    else if (e == "quot")
      c = u"\"";
    else if (e == "apos")
      c = u"'";
    else if (e.size() > 1 && e[0] == '#') {
      const bool hex = e[1] == 'x';
      c = std::u16string(1, static_cast<char16_t>(std::stoul(std::string(e.substr(hex ? 2 : 1)),
                                                             nullptr, hex ? 16 : 10)));
    } else {
      out += s[i];
      continue;
    }
    out += ToUtf8(c);
    i = semi;
  }
  return out;
}

inline std::string Trim(std::string s) {
  const auto blank = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
  while (!s.empty() && blank(s.back())) s.pop_back();
  std::size_t b = 0;
  while (b < s.size() && blank(s[b])) ++b;
  return s.substr(b);
}

// Reads elements leniently (either quotes, any characters in text); collects the top-level
// elements named `top`.
inline std::vector<XmlNode> ParseXml(std::string_view s, std::string_view top = "Event") {
  std::vector<XmlNode> result;
  std::vector<XmlNode> stack;
  std::size_t i = 0;
  const auto close = [&] {
    XmlNode done = std::move(stack.back());
    stack.pop_back();
    done.text = Trim(DecodeEntities(done.text));
    if (!stack.empty()) {
      stack.back().children.push_back(std::move(done));
    } else if (done.name == top) {
      result.push_back(std::move(done));
    }
  };
  while (i < s.size()) {
    if (s[i] != '<') {
      const std::size_t next = std::min(s.find('<', i), s.size());
      if (!stack.empty()) stack.back().text += s.substr(i, next - i);
      i = next;
      continue;
    }
    if (s.substr(i, 9) == "<![CDATA[") {
      const std::size_t end = std::min(s.find("]]>", i), s.size());
      if (!stack.empty()) stack.back().text += s.substr(i + 9, end - i - 9);
      i = end + 3;
    } else if (s.substr(i, 2) == "<?" || s.substr(i, 2) == "<!") {
      i = std::min(s.find('>', i), s.size()) + 1;
    } else if (s.substr(i, 2) == "</") {
      i = std::min(s.find('>', i), s.size()) + 1;
      if (!stack.empty()) close();
    } else {
      XmlNode node;
      ++i;
      while (i < s.size() && s[i] != ' ' && s[i] != '>' && s[i] != '/' && s[i] != '\n') {
        node.name += s[i++];
      }
      bool empty = false;
      while (i < s.size() && s[i] != '>') {
        if (s[i] == '/') {
          empty = true;
          ++i;
        } else if (s[i] == ' ' || s[i] == '\n') {
          ++i;
        } else {
          const std::size_t eq = s.find('=', i);
          if (eq == std::string_view::npos || eq + 1 >= s.size()) return result;
          const char quote = s[eq + 1];
          const std::size_t end = s.find(quote, eq + 2);
          if (end == std::string_view::npos) return result;
          node.attributes[std::string(s.substr(i, eq - i))] =
              DecodeEntities(s.substr(eq + 2, end - eq - 2));
          i = end + 1;
        }
      }
      ++i;
      stack.push_back(std::move(node));
      if (empty) close();
    }
  }
  return result;
}

// Presentation only: 3, 7 or 9 fractional digits (evtxexport writes SYSTEMTIME values with
// milliseconds and FILETIME values with nine digits), hexadecimal or decimal numbers (evtxexport
// pads HexInt values and writes SizeT in decimal), the case of GUIDs, and what follows an
// invalid UTF-16 sequence, which the two readers replace differently.
inline std::string Normal(std::string s) {
  s = Trim(std::move(s));
  if (const std::size_t bad = s.find("\xEF\xBF\xBD"); bad != std::string::npos) s.resize(bad);
  if (s.size() > 21 && s[4] == '-' && s[10] == 'T' && s[19] == '.' && s.back() == 'Z') {
    std::string fraction = s.substr(20, s.size() - 21);
    fraction.resize(7, '0');
    s = s.substr(0, 20) + fraction + "Z";
  }
  if (s.size() > 2 && s[0] == '0' && s[1] == 'x' &&
      s.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos && s.size() <= 18) {
    s = std::to_string(std::stoull(s.substr(2), nullptr, 16));
  }
  if (s.size() == 38 && s[0] == '{' && s[37] == '}') {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return s;
}

// evtxexport 20181227 writes a negative integer as the sign and the magnitude of its bits
// below the sign bit (-2147188641, 0x8004805F, comes out as -295007).
inline bool SameNumberAsEvtxexport(const std::string& ours, const std::string& theirs) {
  if (ours.size() < 2 || theirs.size() < 2 || ours[0] != '-' || theirs[0] != '-') return false;
  const auto digits = [](const std::string& t) {
    return t.find_first_not_of("0123456789", 1) == std::string::npos && t.size() < 21;
  };
  if (!digits(ours) || !digits(theirs)) return false;
  const auto v = static_cast<std::uint64_t>(std::stoll(ours));
  const std::uint64_t t = std::stoull(theirs.substr(1));
  for (unsigned bits : {8u, 16u, 32u, 64u}) {
    const std::uint64_t low = bits == 64 ? v : v & ((std::uint64_t{1} << bits) - 1);
    if ((low & ((std::uint64_t{1} << (bits - 1)) - 1)) == t) return true;
  }
  return false;
}

// evtxexport writes text unescaped: text holding markup reads back as elements.
inline const std::string kMarkup = "\x01markup";

// evtxexport writes reals with an exponent and seven digits ("1.500000e+000").
inline bool SameReal(const std::string& ours, const std::string& theirs) {
  if (theirs.find('e') == std::string::npos || ours.empty() || theirs.empty()) return false;
  char* endA = nullptr;
  char* endB = nullptr;
  const double a = std::strtod(ours.c_str(), &endA);
  const double b = std::strtod(theirs.c_str(), &endB);
  return *endA == '\0' && *endB == '\0' &&
         std::abs(a - b) <= 1e-6 * std::max(std::abs(a), std::abs(b));
}

inline bool SameValue(const std::string& ours, const std::string& theirs) {
  if (theirs == kMarkup) return ours.find('<') != std::string::npos;
  const std::string a = Normal(ours), b = Normal(theirs);
  return a == b || SameNumberAsEvtxexport(a, b) || SameReal(a, b);
}

// The first difference between our element and evtxexport's, as a path; empty when they are
// the same. RenderingInfo, which evtxexport leaves out of nested event data, is skipped.
inline std::string Difference(const XmlNode& ours, const XmlNode& theirs, std::string path = "") {
  path += "/" + ours.name;
  if (ours.name != theirs.name) return path + " is " + theirs.name + " in evtxexport";
  const bool markup = ours.children.empty() && !theirs.children.empty();
  if (!SameValue(ours.text, markup ? kMarkup : theirs.text)) {
    return path + ": '" + ours.text + "' / '" + theirs.text + "'";
  }
  for (const auto& [name, value] : ours.attributes) {
    const auto found = theirs.attributes.find(name);
    if (found == theirs.attributes.end()) return path + "@" + name + " missing in evtxexport";
    if (!SameValue(value, found->second))
      return path + "@" + name + ": " + value + " / " + found->second;
  }
  if (ours.attributes.size() != theirs.attributes.size()) return path + ": attributes differ";
  if (markup) return {};
  std::vector<const XmlNode*> children;
  for (const auto& c : ours.children) {
    if (c.name != "RenderingInfo") children.push_back(&c);
  }
  if (children.size() != theirs.children.size()) return path + ": children differ";
  for (std::size_t i = 0; i < children.size(); ++i) {
    if (auto d = Difference(*children[i], theirs.children[i], path); !d.empty()) return d;
  }
  return {};
}

// evtxexport's events of a file, by EventRecordID.
inline std::map<std::string, XmlNode> EvtxexportEvents(const std::filesystem::path& file) {
  std::map<std::string, XmlNode> events;
  const std::string command =
      std::string(kEvtxexport) + " -f xml '" + file.string() + "' 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return events;
  std::string text;
  char buffer[65536];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
    text.append(buffer, n);
  for (auto& event : ParseXml(text)) {
    for (const auto& system : event.children) {
      if (system.name != "System") continue;
      for (const auto& c : system.children) {
        if (c.name == "EventRecordID") events[c.text] = event;
      }
    }
  }
  return events;
}

inline const XmlNode* Child(const XmlNode& node, std::string_view name) {
  for (const auto& c : node.children) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

// The event data as text XML shows it: EventData's Data values with their names, or the
// leaves below UserData's child.
inline void CollectLeaves(const XmlNode& node,
                          std::vector<std::pair<std::string, std::string>>& out) {
  if (node.children.empty()) {
    out.emplace_back(node.name, node.text);
    return;
  }
  for (const auto& c : node.children) CollectLeaves(c, out);
}

inline std::vector<std::pair<std::string, std::string>> XmlEventData(const XmlNode& event) {
  std::vector<std::pair<std::string, std::string>> out;
  if (const XmlNode* data = Child(event, "EventData")) {
    for (const auto& c : data->children) {
      if (c.name != "Data") continue;
      const auto name = c.attributes.find("Name");
      out.emplace_back(name != c.attributes.end() ? name->second : "",
                       c.children.empty() ? c.text : kMarkup);
    }
  } else if (const XmlNode* user = Child(event, "UserData"); user && !user->children.empty()) {
    for (const auto& c : user->children.front().children) CollectLeaves(c, out);
  }
  return out;
}

// Ours in the same shape: an array gives one entry per item, as the XML repeats its element.
inline std::vector<std::pair<std::string, std::string>> OurEventData(
    const std::vector<EvtxDataItem>& items) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& item : items) {
    const std::string name = ToUtf8(item.name);
    if (!item.value.array) {
      out.emplace_back(name, ToUtf8(item.value.text()));
      continue;
    }
    for (std::size_t i = 0; i < item.value.count(); ++i) {
      out.emplace_back(name, ToUtf8(item.value.item(i).text()));
    }
    if (item.value.count() == 0) out.emplace_back(name, "");
  }
  return out;
}

inline std::shared_ptr<const ByteSource> OpenFile(const std::filesystem::path& path) {
  return std::shared_ptr<const ByteSource>(FileByteSource::Open(path));
}

inline std::shared_ptr<const ByteSource> InMemory(platform::Bytes bytes) {
  return std::make_shared<MemoryByteSource>(std::move(bytes));
}

// An event template as Windows writes one: System with optional substitutions 0-12 and the
// event data as a nested Binary XML value, substitution 13.
inline std::shared_ptr<const EvtxTemplate> SystemTemplate() {
  using N = EvtxNode;
  const auto opt = [](std::uint16_t i, std::uint8_t type) {
    return N::Substitution(i, type, true);
  };
  const auto leaf = [&](std::u16string name, std::uint16_t i, std::uint8_t type) {
    return N::Element(std::move(name), {}, {opt(i, type)});
  };
  auto t = std::make_shared<EvtxTemplate>();
  t->root = N::Element(
      u"Event",
      {N::Attribute(u"xmlns", {N::Text(u"http://schemas.microsoft.com/win/2004/08/events/event")})},
      {N::Element(
           u"System", {},
           {N::Element(u"Provider", {N::Attribute(u"Name", {opt(0, evtxtype::kString)}),
                                     N::Attribute(u"Guid", {opt(1, evtxtype::kGuid)})}),
            N::Element(u"EventID", {N::Attribute(u"Qualifiers", {opt(3, evtxtype::kUInt16)})},
                       {opt(2, evtxtype::kUInt16)}),
            leaf(u"Level", 4, evtxtype::kUInt8), leaf(u"Task", 5, evtxtype::kUInt16),
            leaf(u"Keywords", 6, evtxtype::kHexInt64),
            N::Element(u"TimeCreated",
                       {N::Attribute(u"SystemTime", {opt(7, evtxtype::kFileTime)})}),
            leaf(u"EventRecordID", 8, evtxtype::kUInt64),
            N::Element(u"Execution", {N::Attribute(u"ProcessID", {opt(9, evtxtype::kUInt32)}),
                                      N::Attribute(u"ThreadID", {opt(10, evtxtype::kUInt32)})}),
            leaf(u"Channel", 11, evtxtype::kString), leaf(u"Computer", 12, evtxtype::kString)}),
       opt(13, evtxtype::kBinXml)});
  return t;
}

// A template of EventData with one named Data element per value type given.
inline std::shared_ptr<const EvtxTemplate> DataTemplate(const std::vector<std::uint8_t>& types,
                                                        bool optional = false) {
  std::vector<EvtxNode> data;
  for (std::size_t i = 0; i < types.size(); ++i) {
    data.push_back(EvtxNode::Element(
        u"Data", {EvtxNode::Attribute(u"Name", {EvtxNode::Text(u"v" + Decimal(i))})},
        {EvtxNode::Substitution(static_cast<std::uint16_t>(i), types[i], optional)}));
  }
  auto t = std::make_shared<EvtxTemplate>();
  t->root = EvtxNode::Element(u"EventData", {}, std::move(data));
  return t;
}

// An event of SystemTemplate() with the given event data.
inline EvtxEvent MakeEvent(std::uint64_t eventRecordId, std::uint16_t eventId, EvtxFragment data,
                           std::u16string provider = u"Quillerbankton-Test") {
  static const auto system = SystemTemplate();
  const std::uint64_t time = 132'000'000'000'000'000ull + eventRecordId * 10'000'000;
  EvtxEvent e;
  e.written = time;
  e.body.templ = system;
  e.body.values = {EvtxValue::String(provider),
                   EvtxValue::Guid(platform::Bytes(16, std::byte{0x5A})),
                   EvtxValue::UInt(evtxtype::kUInt16, eventId),
                   EvtxValue::Null(),
                   EvtxValue::UInt(evtxtype::kUInt8, 4),
                   EvtxValue::UInt(evtxtype::kUInt16, 7),
                   EvtxValue::UInt(evtxtype::kHexInt64, 0x8000000000000000ull),
                   EvtxValue::FileTime(time),
                   EvtxValue::UInt(evtxtype::kUInt64, eventRecordId),
                   EvtxValue::UInt(evtxtype::kUInt32, 4242),
                   EvtxValue::UInt(evtxtype::kUInt32, 17),
                   EvtxValue::String(u"Application"),
                   EvtxValue::String(u"QBSIM"),
                   EvtxValue::BinXml(std::make_shared<EvtxFragment>(std::move(data)))};
  return e;
}

// Everything a file gives, for comparing readings.
struct FileReading {
  std::vector<std::uint64_t> recordIds;       // the record headers'
  std::vector<std::uint64_t> eventRecordIds;  // the events'
  std::vector<std::u16string> xml;
  std::uint32_t chunksPassedOver = 0;
  std::uint64_t recordsPassedOver = 0;
  std::size_t failures = 0;  // records whose Binary XML could not be read
};

inline FileReading ReadAll(std::shared_ptr<const ByteSource> source, bool newestFirst = false) {
  FileReading r;
  auto file = EvtxFile::Open(std::move(source));
  if (!file) return r;
  EvtxEventReader reader(*file);
  EvtxSystem system;
  std::vector<EvtxDataItem> data;
  reader.ForEachRecord(newestFirst, [&](EvtxEventReader& rd, const EvtxRecordRef& record) {
    std::u16string xml;
    const bool ok = rd.ReadSystem(record, system) && rd.ReadEventData(record, data) &&
                    rd.RenderXml(record, xml);
    r.failures += ok ? 0 : 1;
    r.recordIds.push_back(record.id);
    r.eventRecordIds.push_back(system.eventRecordId);
    r.xml.push_back(std::move(xml));
    return true;
  });
  file->CheckAllChunks();
  r.chunksPassedOver = file->chunksPassedOver();
  r.recordsPassedOver = file->recordsPassedOver();
  return r;
}

}  // namespace qb::sim::evtxtest
