// The Linux library's files: "/..." and "Z:\..." are the host's real files, every other path
// the offline machine's.
#include "linux/host_files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "platform/sim/machine.h"
#include "support/machine_folder_maker.h"
#include "support/sim_fixture.h"
#include "util/text.h"

namespace qb {
namespace {

namespace err = platform::err;
using linuxlib::HostPath;

TEST(HostFilesTest, WhichPathsAreTheHosts) {
  const std::pair<std::u16string, std::optional<std::string>> cases[] = {
      {u"/tmp/x.txt", "/tmp/x.txt"},
      {u"/tmp/a\\b", "/tmp/a\\b"},  // the host's name as it is
      {u"Z:\\opt\\dc\\Quillerbankton.ini", "/opt/dc/Quillerbankton.ini"},
      {u"z:/opt/Language\\", "/opt/Language/"},
      {u"C:\\Windows\\x.dll", std::nullopt},
      {u"Z:", std::nullopt},
      {u"relative/x", std::nullopt},
      {u"", std::nullopt},
  };
  for (const auto& [path, host] : cases) {
    const auto found = HostPath(path);
    EXPECT_EQ(found ? std::optional(found->string()) : std::nullopt, host) << support::U8(path);
  }
  EXPECT_EQ(linuxlib::DrivePath("/opt/dc/Quillerbankton.wfx"), u"Z:\\opt\\dc\\Quillerbankton.wfx");
}

class HostFilesFolderTest : public ::testing::Test {
 protected:
  HostFilesFolderTest() : files_(machine_.system(), folder_.path() / "Quillerbankton.wfx") {}
  std::u16string Host(const std::string& relative) const {
    return util::Utf8ToUtf16((folder_.path() / relative).string());
  }
  std::u16string Drive(const std::string& relative) const {
    return linuxlib::DrivePath(folder_.path() / relative);
  }
  support::TempFolder folder_;
  sim::Machine machine_;
  linuxlib::HostFiles files_;
};

// A write that cannot finish (here: over the file size limit, which binds root as well) leaves
// the old file as it was and no temporary file behind.
TEST_F(HostFilesFolderTest, AFailedWriteKeepsTheOldFile) {
  const std::string old = "old";
  const auto oldBytes = std::as_bytes(std::span(old.data(), old.size()));
  ASSERT_EQ(files_.WriteFile(Host("kept.txt"), oldBytes), err::kSuccess);
  const std::string large(64, 'x');
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 16;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const platform::ErrorCode error =
      files_.WriteFile(Host("kept.txt"), std::as_bytes(std::span(large.data(), large.size())));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_NE(error, err::kSuccess);
  platform::Bytes read;
  ASSERT_EQ(files_.ReadFile(Host("kept.txt"), read), err::kSuccess);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(read.data()), read.size()), old);
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
  // A name as long as names may be is written too: the sibling's name does not grow with it.
  const std::string longest(255, 'n');
  EXPECT_EQ(files_.WriteFile(Host(longest), oldBytes), err::kSuccess);
  EXPECT_TRUE(std::filesystem::exists(folder_.path() / longest));
}

TEST_F(HostFilesFolderTest, TheHostsFilesWithWindowsErrors) {
  EXPECT_EQ(files_.ModuleFileName(), Drive("Quillerbankton.wfx"));
  const std::string text = "\xFF\xFEx";
  const auto bytes = std::as_bytes(std::span(text.data(), text.size()));
  EXPECT_EQ(files_.WriteFile(Host("a.txt"), bytes), err::kSuccess);
  EXPECT_TRUE(files_.FileExists(Drive("a.txt")));
  EXPECT_FALSE(files_.DirectoryExists(Host("a.txt")));
  platform::Bytes read;
  EXPECT_EQ(files_.ReadFile(Drive("a.txt"), read), err::kSuccess);
  EXPECT_EQ(read.size(), 3u);
  struct Case {
    const char* what;
    platform::ErrorCode error;
  };
  const Case cases[] = {
      {"write into a missing folder", files_.WriteFile(Host("missing/b.txt"), bytes)},
      {"write over a folder", files_.WriteFile(Host(""), bytes)},
      {"read a missing file", files_.ReadFile(Host("none.txt"), read)},
      {"read a folder", files_.ReadFile(Host(""), read)},
      {"make a folder that is there", files_.CreateDirectory(Host(""))},
      {"make a folder in a missing one", files_.CreateDirectory(Host("x/y"))},
      {"delete a missing file", files_.DeleteFile(Host("none.txt"))},
  };
  const platform::ErrorCode expected[] = {
      err::kPathNotFound,  err::kAccessDenied, err::kFileNotFound, err::kAccessDenied,
      err::kAlreadyExists, err::kPathNotFound, err::kFileNotFound};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].error, expected[i]) << cases[i].what;
  }
  EXPECT_EQ(files_.CreateDirectory(Drive("Language")), err::kSuccess);
  EXPECT_TRUE(files_.DirectoryExists(Host("Language")));
  EXPECT_EQ(files_.WriteFile(Drive("Language\\Eng.lng"), bytes), err::kSuccess);
  EXPECT_EQ(files_.WriteFile(Drive("Language\\Deu.LNG"), bytes), err::kSuccess);
  EXPECT_EQ(files_.WriteFile(Drive("Language\\notes.txt"), bytes), err::kSuccess);
  std::vector<platform::FindEntry> found;
  EXPECT_EQ(files_.FindFiles(Drive("Language\\*.lng"), found), err::kSuccess);
  std::vector<std::u16string> names;
  for (const auto& entry : found) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Deu.LNG", u"Eng.lng"}));
  EXPECT_EQ(found[0].size, 3u);
  EXPECT_NE(found[0].lastWrite.value(), 0u);
  EXPECT_EQ(files_.FindFiles(Drive("Language\\*.ini"), found), err::kFileNotFound);
  EXPECT_EQ(files_.FindFiles(Drive("Nowhere\\*"), found), err::kPathNotFound);
  EXPECT_EQ(files_.ReplaceFile(Drive("Language\\notes.txt"), Drive("Language\\Eng.lng")),
            err::kSuccess);
  EXPECT_FALSE(files_.FileExists(Host("Language/notes.txt")));
  EXPECT_EQ(files_.DeleteFile(Host("Language/Eng.lng")), err::kSuccess);
  EXPECT_FALSE(files_.FileExists(Host("Language/Eng.lng")));
}

TEST_F(HostFilesFolderTest, EveryOtherPathIsTheMachines) {
  const std::string text = "abc";
  const auto bytes = std::as_bytes(std::span(text.data(), text.size()));
  EXPECT_EQ(files_.WriteFile(u"C:\\Temp\\x.txt", bytes), err::kSuccess);
  EXPECT_TRUE(machine_.system().FileContents(u"C:\\Temp\\x.txt").has_value());
  EXPECT_TRUE(files_.FileExists(u"c:\\temp\\X.TXT"));
  EXPECT_FALSE(std::filesystem::exists("/C:/Temp/x.txt"));
  // Moving between the host's files and the machine's is no replace within one folder.
  EXPECT_EQ(files_.ReplaceFile(u"C:\\Temp\\x.txt", Host("y.txt")), err::kAccessDenied);
}

}  // namespace
}  // namespace qb
