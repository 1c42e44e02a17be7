// Classic logs kept as .evtx files: the classic calls on a log, a backup and a machine folder
// whose logs are .evtx files, and the records they make of the events.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "evtx_fixture.h"
#include "platform/sim/formats/evtx_classic_record.h"
#include "platform/sim/machine_folder.h"
#include "platform/sim/services/eventlog_service.h"
#include "platform/sim/services/registry.h"
#include "platform/sim/services/system.h"
#include "support/machine_folder_maker.h"

namespace qb::sim {
namespace {

using namespace platform;
namespace ev = evflags;

constexpr std::uint32_t kSeqFwd = ev::kSequentialRead | ev::kForwardsRead;
constexpr std::uint32_t kSeqBack = ev::kSequentialRead | ev::kBackwardsRead;
constexpr std::uint32_t kSeekFwd = ev::kSeekRead | ev::kForwardsRead;
constexpr std::uint32_t kSeekBack = ev::kSeekRead | ev::kBackwardsRead;
constexpr char16_t kAppFile[] = u"C:\\Windows\\System32\\winevt\\Logs\\Application.evtx";
constexpr std::uint64_t kTime2020 = 132223104000000000ull;  // 2020-01-01T00:00:00Z
constexpr std::uint32_t kUnix2020 = 1577836800;

struct Read {
  ReadResult result;
  std::vector<Bytes> records;  // delivered, in order
  std::vector<std::uint32_t> numbers;
};

// An event of a classic source, numbered `id`, with a text of `length` characters, so that
// events differ in size and a few hundred fill several chunks.
WindowsEventFields Classic(std::uint64_t id, std::size_t length = 40) {
  WindowsEventFields form;
  form.provider = u"Quillerbankton-Test";
  form.eventId = static_cast<std::uint16_t>(1000 + id % 7);
  form.qualifiers = 0x4000;
  form.keywords = kClassicKeyword;
  form.timeCreated = kTime2020 + id * 10'000'000;
  form.recordId = id;
  form.channel = u"Application";
  form.computer = u"WIN10";
  form.data = {{u"", EvtxValue::String(std::u16string(length + id % 13, u'x'))}};
  return form;
}

Bytes EvtxOf(const std::vector<WindowsEventFields>& forms, const EvtxWriterOptions& options = {}) {
  WindowsEventMaker maker;
  std::vector<EvtxEvent> events;
  for (const auto& form : forms) events.push_back(maker.Make(form));
  return WriteEvtxFile(events, options);
}

std::vector<WindowsEventFields> Range(std::uint64_t first, std::uint64_t last) {
  std::vector<WindowsEventFields> forms;
  for (std::uint64_t id = first; id <= last; ++id) forms.push_back(Classic(id));
  return forms;
}

class EvtxClassicTest : public ::testing::Test {
 public:
  EvtxClassicTest() : service_(files_, registry_) {}

  // Application kept in an .evtx file holding these bytes.
  void Keep(const Bytes& evtx, std::u16string_view path = kAppFile) {
    files_.AddFile(path, evtx);
    std::string error;
    ASSERT_TRUE(service_.LoadEvtx(u"Application", path, &error)) << error;
  }

  Handle Open() {
    Handle h = 0;
    EXPECT_EQ(service_.OpenEventLog(u"Application", h), err::kSuccess);
    return h;
  }

  Handle OpenBackup(std::u16string_view path) {
    Handle h = 0;
    EXPECT_EQ(service_.OpenBackupEventLog(path, h), err::kSuccess);
    return h;
  }

  Read Do(Handle h, std::uint32_t flags, std::uint32_t offset, std::size_t size) {
    Bytes buffer(size);
    Read read{service_.ReadEventLog(h, flags, offset, buffer), {}, {}};
    std::size_t at = 0;
    while (at < read.result.bytesRead) {
      const ByteSpan rest = ByteSpan(buffer).subspan(at);
      EXPECT_TRUE(LooksLikeRecord(rest));
      const std::uint32_t length = std::max<std::uint32_t>(RecordLength(rest), 4);
      read.records.emplace_back(rest.begin(),
                                rest.begin() + std::min<std::size_t>(length, rest.size()));
      read.numbers.push_back(RecordNumber(rest));
      at += length;
    }
    EXPECT_EQ(at, read.result.bytesRead);
    return read;
  }

