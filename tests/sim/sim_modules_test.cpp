// What only the simulated loader has to say for itself: the library a bare name loads.
#include <gtest/gtest.h>

#include "platform/sim/machine.h"
#include "support/pe_builder.h"

namespace qb::sim {
namespace {

// A bare name is searched as the loader searches: system32, then the Windows folder, with
// ".dll" added when the name has no extension.
TEST(SimModules, BareNamesAreFoundInTheSystemFolders) {
  Machine machine;
  const auto library = [](std::u16string text) {
    return support::PeBuilder().AddMessage(1, text + u"\r\n").Build();
  };
  machine.system().AddFile(u"C:\\Windows\\System32\\netevent.dll", library(u"system32"));
  machine.system().AddFile(u"C:\\Windows\\netevent.dll", library(u"windows"));
  machine.system().AddFile(u"C:\\Windows\\only.dll", library(u"windows only"));
  const struct {
    const char16_t* name;
    const char16_t* text;  // empty: not found
  } cases[] = {{u"netevent.dll", u"system32"}, {u"NETEVENT", u"system32"},
               {u"only.dll", u"windows only"}, {u"C:\\Windows\\netevent.dll", u"windows"},
               {u"missing.dll", u""},          {u"netevent.", u""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)));
    platform::ErrorCode error = 0;
    const platform::Handle module = machine.modules().LoadLibraryAsDataFile(c.name, error);
    if (std::u16string_view(c.text).empty()) {
      EXPECT_EQ(module, 0u);
      EXPECT_EQ(error, platform::err::kModNotFound);
      continue;
    }
    ASSERT_NE(module, 0u);
    std::u16string text;
    EXPECT_EQ(machine.modules().MessageTemplate(module, 1, text), platform::err::kSuccess);
    EXPECT_EQ(text, std::u16string(c.text) + u"\r\n");
    machine.modules().FreeLibrary(module);
  }
}

}  // namespace
}  // namespace qb::sim
