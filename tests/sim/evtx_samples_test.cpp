// The real files of ../shared/evtx: every one is read to its end without failing, with the
// records and damaged chunks its README describes, and every event that Debian's evtxexport
// reads comes out the same (record id, time, provider, event id, level, event data, XML).
#include <gtest/gtest.h>

#include <algorithm>

#include "evtx_fixture.h"

namespace qb::sim {
namespace {

using evtxtest::kSamples;

struct RealFile {
  const char* file;
  bool clean;
  // The README's figures: evtxinfo's record count and the damaged chunks it notes (bad
  // signature or CRC). evtxinfo counts the records of damaged chunks too; the reader passes
  // those over, so it reads evtxinfo's count less the records in them (counted by walking the
  // damaged chunks' records).
  std::uint32_t evtxinfoRecords;
  std::uint32_t damagedChunks;
  std::uint32_t recordsInDamagedChunks;
};

constexpr RealFile kFiles[] = {
    {"omerbenamram-evtx/2-system-Microsoft-Windows-LiveId%4Operational.evtx", false, 399, 0, 0},
    {"omerbenamram-evtx/"
     "2-vss_0-Microsoft-Windows-RemoteDesktopServices-RdpCoreTS%4Operational.evtx",
     false, 1910, 2, 191},
    {"omerbenamram-evtx/"
     "2-vss_0-Microsoft-Windows-TerminalServices-RemoteConnectionManager%4Operational.evtx",
     false, 1774, 2, 166},
    // The header counts 4 chunks of 11.
    {"omerbenamram-evtx/2-vss_7-System.evtx", false, 1160, 0, 0},
    {"omerbenamram-evtx/Application_no_crc32.evtx", false, 17, 1, 17},
    {"omerbenamram-evtx/"
     "E_ShadowCopy6_windows_system32_winevt_logs_Microsoft-Windows-CAPI2%4Operational.evtx",
     true, 459, 0, 0},
    {"omerbenamram-evtx/E_Windows_system32_winevt_logs_Microsoft-Windows-CAPI2%4Operational.evtx",
     true, 340, 0, 0},
    // The header counts 5 chunks of 9.
    {"omerbenamram-evtx/"
     "E_Windows_system32_winevt_logs_Microsoft-Windows-Shell-Core%4Operational.evtx",
     false, 1146, 0, 0},
    {"omerbenamram-evtx/MSExchange_Management_wec.evtx", true, 1, 0, 0},
    {"omerbenamram-evtx/Microsoft-Windows-HelloForBusiness%4Operational.evtx", false, 5, 1, 5},
    {"omerbenamram-evtx/Microsoft-Windows-LanguagePackSetup%4Operational.evtx", false, 16, 1, 16},
    {"omerbenamram-evtx/Security_short_selected.evtx", true, 7, 0, 0},
    {"omerbenamram-evtx/Security_with_size_t.evtx", true, 636, 0, 0},
    {"omerbenamram-evtx/issue_201.evtx", true, 1, 0, 0},
    {"omerbenamram-evtx/new-user-security.evtx", true, 4, 0, 0},
    {"omerbenamram-evtx/post-Security.evtx", true, 126, 0, 0},
    {"omerbenamram-evtx/sample-with-irregular-bool-values.evtx", false, 3028, 0, 0},
    {"omerbenamram-evtx/sample-with-zero-data-size-event.evtx", false, 335, 1, 2},
    // 2 slots of garbage, 3 chunks with a wrong data CRC.
    {"omerbenamram-evtx/sample_with_a_bad_chunk_magic.evtx", false, 267, 5, 138},
    {"omerbenamram-evtx/security.evtx", false, 2261, 0, 0},
    {"omerbenamram-evtx/security_bad_string_cache.evtx", false, 2261, 1, 91},
    // The header counts 1 chunk of 9; 8 slots of garbage.
    {"omerbenamram-evtx/sysmon.evtx", false, 358, 8, 0},
    // The header counts 3 chunks of 15.
    {"omerbenamram-evtx/system.evtx", false, 1881, 0, 0},
    {"python-evtx/dns_log_malformed.evtx", true, 5, 0, 0},
    {"python-evtx/issue_38.evtx", true, 1, 0, 0},
    {"python-evtx/issue_39.evtx", true, 394, 0, 0},
    {"python-evtx/issue_43.evtx", true, 1730, 0, 0},
};

// A file source that notes the largest piece asked for.
class WatchedSource final : public ByteSource {
 public:
  explicit WatchedSource(std::shared_ptr<const ByteSource> inner) : inner_(std::move(inner)) {}
  std::uint64_t size() const override { return inner_->size(); }
  bool ReadAt(std::uint64_t offset, std::span<std::byte> out) const override {
    largest_ = std::max(largest_, out.size());
    return inner_->ReadAt(offset, out);
  }
  std::size_t largest() const { return largest_; }