  // Every record a handle delivers from here on, in reading order.
  std::vector<Bytes> Drain(Handle h, std::uint32_t flags, std::size_t size = kMaxReadBuffer) {
    std::vector<Bytes> all;
    for (int guard = 0; guard < 100000; ++guard) {
      auto read = Do(h, flags, 0, size);
      if (read.result.error != err::kSuccess) {
        EXPECT_EQ(read.result.error, err::kHandleEof);
        break;
      }
      for (auto& r : read.records) all.push_back(std::move(r));
    }
    return all;
  }

  static std::vector<std::uint32_t> Numbers(const std::vector<Bytes>& records) {
    std::vector<std::uint32_t> numbers;
    for (const auto& r : records) numbers.push_back(RecordNumber(r));
    return numbers;
  }

  std::uint32_t Count(Handle h) {
    std::uint32_t count = 0;
    EXPECT_EQ(service_.GetNumberOfRecords(h, count), err::kSuccess);
    return count;
  }

  std::uint32_t Oldest(Handle h) {
    std::uint32_t oldest = 0;
    EXPECT_EQ(service_.GetOldestRecord(h, oldest), err::kSuccess);
    return oldest;
  }

  SimSystem files_;
  SimRegistry registry_;
  SimEventLogService service_;
};

Bytes B(std::initializer_list<int> bytes) {
  Bytes out;
  for (const int b : bytes) out.push_back(static_cast<std::byte>(b));
  return out;
}

std::vector<std::uint32_t> Iota(std::uint32_t first, std::uint32_t last) {
  std::vector<std::uint32_t> numbers;
  for (std::uint32_t n = first; n <= last; ++n) numbers.push_back(n);
  return numbers;
}

// --- the record of an event ---

// The first record of Application after it is kept in a file of these events.
std::optional<RecordFields> FirstRecordOf(EvtxClassicTest& t, const WindowsEventFields& form);

struct TypeCase {
  const char* name;
  std::uint8_t level;
  std::uint64_t keywords;
  std::uint16_t type;
};

const TypeCase kTypes[] = {
    {"critical", 1, kClassicKeyword, evtype::kError},
    {"error", 2, kClassicKeyword, evtype::kError},
    {"warning", 3, kClassicKeyword, evtype::kWarning},
    {"information", 4, kClassicKeyword, evtype::kInformation},
    {"log_always", 0, kClassicKeyword, evtype::kInformation},
    {"verbose", 5, kClassicKeyword, evtype::kInformation},
    {"audit_success", 0, kAuditSuccessKeyword, evtype::kAuditSuccess},
    {"audit_failure", 0, kAuditFailureKeyword | kClassicKeyword, evtype::kAuditFailure},
    {"audit_over_level", 2, kAuditSuccessKeyword, evtype::kAuditSuccess},
};

class EvtxTypeTest : public EvtxClassicTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(EvtxTypeTest, LevelAndKeywordsGiveTheType) {
  WindowsEventFields form = Classic(3);
  form.level = GetParam().level;
  form.keywords = GetParam().keywords;
  const auto fields = FirstRecordOf(*this, form);
  ASSERT_TRUE(fields);
  EXPECT_EQ(fields->eventType, GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(Levels, EvtxTypeTest, ::testing::ValuesIn(kTypes),
                         [](const auto& info) { return std::string(info.param.name); });

std::optional<RecordFields> FirstRecordOf(EvtxClassicTest& t, const WindowsEventFields& form) {
  t.Keep(EvtxOf({form}));
  const auto records = t.Drain(t.Open(), kSeqFwd);
  if (records.size() != 1) return std::nullopt;
  return ParseEventRecord(records[0]);
}

TEST_F(EvtxClassicTest, EventBecomesTheRecordTheServiceMakes) {
  WindowsEventFields form = Classic(5);
  form.eventId = 0xFFFF;
  form.qualifiers = 0xC000;
  form.task = 12;
  form.timeCreated = kTime2020 + 1234 * 10'000'000ull + 9'999'999;  // fractions dropped
  form.provider = u"Microsoft-Windows-Security-SPP";
  form.providerGuid = Bytes(16, std::byte{0x11});
  form.eventSourceName = u"Software Protection Platform Service";
  form.userSid = SimAccounts::SidFromString(u"S-1-5-21-1-2-3-1001");
  form.binary = B({0xDE, 0xAD, 0x00, 0x01});
  form.data = {{u"Count", EvtxValue::UInt(evtxtype::kUInt32, 42)},
               {u"", EvtxValue::String(u"second")},
               {u"Flag", EvtxValue::Bool(true)},
               {u"Code", EvtxValue::UInt(evtxtype::kHexInt32, 0x1F)},
               {u"Empty", EvtxValue::String(u"")}};
  auto fields = FirstRecordOf(*this, form);
  ASSERT_TRUE(fields);
  EXPECT_EQ(fields->recordNumber, 5u);
  EXPECT_EQ(fields->timeGenerated, kUnix2020 + 1234);
  EXPECT_EQ(fields->timeWritten, kUnix2020 + 1234);
  EXPECT_EQ(fields->eventId, 0xC000FFFFu);
  EXPECT_EQ(fields->category, 12);
  EXPECT_EQ(fields->source, u"Software Protection Platform Service");
  EXPECT_EQ(fields->computer, u"WIN10");
  EXPECT_EQ(fields->strings,
            (std::vector<std::u16string>{u"42", u"second", u"true", u"0x1f", u""}));
  EXPECT_EQ(fields->sid, form.userSid);
  EXPECT_EQ(fields->data, form.binary);

  // Without qualifiers, event source name, user, data or binary.
  form = Classic(6);
  form.eventId = 7036;
  form.qualifiers.reset();
  form.data.clear();
  fields = FirstRecordOf(*this, form);
  ASSERT_TRUE(fields);
  EXPECT_EQ(fields->eventId, 7036u);
  EXPECT_EQ(fields->source, u"Quillerbankton-Test");
  EXPECT_TRUE(fields->strings.empty());
  EXPECT_TRUE(fields->sid.empty());
  EXPECT_TRUE(fields->data.empty());
}

TEST_F(EvtxClassicTest, UserDataLeavesAreTheStringsWithoutEventData) {
  using N = EvtxNode;
  const auto leaf = [](std::u16string name, std::u16string text) {
    return N::Element(std::move(name), {}, {N::Text(std::move(text))});
  };
  auto tree = std::make_shared<EvtxTemplate>();
  tree->root = N::Element(
      u"Event", {},
      {N::Element(u"System", {},
                  {N::Element(u"Provider", {N::Attribute(u"Name", {N::Text(u"Setup")})}),
                   leaf(u"EventID", u"2"), leaf(u"Level", u"3"),
                   N::Element(u"TimeCreated",
                              {N::Attribute(u"SystemTime", {N::Text(u"2020-01-01T00:00:10Z")})}),
                   leaf(u"EventRecordID", u"9"), leaf(u"Computer", u"PC")}),
       N::Element(u"UserData", {},
                  {N::Element(u"Op", {},
                              {leaf(u"Who", u"alice"), leaf(u"What", u"install"),
                               N::Element(u"Inner", {}, {leaf(u"Deep", u"d")})})})});
  EvtxEvent event;
  event.body.tree = tree;
  event.recordId = 9;
  Keep(WriteEvtxFile(std::vector<EvtxEvent>{event}));
  const auto records = Drain(Open(), kSeqFwd);
  ASSERT_EQ(records.size(), 1u);
  const auto fields = ParseEventRecord(records[0]);
  ASSERT_TRUE(fields);
  EXPECT_EQ(fields->recordNumber, 9u);
  EXPECT_EQ(fields->eventId, 2u);
  EXPECT_EQ(fields->eventType, evtype::kWarning);
  EXPECT_EQ(fields->timeGenerated, kUnix2020 + 10);
  EXPECT_EQ(fields->source, u"Setup");
  EXPECT_EQ(fields->strings, (std::vector<std::u16string>{u"alice", u"install", u"d"}));
}

// --- reading ---

struct ReadCase {
  const char* name;
  std::uint32_t flags;
  std::uint32_t offset;
  std::uint32_t first, last;  // the numbers a drain from here delivers, in that order
};

// Records 101 to 700 over several chunks.
const ReadCase kReads[] = {
    {"forwards", kSeqFwd, 0, 101, 700},
    {"backwards", kSeqBack, 0, 700, 101},
    {"seek forwards", kSeekFwd, 450, 450, 700},
    {"seek backwards", kSeekBack, 450, 450, 101},
    {"seek the oldest backwards", kSeekBack, 101, 101, 101},
    {"seek the newest forwards", kSeekFwd, 700, 700, 700},
};

class EvtxReadTest : public EvtxClassicTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(EvtxReadTest, DeliversTheRecordsInOrder) {
  const ReadCase& c = GetParam();
  const Bytes file = EvtxOf(Range(101, 700));
  Keep(file);
  ASSERT_GT(file.size(), kEvtxHeaderBlockSize + 3 * kEvtxChunkSize);
  // Through the log and through a backup file that is the same .evtx.
  files_.AddFile(u"C:\\copy.evtx", file);
  for (const Handle h : {Open(), OpenBackup(u"C:\\copy.evtx")}) {
    EXPECT_EQ(Count(h), 600u);
    EXPECT_EQ(Oldest(h), 101u);
    std::vector<std::uint32_t> numbers;
    const bool seek = (c.flags & ev::kSeekRead) != 0;
    const auto first = Do(h, c.flags, c.offset, seek ? 0x2000 : kMaxReadBuffer);
    ASSERT_EQ(first.result.error, err::kSuccess);
    numbers = first.numbers;
    // A seek read moves the position on, so sequential reads carry on after it.
    const std::uint32_t direction = c.flags & (ev::kForwardsRead | ev::kBackwardsRead);
    for (const auto& r : Drain(h, ev::kSequentialRead | direction))
      numbers.push_back(RecordNumber(r));
    std::vector<std::uint32_t> expected =
        c.first <= c.last ? Iota(c.first, c.last) : Iota(c.last, c.first);
    if (c.first > c.last) std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(service_.CloseEventLog(h), err::kSuccess);
  }
}

INSTANTIATE_TEST_SUITE_P(Directions, EvtxReadTest, ::testing::ValuesIn(kReads),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& ch : name) {
                             if (ch == ' ') ch = '_';
                           }
                           return name;
                         });

TEST_F(EvtxClassicTest, SmallBuffersGetOneRecordOrTheSizeNeeded) {
  Keep(EvtxOf(Range(1, 300)));
  const Handle h = Open();
  const auto all = Drain(h, kSeqBack);
  ASSERT_EQ(all.size(), 300u);
  const Handle seek = Open();
  for (const std::uint32_t n : {1u, 150u, 300u}) {
    const std::uint32_t size = static_cast<std::uint32_t>(all[300 - n].size());
    const auto tooSmall = Do(seek, kSeekFwd, n, size - 4);
    EXPECT_EQ(tooSmall.result.error, err::kInsufficientBuffer) << n;
    EXPECT_EQ(tooSmall.result.bytesNeeded, size) << n;
    EXPECT_EQ(tooSmall.result.bytesRead, 0u);
    const auto exact = Do(seek, kSeekFwd, n, size);
    ASSERT_EQ(exact.result.error, err::kSuccess) << n;
    ASSERT_EQ(exact.records.size(), 1u);
    EXPECT_EQ(exact.records[0], all[300 - n]) << n;
  }
  // A sequential read that does not fit leaves the position where it was.
  const Handle seq = Open();
  const auto refused = Do(seq, kSeqFwd, 0, 8);
  EXPECT_EQ(refused.result.error, err::kInsufficientBuffer);
  EXPECT_EQ(refused.result.bytesNeeded, all.back().size());
  EXPECT_EQ(Do(seq, kSeqFwd, 0, 0x10000).numbers.front(), 1u);
}

TEST_F(EvtxClassicTest, SeeksOutsideTheLogAndReadsPastItsEnds) {
  Keep(EvtxOf(Range(20, 40)));
  const Handle h = Open();
  EXPECT_EQ(Do(h, kSeekFwd, 19, 0x10000).result.error, err::kInvalidParameter);
  EXPECT_EQ(Do(h, kSeekFwd, 41, 0x10000).result.error, err::kInvalidParameter);
  EXPECT_EQ(Do(h, kSeekFwd | ev::kBackwardsRead, 30, 0x10000).result.error, err::kInvalidParameter);
  EXPECT_EQ(Drain(h, kSeqFwd).size(), 21u);
  EXPECT_EQ(Do(h, kSeqFwd, 0, 0x10000).result.error, err::kHandleEof);
  const Handle back = Open();
  EXPECT_EQ(Do(back, kSeekBack, 20, 0x10000).numbers, std::vector<std::uint32_t>{20});
  EXPECT_EQ(Do(back, kSeqBack, 0, 0x10000).result.error, err::kHandleEof);
}

TEST_F(EvtxClassicTest, AnEmptyFileIsAnEmptyLog) {
  EvtxWriterOptions options;
  options.slots = 1;
  Keep(EvtxOf({}, options));
  const Handle h = Open();
  EXPECT_EQ(Count(h), 0u);
  EXPECT_EQ(Oldest(h), 0u);
  EXPECT_EQ(Do(h, kSeqFwd, 0, 0x1000).result.error, err::kHandleEof);
  EXPECT_EQ(Do(h, kSeekFwd, 1, 0x1000).result.error, err::kInvalidParameter);
}

TEST_F(EvtxClassicTest, DamagedChunksAndCopiesInFreeSpaceAreNotListed) {
  EvtxWriterOptions options;
  options.badDataCrcChunks = {1};
  options.staleCopies = true;
  const auto forms = Range(1, 500);
  Keep(EvtxOf(forms, options));
  // What the file reader itself finds sound.
  const auto sound = evtxtest::ReadAll(evtxtest::InMemory(*files_.FileContents(kAppFile)));
  ASSERT_GT(sound.chunksPassedOver, 0u);
  ASSERT_LT(sound.recordIds.size(), forms.size());
  const Handle h = Open();
  EXPECT_EQ(Count(h), sound.recordIds.size());
  const auto forwards = Numbers(Drain(h, kSeqFwd));
  EXPECT_EQ(std::vector<std::uint64_t>(forwards.begin(), forwards.end()), sound.recordIds);
  // A seek into the gap the damage left starts at the next record on either side.
  std::uint32_t gap = 0;
  for (std::size_t i = 1; i < forwards.size() && gap == 0; ++i) {
    if (forwards[i] != forwards[i - 1] + 1) gap = forwards[i - 1] + 1;
  }
  ASSERT_NE(gap, 0u);
  const auto after = std::upper_bound(forwards.begin(), forwards.end(), gap);
  EXPECT_EQ(Do(Open(), kSeekFwd, gap, 0x400).numbers.front(), *after);
  EXPECT_EQ(Do(Open(), kSeekBack, gap, 0x400).numbers.front(), gap - 1);
}

TEST_F(EvtxClassicTest, RecordsAppendedFollowTheFile) {
  Keep(EvtxOf(Range(1, 30)));
  SimEventLog* log = service_.FindLog(u"application");
  ASSERT_NE(log, nullptr);
  RecordFields contents;
  contents.source = u"Appended";
  EXPECT_EQ(log->Append(contents), 31u);
  const Handle h = Open();
  EXPECT_EQ(Count(h), 31u);
  EXPECT_EQ(Numbers(Drain(h, kSeqFwd)), Iota(1, 31));
  const auto backwards = Numbers(Drain(Open(), kSeqBack));
  EXPECT_EQ(backwards.front(), 31u);
  EXPECT_EQ(backwards.back(), 1u);
}

// A source that notes how much any one read asks for and how much is read in all.
class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(Bytes bytes) : inner_(std::move(bytes)) {}
  std::uint64_t size() const override { return inner_.size(); }
  bool ReadAt(std::uint64_t offset, std::span<std::byte> out) const override {
    largest = std::max<std::uint64_t>(largest, out.size());
    total += out.size();
    return inner_.ReadAt(offset, out);
  }
  mutable std::uint64_t largest = 0, total = 0;

