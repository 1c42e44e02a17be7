// The Windows backend's files and process facts that no interface promises: writes that never
// happen in place, paths beyond MAX_PATH, and the program it is linked into.
#include <string>
#include <vector>

#include "backend.h"
#include "platform/win32/wide.h"
#include "platform/win32/windows_api.h"

namespace qb::suite {
namespace {

using platform::Bytes;
using win32::FromWide;
using win32::Terminated;

Bytes AsBytes(std::string_view text) {
  const auto* begin = reinterpret_cast<const std::byte*>(text.data());
  return Bytes(begin, begin + text.size());
}

using Win32System = PlatformTest;

TEST_F(Win32System, AWriteThatCannotMakeItsSiblingFailsAndKeepsTheFile) {
  const std::wstring file = Terminated(backend().ScratchFolder()) + L"\\kept.txt";
  ASSERT_EQ(system().WriteFile(FromWide(file), AsBytes("old")), 0u);
  // Where the sibling would go something is in the way.
  const std::wstring sibling = Terminated(backend().ScratchFolder()) + L"\\~qb" +
                               std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(GetCurrentThreadId()) + L".tmp";
  ASSERT_TRUE(CreateDirectoryW(sibling.c_str(), nullptr));
  EXPECT_NE(system().WriteFile(FromWide(file), AsBytes("new")), 0u);
  Bytes data;
  EXPECT_EQ(system().ReadFile(FromWide(file), data), 0u);
  EXPECT_EQ(data, AsBytes("old"));
}

TEST_F(Win32System, PathsBeyondMaxPathAreWrittenAndFound) {
  std::wstring deep = L"\\\\?\\" + Terminated(backend().ScratchFolder());
  while (deep.size() < 330) {
    deep += L"\\" + std::wstring(40, L'd');
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  }
  const std::wstring file = deep.substr(4) + L"\\record.txt";
  ASSERT_GT(file.size(), static_cast<std::size_t>(MAX_PATH));
  EXPECT_EQ(system().WriteFile(FromWide(file), AsBytes("long")), 0u);
  EXPECT_NE(GetFileAttributesW((L"\\\\?\\" + file).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(system().FileExists(FromWide(file)));
}

TEST_F(Win32System, TheModuleIsTheProgramAndWow64IsTheTruth) {
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  // Linked into a program, the backend's own module is the program.
  EXPECT_EQ(system().ModuleFileName(), FromWide(program));
  bool wow64 = true;
  ASSERT_EQ(system().IsWow64Process(system().CurrentProcess(), wow64), 0u);
  SYSTEM_INFO info;
  GetNativeSystemInfo(&info);
  EXPECT_EQ(wow64,
            sizeof(void*) == 4 && info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64);
}

}  // namespace
}  // namespace qb::suite
