// A program in front that has stopped taking its messages: each way of moving it returns without
// waiting for it and says so in the log, and the main window goes on following the foreground.
#include <functional>
#include <string>
#include <vector>

#include "MainFixture.h"
#include "shell/UnitFrmInstance.h"
#include "ui/headless/Headless.h"

namespace tessary::test {
namespace {

constexpr TRect StuckRect{100, 100, 900, 700};

class HungProgramTest : public MainFixture {
 protected:
  void SetUp() override {
    MainFixture::SetUp();
    CheckInstance(INST_INIT);  // the running instance's window, which later starts talk to
    ASSERT_NE(FrmDummyInstance(), nullptr);
    stuck = AddProgram(L"stuck.exe", StuckRect);
    later = AddProgram(L"later.exe", {2000, 100, 2800, 700});
    main->Show();
    sim.SetForeground(stuck);
    sim.SetHung(stuck, true);
    Wait(200);
    ASSERT_EQ(main->lblProgram->Text(), L"stuck.exe");
    ASSERT_TRUE(main->btnRight->Usable());
  }

  WindowHandle AddProgram(const std::wstring& exe, TRect rect) {
    sim::WindowSpec desc;
    desc.pid = sim.AddProcess(exe);
    desc.title = L"Work of " + exe;
    return AddApp(rect, desc);
  }

  WindowHandle stuck = 0, later = 0;
};

TEST_F(HungProgramTest, EachTriggerReturnsWithoutWaitingAndTheWindowGoesOnFollowingTheForeground) {
  struct Case {
    const char* name;
    std::function<void()> trigger;
  };
  const std::vector<Case> cases = {
      {"Move Right button", [this] { ASSERT_TRUE(ui::headless::Click(*main->btnRight)); }},
      {"a later start with -mf right", [] { SendToInstance(L"-mf right "); }},
      {"a later start with -mf next", [] { SendToInstance(L"-mf next "); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetLogState();
    const uint32_t t0 = sim.GetTickCount();
    c.trigger();
    EXPECT_TRUE(sim.HangsSuffered().empty());
    // Counted as hung by the system: the question is answered at once.
    EXPECT_EQ(sim.GetTickCount() - t0, 0u);
    EXPECT_EQ(RectOf(stuck), StuckRect);
    EXPECT_TRUE(Logged(L"MP: not responding, not moved: stuck.exe :(1460) This operation returned because the timeout "
                       L"period expired"));

    // The foreground watch runs on: another program in front shows within one tick of its timer.
    sim.SetForeground(later);
    Wait(200);
    EXPECT_EQ(main->lblProgram->Text(), L"later.exe");
    EXPECT_EQ(main->lblTitle->Text(), L"Title: Work of later.exe");
    sim.SetForeground(stuck);
    Wait(200);
    EXPECT_EQ(main->lblProgram->Text(), L"stuck.exe");
  }
  EXPECT_TRUE(sim.HangsSuffered().empty());

  // The same steps move it once it responds again.
  sim.SetHung(stuck, false);
  SendToInstance(L"-mf right ");
  EXPECT_EQ(RectOf(stuck), (TRect{2020, 100, 2820, 700}));  // the same place on the other monitor
  EXPECT_EQ(sim.GetForegroundWindow(), stuck);
}

}  // namespace
}  // namespace tessary::test