 private:
  MemoryByteSource inner_;
};

TEST(EvtxRecordStoreTest, ReadsTheFileAChunkAtATime) {
  const Bytes file = EvtxOf(Range(1, 2000));
  const std::size_t chunks = (file.size() - kEvtxHeaderBlockSize) / kEvtxChunkSize;
  ASSERT_GE(chunks, 8u);
  auto source = std::make_shared<CountingSource>(file);
  auto store = EvtxRecordStore::Open(source);
  ASSERT_TRUE(store);
  EvtxRecordCursor cursor(store);
  EXPECT_EQ(store->count(), 2000u);
  // Every record forwards, then backwards: each chunk is loaded once per pass and indexing.
  for (const bool forwards : {true, false}) {
    std::uint64_t number = forwards ? 1 : 2000, seen = 0;
    while (const auto found = cursor.Find(number, forwards)) {
      EXPECT_EQ(found->number, number);
      EXPECT_EQ(RecordNumber(found->record), number);
      ++seen;
      if (forwards ? ++number > 2000 : --number == 0) break;
    }
    EXPECT_EQ(seen, 2000u);
  }
  EXPECT_LE(source->largest, kEvtxChunkSize);
  EXPECT_LE(source->total, 4 * file.size());
}

// --- backups and clearing ---

TEST_F(EvtxClassicTest, BackupOfAnEvtxLogIsAnEvtxFileOfTheSameRecords) {
  Keep(EvtxOf(Range(50, 400)));
  RecordFields appended;
  appended.source = u"Appended";
  appended.eventId = 0xC0000005u;
  appended.eventType = evtype::kAuditFailure;
  appended.category = 4;
  appended.timeGenerated = appended.timeWritten = kUnix2020;
  appended.computer = u"WIN10";
  appended.strings = {u"one", u"two"};
  appended.data = B({1, 2, 3, 4});
  ASSERT_EQ(service_.FindLog(u"Application")->Append(appended), 401u);
  const Handle h = Open();
  const auto original = Drain(h, kSeqFwd);
  ASSERT_EQ(service_.BackupEventLog(h, u"C:\\app.evtx"), err::kSuccess);
  EXPECT_EQ(service_.BackupEventLog(h, u"C:\\app.evtx"), err::kAlreadyExists);
  const auto bytes = files_.FileContents(u"C:\\app.evtx");
  ASSERT_TRUE(bytes);
  ASSERT_TRUE(EvtxFile::Open(evtxtest::InMemory(*bytes)));
  const Handle backup = OpenBackup(u"C:\\app.evtx");
  EXPECT_EQ(Count(backup), 352u);
  EXPECT_EQ(Oldest(backup), 50u);
  EXPECT_EQ(Drain(backup, kSeqFwd), original);
  // A backup of the backup is an .evtx file too.
  ASSERT_EQ(service_.BackupEventLog(backup, u"C:\\again.evtx"), err::kSuccess);
  EXPECT_EQ(Drain(OpenBackup(u"C:\\again.evtx"), kSeqBack).size(), 352u);
}

TEST_F(EvtxClassicTest, ClearingSavesTheBackupAndLeavesAnEmptyEvtxFile) {
  Keep(EvtxOf(Range(1, 250)));
  const Handle h = Open();
  const auto original = Drain(h, kSeqFwd);
  ASSERT_EQ(service_.ClearEventLog(h, u"C:\\cleared.evtx"), err::kSuccess);
  EXPECT_EQ(Drain(OpenBackup(u"C:\\cleared.evtx"), kSeqFwd), original);
  EXPECT_EQ(Do(h, kSeqFwd, 0, 0x1000).result.error, err::kEventlogFileChanged);
  EXPECT_EQ(Count(h), 0u);
  EXPECT_EQ(Do(h, kSeqFwd, 0, 0x1000).result.error, err::kHandleEof);

  // The log's file is a valid .evtx of no records, one empty chunk long.
  const auto file = files_.FileContents(kAppFile);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->size(), kEvtxHeaderBlockSize + kEvtxChunkSize);
  auto store = EvtxRecordStore::Open(evtxtest::InMemory(*file));
  ASSERT_TRUE(store);
  EXPECT_EQ(store->count(), 0u);
  // Records written after the clear start at 1 again; a backup now is an .evtx file too.
  RecordFields contents;
  contents.source = u"After";
  EXPECT_EQ(service_.FindLog(u"Application")->Append(contents), 1u);
  ASSERT_EQ(service_.BackupEventLog(h, u"C:\\after.evtx"), err::kSuccess);
  const Handle after = OpenBackup(u"C:\\after.evtx");
  EXPECT_EQ(Numbers(Drain(after, kSeqFwd)), std::vector<std::uint32_t>{1});
}

