// The case rules the simulated machine compares names and lowers texts with.
#include <gtest/gtest.h>

#include "platform/sim/rules/case_rules.h"

namespace qb::sim {
namespace {

TEST(CaseRules, NamesCompareAsTheSystemsUpcaseTable) {
  struct Case {
    std::u16string a;
    std::u16string b;
    bool equal;
  };
  const Case cases[] = {
      {u"Application", u"APPLICATION", true},
      {u"\u00e9v\u00e9nements", u"\u00c9V\u00c9NEMENTS", true},  // Latin-1
      {u"\u0161ifra", u"\u0160IFRA", true},                      // Latin Extended-A
      {u"\u03b1\u03c3", u"\u0391\u03a3", true},                  // Greek
      {u"\u0436\u0443\u0440\u043d\u0430\u043b", u"\u0416\u0423\u0420\u041d\u0410\u041b", true},
      {u"\u0561", u"\u0531", true},   // Armenian, beyond any hand-made table
      {u"\u24d0", u"\u24b6", true},   // circled letters
      {u"\uff41", u"\uff21", true},   // fullwidth
      {u"\u0130", u"\u0131", false},  // dotted capital I and dotless small i stay apart
      {u"\u0131", u"I", false},       // the dotless i is not upper-cased
      {u"\u0130", u"i", false},
      {u"stra\u00dfe", u"STRASSE", false},   // one unit never becomes two
      {u"\U0001D400", u"\U0001D400", true},  // surrogates pass unchanged
      {u"a", u"ab", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NamesEqual(c.a, c.b), c.equal) << "case " << &c - cases;
  }
  // Subkeys are ordered by their upper-case names: "_" (0x5F) sorts after "Z" (0x5A).
  EXPECT_LT(CompareNames(u"z", u"_"), 0);
  EXPECT_EQ(CompareNames(u"abc", u"ABC"), 0);
  EXPECT_GT(CompareNames(u"abcd", u"ABC"), 0);
}

TEST(CaseRules, LocaleLowerCaseIsTheSimpleMapping) {
  EXPECT_EQ(LocaleLower(u"SUCCESSAUDIT"), u"successaudit");
  EXPECT_EQ(LocaleLower(u"\u00c9V\u00c9NEMENT \u0416\u0423\u0420\u041d\u0410\u041b"),
            u"\u00e9v\u00e9nement \u0436\u0443\u0440\u043d\u0430\u043b");
  EXPECT_EQ(LocaleLower(u'\u0130'), u'i');  // en-US, not Turkish
  EXPECT_EQ(LocaleLower(u'\u0049'), u'i');
  EXPECT_EQ(LocaleLower(u'\u1e9e'), u'\u00df');  // capital sharp s
}

}  // namespace
}  // namespace qb::sim
