// IMessageModules: the plugin's own strings and messages, and message libraries placed in a
// scratch folder.
#include "backend.h"

namespace qb::suite {
namespace {

using platform::ErrorCode;
using platform::Handle;
namespace err = platform::err;

// What an event source's message library holds: categories, and messages with inserts.
const std::map<std::uint32_t, std::u16string> kLibraryMessages = {
    {1, u"Storage\r\n"},
    {2, u"Network\r\n"},
    {0x40000001, u"Disk %1 is at %2 percent.\r\n"},
    {0xC0000002, u"Needs %1 %2 %3.\r\n"},
};

class ModulesSuite : public PlatformTest {
 protected:
  // The message library in the scratch folder; its full path.
  std::u16string PlaceLibrary() {
    const std::u16string path = backend().ScratchFolder() + u"\\Test Messages.dll";
    EXPECT_EQ(system().WriteFile(path, MessageLibrary(kLibraryMessages)), err::kSuccess);
    return path;
  }
};

TEST_F(ModulesSuite, OwnStringsAreThePlugins) {
  const struct {
    std::uint32_t id;
    std::u16string text;
  } cases[] = {
      {65171,
       u"Операция не может быть успешно выполненна в данный момент.\r\n"
       u"Для выполнения операции менеджер событий должен быть открыт в режиме \"%s\""},
      {65175, u"Ошибка потока ожидания оповещений. Код ошибки %d, описание \"%s\""},
      {65199, u"CategoryMessageFile"},
      {65168, u"EventMessageFile"},
      {65177, u""},
      {1, u""},
  };
  for (const auto& c : cases) EXPECT_EQ(modules().LoadOwnString(c.id), c.text) << c.id;
}

TEST_F(ModulesSuite, OwnMessagesAreThePlugins) {
  const Handle own = modules().OwnModule();
  EXPECT_NE(own, 0u);
  std::u16string text;
  EXPECT_EQ(modules().MessageTemplate(own, 0, text), err::kSuccess);
  EXPECT_EQ(text, u"%1\r\n");
  EXPECT_EQ(modules().MessageTemplate(own, 1, text), err::kSuccess);
  EXPECT_EQ(text, u"Default\r\n");
  EXPECT_EQ(modules().MessageTemplate(own, 2, text), err::kMrMidNotFound);
  EXPECT_TRUE(text.empty());
  // Module 0 would be the program's messages to Windows; it is refused.
  EXPECT_NE(modules().MessageTemplate(0, 1, text), err::kSuccess);

  const std::vector<std::u16string> inserts{u"disk full", u"unused"};
  EXPECT_EQ(modules().FormatMessage(own, 0, inserts, text), err::kSuccess);
  EXPECT_EQ(text, u"disk full\r\n");
  EXPECT_EQ(modules().FormatMessage(own, 1, {}, text), err::kSuccess);
  EXPECT_EQ(text, u"Default\r\n");
  EXPECT_EQ(modules().FormatMessage(own, 9, inserts, text), err::kMrMidNotFound);
  EXPECT_FALSE(modules().SystemErrorText(err::kFileNotFound).empty());
}

TEST_F(ModulesSuite, LibrariesMappedAsDataServeTheirMessages) {
  const std::u16string path = PlaceLibrary();
  ErrorCode error = 1;
  const Handle library = modules().LoadLibraryAsDataFile(path, error);
  ASSERT_NE(library, 0u);
  EXPECT_EQ(error, err::kSuccess);
  std::u16string text;
  const struct {
    std::uint32_t id;
    std::vector<std::u16string> inserts;
    ErrorCode error;
    std::u16string text, pattern;
  } cases[] = {
      {1, {}, err::kSuccess, u"Storage\r\n", u"Storage\r\n"},
      {0x40000001,
       {u"C:", u"93"},
       err::kSuccess,
       u"Disk C: is at 93 percent.\r\n",
       u"Disk %1 is at %2 percent.\r\n"},
      {0xC0000002, {u"a", u"b", u"c"}, err::kSuccess, u"Needs a b c.\r\n", u"Needs %1 %2 %3.\r\n"},
      {3, {}, err::kMrMidNotFound, u"", u""},
  };
  for (const auto& c : cases) {
    text = u"stale";
    EXPECT_EQ(modules().FormatMessage(library, c.id, c.inserts, text), c.error) << c.id;
    if (c.error == err::kSuccess) {
      EXPECT_EQ(text, c.text) << c.id;
    }
    text = u"stale";
    EXPECT_EQ(modules().MessageTemplate(library, c.id, text), c.error) << c.id;
    EXPECT_EQ(text, c.pattern) << c.id;
  }
  // Mapped as data, the library is not a loaded module of the process.
  EXPECT_EQ(modules().GetModuleHandle(path), 0u);
  modules().FreeLibrary(library);

  EXPECT_EQ(modules().LoadLibraryAsDataFile(backend().ScratchFolder() + u"\\none.dll", error), 0u);
  EXPECT_NE(error, err::kSuccess);
  EXPECT_EQ(modules().LoadLibraryAsDataFile(u"C:\\no\\such\\library.dll", error), 0u);
  EXPECT_NE(error, err::kSuccess);
}

TEST_F(ModulesSuite, LibrariesLoadedInFullAreFoundByPath) {
  const std::u16string path = PlaceLibrary();
  ErrorCode error = 1;
  const Handle library = modules().LoadLibrary(path, error);
  ASSERT_NE(library, 0u);
  EXPECT_EQ(error, err::kSuccess);
  std::u16string text;
  EXPECT_EQ(modules().MessageTemplate(library, 2, text), err::kSuccess);
  EXPECT_EQ(text, u"Network\r\n");
  // Found, and with a reference of the caller's: two frees are needed.
  EXPECT_EQ(modules().GetModuleHandle(path), library);
  modules().FreeLibrary(library);
  EXPECT_EQ(modules().GetModuleHandle(path), library);
  modules().FreeLibrary(library);
  modules().FreeLibrary(library);
  EXPECT_EQ(modules().GetModuleHandle(path), 0u);

  EXPECT_EQ(modules().LoadLibrary(u"C:\\no\\such\\library.dll", error), 0u);
  EXPECT_EQ(error, err::kModNotFound);
  EXPECT_EQ(modules().GetModuleHandle(u""), 0u);
  EXPECT_EQ(modules().GetModuleHandle(u"no-such-module.dll"), 0u);
}

}  // namespace
}  // namespace qb::suite
