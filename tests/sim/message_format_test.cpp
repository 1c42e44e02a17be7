#include "platform/sim/formats/message_format.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using qb::sim::FormatMessageText;
using qb::sim::HighestInsert;
using qb::sim::SetInsertViolationHandler;

struct Violation {
  std::u16string message;
  std::size_t highest = 0;
  std::size_t supplied = 0;
};
std::vector<Violation> g_violations;

void RecordViolation(std::u16string_view message, std::size_t highest, std::size_t supplied) {
  g_violations.push_back(Violation{std::u16string(message), highest, supplied});
}

// Every test runs with a handler that records instead of aborting, and restores the
// previous one after.
class MessageFormat : public ::testing::Test {
 protected:
  void SetUp() override {
    g_violations.clear();
    previous_ = SetInsertViolationHandler(&RecordViolation);
  }
  void TearDown() override { SetInsertViolationHandler(previous_); }

  static std::u16string Format(std::u16string_view message, std::vector<std::u16string> inserts,
                               bool ignoreInserts = false) {
    qb::sim::FormatResult result = FormatMessageText(message, ignoreInserts, inserts);
    EXPECT_EQ(result.error, 0u) << "for a message of " << message.size() << " characters";
    return result.text;
  }

 private:
  qb::sim::InsertViolationHandler previous_ = nullptr;
};