 private:
  std::shared_ptr<const ByteSource> inner_;
  mutable std::size_t largest_ = 0;
};

class EvtxSampleFile : public testing::TestWithParam<RealFile> {
 protected:
  void SetUp() override {
    QB_NEED_SAMPLES();
    path_ = kSamples / GetParam().file;
    ASSERT_TRUE(std::filesystem::exists(path_)) << path_;
  }
  std::filesystem::path path_;
};

TEST_P(EvtxSampleFile, ReadsEveryRecordTheReadmeCounts) {
  const RealFile& sample = GetParam();
  auto source = std::make_shared<WatchedSource>(evtxtest::OpenFile(path_));
  const auto forwards = evtxtest::ReadAll(source);
  EXPECT_EQ(forwards.recordIds.size(), sample.evtxinfoRecords - sample.recordsInDamagedChunks);
  EXPECT_EQ(forwards.chunksPassedOver, sample.damagedChunks);
  EXPECT_EQ(forwards.recordsPassedOver, 0u);
  EXPECT_EQ(forwards.failures, 0u);
  // A chunk at a time, never the whole file.
  EXPECT_LE(source->largest(), kEvtxChunkSize);

  auto backwards = evtxtest::ReadAll(evtxtest::OpenFile(path_), true);
  std::reverse(backwards.recordIds.begin(), backwards.recordIds.end());
  EXPECT_EQ(backwards.recordIds, forwards.recordIds);
  // Oldest first across chunks, whatever their slots.
  EXPECT_TRUE(std::is_sorted(forwards.recordIds.begin(), forwards.recordIds.end()));
}

TEST_P(EvtxSampleFile, AgreesWithEvtxexport) {
  QB_NEED_EVTXEXPORT();
  const RealFile& sample = GetParam();
  const auto theirs = evtxtest::EvtxexportEvents(path_);
  auto file = EvtxFile::Open(evtxtest::OpenFile(path_));
  ASSERT_TRUE(file);
  EvtxEventReader reader(*file);
  EvtxSystem system;
  std::vector<EvtxDataItem> data;
  std::size_t matched = 0;
  reader.ForEachRecord(false, [&](EvtxEventReader& r, const EvtxRecordRef& record) {
    std::u16string xml;
    EXPECT_TRUE(r.ReadSystem(record, system) && r.ReadEventData(record, data) &&
                r.RenderXml(record, xml));
    const auto ours = evtxtest::ParseXml(ToUtf8(xml));
    const auto found = theirs.find(std::to_string(system.eventRecordId));
    if (ours.size() != 1 || found == theirs.end()) {
      EXPECT_EQ(ours.size(), 1u) << record.id;
      return true;  // evtxexport could not read it (it stops at some tokens)
    }
    ++matched;
    const evtxtest::XmlNode& event = found->second;
    SCOPED_TRACE("EventRecordID " + found->first);
    EXPECT_EQ(evtxtest::Difference(ours.front(), event), "");
    const evtxtest::XmlNode* sys = evtxtest::Child(event, "System");
    if (sys == nullptr) {
      ADD_FAILURE() << "no System";
      return false;
    }
    const auto text = [&](const char* name) {
      const evtxtest::XmlNode* n = evtxtest::Child(*sys, name);
      return n != nullptr ? n->text : std::string();
    };
    const auto attribute = [&](const char* element, const char* name) {
      const evtxtest::XmlNode* n = evtxtest::Child(*sys, element);
      return n != nullptr && n->attributes.count(name) ? n->attributes.at(name) : std::string();
    };
    EXPECT_EQ(ToUtf8(system.providerName), attribute("Provider", "Name"));
    EXPECT_EQ(std::to_string(system.eventId), text("EventID"));
    EXPECT_EQ(std::to_string(system.level), text("Level"));
    EXPECT_EQ(evtxtest::Normal(ToUtf8(EvtxFileTimeText(system.timeCreated))),
              evtxtest::Normal(attribute("TimeCreated", "SystemTime")));
    const auto ourData = evtxtest::OurEventData(data);
    const auto theirData = evtxtest::XmlEventData(event);
    EXPECT_EQ(ourData.size(), theirData.size());
    for (std::size_t i = 0; i < std::min(ourData.size(), theirData.size()); ++i) {
      EXPECT_EQ(ourData[i].first, theirData[i].first);
      EXPECT_TRUE(evtxtest::SameValue(ourData[i].second, theirData[i].second))
          << ourData[i].first << ": " << ourData[i].second << " / " << theirData[i].second;
    }
    return !HasFailure();
  });
  // In a clean file every event evtxexport reads is one of ours.
  if (sample.clean) {
    EXPECT_EQ(matched, theirs.size());
  }
}

std::string SampleName(const testing::TestParamInfo<RealFile>& info) {
  std::string name = std::filesystem::path(info.param.file).stem().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Readme, EvtxSampleFile, testing::ValuesIn(kFiles), SampleName);

}  // namespace
}  // namespace qb::sim
