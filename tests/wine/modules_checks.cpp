// Win32Modules: message tables and strings of the plugin's resources, which this program
// links as well, and of the built plugin library loaded as a data file.
#include <string>
#include <vector>

#include "check.h"
#include "platform/win32/modules.h"
#include "platform/win32/wide.h"
#include "platform/win32/windows_api.h"
#include "platform_checks.h"

namespace qb::wine_test {
namespace {

void OwnStrings(win32::Win32Modules& modules) {
  QB_CHECK(modules.OwnModule() == reinterpret_cast<platform::Handle>(GetModuleHandleW(nullptr)));
  QB_CHECK(modules.LoadOwnString(65171) ==
           u"Операция не может быть успешно выполненна в данный момент.\r\n"
           u"Для выполнения операции менеджер событий должен быть открыт в режиме \"%s\"");
  QB_CHECK(modules.LoadOwnString(65175) ==
           u"Ошибка потока ожидания оповещений. Код ошибки %d, описание \"%s\"");
  QB_CHECK(modules.LoadOwnString(65199) == u"CategoryMessageFile");
  QB_CHECK(modules.LoadOwnString(65177).empty());
}

void OwnMessages(win32::Win32Modules& modules) {
  const platform::Handle own = modules.OwnModule();
  std::u16string text;
  QB_CHECK(modules.MessageTemplate(own, 0, text) == 0 && text == u"%1\r\n");
  QB_CHECK(modules.MessageTemplate(own, 1, text) == 0 && text == u"Default\r\n");
  QB_CHECK(modules.MessageTemplate(own, 2, text) == ERROR_MR_MID_NOT_FOUND && text.empty());
  // Module 0 would mean the program's messages to Windows; the backend refuses it.
  QB_CHECK(modules.MessageTemplate(0, 1, text) != 0);

  const std::vector<std::u16string> inserts{u"disk full", u"unused"};
  QB_CHECK(modules.FormatMessage(own, 0, inserts, text) == 0 && text == u"disk full\r\n");
  QB_CHECK(modules.FormatMessage(own, 1, {}, text) == 0 && text == u"Default\r\n");
  // A message naming an insert that is not given reads no further than the given ones.
  QB_CHECK(modules.FormatMessage(own, 0, {}, text) == 0 && text == u"\r\n");
  QB_CHECK(modules.FormatMessage(own, 9, inserts, text) == ERROR_MR_MID_NOT_FOUND);

  QB_CHECK(!modules.SystemErrorText(ERROR_FILE_NOT_FOUND).empty());
}

void LibrariesLoad(win32::Win32Modules& modules) {
  platform::ErrorCode error = 0;
  const std::u16string plugin = win32::FromWide(PluginPath());
  const platform::Handle data = modules.LoadLibraryAsDataFile(plugin, error);
  QB_CHECK(data != 0 && error == 0);
  std::u16string text;
  QB_CHECK(modules.MessageTemplate(data, 1, text) == 0 && text == u"Default\r\n");
  QB_CHECK(modules.FormatMessage(data, 0, std::vector<std::u16string>{u"x"}, text) == 0 &&
           text == u"x\r\n");
  // Mapped as data, the library is not a loaded module of the process.
  QB_CHECK(modules.GetModuleHandle(plugin) == 0);
  modules.FreeLibrary(data);

  QB_CHECK(modules.LoadLibraryAsDataFile(u"C:\\no\\such\\library.dll", error) == 0 && error != 0);
  QB_CHECK(modules.LoadLibrary(u"C:\\no\\such\\library.dll", error) == 0 && error != 0);
  const platform::Handle kernel = modules.LoadLibrary(u"kernel32.dll", error);
  QB_CHECK(kernel != 0 && error == 0);
  // A loaded module is found, and gains a reference of the caller's.
  QB_CHECK(modules.GetModuleHandle(u"kernel32.dll") == kernel);
  modules.FreeLibrary(kernel);
  modules.FreeLibrary(kernel);
  QB_CHECK(modules.GetModuleHandle(u"") == 0);
  QB_CHECK(modules.GetModuleHandle(u"no-such-module.dll") == 0);
}

}  // namespace

void ModulesChecks() {
  win32::Win32Modules modules;
  OwnStrings(modules);
  OwnMessages(modules);
  LibrariesLoad(modules);
}

}  // namespace qb::wine_test
