// ISystem: folders and whole files in a scratch folder, the environment and the process.
#include <algorithm>
#include <atomic>
#include <thread>

#include "backend.h"

namespace qb::suite {
namespace {

using platform::Bytes;
using platform::ErrorCode;
using platform::FindEntry;
namespace err = platform::err;

Bytes AsBytes(std::string_view text) {
  const auto* begin = reinterpret_cast<const std::byte*>(text.data());
  return Bytes(begin, begin + text.size());
}

std::vector<std::u16string> Names(const std::vector<FindEntry>& entries) {
  std::vector<std::u16string> names;
  for (const auto& entry : entries) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  return names;
}

class SystemSuite : public PlatformTest {
 protected:
  std::u16string In(std::u16string_view name) const {
    return folder_ + u"\\" + std::u16string(name);
  }

  Bytes Contents(std::u16string_view path) {
    Bytes data;
    EXPECT_EQ(system().ReadFile(path, data), err::kSuccess) << U8(path);
    return data;
  }

  const std::u16string folder_ = backend().ScratchFolder();
};

TEST_F(SystemSuite, FoldersAreMadeOneLevelAtATime) {
  const std::u16string made = In(u"Language");
  EXPECT_EQ(system().CreateDirectory(made), err::kSuccess);
  EXPECT_TRUE(system().DirectoryExists(made));
  EXPECT_FALSE(system().FileExists(made));
  EXPECT_EQ(system().CreateDirectory(made), err::kAlreadyExists);
  EXPECT_EQ(system().CreateDirectory(In(u"no\\such")), err::kPathNotFound);
  EXPECT_FALSE(system().DirectoryExists(In(u"no")));
  ASSERT_EQ(system().WriteFile(In(u"file"), AsBytes("x")), err::kSuccess);
  EXPECT_EQ(system().CreateDirectory(In(u"file")), err::kAlreadyExists);
}

TEST_F(SystemSuite, WholeFilesAreWrittenAndRead) {
  const std::u16string file = In(u"settings.ini");
  EXPECT_EQ(system().WriteFile(file, AsBytes("[General]\r\nLanguage=Eng.lng\r\n")), err::kSuccess);
  EXPECT_TRUE(system().FileExists(file));
  EXPECT_FALSE(system().DirectoryExists(file));
  // Replacing with shorter contents leaves nothing of the old ones.
  EXPECT_EQ(system().WriteFile(file, AsBytes("short")), err::kSuccess);
  EXPECT_EQ(Contents(file), AsBytes("short"));
  // Names are matched without regard to case.
  EXPECT_EQ(Contents(In(u"SETTINGS.INI")), AsBytes("short"));
  EXPECT_EQ(system().WriteFile(file, {}), err::kSuccess);
  EXPECT_TRUE(Contents(file).empty());
  // A name as long as names may be: whatever the write does on the side must fit beside it.
  const std::u16string longest = In(std::u16string(250, u'n') + u".txt");
  EXPECT_EQ(system().WriteFile(longest, AsBytes("long")), err::kSuccess);
  EXPECT_EQ(Contents(longest), AsBytes("long"));
  Bytes large(3 << 20);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = std::byte(i % 251);
  EXPECT_EQ(system().WriteFile(file, large), err::kSuccess);
  EXPECT_EQ(Contents(file), large);
}

TEST_F(SystemSuite, FailedReadsAndWritesSayWhy) {
  ASSERT_EQ(system().CreateDirectory(In(u"folder")), err::kSuccess);
  const struct {
    const char16_t* path;
    ErrorCode read, write;
  } cases[] = {
      {u"missing.ini", err::kFileNotFound, err::kSuccess},
      {u"no\\missing.ini", err::kPathNotFound, err::kPathNotFound},
      {u"folder", err::kAccessDenied, err::kAccessDenied},
  };
  for (const auto& c : cases) {
    Bytes data{std::byte{1}};
    EXPECT_EQ(system().ReadFile(In(c.path), data), c.read) << U8(c.path);
    EXPECT_TRUE(data.empty()) << U8(c.path);
    EXPECT_EQ(system().WriteFile(In(c.path), AsBytes("x")), c.write) << U8(c.path);
  }
  EXPECT_TRUE(system().DirectoryExists(In(u"folder")));
}

TEST_F(SystemSuite, AFailedWriteKeepsTheOldContents) {
  const std::u16string file = In(u"kept.ini");
  ASSERT_EQ(system().WriteFile(file, AsBytes("kept")), err::kSuccess);
  backend().SetReadOnly(file, true);
  EXPECT_EQ(system().WriteFile(file, AsBytes("lost")), err::kAccessDenied);
  backend().SetReadOnly(file, false);
  EXPECT_EQ(Contents(file), AsBytes("kept"));
}

TEST_F(SystemSuite, FoldersAreListed) {
  ASSERT_EQ(system().WriteFile(In(u"Eng.lng"), AsBytes("12345")), err::kSuccess);
  ASSERT_EQ(system().WriteFile(In(u"settings.ini"), AsBytes("x")), err::kSuccess);
  ASSERT_EQ(system().CreateDirectory(In(u"Language")), err::kSuccess);
  std::vector<FindEntry> entries;
  EXPECT_EQ(system().FindFiles(In(u"*"), entries), err::kSuccess);
  // No "." and "..", and nothing left behind by the writes.
  EXPECT_EQ(Names(entries),
            (std::vector<std::u16string>{u"Eng.lng", u"Language", u"settings.ini"}));
  for (const auto& entry : entries) {
    const bool folder = entry.name == u"Language";
    EXPECT_EQ((entry.attributes & platform::kFileAttributeDirectory) != 0, folder)
        << U8(entry.name);
    if (!folder) {
      EXPECT_NE(entry.lastWrite.value(), 0u) << U8(entry.name);
    }
    if (entry.name == u"Eng.lng") {
      EXPECT_EQ(entry.size, 5u);
    }
  }
  const struct {
    const char16_t* pattern;
    ErrorCode error;
    std::vector<std::u16string> names;
  } cases[] = {
      {u"*.lng", err::kSuccess, {u"Eng.lng"}}, {u"*.LNG", err::kSuccess, {u"Eng.lng"}},
      {u"?ng.*", err::kSuccess, {u"Eng.lng"}}, {u"lang*", err::kSuccess, {u"Language"}},
      {u"*.none", err::kFileNotFound, {}},     {u"no\\*", err::kPathNotFound, {}},
  };
  for (const auto& c : cases) {
    entries.assign(1, FindEntry{u"stale", 0, 0, {}});
    EXPECT_EQ(system().FindFiles(In(c.pattern), entries), c.error) << U8(c.pattern);
    EXPECT_EQ(Names(entries), c.names) << U8(c.pattern);
  }
}

TEST_F(SystemSuite, FilesAreReplacedInOneStep) {
  const std::u16string from = In(u"new.evtx");
  const std::u16string to = In(u"Backup.evtx");
  const std::u16string folder = In(u"sub");
  const struct {
    const char* what;
    bool fromExists, toExists, toReadOnly, toFolder;
    ErrorCode error;
  } cases[] = {
      {"onto nothing", true, false, false, false, err::kSuccess},
      {"over a file", true, true, false, false, err::kSuccess},
      {"from nothing", false, true, false, false, err::kFileNotFound},
      {"over a read-only file", true, true, true, false, err::kAccessDenied},
      {"over a folder", true, false, false, true, err::kAccessDenied},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::u16string target = c.toFolder ? folder : to;
    if (c.fromExists) {
      ASSERT_EQ(system().WriteFile(from, AsBytes("new")), err::kSuccess);
    }
    if (c.toExists) {
      ASSERT_EQ(system().WriteFile(target, AsBytes("old")), err::kSuccess);
    }
    if (c.toFolder) {
      ASSERT_EQ(system().CreateDirectory(folder), err::kSuccess);
    }
    if (c.toReadOnly) backend().SetReadOnly(target, true);

    EXPECT_EQ(system().ReplaceFile(from, target), c.error);
    if (c.error == err::kSuccess) {
      EXPECT_EQ(Contents(target), AsBytes("new"));
      EXPECT_FALSE(system().FileExists(from));
    } else if (c.fromExists) {
      if (!c.toFolder) {
        EXPECT_EQ(Contents(target), AsBytes("old"));
      }
      EXPECT_EQ(Contents(from), AsBytes("new"));
    }
    if (c.toReadOnly) backend().SetReadOnly(target, false);
    system().DeleteFile(from);
    system().DeleteFile(to);
  }
  // The target's name may differ from the existing file's in case only.
  ASSERT_EQ(system().WriteFile(from, AsBytes("new")), err::kSuccess);
  ASSERT_EQ(system().WriteFile(to, AsBytes("old")), err::kSuccess);
  EXPECT_EQ(system().ReplaceFile(from, In(u"BACKUP.EVTX")), err::kSuccess);
  EXPECT_EQ(Contents(to), AsBytes("new"));
}

TEST_F(SystemSuite, FilesAreDeleted) {
  const std::u16string file = In(u"gone.evt");
  ASSERT_EQ(system().WriteFile(file, AsBytes("x")), err::kSuccess);
  EXPECT_EQ(system().DeleteFile(file), err::kSuccess);
  EXPECT_FALSE(system().FileExists(file));
  EXPECT_EQ(system().DeleteFile(file), err::kFileNotFound);
  EXPECT_EQ(system().DeleteFile(In(u"no\\gone.evt")), err::kPathNotFound);
  ASSERT_EQ(system().CreateDirectory(In(u"folder")), err::kSuccess);
  EXPECT_EQ(system().DeleteFile(In(u"folder")), err::kAccessDenied);
  ASSERT_EQ(system().WriteFile(file, AsBytes("x")), err::kSuccess);
  backend().SetReadOnly(file, true);
  EXPECT_EQ(system().DeleteFile(file), err::kAccessDenied);
  backend().SetReadOnly(file, false);
  EXPECT_TRUE(system().FileExists(file));
}

TEST_F(SystemSuite, PathsAreMadeAbsolute) {
  backend().SetCurrentFolder(folder_);
  const std::u16string drive = folder_.substr(0, 2);
  // Longer than MAX_PATH.
  const std::u16string deep(300, u'd');
  const struct {
    std::u16string path, full;
  } cases[] = {
      {u"Backup.evtx", In(u"Backup.evtx")},
      {u"a\\..\\.\\b.evt", In(u"b.evt")},
      {u"C:\\Logs\\.\\old\\..\\new.evt", u"C:\\Logs\\new.evt"},
      {u"D:/p/q/../r", u"D:\\p\\r"},
      {u"\\x\\.\\y", drive + u"\\x\\y"},
      {u"C:\\Dir\\", u"C:\\Dir\\"},
      {u"C:\\..\\..\\z", u"C:\\z"},
      {u"..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\z", drive + u"\\z"},
      {deep + u"\\x.evt", In(deep + u"\\x.evt")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(system().FullPathName(c.path), c.full) << U8(c.path.substr(0, 40));
  }
}

TEST_F(SystemSuite, EnvironmentStringsExpand) {
  backend().SetEnvironmentValue(u"QB_SUITE_ROOT", u"C:\\Windows");
  char16_t buffer[260];
  // Names are matched without regard to case; unknown ones stay as they are.
  const std::u16string_view source = u"%QB_SUITE_ROOT%\\System32\\%qb_suite_root%%QB_NOT_SET%";
  const std::u16string expected = u"C:\\Windows\\System32\\C:\\Windows%QB_NOT_SET%";
  EXPECT_EQ(system().ExpandEnvironmentStrings(source, buffer), expected.size() + 1);
  EXPECT_EQ(std::u16string(buffer), expected);
  // Too small a buffer: at least the size needed comes back, nothing past the buffer changes.
  char16_t small[8];
  std::fill(std::begin(small), std::end(small), u'#');
  EXPECT_GE(system().ExpandEnvironmentStrings(source, std::span(small, 4)), expected.size() + 1);
  EXPECT_EQ(small[4], u'#');
  EXPECT_EQ(small[7], u'#');
  EXPECT_GE(system().ExpandEnvironmentStrings(source, {}), expected.size() + 1);
  EXPECT_EQ(system().ExpandEnvironmentStrings(u"plain", buffer), 6u);
  EXPECT_EQ(std::u16string(buffer), u"plain");
}

TEST_F(SystemSuite, TheProcessDescribesItself) {
  std::uint32_t major = 0;
  EXPECT_TRUE(system().GetVersionEx(major));
  EXPECT_GE(major, 5u);
  bool wow64 = false;
  EXPECT_EQ(system().IsWow64Process(system().CurrentProcess(), wow64), err::kSuccess);
  // Only a WOW64 process has a redirection to switch off, and then it can be restored.
  std::uintptr_t saved = 0;
  const ErrorCode disabled = system().DisableWow64FsRedirection(saved);
  if (wow64) {
    EXPECT_EQ(disabled, err::kSuccess);
  }
  if (disabled == err::kSuccess) {
    EXPECT_EQ(system().RevertWow64FsRedirection(saved), err::kSuccess);
  }
}

TEST_F(SystemSuite, TheLastErrorIsPerThread) {
  // The threads take turns by spinning: any wait of the system's could set the last error.
  std::atomic<int> turn{0};
  ErrorCode other = 0;
  std::thread thread([&] {
    system().SetLastError(err::kAccessDenied);
    turn = 1;
    while (turn != 2) {
    }
    other = system().GetLastError();
    turn = 3;
  });
  while (turn != 1) {
  }
  system().SetLastError(err::kNoMoreFiles);
  turn = 2;
  while (turn != 3) {
  }
  const ErrorCode mine = system().GetLastError();
  thread.join();
  EXPECT_EQ(mine, err::kNoMoreFiles);
  EXPECT_EQ(other, err::kAccessDenied);
}

}  // namespace
}  // namespace qb::suite