TEST_F(EvtxClassicTest, BackupsThatAreNoLogAreCorrupt) {
  Bytes broken = EvtxOf(Range(1, 3));
  broken[38] = std::byte{9};  // major version
  files_.AddFile(u"C:\\broken.evtx", broken);
  files_.AddFile(u"C:\\short.evtx", std::string_view("ElfFile\0", 8));
  for (const char16_t* path : {u"C:\\broken.evtx", u"C:\\short.evtx"}) {
    Handle h = 0;
    EXPECT_EQ(service_.OpenBackupEventLog(path, h), err::kEventlogFileCorrupt);
    EXPECT_EQ(h, 0u);
  }
  Handle h = 0;
  EXPECT_EQ(service_.OpenBackupEventLog(u"C:\\missing.evtx", h), err::kFileNotFound);
  std::string error;
  EXPECT_FALSE(service_.LoadEvtx(u"System", u"C:\\broken.evtx", &error));
  EXPECT_FALSE(error.empty());
}

// --- the real files ---

std::vector<std::filesystem::path> RealFiles() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(evtxtest::kSamples)) {
    if (entry.path().extension() == ".evtx") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST_F(EvtxClassicTest, RealFilesReadAsFarAsTheyGo) {
  QB_NEED_SAMPLES();
  const auto files = RealFiles();
  ASSERT_FALSE(files.empty());
  int index = 0;
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    const std::u16string path = u"C:\\Real\\" + Decimal(index++) + u".evtx";
    files_.AddHostFile(path, file);
    const Handle h = OpenBackup(path);
    const std::uint32_t count = Count(h);
    const auto forwards = Numbers(Drain(h, kSeqFwd));
    EXPECT_EQ(forwards.size(), count);
    EXPECT_TRUE(std::adjacent_find(forwards.begin(), forwards.end(), std::greater_equal<>()) ==
                forwards.end());
    if (!forwards.empty()) {
      EXPECT_EQ(Oldest(h), forwards.front());
    }
    auto backwards = Numbers(Drain(OpenBackup(path), kSeqBack));
    std::reverse(backwards.begin(), backwards.end());
    EXPECT_EQ(backwards, forwards);
    // The records the file reader finds sound, but those whose event cannot be read.
    const auto sound = evtxtest::ReadAll(evtxtest::OpenFile(file));
    EXPECT_EQ(count, sound.recordIds.size() - sound.failures);
  }
}

