#include <atomic>
#include <chrono>
#include <thread>

#include "support/plugin_fixture.h"
#include "util/text.h"

namespace qb {
namespace {

using support::PluginTest;

// The host asks for delayed column values on its background thread while its main thread
// lists folders and copies records: the two must never meet inside the shared objects.
class ThreadsTest : public PluginTest {};

TEST_F(ThreadsTest, BackgroundColumnsWhileTheMainThreadListsAndCopies) {
  AddLibrary(u"C:\\m.dll", {{1, u"Message %1\r\n"}, {2, u"Cat\r\n"}});
  for (const char16_t* name : {u"Application", u"System"}) {
    AddSource(name, u"Src", u"C:\\m.dll", u"C:\\m.dll");
    auto& log = AddLog(name);
    for (int i = 0; i < 300; ++i) {
      auto r = Record(u"Src", 1, i % 2 ? 1 : 4);
      r.category = 2;
      // Each description names its log and number: a value of another record shows.
      r.strings = {std::u16string(name) + u" " + util::ToDecimal(i + 1)};
      log.Append(r);
    }
  }
  Init();
  ASSERT_TRUE(List(u"\\Application").ok);

  std::atomic<bool> stop{false};
  std::atomic<int> answered{0};
  std::atomic<int> wrong{0};
  std::thread background([&] {
    std::vector<char16_t> buffer(512);
    for (int round = 0; !stop; ++round) {
      const std::u16string log = round % 2 ? u"System" : u"Application";
      for (int n = 1; n <= 300 && !stop; n += 7) {
        std::u16string name = u"\\" + log + u"\\[" + util::ToDecimal(n) + u"] Src.error";
        for (int field : {0, 1, 3}) {
          const int result = FsContentGetValueW(name.data(), field, 0, buffer.data(), 1024, 0);
          if (result != fs::ft_stringw) continue;
          ++answered;
          const std::u16string value(buffer.data());
          const std::u16string expected = field == 0 ? u"N\\A"
                                          : field == 1
                                              ? u"Cat"
                                              : u"Message " + log + u" " + util::ToDecimal(n);
          if (value != expected) ++wrong;
        }
      }
    }
  });
  // The main thread keeps working until the background thread has been served a good many
  // times in between (or a time limit passes).
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (int i = 0; i < 20 || (answered < 200 && std::chrono::steady_clock::now() < until); ++i) {
    const auto list = List(i % 2 ? u"\\System" : u"\\Application");
    ASSERT_TRUE(list.ok);
    EXPECT_EQ(list.names.size(), 300u);
    EXPECT_EQ(GetFile(u"\\Application\\[" + util::ToDecimal(1 + i % 300) + u"] Src.information",
                      u"C:\\Temp\\t.txt"),
              fs::FS_FILE_OK);
    if (i % 5 == 4) {
      ASSERT_TRUE(List(u"\\").ok);
    }
    std::this_thread::yield();
  }
  stop = true;
  background.join();
  EXPECT_GT(answered.load(), 0);
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace qb