TEST_F(MessageFormat, InsertsReplacedByNumber) {
  EXPECT_EQ(Format(u"%2 then %1, again %2\r\n", {u"one", u"two"}), u"two then one, again two\r\n");
  std::vector<std::u16string> ten{u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h", u"i", u"j"};
  EXPECT_EQ(Format(u"%10|%100|%1", ten), u"j|j0|a");
  EXPECT_EQ(Format(u"<%1>", {u""}), u"<>");
  // An insert's own percent signs are not interpreted again.
  EXPECT_EQ(Format(u"%1", {u"%2 %n"}), u"%2 %n");
  std::vector<std::u16string> many(99, u"x");
  many[98] = u"last";
  EXPECT_EQ(Format(u"%99", many), u"last");
}

TEST_F(MessageFormat, ConversionsTreatTheInsertAsAString) {
  EXPECT_EQ(Format(u"%1!s!|%1!S!|%1!ws!|%1!ls!|%1!d!|%1!lu!", {u"v"}), u"v|v|v|v|v|v");
  EXPECT_EQ(Format(u"[%1!5s!][%1!-5s!][%1!.2s!][%1!6.3s!]", {u"abcd"}),
            u"[ abcd][abcd ][ab][   abc]");
  EXPECT_EQ(Format(u"%1!2s!", {u"longer"}), u"longer");
  // Without a closing "!" the "!" is ordinary text.
  EXPECT_EQ(Format(u"%1!s end", {u"v"}), u"v!s end");
  // A giant width is capped instead of exhausting memory.
  EXPECT_EQ(Format(u"%1!999999999999s!", {u"v"}).size(), 0xFFFFu);
}

TEST_F(MessageFormat, EscapeSequences) {
  EXPECT_EQ(Format(u"100%% %. %! %  end", {}), u"100% . !   end");
  EXPECT_EQ(Format(u"a%nb%rc%td", {}), u"a\r\nb\rc\td");
  EXPECT_EQ(Format(u"%q%N%\\", {}), u"qN\\");
  EXPECT_EQ(Format(u"50%", {}), u"50");
  EXPECT_EQ(Format(u"%%1 is not an insert", {}), u"%1 is not an insert");
}

TEST_F(MessageFormat, LineBreaksOfTheTextAreKept) {
  EXPECT_EQ(Format(u"line 1\r\nline 2\nline 3\r\n", {}), u"line 1\r\nline 2\nline 3\r\n");
}

TEST_F(MessageFormat, PercentZeroEndsTheOutput) {
  EXPECT_EQ(Format(u"no newline%0\r\n", {}), u"no newline");
  // Nothing after %0 is read, inserts included.
  EXPECT_EQ(Format(u"%1%0%7", {u"x"}), u"x");
  EXPECT_TRUE(g_violations.empty());
  EXPECT_EQ(Format(u"keep %1%0rest", {}, true), u"keep %1");
}

TEST_F(MessageFormat, IgnoreInsertsCopiesInsertsButProcessesEscapes) {
  EXPECT_EQ(Format(u"%1!s! and %12!-3d!, %%2%n%t%3!unterminated\r\n", {}, true),
            u"%1!s! and %12!-3d!, %2\r\n\t%3!unterminated\r\n");
  EXPECT_TRUE(g_violations.empty());
}

TEST_F(MessageFormat, HighestInsertHonoursEscapes) {
  EXPECT_EQ(HighestInsert(u""), 0u);
  EXPECT_EQ(HighestInsert(u"no inserts %n %%"), 0u);
  EXPECT_EQ(HighestInsert(u"%%1"), 0u);
  EXPECT_EQ(HighestInsert(u"%%%2"), 2u);
  EXPECT_EQ(HighestInsert(u"%1 %12 %3"), 12u);
  EXPECT_EQ(HighestInsert(u"%100"), 10u);
  EXPECT_EQ(HighestInsert(u"%1!%9!"), 1u);  // the conversion is not an insert
  EXPECT_EQ(HighestInsert(u"%0 %7"), 7u);   // counted although never read
  EXPECT_EQ(HighestInsert(u"%"), 0u);
}

TEST_F(MessageFormat, MissingInsertCallsTheHandler) {
  std::vector<std::u16string> two{u"a", u"b"};
  qb::sim::FormatResult result = FormatMessageText(u"%1 %3 %2 %5", false, two);
  EXPECT_EQ(result.error, qb::platform::err::kInvalidParameter);
  EXPECT_TRUE(result.text.empty());
  ASSERT_EQ(g_violations.size(), 1u);
  EXPECT_EQ(g_violations[0].message, u"%1 %3 %2 %5");
  EXPECT_EQ(g_violations[0].highest, 5u);
  EXPECT_EQ(g_violations[0].supplied, 2u);

  g_violations.clear();
  EXPECT_EQ(FormatMessageText(u"%1 %2", false, two).error, 0u);
  EXPECT_EQ(FormatMessageText(u"%1 %3", true, two).error, 0u);
  EXPECT_TRUE(g_violations.empty());
}

TEST_F(MessageFormat, HighestInsertIsAlwaysEnough) {
  // Random texts dense in escapes: formatting with HighestInsert inserts must never reach
  // past them, or a core that pads to that number would still read past Windows' array.
  std::mt19937 random(1234);
  const std::u16string alphabet = u"%%%%0123456789!!snrt. x\r\n";
  for (int round = 0; round < 5000; ++round) {
    std::u16string message(random() % 24, u' ');
    for (char16_t& c : message) c = alphabet[random() % alphabet.size()];
    std::vector<std::u16string> inserts(HighestInsert(message), u"i");
    EXPECT_EQ(FormatMessageText(message, false, inserts).error, 0u);
    ASSERT_TRUE(g_violations.empty()) << "violation for a message of " << message.size();
  }
}

TEST_F(MessageFormat, HandlerCanBeReplacedAndRestored) {
  EXPECT_EQ(SetInsertViolationHandler(nullptr), &RecordViolation);
  qb::sim::InsertViolationHandler defaultHandler = SetInsertViolationHandler(&RecordViolation);
  EXPECT_NE(defaultHandler, nullptr);
  EXPECT_NE(defaultHandler, &RecordViolation);
}

using MessageFormatDeathTest = MessageFormat;

TEST_F(MessageFormatDeathTest, DefaultHandlerAbortsLoudly) {
  SetInsertViolationHandler(nullptr);
  std::vector<std::u16string> one{u"a"};
  EXPECT_DEATH(FormatMessageText(u"%1 and %2", false, one), "names insert 2 but only 1");
}

}  // namespace
