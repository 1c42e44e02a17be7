// The Windows backend's modules: its own module is the program it is linked into, message
// texts never read inserts that were not given, and the built plugin carries its messages.
#include <vector>

#include "backend.h"
#include "backend_only.h"
#include "platform/win32/wide.h"
#include "platform/win32/windows_api.h"

namespace qb::suite {
namespace {

using platform::ErrorCode;
using platform::Handle;

using Win32Modules = PlatformTest;

TEST_F(Win32Modules, TheOwnModuleIsTheProgram) {
  EXPECT_EQ(modules().OwnModule(), reinterpret_cast<Handle>(GetModuleHandleW(nullptr)));
}

// The interface asks callers for every insert; the backend still reads no further than the
// inserts it was given.
TEST_F(Win32Modules, MissingInsertsAreNeverRead) {
  std::u16string text;
  EXPECT_EQ(modules().FormatMessage(modules().OwnModule(), 0, {}, text), 0u);
  EXPECT_EQ(text, u"\r\n");
}

TEST_F(Win32Modules, ThePluginLibraryCarriesItsMessages) {
  if (PluginPath().empty()) GTEST_SKIP() << "no plugin library named on the command line";
  const std::u16string plugin = win32::FromWide(PluginPath());
  ErrorCode error = 1;
  const Handle data = modules().LoadLibraryAsDataFile(plugin, error);
  ASSERT_NE(data, 0u);
  EXPECT_EQ(error, 0u);
  std::u16string text;
  EXPECT_EQ(modules().MessageTemplate(data, 1, text), 0u);
  EXPECT_EQ(text, u"Default\r\n");
  EXPECT_EQ(modules().FormatMessage(data, 0, std::vector<std::u16string>{u"x"}, text), 0u);
  EXPECT_EQ(text, u"x\r\n");
  // Mapped as data, the library is not a loaded module of the process.
  EXPECT_EQ(modules().GetModuleHandle(plugin), 0u);
  modules().FreeLibrary(data);
}

TEST_F(Win32Modules, SystemLibrariesAreFoundByName) {
  ErrorCode error = 1;
  const Handle kernel = modules().LoadLibrary(u"kernel32.dll", error);
  ASSERT_NE(kernel, 0u);
  EXPECT_EQ(error, 0u);
  // A loaded module is found, and gains a reference of the caller's.
  EXPECT_EQ(modules().GetModuleHandle(u"kernel32.dll"), kernel);
  modules().FreeLibrary(kernel);
  modules().FreeLibrary(kernel);
}

}  // namespace
}  // namespace qb::suite