TEST_F(EvtxClassicTest, CleanRealFileMatchesEvtxexport) {
  QB_NEED_SAMPLES();
  QB_NEED_EVTXEXPORT();
  for (const char* name :
       {"omerbenamram-evtx/post-Security.evtx", "omerbenamram-evtx/Security_with_size_t.evtx"}) {
    SCOPED_TRACE(name);
    const auto file = evtxtest::kSamples / name;
    if (!std::filesystem::exists(file)) GTEST_SKIP() << "no " << file;
    const auto theirs = evtxtest::EvtxexportEvents(file);
    ASSERT_FALSE(theirs.empty());
    const std::u16string path = u"C:\\" + FromUtf8(file.filename().string());
    files_.AddHostFile(path, file);
    const Handle h = OpenBackup(path);
    EXPECT_EQ(Count(h), theirs.size());
    const auto records = Drain(h, kSeqFwd);
    std::set<std::string> ours;
    for (const auto& record : records) {
      const auto fields = ParseEventRecord(record);
      ASSERT_TRUE(fields);
      const std::string id = std::to_string(fields->recordNumber);
      ours.insert(id);
      const auto found = theirs.find(id);
      ASSERT_NE(found, theirs.end()) << id;
      const auto* system = evtxtest::Child(found->second, "System");
      ASSERT_NE(system, nullptr);
      const auto* eventId = evtxtest::Child(*system, "EventID");
      ASSERT_NE(eventId, nullptr);
      EXPECT_EQ(fields->eventId & 0xFFFF, std::stoul(eventId->text)) << id;
    }
    std::set<std::string> expected;
    for (const auto& [id, event] : theirs) expected.insert(id);
    EXPECT_EQ(ours, expected);
  }
}

