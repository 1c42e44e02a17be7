#include "sysutil/dialog_placement.h"
#include "sysutil/environment.h"
#include "sysutil/windows_version.h"
#include "util/rounding.h"

#include "support/sim_fixture.h"

namespace qb::sysutil {
namespace {

using qb::support::SimTest;

TEST(HalfToEven, RoundsHalvesToTheEvenNeighbour) {
  EXPECT_EQ(util::HalfToEven(101), 50);  // 50.5
  EXPECT_EQ(util::HalfToEven(103), 52);  // 51.5
  EXPECT_EQ(util::HalfToEven(-1), 0);    // -0.5
  EXPECT_EQ(util::HalfToEven(-3), -2);   // -1.5
  EXPECT_EQ(util::HalfToEven(-201), -100);
  EXPECT_EQ(util::HalfToEven(-200), -100);
  EXPECT_EQ(util::HalfToEven(7), 4);  // 3.5
}

class CenterTest : public SimTest {
 protected:
  void Screen(int x, int y, int cx, int cy) { machine().ui().SetVirtualScreen({x, y, cx, cy}); }
  void Window(platform::Rect r) { machine().ui().SetWindowRect(kWnd, r); }
  static constexpr platform::Handle kWnd = 0x1234;
};

TEST_F(CenterTest, CentresOverTheWindow) {
  Screen(0, 0, 1920, 1080);
  Window({100, 100, 901, 700});  // 801 x 600
  FormBounds form{0, 0, 400, 300};
  CenterFormOverWindow(form, kWnd);
  EXPECT_EQ(form.Left, 100 + 200);  // 200.5 -> 200
  EXPECT_EQ(form.Top, 100 + 150);
}

TEST_F(CenterTest, NarrowWindowAtTheLeftEdgeIsClampedToTheVirtualScreen) {
  Screen(0, 0, 1920, 1080);
  Window({0, 0, 100, 100});
  FormBounds form{0, 0, 301, 100};  // H = -100.5 -> -100, then clamped to VX
  CenterFormOverWindow(form, kWnd);
  EXPECT_EQ(form.Left, 0);
  Screen(-300, 0, 2220, 1080);  // a monitor left of the primary one: -100 stays
  CenterFormOverWindow(form, kWnd);
  EXPECT_EQ(form.Left, -100);
}

TEST_F(CenterTest, WindowBeyondTheRightAndBottomEdges) {
  Screen(0, 0, 1920, 1080);
  Window({1800, 1000, 2200, 1400});
  FormBounds form{0, 0, 300, 200};
  CenterFormOverWindow(form, kWnd);
  EXPECT_EQ(form.Left + form.Width, 1920);
  EXPECT_EQ(form.Top + form.Height, 1080);
}

TEST_F(CenterTest, DialogLargerThanTheScreenAlignsToItsLeftTop) {
  Screen(-10, -20, 800, 600);
  Window({0, 0, 500, 400});
  FormBounds form{0, 0, 1000, 900};
  CenterFormOverWindow(form, kWnd);
  EXPECT_EQ(form.Left, -10);
  EXPECT_EQ(form.Top, -20);
}

TEST_F(CenterTest, UnknownWindowCentresOnTheScreen) {
  Screen(0, 0, 1000, 800);
  FormBounds form{5, 5, 200, 100};
  CenterFormOverWindow(form, 0xDEAD);
  EXPECT_EQ(form.Left, 400);
  EXPECT_EQ(form.Top, 350);
}

class ExpandTest : public SimTest {};

TEST_F(ExpandTest, KnownUnknownAndPlainTexts) {
  files().SetEnv(u"SystemRoot", u"C:\\WINDOWS");
  EXPECT_EQ(ExpandEnvVars(u"%SystemRoot%\\system32\\config\\Sample.evt"),
            u"C:\\WINDOWS\\system32\\config\\Sample.evt");
  EXPECT_EQ(ExpandEnvVars(u"%systemroot%"), u"C:\\WINDOWS");
  EXPECT_EQ(ExpandEnvVars(u"C:\\plain path"), u"C:\\plain path");
  EXPECT_EQ(ExpandEnvVars(u"%NoSuchVar%\\x"), u"%NoSuchVar%\\x");
  EXPECT_EQ(ExpandEnvVars(u"100%"), u"100%");
  EXPECT_EQ(ExpandEnvVars(u""), u"");
}

TEST_F(ExpandTest, ExpansionsBeyondTheClassicBufferAreKeptWhole) {
  const std::u16string longDir(250, u'd');
  files().SetEnv(u"LONG", longDir);
  const std::u16string fit = ExpandEnvVars(u"%LONG%\\a.evt");  // 256 characters
  EXPECT_EQ(fit, longDir + u"\\a.evt");
  const std::u16string big = ExpandEnvVars(u"%LONG%\\%LONG%");  // 501 characters
  EXPECT_EQ(big, longDir + u"\\" + longDir);
}

class SystemInfoTest : public SimTest {};

TEST_F(SystemInfoTest, VersionAndWow64) {
  files().SetOsMajorVersion(6);
  EXPECT_EQ(GetOSMajorVersion(), 6u);
  files().SetVersionQueryFails(true);
  EXPECT_EQ(GetOSMajorVersion(), 0u);

  // Not under WOW64: nothing is switched and the caller keeps the redirection.
  EXPECT_FALSE(DisableWow64Redirection());
  EXPECT_FALSE(RevertWow64Redirection());
  files().SetWow64(sim::SimSystem::Wow64::kFunctionMissing);
  EXPECT_FALSE(IsWow64(files().CurrentProcess()));
  EXPECT_FALSE(DisableWow64Redirection());
  files().SetWow64(sim::SimSystem::Wow64::kCallFails);
  EXPECT_FALSE(IsWow64(files().CurrentProcess()));

  files().SetWow64(sim::SimSystem::Wow64::kWow64);
  EXPECT_TRUE(IsWow64(files().CurrentProcess()));
  EXPECT_TRUE(DisableWow64Redirection());
  EXPECT_EQ(files().RedirectionDepth(), 1);
  EXPECT_TRUE(RevertWow64Redirection());
  EXPECT_EQ(files().RedirectionDepth(), 0);
}

}  // namespace
}  // namespace qb::sysutil
