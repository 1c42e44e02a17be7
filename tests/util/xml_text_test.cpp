#include "util/xml_text.h"

#include <gtest/gtest.h>

#include "support/sim_fixture.h"

namespace qb::util {
namespace {

TEST(IndentXml, OneElementALineAsWindowsViewerShowsIt) {
  const struct {
    const char16_t* xml;
    const char16_t* shown;
  } cases[] = {
      {u"<Event xmlns='http://schemas.microsoft.com/win/2004/08/events/event'><System>"
       u"<Provider Name='A&apos;s' Guid='{1}'/><EventID Qualifiers='0'>7</EventID>"
       u"<Correlation/><Security UserID='S-1-5-18'></Security></System><EventData>"
       u"<Data Name='x'>a &amp; \"b\"</Data><Data>1</Data></EventData></Event>",
       u"<Event xmlns=\"http://schemas.microsoft.com/win/2004/08/events/event\">\r\n"
       u"  <System>\r\n"
       u"    <Provider Name=\"A's\" Guid=\"{1}\" />\r\n"
       u"    <EventID Qualifiers=\"0\">7</EventID>\r\n"
       u"    <Correlation />\r\n"
       u"    <Security UserID=\"S-1-5-18\" />\r\n"
       u"  </System>\r\n"
       u"  <EventData>\r\n"
       u"    <Data Name=\"x\">a &amp; \"b\"</Data>\r\n"
       u"    <Data>1</Data>\r\n"
       u"  </EventData>\r\n"
       u"</Event>"},
      // Attribute values that hold the other quote; mixed content; a comment with ">".
      {u"<A b='say \"hi\"' c=\"it's\"><B>t<C/></B><!-- x > y --></A>",
       u"<A b=\"say &quot;hi&quot;\" c=\"it's\">\r\n  <B>\r\n    t\r\n    <C />\r\n  </B>\r\n"
       u"  <!-- x > y -->\r\n</A>"},
      // Damage stays harmless.
      {u"<A b='1", u"<A b=\"1\">"},
      {u"</A></B>text<", u"</A>\r\n</B>\r\ntext\r\n<>"},
      {u"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IndentXml(c.xml), c.shown) << support::U8(c.xml);
  }
}

}  // namespace
}  // namespace qb::util