// --- a machine folder of a Windows 10 image ---

TEST(EvtxMachineFolderTest, LogsComeFromTheFilesTheRegistryNames) {
  support::TempFolder folder;
  const auto root = folder.path();
  support::WriteHostFile(
      root / "registry.reg",
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application]\r\n"
      "\"File\"=\"%SystemRoot%\\\\System32\\\\Winevt\\\\Logs\\\\Application.evtx\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\System]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Broken]\r\n"
      "\"File\"=\"%SystemRoot%\\\\System32\\\\winevt\\\\Logs\\\\Broken.evtx\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Absent]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Setup]\r\n"
      "\"File\"=\"%SystemRoot%\\\\System32\\\\winevt\\\\Logs\\\\Setup.evtx\"\r\n");
  const auto logs = root / "files" / "C" / "Windows" / "System32" / "winevt" / "Logs";
  support::WriteHostFile(logs / "Application.evtx", EvtxOf(Range(1, 120)));
  support::WriteHostFile(logs / "System.evtx", EvtxOf(Range(7, 9)));
  support::WriteHostFile(logs / "Broken.evtx", std::string(5000, 'x'));
  support::WriteHostFile(logs / "Setup.evtx", EvtxOf(Range(1, 5)));
  RecordFields setupRecord;
  setupRecord.source = u"FromEvt";
  support::WriteHostFile(root / "logs" / "Setup.evt", support::EvtOf({setupRecord}, 3));

  Machine machine;
  std::string error;
  std::vector<std::string> skipped;
  ASSERT_TRUE(LoadMachineFolder(machine, root, &error, &skipped)) << error;
  ASSERT_EQ(skipped.size(), 1u);
  EXPECT_NE(skipped[0].find("Broken"), std::string::npos) << skipped[0];

  auto& service = machine.eventlog();
  const auto count = [&](std::u16string_view name) {
    Handle h = 0;
    EXPECT_EQ(service.OpenEventLog(name, h), err::kSuccess);
    std::uint32_t n = 0, oldest = 0;
    EXPECT_EQ(service.GetNumberOfRecords(h, n), err::kSuccess);
    EXPECT_EQ(service.GetOldestRecord(h, oldest), err::kSuccess);
    service.CloseEventLog(h);
    return std::pair(n, oldest);
  };
  EXPECT_EQ(count(u"Application"), std::pair(120u, 1u));
  EXPECT_EQ(count(u"System"), std::pair(3u, 7u));  // the default file of version 10
  EXPECT_EQ(count(u"Setup"), std::pair(1u, 3u));   // logs/ comes first
  EXPECT_EQ(service.FindLog(u"Broken"), nullptr);
  EXPECT_EQ(service.FindLog(u"Absent"), nullptr);
  EXPECT_TRUE(service.FindLog(u"System")->evtxKept);
  EXPECT_FALSE(service.FindLog(u"Setup")->evtxKept);
}

}  // namespace
}  // namespace qb::sim
