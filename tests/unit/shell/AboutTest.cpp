#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "../moving/MovingFixture.h"
#include "shell/UnitFrmAbout.h"
#include "ui/headless/Headless.h"

namespace tessary::test {
namespace {

using namespace tessary::wc;

const std::wstring kExe = L"D:\\Tools\\Tessary.exe";

class AboutTest : public MovingFixture {
 protected:
  void SetUp() override {
    MovingFixture::SetUp();
    widgets.emplace(sim);
    sim.SetModuleFileName(kExe);
    sim.SetLayout({TRect{0, 0, 1920, 1080}, TRect{1920, 0, 3840, 1080}});
  }
  void TearDown() override {
    about.reset();
    widgets.reset();
    MovingFixture::TearDown();
  }

  TFrmAbout& Create(const std::wstring& webAddress = L"") {
    about = std::make_unique<TFrmAbout>(webAddress);
    return *about;
  }

  std::optional<ui::headless::HeadlessUi> widgets;
  std::unique_ptr<TFrmAbout> about;
};

struct VersionCase {
  const char* name;
  std::optional<std::array<uint16_t, 4>> version;  // none: the executable has no version resource
  const wchar_t* lblVersion;
  const wchar_t* lblBuild;
};

class AboutVersionTest : public AboutTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(AboutVersionTest, VersionAndBuildComeFromTheExecutablesFileVersion) {
  const VersionCase& c = GetParam();
  if (c.version) {
    const auto& v = *c.version;
    sim.SetFileVersion(kExe, v[0], v[1], v[2], v[3]);
  } else {
    sim.FailOperation(Op::GetFileVersion, 1813);  // ERROR_RESOURCE_TYPE_NOT_FOUND
  }
  sim.SetFileVersion(L"D:\\Other\\Tessary.exe", 7, 7, 7, 7);  // only the running executable counts

  TFrmAbout& form = Create();

