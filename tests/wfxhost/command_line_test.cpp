#include "wfxhost/command_line.h"

#include <gtest/gtest.h>

namespace qb::wfxhost {
namespace {

ParsedCommandLine Parse(std::vector<std::string> arguments) {
  return ParseCommandLine(arguments);
}

TEST(HostCommandLine, OptionsMayStandAnywhere) {
  const auto parsed = Parse({"ls", "--machine", "/m", "\\Application", "--limit=5", "--columns",
                             "--plugin-resources", "/p/Quillerbankton.wfx64"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const Options& o = *parsed.options;
  EXPECT_EQ(o.command, Command::kList);
  EXPECT_EQ(o.operands, std::vector<std::string>{"\\Application"});
  EXPECT_EQ(o.machine, std::filesystem::path("/m"));
  EXPECT_EQ(o.pluginResources, std::filesystem::path("/p/Quillerbankton.wfx64"));
  EXPECT_EQ(o.limit, 5u);
  EXPECT_TRUE(o.columns);
  EXPECT_FALSE(o.plugin);
}

TEST(HostCommandLine, EachCommandTakesItsOperands) {
  const auto copy = Parse({"copy", "\\App\\[1] x.error", "out.txt", "--overwrite", "--abort-at",
                           "50", "--plugin", "q.wfx64"});
  ASSERT_TRUE(copy.options) << copy.error;
  EXPECT_EQ(copy.options->command, Command::kCopy);
  EXPECT_EQ(copy.options->operands.size(), 2u);
  EXPECT_TRUE(copy.options->overwrite);
  EXPECT_EQ(copy.options->abortAt, 50);
  EXPECT_TRUE(Parse({"root"}).options);
  EXPECT_TRUE(Parse({"cat", "\\A\\f"}).options);
  EXPECT_TRUE(Parse({"icons", "\\A", "--large"}).options);
  EXPECT_TRUE(Parse({"--help"}).help);
  EXPECT_TRUE(Parse({"ls", "-h"}).help);
}

TEST(HostCommandLine, MistakesAreExplained) {
  const auto expectError = [](std::vector<std::string> arguments, std::string_view part) {
    const auto parsed = ParseCommandLine(arguments);
    EXPECT_FALSE(parsed.options);
    EXPECT_NE(parsed.error.find(part), std::string::npos) << parsed.error;
  };
  expectError({}, "no command");
  expectError({"list", "\\"}, "unknown command \"list\"");
  expectError({"ls"}, "ls takes 1 operand");
  expectError({"copy", "\\A\\f"}, "copy takes 2 operand");
  expectError({"root", "extra"}, "root takes 0 operand");
  expectError({"ls", "\\", "--limit", "many"}, "--limit");
  expectError({"ls", "\\", "--limit"}, "--limit");
  expectError({"copy", "a", "b", "--abort-at", "101"}, "--abort-at");
  expectError({"ls", "\\", "--color"}, "unknown option --color");
  expectError({"ls", "\\", "--overwrite"}, "--overwrite does not apply to ls");
  expectError({"cat", "\\A\\f", "--columns"}, "--columns does not apply to cat");
  expectError({"ls", "\\", "--columns=yes"}, "takes no value");
  expectError({"ls", "\\", "--machine"}, "--machine needs a path");
}

TEST(HostCommandLine, PathsAreReadAsUtf8) {
  const auto parsed = Parse({"root", "--machine", "/tmp/Jos\xC3\xA9"});
  ASSERT_TRUE(parsed.options);
  // Compared as bytes: the test library cannot print UTF-8 strings of C++20.
  const std::u8string path = parsed.options->machine->u8string();
  EXPECT_EQ(std::string(path.begin(), path.end()), "/tmp/Jos\xC3\xA9");
}

}  // namespace
}  // namespace qb::wfxhost
