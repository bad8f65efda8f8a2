// Capturing a window into a program record, and the integrity level of its process.
#include <optional>
#include <string>
#include <vector>

#include "MovingFixture.h"
#include "core/UnitForeground.h"
#include "core/UnitIntegrity.h"

namespace tessary {
namespace {

using Lines = std::vector<std::wstring>;

class CaptureTest : public test::MovingFixture {
 protected:
  void SetUp() override {
    MovingFixture::SetUp();
    sim.SetLayout({{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}});
  }
};

TEST_F(CaptureTest, GatherProgramInfoByWindowState) {
  struct Case {
    const char* name;
    TRect rect;
    bool minimized, maximized;
    TRect bounds;
    int32_t monitorID;
    bool isLeft;
    double left, top, wd, ht;
  } cases[] = {
      {"normal, first monitor", {480, 270, 1440, 810}, false, false, {480, 270, 1440, 810}, 0, true, 0.25, 0.25, 0.5, 0.5},
      {"normal, second monitor", {2400, 270, 3360, 810}, false, false, {2400, 270, 3360, 810}, 1, false, 0.25, 0.25, 0.5,
       0.5},
      {"partly off its monitor", {-10, 0, 950, 540}, false, false, {-10, 0, 950, 540}, 0, true, -10.0 / 1920, 0, 0.5, 0.5},
      {"minimized on the second", {2400, 270, 3360, 810}, true, false, {0, 0, 0, 0}, 1, false, 0, 0, 0, 0},
      // The second monitor has no taskbar: the maximized frame overhangs it by 8 pixels.
      {"maximized on the second", {2400, 270, 3360, 810}, false, true, {1912, -8, 3848, 1088}, 1, false, 0, 0,
       1936.0 / 1920, 1096.0 / 1080},
  };
  for (const auto& c : cases) {
    sim::WindowSpec desc;
    desc.minimized = c.minimized;
    desc.maximized = c.maximized;
    desc.pid = sim.AddProcess(L"Editor.exe");
    const WindowHandle h = AddApp(c.rect, desc);
    TProgramInfo info;
    info.leftpercent = info.toppercent = 9;  // stale values from an earlier capture
    TForeGround::GatherProgramInfo(h, info);
    EXPECT_EQ(info.hwnd, h) << c.name;
    EXPECT_EQ(info.EXEName, L"Editor.exe") << c.name;
    EXPECT_EQ(info.isMinimized, c.minimized) << c.name;
    EXPECT_EQ(info.isMaximized, c.maximized) << c.name;
    EXPECT_EQ(info.bounds, c.bounds) << c.name;
    EXPECT_EQ(info.monitorID, c.monitorID) << c.name;
    EXPECT_EQ(info.isLeftMonitor, c.isLeft) << c.name;
    EXPECT_TRUE(info.isTopMonitor) << c.name;
    EXPECT_DOUBLE_EQ(info.leftpercent, c.left) << c.name;
    EXPECT_DOUBLE_EQ(info.toppercent, c.top) << c.name;
    EXPECT_DOUBLE_EQ(info.wdpercent, c.wd) << c.name;
    EXPECT_DOUBLE_EQ(info.htpercent, c.ht) << c.name;
  }
  EXPECT_TRUE(Log().empty());
}

TEST_F(CaptureTest, MonitorNumbersFollowTheCurrentEnumeration) {
  const WindowHandle h = AddApp({2400, 270, 3360, 810});
  TProgramInfo info;
  TForeGround::GatherProgramInfo(h, info);
  EXPECT_EQ(info.monitorID, 1);
  // The same monitors enumerated the other way round.
  sim.SetLayout({{1920, 0, 3840, 1080}, {0, 0, 1920, 1080}});
  TForeGround::GatherProgramInfo(h, info);
  EXPECT_EQ(info.monitorID, 0);
}

TEST_F(CaptureTest, AVanishedWindowGivesAnEmptyRecordAndLogLines) {
  const WindowHandle h = AddApp({480, 270, 1440, 810});
  sim.RemoveWindow(h);
  TProgramInfo info;
  TForeGround::GatherProgramInfo(h, info);
  EXPECT_EQ(info.EXEName, L"");  // not the idle process that owns "process 0"
  EXPECT_EQ(info.bounds, (TRect{}));
  EXPECT_EQ(info.monitorID, -1);
  EXPECT_EQ(Log(), (Lines{L"GPI: Failed to getRect:  :(1400) Invalid window handle",
                          L"GPI: Failed MonitorFromWIndow:  :(1400) Invalid window handle"}));
}

TEST_F(CaptureTest, ProcessNames) {
  const WindowHandle h = AddApp({0, 0, 100, 100});
  EXPECT_EQ(GetProcessExeName(h), L"app.exe");
  EXPECT_EQ(GetProcessExeName(0), L"");
  // The process's own name first; the whole list (slow under Wine) only when that is refused.
  sim.FailOperation(Op::GetProcessList, wc::ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetProcessExeName(h), L"app.exe");
  sim.ClearFaults();
  sim.FailOperation(Op::GetProcessImageName, wc::ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetProcessExeName(h), L"app.exe");
  sim.FailOperation(Op::GetProcessImageName, wc::ERROR_ACCESS_DENIED);
  sim.FailOperation(Op::GetProcessList, wc::ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetProcessExeName(h), L"[error]");
  EXPECT_EQ(sim.GetLastError(), wc::ERROR_ACCESS_DENIED);
}

TEST_F(CaptureTest, GetInfoCapturesTheForegroundWindow) {
  sim::WindowSpec desc;
  desc.maximized = true;
  const WindowHandle h = AddApp({480, 270, 1440, 810}, desc);
  TProgramInfo info;
  EXPECT_FALSE(TForeGround::isForeground(info));

  // Nothing in front: only the handle changes.
  info.EXEName = L"kept.exe";
  info.wdpercent = 0.75;
  info.isMinimized = true;
  TForeGround::GetInfo(info);
  EXPECT_EQ(info.hwnd, 0u);
  EXPECT_EQ(info.EXEName, L"kept.exe");
  EXPECT_EQ(info.wdpercent, 0.75);
  EXPECT_TRUE(info.isMinimized);
  EXPECT_EQ(Log(), (Lines{L"GI: failed to get foreground window :(0) The operation completed successfully"}));

  sim.SetForeground(h);
  ResetLogState();
  TForeGround::GetInfo(info);
  EXPECT_EQ(info.hwnd, h);
  EXPECT_TRUE(info.isMaximized);
  EXPECT_FALSE(info.isMinimized);
  EXPECT_EQ(Log(), (Lines{L"GI: Program [app.exe] min [False] max [True] "}));
  EXPECT_TRUE(TForeGround::isForeground(info));
  sim.SetForeground(AddApp({0, 0, 10, 10}));
  EXPECT_FALSE(TForeGround::isForeground(info));
}

TEST_F(CaptureTest, IntegrityLevelOfTheOwningProcess) {
  struct Case {
    const char* name;
    uint32_t rid;
    bool tokenOpens;
    std::optional<uint32_t> enableLua;
    bool result;
    int32_t level;  // 77: left as the caller had it
    int closes;
  } cases[] = {
      {"medium", wc::SECURITY_MANDATORY_MEDIUM_RID, true, std::nullopt, true, 0x2000, 2},
      {"high", wc::SECURITY_MANDATORY_HIGH_RID, true, 1u, true, 0x3000, 2},
      {"high, token closed to us", wc::SECURITY_MANDATORY_HIGH_RID, false, std::nullopt, false, 77, 1},
      {"user-account control off", wc::SECURITY_MANDATORY_HIGH_RID, true, 0u, true, 0, 2},
  };
  TIntegrity integrity;
  for (const auto& c : cases) {
    sim.SetEnableLua(c.enableLua);
    sim::WindowSpec desc;
    desc.pid = sim.AddProcess(L"tool.exe", c.rid, c.tokenOpens);
    const WindowHandle h = AddApp({0, 0, 100, 100}, desc);
    sim.ResetCallCounts();
    int32_t level = 77;
    EXPECT_EQ(integrity.GetLevel(h, level), c.result) << c.name;
    EXPECT_EQ(level, c.level) << c.name;
    EXPECT_EQ(sim.CallCount(Op::CloseHandle), c.closes) << c.name;
  }
  EXPECT_TRUE(Log().empty());
}

TEST_F(CaptureTest, IntegrityLevelOfAVanishedWindowGivesUpAfterElevenLookups) {
  const WindowHandle h = AddApp({0, 0, 100, 100});
  sim.RemoveWindow(h);
  TIntegrity integrity;
  int32_t level = 77;
  EXPECT_FALSE(integrity.GetLevel(h, level));
  EXPECT_EQ(level, 77);
  EXPECT_EQ(sim.CallCount(Op::GetWindowThreadProcessId), 11);
  EXPECT_EQ(sim.TotalSlept(), 100u);
  EXPECT_EQ(sim.CallCount(Op::OpenProcess), 0);
  EXPECT_EQ(Log(), (Lines{L"GL: GetWindowThreadProcessId fail :(1400) Invalid window handle"}));
}

TEST_F(CaptureTest, IntegrityLevelNeedsVista) {
  const WindowHandle h = AddApp({0, 0, 100, 100});
  sim.SetVersion(0x0A280105u);  // 5.1
  TIntegrity integrity;
  int32_t level = 77;
  EXPECT_FALSE(integrity.GetLevel(h, level));
  EXPECT_EQ(level, 77);
  EXPECT_EQ(sim.CallCount(Op::GetWindowThreadProcessId), 0);
  sim.SetVersion(0x17700006u);  // 6.0
  EXPECT_TRUE(integrity.GetLevel(h, level));
  EXPECT_EQ(level, 0x2000);
}

}  // namespace
}  // namespace tessary
