#include "platform/sim/formats/wevt_manifest.h"

#include <gtest/gtest.h>

#include <functional>
#include <string_view>

#include "platform/sim/formats/wevt_messages.h"
#include "platform/sim/formats/wevt_writer.h"
#include "sim/wevt_fixture.h"

namespace {

using qb::platform::Bytes;
using namespace qb::sim;
using qb::test::SampleProviders;

std::size_t FindTag(const Bytes& bytes, std::string_view tag, std::size_t from = 0) {
  for (std::size_t i = from; i + 4 <= bytes.size(); ++i) {
    if (std::equal(tag.begin(), tag.end(), bytes.begin() + i,
                   [](char c, std::byte b) { return static_cast<std::byte>(c) == b; })) {
      return i;
    }
  }
  ADD_FAILURE() << "no " << tag;
  return 0;
}

void Poke32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::byte>(value >> (8 * i));
}

std::uint32_t Peek32(const Bytes& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= std::to_integer<std::uint32_t>(bytes[at + i]) << (8 * i);
  return v;
}

class WevtManifest : public ::testing::Test {
 protected:
  std::vector<WevtProviderDesc> descs = SampleProviders();
  Bytes bytes = WriteWevtManifest(descs);
};

TEST_F(WevtManifest, WriterToParserKeepsEveryElementKind) {
  std::string error = "stale";
  std::optional<qb::sim::WevtManifest> manifest = ParseWevtManifest(bytes, &error);
  ASSERT_TRUE(manifest) << error;
  EXPECT_TRUE(error.empty());
  EXPECT_EQ(manifest->majorVersion, 3);
  ASSERT_EQ(manifest->providers.size(), descs.size());
  for (std::size_t p = 0; p < descs.size(); ++p) {
    const WevtProviderDesc& desc = descs[p];
    const WevtProvider& got = manifest->providers[p];
    EXPECT_EQ(got.guid, desc.guid);
    EXPECT_EQ(got.messageId, desc.messageId);
    EXPECT_EQ(got.channels, desc.channels);
    EXPECT_EQ(got.levels, desc.levels);
    EXPECT_EQ(got.opcodes, desc.opcodes);
    EXPECT_EQ(got.tasks, desc.tasks);
    EXPECT_EQ(got.keywords, desc.keywords);
    EXPECT_EQ(got.maps, desc.maps);
    EXPECT_EQ(got.attributes, desc.attributes);
    ASSERT_EQ(got.templates.size(), desc.templates.size());
    for (std::size_t t = 0; t < desc.templates.size(); ++t) {
      EXPECT_EQ(got.templates[t].guid, desc.templates[t].guid);
      EXPECT_EQ(got.templates[t].items, desc.templates[t].items);
      Bytes xml = WevtTemplateBinXml(desc.templates[t].items);
      EXPECT_TRUE(std::ranges::equal(got.templates[t].binXml, xml)) << "template " << t;
    }
    ASSERT_EQ(got.events.size(), desc.events.size());
    for (std::size_t e = 0; e < desc.events.size(); ++e) {
      WevtEvent expected = desc.events[e].definition;
      expected.templateOffset = got.events[e].templateOffset;
      EXPECT_EQ(got.events[e], expected) << "event " << e;
      const WevtTemplate* tmpl = got.FindTemplate(got.events[e]);
      ASSERT_EQ(tmpl != nullptr, desc.events[e].templateIndex.has_value()) << "event " << e;
      if (tmpl != nullptr) {
        EXPECT_EQ(tmpl->guid, desc.templates[*desc.events[e].templateIndex].guid);
      }
    }
  }
}

TEST_F(WevtManifest, LookupsFindWhatWindowsWouldUse) {
  std::optional<qb::sim::WevtManifest> manifest = ParseWevtManifest(bytes);
  ASSERT_TRUE(manifest);
  const WevtProvider& p = *manifest->FindProvider(qb::test::kSecurityGuid);
  auto event = [&](std::uint16_t id, std::uint8_t v) {
    const WevtEvent* e = p.FindEvent(id, v);
    return e ? std::u16string(e->messageId == 0xB1001211 ? u"v1 message" : u"other message")
             : std::u16string(u"(none)");
  };
  auto name = [](const auto* item) { return item ? item->name : std::u16string(u"(none)"); };
  struct Case {
    const char* what;
    std::function<std::u16string()> got;
    std::u16string expected;
  };
  const Case cases[] = {
      {"event by id and version", [&] { return event(4625, 1); }, u"v1 message"},
      {"another version of the same id", [&] { return event(4625, 0); }, u"other message"},
      {"a version not defined", [&] { return event(4625, 2); }, u"(none)"},
      {"task by value", [&] { return name(p.FindTask(12544)); }, u"Logon"},
      {"task not defined", [&] { return name(p.FindTask(1)); }, u"(none)"},
      {"the task's own opcode", [&] { return name(p.FindOpcode(12544, 1)); }, u"Begin"},
      {"global opcode for another task", [&] { return name(p.FindOpcode(12809, 1)); },
       u"win:Start"},
      {"global opcode without task", [&] { return name(p.FindOpcode(0, 1)); }, u"win:Start"},
      {"opcode not defined", [&] { return name(p.FindOpcode(12544, 9)); }, u"(none)"},
      {"level by value", [&] { return name(p.FindLevel(4)); }, u"win:Informational"},
      {"keyword by bit", [&] { return name(p.FindKeyword(53)); }, u"win:AuditSuccess"},
      {"a mask of two bits is no bit's keyword", [&] { return name(p.FindKeyword(0)); }, u"(none)"},
      {"bit out of range", [&] { return name(p.FindKeyword(64)); }, u"(none)"},
      {"channel by value", [&] { return name(p.FindChannel(17)); }, u"Debug"},
      {"unknown provider", [&] { return manifest->FindProvider({}) ? u"found" : u"none"; },
       u"none"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got(), c.expected) << c.what;
}

TEST(WevtGuid, TextRoundTripAndRejects) {
  const std::u16string text = u"{54849625-5478-4994-A5BA-3E3B0328C30D}";
  std::optional<WevtGuid> guid = WevtGuid::Parse(u"{54849625-5478-4994-a5ba-3e3b0328c30d}");
  ASSERT_TRUE(guid);
  EXPECT_EQ(guid->data1, 0x54849625u);
  EXPECT_EQ(guid->data4[0], 0xA5);
  EXPECT_EQ(guid->ToString(), text);
  for (const char16_t* bad :
       {u"54849625-5478-4994-A5BA-3E3B0328C30D", u"{54849625-5478-4994-A5BA-3E3B0328C30}",
        u"{54849625+5478-4994-A5BA-3E3B0328C30D}", u"{5484962G-5478-4994-A5BA-3E3B0328C30D}"}) {
    EXPECT_FALSE(WevtGuid::Parse(bad))
        << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
  }
}

TEST_F(WevtManifest, EveryTruncationIsRejected) {
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    std::string error;
    ASSERT_FALSE(ParseWevtManifest(qb::platform::ByteSpan(bytes).first(length), &error)) << length;
    ASSERT_FALSE(error.empty()) << length;
  }
}