  EXPECT_EQ(form.lblVersion->Text(), c.lblVersion);
  EXPECT_EQ(form.lblBuild->Text(), c.lblBuild);
  EXPECT_EQ(form.GetVersion(), std::wstring(c.lblVersion) + c.lblBuild);
  EXPECT_TRUE(Logged(L"FrmAbout - creating"));
  EXPECT_EQ(FrmAbout(), &form);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AboutVersionTest,
    ::testing::Values(VersionCase{"Release", std::array<uint16_t, 4>{1, 0, 9561, 59526}, L"1.0", L" build 9561-59526"},
                      VersionCase{"AllZero", std::array<uint16_t, 4>{0, 0, 0, 0}, L"0.0", L" build 0-0"},
                      VersionCase{"Largest", std::array<uint16_t, 4>{65535, 65535, 65535, 65535}, L"65535.65535",
                                  L" build 65535-65535"},
                      VersionCase{"NoVersionResource", std::nullopt, L"", L"lblBuild"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(AboutTest, CreatedHiddenCentredWithoutCaptionButtons) {
  TFrmAbout& form = Create();
  const WindowHandle h = form.Handle();
  ASSERT_NE(h, 0u);

  EXPECT_FALSE(sim.IsWindowVisible(h));
  EXPECT_EQ(sim.GetWindowTextW(h), L"About ");
  const auto style = static_cast<uint32_t>(sim.GetWindowLongW(h, GWL_STYLE));
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u) << "no caption buttons";
  EXPECT_EQ(form.ClientWidth(), 357);
  EXPECT_EQ(form.ClientHeight(), 170);
  MonitorDesc m;
  ASSERT_TRUE(sim.GetMonitorInfo(sim.MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST), m));
  TRect r;
  ASSERT_TRUE(sim.GetWindowRect(h, r));
  EXPECT_LE(std::abs((r.Left + r.Right) - (m.work.Left + m.work.Right)), 1);
  EXPECT_LE(std::abs((r.Top + r.Bottom) - (m.work.Top + m.work.Bottom)), 1);
}

TEST_F(AboutTest, EscapeAndCloseHideTheWindowOtherKeysDoNot) {
  TFrmAbout& form = Create();
  form.Show();
  ASSERT_TRUE(form.Visible());

  ui::headless::KeyUp(form, VK_RETURN);
  ui::headless::KeyUp(form, VK_SPACE);
  EXPECT_TRUE(form.Visible());

  ui::headless::KeyUp(form, VK_ESCAPE);
  EXPECT_FALSE(form.Visible());
  EXPECT_NE(sim.FindWindowW(TFrmAbout::ClassName, L"About "), 0u) << "closing only hides";

  form.Show();
  EXPECT_TRUE(ui::headless::Click(*form.Button1));
  EXPECT_FALSE(form.Visible());
}

TEST_F(AboutTest, WithAWebAddressTheLinkOpensItAndShowsTheHandCursorOverIt) {
  const std::wstring address = L"https://tessary.example.invalid/";
  TFrmAbout& form = Create(address);
  form.Show();
  EXPECT_EQ(form.lblURL->Text(), address);
  EXPECT_EQ(form.lblURL->Font().underline, true);
  EXPECT_EQ(form.Label3->Text(),
            L"Got an idea for improvement, a bug to report, or want to donate? Click on the above link.");

  EXPECT_TRUE(ui::headless::Click(*form.lblURL));
  EXPECT_EQ(sim.OpenedTargets(), (std::vector<std::wstring>{address}));

  ASSERT_TRUE(form.lblURL->onMouseEnter && form.lblURL->onMouseLeave);
  form.lblURL->onMouseEnter();
  EXPECT_EQ(form.lblURL->GetCursor(), ui::Cursor::UpArrow);
  form.lblURL->onMouseLeave();
  EXPECT_EQ(form.lblURL->GetCursor(), ui::Cursor::Default);
}

// No public home: nothing may send the user to an address nobody owns.
TEST_F(AboutTest, WithoutAWebAddressTheMakerIsPlainTextAndTheHintSaysHowToReport) {
  TFrmAbout& form = Create(L"");
  form.Show();
  EXPECT_EQ(form.lblURL->Text(), L"The Tessary developers");
  EXPECT_EQ(form.lblURL->Font().underline, false);
  EXPECT_EQ(form.lblURL->Font().face, L"Verdana");
  EXPECT_NE(form.Label3->Text().find(L"\"Debug.txt\""), std::wstring::npos) << form.Label3->Text();
  EXPECT_EQ(form.Label3->Text().find(L"link"), std::wstring::npos) << form.Label3->Text();

  ui::headless::Click(*form.lblURL);
  form.lblURLClick();
  EXPECT_TRUE(sim.OpenedTargets().empty());
  EXPECT_FALSE(form.lblURL->onMouseEnter) << "no hand cursor over plain text";
  EXPECT_EQ(form.lblURL->GetCursor(), ui::Cursor::Default);
}

TEST_F(AboutTest, TheLayoutIsTheSameWithAndWithoutAWebAddress) {
  auto boxes = [this](const std::wstring& address) {
    TFrmAbout& form = Create(address);
    std::vector<std::array<int32_t, 4>> out;
    for (const ui::Control* c : {static_cast<ui::Control*>(form.lblURL), static_cast<ui::Control*>(form.Label3)}) {
      const TRect r = c->ClientRect();
      out.push_back({c->Design().x, c->Design().y, r.Right - r.Left, r.Bottom - r.Top});
    }
    out.push_back({0, 0, form.ClientWidth(), form.ClientHeight()});
    return out;
  };
  const auto plain = boxes(L"");
  EXPECT_EQ(plain, boxes(L"https://tessary.example.invalid/"));
  EXPECT_EQ(plain[0], (std::array<int32_t, 4>{73, 64, 178, 13}));
  EXPECT_EQ(plain[1], (std::array<int32_t, 4>{73, 88, 214, 39}));
}

TEST_F(AboutTest, TheLogoIsDrawnAndRedrawnAtANewDpi) {
  TFrmAbout& form = Create();
  ui::Picture& logo = *form.Image1;
  auto colours = [&logo] {
    size_t screen = 0, arrow = 0;
    for (uint32_t px : logo.Pixels()) {
      screen += px == ui::RGB(58, 110, 165);
      arrow += px == ui::RGB(245, 166, 35);
    }
    return std::pair{screen, arrow};
  };
  const auto [screen96, arrow96] = colours();
  EXPECT_GT(screen96, 100u);
  EXPECT_GT(arrow96, 50u);

  // The monitor's scaling goes to 150 %: a bigger, fresh canvas that must be drawn again.
  const int32_t dpi = 144;
  TRect r{form.Left(), form.Top(), form.Left() + form.Width() * 3 / 2, form.Top() + form.Height() * 3 / 2};
  sim.SendMessageW(form.Handle(), WM_DPICHANGED, (dpi << 16) | dpi, reinterpret_cast<intptr_t>(&r));
  ASSERT_EQ(logo.CanvasWidth(), 69);
  const auto [screen144, arrow144] = colours();
  EXPECT_GT(screen144, screen96 * 2);
  EXPECT_GT(arrow144, arrow96 * 2);
}

}  // namespace
}  // namespace tessary::test
