// The writer: every value type and token kind written and read back, as our reader and as
// Debian's evtxexport read it; chunks filled and shared definitions; files read from disk
// written again with their record headers renumbered.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <numeric>

#include "evtx_fixture.h"

namespace qb::sim {
namespace {

using platform::Bytes;
using N = EvtxNode;

Bytes Le(std::initializer_list<std::uint8_t> bytes) {
  Bytes out;
  for (auto b : bytes) out.push_back(std::byte{b});
  return out;
}

// A file of this process in the temporary folder, removed again.
class TempFile {
 public:
  explicit TempFile(const std::string& name)
      : path_(std::filesystem::path(testing::TempDir()) /
              (name + "_" + std::to_string(::getpid()) + ".evtx")) {}
  ~TempFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  operator const std::filesystem::path&() const { return path_; }
  std::string string() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

void Save(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// A null value is declared a string, as a template declares what the value would be.
EvtxFragment Data(const std::vector<EvtxValue>& values) {
  std::vector<std::uint8_t> types;
  for (const auto& v : values) types.push_back(v.isNull() ? evtxtype::kString : v.wireType());
  return {evtxtest::DataTemplate(types), values, nullptr, {}};
}

const Bytes kSid =
    Le({1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0xF4, 1, 0, 0});
const Bytes kGuid = Le({0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB,
                        0xCC, 0xDD, 0xEE, 0xFF});

struct ValueCase {
  const char* label;
  EvtxValue value;
  std::vector<std::string> texts;  // one per Data element the XML shows
  // evtxexport 20181227 cannot substitute a null value or an empty array into a normal
  // substitution (it gives up on the file); Windows writes nothing for either.
  bool evtxexportReads = true;
};

std::vector<ValueCase> ValueCases() {
  platform::SystemTime st{2016, 6, 3, 29, 15, 24, 34, 346};
  return {
      {"null", EvtxValue::Null(), {""}, false},
      {"string", EvtxValue::String(u"a<b&'c\" d"), {"a<b&'c\" d"}},
      {"ansi", EvtxValue::AnsiString("Caf\xE9"), {"Caf\xC3\xA9"}},
      {"int8", EvtxValue::Int(evtxtype::kInt8, -5), {"-5"}},
      {"uint8", EvtxValue::UInt(evtxtype::kUInt8, 200), {"200"}},
      {"int16", EvtxValue::Int(evtxtype::kInt16, -300), {"-300"}},
      {"uint16", EvtxValue::UInt(evtxtype::kUInt16, 65000), {"65000"}},
      {"int32", EvtxValue::Int(evtxtype::kInt32, -70000), {"-70000"}},
      {"uint32", EvtxValue::UInt(evtxtype::kUInt32, 4000000000u), {"4000000000"}},
      {"int64", EvtxValue::Int(evtxtype::kInt64, -5000000000), {"-5000000000"}},
      {"uint64",
       EvtxValue::UInt(evtxtype::kUInt64, 18000000000000000000ull),
       {"18000000000000000000"}},
      {"real32", EvtxValue::Real32(1.5f), {"1.5"}},
      {"real64", EvtxValue::Real64(0.1), {"0.1"}},
      {"bool", EvtxValue::Bool(true), {"true"}},
      {"binary", EvtxValue::Binary(Le({0x01, 0xAB, 0x00})), {"01AB00"}},
      {"guid", EvtxValue::Guid(kGuid), {"{00112233-4455-6677-8899-AABBCCDDEEFF}"}},
      {"sizet64", EvtxValue::SizeT(0x1000), {"0x1000"}},
      {"sizet32", EvtxValue::SizeT(0x10, false), {"0x10"}},
      {"filetime", EvtxValue::FileTime(131116874743460000ull), {"2016-06-29T15:24:34.3460000Z"}},
      {"systime", EvtxValue::SysTime(st), {"2016-06-29T15:24:34.3460000Z"}},
      {"sid", EvtxValue::Sid(kSid), {"S-1-5-21-1-2-3-500"}},
      {"hexint32", EvtxValue::UInt(evtxtype::kHexInt32, 0xBEEF), {"0xbeef"}},
      {"hexint64", EvtxValue::UInt(evtxtype::kHexInt64, 0x1234567890ull), {"0x1234567890"}},
      {"strings", EvtxValue::StringArray({u"a", u"", u"b"}), {"a", "", "b"}},
      {"uint16s", EvtxValue::Array(evtxtype::kUInt16, Le({1, 0, 2, 0, 3, 0})), {"1", "2", "3"}},
      {"hexint32s",
       EvtxValue::Array(evtxtype::kHexInt32, Le({0xFF, 0, 0, 0, 0x10, 0, 0, 0})),
       {"0xff", "0x10"}},
      {"guids",
       EvtxValue::Array(evtxtype::kGuid,
                        [] {
                          Bytes b = kGuid;
                          b.insert(b.end(), kGuid.begin(), kGuid.end());
                          return b;
                        }()),
       {"{00112233-4455-6677-8899-AABBCCDDEEFF}", "{00112233-4455-6677-8899-AABBCCDDEEFF}"}},
      {"ansis", EvtxValue::Array(evtxtype::kAnsiString, Le({'x', 0, 'y', 'z', 0})), {"x", "yz"}},
      {"empty array", EvtxValue::Array(evtxtype::kUInt32, {}), {""}, false},
  };
}

// One file, one event per case, read by both readers.
TEST(EvtxWriter, EveryValueTypeReadsBackAsWindowsWritesIt) {
  const auto cases = ValueCases();
  std::vector<EvtxEvent> events, forEvtxexport;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    events.push_back(evtxtest::MakeEvent(i + 1, 1, Data({cases[i].value})));
    if (cases[i].evtxexportReads) forEvtxexport.push_back(events.back());
  }
  const Bytes bytes = WriteEvtxFile(events);
  auto file = EvtxFile::Open(evtxtest::InMemory(bytes));
  ASSERT_TRUE(file);
  EvtxEventReader reader(*file);
  std::map<std::string, evtxtest::XmlNode> theirs;
  if (std::filesystem::exists(evtxtest::kEvtxexport)) {
    const auto path = TempFile("value_types");
    Save(path, WriteEvtxFile(forEvtxexport));
    theirs = evtxtest::EvtxexportEvents(path);
    EXPECT_EQ(theirs.size(), forEvtxexport.size());
  }
  std::size_t i = 0;
  reader.ForEachRecord(false, [&](EvtxEventReader& r, const EvtxRecordRef& record) -> bool {
    const ValueCase& c = cases.at(i++);
    SCOPED_TRACE(c.label);
    std::u16string xml;
    std::vector<EvtxDataItem> data;
    EXPECT_TRUE(r.RenderXml(record, xml));
    EXPECT_TRUE(r.ReadEventData(record, data));
    // The typed value comes back as written.
    EXPECT_EQ(data.size(), 1u);
    if (data.size() != 1) return true;
    EXPECT_EQ(data[0].name, u"v0");
    EXPECT_EQ(data[0].value, c.value);
    const auto ours = evtxtest::ParseXml(ToUtf8(xml));
    EXPECT_EQ(ours.size(), 1u);
    if (ours.empty()) return true;
    const evtxtest::XmlNode* eventData = evtxtest::Child(ours[0], "EventData");
    EXPECT_NE(eventData, nullptr);
    if (eventData == nullptr) return true;
    std::vector<std::string> texts;
    for (const auto& d : eventData->children) texts.push_back(d.text);
    EXPECT_EQ(texts, c.texts);
    const auto found = theirs.find(std::to_string(i));
    if (found != theirs.end()) {
      EXPECT_EQ(evtxtest::Difference(ours[0], found->second), "");
    }
    return true;
  });
  EXPECT_EQ(i, cases.size());
}

EvtxNode Sub(std::uint16_t i, std::uint8_t type, bool optional = false) {
  return N::Substitution(i, type, optional);
}

std::shared_ptr<const EvtxTemplate> Tree(N root, std::vector<N> more = {}) {
  auto t = std::make_shared<EvtxTemplate>();
  t->root = std::move(root);
  t->more = std::move(more);
  return t;
}

TEST(EvtxWriter, EveryTokenKindRendersAsWindowsDoes) {
  const auto plain = Tree(N::Element(u"P", {N::Attribute(u"q", {N::Text(u"r")})}, {N::Text(u"t")}));
  const auto inner = Tree(N::Element(u"I", {N::Attribute(u"q", {Sub(0, evtxtype::kString)})},
                                     {Sub(1, evtxtype::kUInt32)}));
  const auto nested = [](std::shared_ptr<const EvtxTemplate> t, std::vector<EvtxValue> values,
                         bool isTree = false) {
    EvtxFragment f;
    (isTree ? f.tree : f.templ) = std::move(t);
    f.values = std::move(values);
    return EvtxValue::BinXml(std::make_shared<EvtxFragment>(std::move(f)));
  };
  // Optional substitutions with null values leave out Opt and attribute c, a normal one
  // leaves Keep empty, an array repeats Arr, nested Binary XML is rendered in place.
  EvtxEvent all;
  all.body.templ = Tree(
      N::Element(u"Root",
                 {N::Attribute(u"a", {N::Text(u"x"), Sub(0, evtxtype::kString), N::Text(u"y")}),
                  N::Attribute(u"b", {N::EntityRef(u"amp"), N::CharRef(u'A')}),
                  N::Attribute(u"c", {Sub(1, evtxtype::kString, true)})},
                 {N::Text(u"text"), N::CData(u"c<d"), N::Pi(u"pi", u"data"), N::EntityRef(u"lt"),
                  N::CharRef(u'B'), N::Element(u"Opt", {}, {Sub(2, evtxtype::kString, true)}),
                  N::Element(u"Keep", {}, {Sub(3, evtxtype::kString)}),
                  N::Element(u"Arr", {N::Attribute(u"n", {N::Text(u"1")})},
                             {Sub(4, evtxtype::kUInt8 | evtxtype::kArray)}),
                  N::Element(u"Empty"), N::Element(u"Nested", {}, {Sub(5, evtxtype::kBinXml)})}),
      {N::Element(u"Second", {}, {Sub(0, evtxtype::kString)})});
  all.body.values = {EvtxValue::String(u"S"),
                     EvtxValue::Null(),
                     EvtxValue::Null(),
                     EvtxValue::Null(),
                     EvtxValue::Array(evtxtype::kUInt8, Le({7, 8})),
                     nested(plain, {}, true)};
  EvtxEvent own;  // a record with a tree of its own, no template
  own.body.tree = plain;
  // What evtxexport 20181227 reads of the same: it takes one piece per attribute value, no
  // character reference without the 0x40 bit, no text before a substitution, no null in a
  // normal substitution.
  EvtxEvent readable;
  readable.body.templ = Tree(
      N::Element(u"Root",
                 {N::Attribute(u"a", {Sub(0, evtxtype::kString)}),
                  N::Attribute(u"c", {Sub(1, evtxtype::kString, true)})},
                 {N::Pi(u"pi", u"data"), N::Element(u"Opt", {}, {Sub(1, evtxtype::kString, true)}),
                  N::Element(u"Keep", {}, {Sub(0, evtxtype::kString)}),
                  N::Element(u"Arr", {}, {Sub(2, evtxtype::kUInt8 | evtxtype::kArray)}),
                  N::Element(u"Empty"), N::Element(u"Nested", {}, {Sub(3, evtxtype::kBinXml)}),
                  N::Element(u"Plain", {}, {Sub(4, evtxtype::kBinXml)})}));
  readable.body.values = {
      EvtxValue::String(u"S"), EvtxValue::Null(), EvtxValue::Array(evtxtype::kUInt8, Le({7, 8})),
      nested(inner, {EvtxValue::String(u"u"), EvtxValue::UInt(evtxtype::kUInt32, 9)}),
      nested(plain, {}, true)};

  const std::vector<EvtxEvent> events = {all, own, readable};
  const Bytes bytes = WriteEvtxFile(events);
  const auto read = evtxtest::ReadAll(evtxtest::InMemory(bytes));
  ASSERT_EQ(read.xml.size(), 3u);
  EXPECT_EQ(read.failures, 0u);
  EXPECT_EQ(read.xml[0],
            u"<Root a='xSy' b='&amp;&#65;'>text<![CDATA[c<d]]><?pi data?>&lt;&#66;<Keep></Keep>"
            u"<Arr n='1'>7</Arr><Arr n='1'>8</Arr><Empty/><Nested><P q='r'>t</P></Nested>"
            u"</Root><Second>S</Second>");
  EXPECT_EQ(read.xml[1], u"<P q='r'>t</P>");
  EXPECT_EQ(read.xml[2],
            u"<Root a='S'><?pi data?><Keep>S</Keep><Arr>7</Arr><Arr>8</Arr><Empty/>"
            u"<Nested><I q='u'>9</I></Nested><Plain><P q='r'>t</P></Plain></Root>");

  if (!std::filesystem::exists(evtxtest::kEvtxexport)) return;
  const auto path = TempFile("token_kinds");
  Save(path, WriteEvtxFile(std::vector<EvtxEvent>{readable}));
  const std::string command =
      std::string(evtxtest::kEvtxexport) + " -f xml '" + path.string() + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
    text.append(buffer, n);
  const auto theirs = evtxtest::ParseXml(text, "Root");
  const auto ours = evtxtest::ParseXml(ToUtf8(read.xml[2]), "Root");
  ASSERT_EQ(theirs.size(), 1u) << text;
  EXPECT_EQ(evtxtest::Difference(ours.at(0), theirs[0]), "");
}

TEST(EvtxWriter, FillsChunksAndSharesDefinitionsWithinEach) {
  std::vector<EvtxEvent> events;
  for (std::uint64_t i = 1; i <= 600; ++i) {
    events.push_back(evtxtest::MakeEvent(
        1000 + i, static_cast<std::uint16_t>(i % 3),
        Data({EvtxValue::String(u"value " + Decimal(i)), EvtxValue::UInt(evtxtype::kUInt32, i)})));
  }
  const auto path = TempFile("chunks");
  {
    auto sink = FileByteSink::Create(path);
    ASSERT_TRUE(sink);
    EvtxWriter writer(*sink);
    for (const auto& e : events) ASSERT_TRUE(writer.Write(e));
    ASSERT_TRUE(writer.Finish());
    ASSERT_TRUE(sink->Close());
    EXPECT_GT(writer.chunksWritten(), 2u);
    EXPECT_EQ(std::filesystem::file_size(path),
              kEvtxHeaderBlockSize + std::uint64_t{writer.chunksWritten()} * kEvtxChunkSize);
  }
  auto file = EvtxFile::Open(evtxtest::OpenFile(path));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->header().chunkCount, file->slotCount());
  EXPECT_EQ(file->header().nextRecordId, 601u);
  EXPECT_TRUE(file->header().checksumOk);
  EvtxChunk chunk;
  for (std::uint32_t slot = 0; slot < file->slotCount(); ++slot) {
    ASSERT_TRUE(file->LoadChunk(slot, chunk));
    // The first record of a chunk holds the definitions and names the others refer to.
    ASSERT_GE(chunk.records().size(), 2u);
    EXPECT_GT(chunk.records()[0].size, chunk.records()[1].size + 200);
    // Filled: the next event would not have fitted.
    if (slot + 1 < file->slotCount()) {
      EXPECT_GT(chunk.header().freeSpaceOffset + 2 * chunk.records()[1].size, kEvtxChunkSize);
    }
  }
  const auto read = evtxtest::ReadAll(evtxtest::OpenFile(path));
  std::vector<std::uint64_t> expected(600);
  std::iota(expected.begin(), expected.end(), 1001);
  EXPECT_EQ(read.eventRecordIds, expected);
  if (std::filesystem::exists(evtxtest::kEvtxexport)) {
    EXPECT_EQ(evtxtest::EvtxexportEvents(path).size(), 600u);
  }
}

TEST(EvtxWriter, RewritesARealFileRenumberingItsRecords) {
  QB_NEED_SAMPLES();
  // Its record numbers start in the thousands.
  const auto path =
      evtxtest::kSamples / "omerbenamram-evtx/2-system-Microsoft-Windows-LiveId%4Operational.evtx";
  const auto original = evtxtest::ReadAll(evtxtest::OpenFile(path));
  ASSERT_FALSE(original.xml.empty());
  EXPECT_GT(original.recordIds.front(), 1u);
  auto file = EvtxFile::Open(evtxtest::OpenFile(path));
  EvtxEventReader reader(*file);
  MemoryByteSink sink;
  EvtxWriterOptions options;
  options.minorVersion = 2;
  EvtxWriter writer(sink, options);
  EXPECT_EQ(CopyEvtxEvents(reader, writer), original.xml.size());
  ASSERT_TRUE(writer.Finish());
  const auto copy = evtxtest::ReadAll(evtxtest::InMemory(sink.bytes()));
  std::vector<std::uint64_t> renumbered(original.xml.size());
  std::iota(renumbered.begin(), renumbered.end(), 1);
  EXPECT_EQ(copy.recordIds, renumbered);
  EXPECT_EQ(copy.eventRecordIds, original.eventRecordIds);
  EXPECT_EQ(copy.xml, original.xml);
}

}  // namespace
}  // namespace qb::sim