TEST_F(WevtManifest, DamageIsRejectedWithAReason) {
  std::optional<qb::sim::WevtManifest> good = ParseWevtManifest(bytes);
  ASSERT_TRUE(good);
  const std::uint32_t provider = FindTag(bytes, "WEVT");
  const std::uint32_t events = FindTag(bytes, "EVNT");
  const std::uint32_t temp = good->providers[0].templates[0].offset;
  struct Case {
    const char* what;
    std::size_t at;
    std::uint32_t value;
    const char* reason;
  };
  const Case cases[] = {
      {"signature", 0, 0x4D495244, "CRIM"},
      {"size beyond the data", 4, 0x7FFFFFFF, "size"},
      {"provider count", 12, 0x10000000, "provider list"},
      {"provider offset", 16 + 16, 0xFFFFFF00, "provider"},
      {"provider signature", provider, 0x54564558, "WEVT"},
      {"element count", provider + 12, 0x08000000, "provider block"},
      {"element offset", provider + 20, 0x00FFFFFF, "element"},
      {"event count", events + 8, 0x00100000, "element"},
      {"event template offset", events + 16 + 20, temp + 4, "template"},
      {"keyword name offset", FindTag(bytes, "KEYW") + 12 + 12, 0x7FFFFFF0, "name"},
      {"name size", Peek32(bytes, FindTag(bytes, "TASK") + 12 + 24), 2, "name"},
      {"task value", FindTag(bytes, "TASK") + 12, 0x10000, "task value"},
      {"map signature", FindTag(bytes, "VMAP"), 0x50414D58, "VMAP"},
      {"map entry count", FindTag(bytes, "VMAP") + 12, 0x40000000, "value map"},
      {"map count", FindTag(bytes, "MAPS") + 8, 0x20000000, "element"},
      {"template count", FindTag(bytes, "TTBL") + 8, 50, "TEMP"},
      {"template size", temp + 4, 8, "template"},
      {"template items offset", temp + 16, temp + 2, "template"},
      {"template item count", temp + 8, 0x01000000, "template"},
      {"attribute size", FindTag(bytes, "PRVA") + 4, 0x00FFFFFF, "element"},
  };
  for (const Case& c : cases) {
    Bytes damaged = bytes;
    Poke32(damaged, c.at, c.value);
    std::string error;
    EXPECT_FALSE(ParseWevtManifest(damaged, &error)) << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
  }
}

TEST_F(WevtManifest, SharedElementsCannotMultiplyTheWork) {
  // Two thousand providers all pointing at one provider with a large event list: each is
  // well formed, together they would make the parser read the list again and again.
  WevtProviderDesc big = descs[0];
  big.events.assign(3000, big.events[0]);
  std::vector<WevtProviderDesc> many(2000, descs[1]);
  many.front() = big;
  Bytes data = WriteWevtManifest(many);
  ASSERT_TRUE(ParseWevtManifest(data));
  const std::uint32_t target = Peek32(data, 16 + 16);
  for (std::size_t p = 1; p < many.size(); ++p) Poke32(data, 16 + p * 20 + 16, target);
  std::string error;
  EXPECT_FALSE(ParseWevtManifest(data, &error));
  EXPECT_NE(error.find("too often"), std::string::npos) << error;
}

TEST_F(WevtManifest, ArbitraryDamageNeverCrashes) {
  const std::vector<std::u16string> values{u"a", u"%%1"};
  for (std::size_t at = 0; at + 4 <= bytes.size(); at += 2) {
    for (std::uint32_t value : {0u, 1u, 0xFFFFFFFFu, 0x80000000u, static_cast<std::uint32_t>(at)}) {
      Bytes damaged = bytes;
      Poke32(damaged, at, value);
      std::string error;
      std::optional<qb::sim::WevtManifest> manifest = ParseWevtManifest(damaged, &error);
      ASSERT_EQ(manifest.has_value(), error.empty()) << at;
      if (!manifest) continue;
      for (const WevtProvider& p : manifest->providers) {
        for (const WevtEvent& e : p.events) {
          FormatWevtEvent(*manifest, {p.guid, e.id, e.version}, values, {{e.messageId, u"%1 %2"}},
                          {});
        }
      }
    }
  }
}

}  // namespace
