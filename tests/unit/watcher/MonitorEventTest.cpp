// The display event window on the simulated desktop: its window and registration, device
// arrivals and removals as the platform delivers them (and records no platform would send),
// display changes, the listeners and the log lines in their order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "../moving/MovingFixture.h"
#include "watcher/UnitFrmMonitorEvent.h"

namespace tessary::test {
namespace {

using namespace tessary::wc;
using namespace std::string_literals;

constexpr const wchar_t* kMonitorName =
    L"\\\\?\\DISPLAY#DEL4071#5&1a2b3c4d&0&UID4352#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
constexpr TRect kLeft{0, 0, 1920, 1080}, kRight{1920, 0, 3840, 1080};

// A DEV_BROADCAST_DEVICEINTERFACE_W record as raw bytes: size, type, reserved, GUID, UTF-16 name.
std::vector<uint8_t> Record(uint32_t size, uint32_t type, const std::u16string& units) {
  std::vector<uint8_t> bytes(28, 0);
  std::memcpy(bytes.data(), &size, 4);
  std::memcpy(bytes.data() + 4, &type, 4);
  for (char16_t u : units) {
    bytes.push_back(static_cast<uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  return bytes;
}

class MonitorEventTest : public MovingFixture {
 protected:
  void SetUp() override {
    MovingFixture::SetUp();
    monitors = {kLeft, kRight};
    sim.SetLayout(monitors);
    primary = sim.EnumMonitors().front().handle;
  }
  void TearDown() override {
    form.reset();
    MovingFixture::TearDown();
  }

  // Creates the window and registers one listener of each kind that notes its call (and logs
  // it, so its place among the window's lines shows).
  void Create() {
    form = std::make_unique<TFrmMonitorEvent>();
    form->RegisterConnectListener([this] { Note(L"connect"); });
    form->RegisterDisconnectListener([this] { Note(L"disconnect"); });
    form->RegisterResolutionChange([this] { Note(L"resolution"); });
    logStart = Log().size();
  }
  void Note(const std::wstring& what) {
    calls.push_back(what);
    AppendLog(L"listener " + what + L" " + std::to_wstring(calls.size()));
  }
  // The log lines since Create().
  std::vector<std::wstring> NewLines() {
    const auto log = Log();
    return {log.begin() + static_cast<std::ptrdiff_t>(std::min(logStart, log.size())), log.end()};
  }

  intptr_t SendBytes(uintptr_t event, std::vector<uint8_t> bytes) {
    return sim.SendMessageW(form->Handle(), WM_DEVICECHANGE, event, reinterpret_cast<intptr_t>(bytes.data()));
  }

  std::vector<TRect> monitors;
  MonitorHandle primary = 0;
  std::unique_ptr<TFrmMonitorEvent> form;
  std::vector<std::wstring> calls;
  size_t logStart = 0;
};

// ---------------------------------------------------------------- window and registration

TEST_F(MonitorEventTest, IsAHiddenTopLevelWindowRegisteredForMonitorInterfaces) {
  const WindowHandle foreground = sim.GetForegroundWindow();
  Create();
  const WindowHandle h = form->Handle();
  ASSERT_NE(h, 0u);
  EXPECT_EQ(FrmMonitorEvent(), form.get());
  EXPECT_EQ(sim.GetWindowTextW(h), L"frmMonitorEvent");
  EXPECT_EQ(sim.GetClassNameW(h), L"Tessary.FrmMonitorEvent");
  EXPECT_FALSE(sim.IsWindowVisible(h));
  EXPECT_EQ(sim.GetParent(h), 0u);
  EXPECT_EQ(sim.FindWindowW(L"", L"frmMonitorEvent"), h) << "a real top-level window, not a message-only one";
  TRect r;
  ASSERT_TRUE(sim.GetWindowRect(h, r));
  EXPECT_EQ(r, (TRect{0, 0, 120, 7}));
  int32_t w = 0, ht = 0;
  ASSERT_TRUE(sim.GetClientSize(h, w, ht));
  EXPECT_EQ(w, 120);
  EXPECT_EQ(ht, 7);
  EXPECT_NE(form->FDevNotifyHandle.get(), 0u);
  EXPECT_EQ(form->startingRect, kLeft);
  EXPECT_EQ(sim.GetForegroundWindow(), foreground) << "never activated";

  const auto log = Log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], L"FC: TFrmMonitorEvent");
  EXPECT_EQ(log.back(), L"FC: Starting MonitorNum=TL [0, 0] WDxHT [1920 x 1080]");
  // Arrivals of that class reach it; other classes do not.
  EXPECT_EQ(sim.DeliverDeviceInterfaceEvent(DBT_DEVICEARRIVAL, TFrmMonitorEvent::MonitorInterfaceClass, L"M"), 1);
  EXPECT_EQ(sim.DeliverDeviceInterfaceEvent(DBT_DEVICEARRIVAL, L"{A5DCBF10-6530-11D2-901F-00C04FB951ED}", L"U"), 0);
}

TEST_F(MonitorEventTest, TheStartingLineGivesTopBeforeLeftOfTheNearestMonitor) {
  sim.SetLayout({TRect{-300, -200, 2260, 1240}, TRect{2260, 0, 4180, 1080}});
  Create();
  EXPECT_EQ(Log().back(), L"FC: Starting MonitorNum=TL [-200, -300] WDxHT [2560 x 1440]");
}

TEST_F(MonitorEventTest, WithoutTheRegistrationOnlyDisplayChangesArrive) {
  sim.FailOperation(Op::RegisterDeviceNotificationW, ERROR_ACCESS_DENIED);
  Create();
  EXPECT_EQ(form->FDevNotifyHandle.get(), 0u);
  const auto log = Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3], L"FC: TFrmMonitorEvent");
  EXPECT_EQ(log[log.size() - 2], L"HRE: failed; :(5) Access is denied");
  EXPECT_EQ(log.back(), L"FC: Starting MonitorNum=TL [0, 0] WDxHT [1920 x 1080]");

  EXPECT_EQ(sim.DeliverDeviceInterfaceEvent(DBT_DEVICEARRIVAL, TFrmMonitorEvent::MonitorInterfaceClass, kMonitorName),
            0);
  sim.SetMonitorBounds(primary, TRect{0, 0, 1280, 720});
  sim.ProcessPendingMessages();
  EXPECT_EQ(calls, std::vector<std::wstring>{L"resolution"});
}

TEST_F(MonitorEventTest, DestroyingTheWindowReleasesTheRegistration) {
  Create();
  const KernelHandle registration = form->FDevNotifyHandle.get();
  const WindowHandle h = form->Handle();
  form.reset();
  EXPECT_EQ(FrmMonitorEvent(), nullptr);
  EXPECT_FALSE(sim.IsWindow(h));
  EXPECT_EQ(sim.CallCount(Op::UnregisterDeviceNotification), 1);
  EXPECT_FALSE(sim.UnregisterDeviceNotification(registration)) << "already released";
  EXPECT_EQ(sim.DeliverDeviceInterfaceEvent(DBT_DEVICEARRIVAL, TFrmMonitorEvent::MonitorInterfaceClass, kMonitorName),
            0);
}

// ---------------------------------------------------------------- device changes

struct DeliveredCase {
  const char* name;
  uintptr_t event;
  std::wstring deviceName;
  std::vector<std::wstring> lines;  // the log lines of the event, in order
};
void PrintTo(const DeliveredCase& c, std::ostream* os) { *os << c.name; }

class DeliveredTest : public MonitorEventTest, public ::testing::WithParamInterface<DeliveredCase> {};

// As the platform delivers them: to the registered window, a well-formed record.
TEST_P(DeliveredTest, TheNameIsLoggedPieceByPieceThenTheListenersThenTheEvent) {
  const DeliveredCase& c = GetParam();
  Create();
  EXPECT_EQ(sim.DeliverDeviceInterfaceEvent(c.event, L"e6f07b5f-ee97-4a90-b076-33f57bf4eaa7", c.deviceName), 1);
  EXPECT_EQ(NewLines(), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeliveredTest,
    ::testing::Values(
        DeliveredCase{"Arrival",
                      DBT_DEVICEARRIVAL,
                      kMonitorName,
                      {L"WM_DC: device=\\\\?\\DISPLAY", L"WM_DC: device=DEL4071", L"WM_DC: device=5&1a2b3c4d&0&UID4352",
                       L"WM_DC: device={e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}", L"listener connect 1",
                       L"WP: DEVICEARRIVAL"}},
        DeliveredCase{"Removal",
                      DBT_DEVICEREMOVECOMPLETE,
                      kMonitorName,
                      {L"WM_DC: device=\\\\?\\DISPLAY", L"WM_DC: device=DEL4071", L"WM_DC: device=5&1a2b3c4d&0&UID4352",
                       L"WM_DC: device={e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}", L"listener disconnect 1",
                       L"WP: DEVICEREMOVALCOMPLETE"}},
        DeliveredCase{"NameWithoutHash",
                      DBT_DEVICEARRIVAL,
                      L"MONITOR\\DEL4071",
                      {L"WM_DC: device=MONITOR\\DEL4071", L"listener connect 1", L"WP: DEVICEARRIVAL"}},
        DeliveredCase{"NameEndingInHash",
                      DBT_DEVICEREMOVECOMPLETE,
                      L"A#B#",
                      {L"WM_DC: device=A", L"WM_DC: device=B", L"WM_DC: device=", L"listener disconnect 1",
                       L"WP: DEVICEREMOVALCOMPLETE"}},
        DeliveredCase{"EmptyFirstAndLastPieces",
                      DBT_DEVICEARRIVAL,
                      L"#X#",
                      {L"WM_DC: device=", L"WM_DC: device=X", L"WM_DC: device=", L"listener connect 1",
                       L"WP: DEVICEARRIVAL"}},
        DeliveredCase{"EmptyName",
                      DBT_DEVICEARRIVAL,
                      L"",
                      {L"WM_DC: device=", L"listener connect 1", L"WP: DEVICEARRIVAL"}},
        DeliveredCase{"NonAsciiName",
                      DBT_DEVICEARRIVAL,
                      L"\u00c9cran#\U0001F5B5",
                      {L"WM_DC: device=\u00c9cran", L"WM_DC: device=\U0001F5B5", L"listener connect 1",
                       L"WP: DEVICEARRIVAL"}},
        // Other events: the window does nothing with them.
        DeliveredCase{"QueryRemove", 0x8001, kMonitorName, {}},
        DeliveredCase{"NodesChangedWithARecord", DBT_DEVNODES_CHANGED, kMonitorName, {L"WP: DEVNODES_CHANGED"}}),
    [](const auto& param) { return std::string(param.param.name); });

struct RawCase {
  const char* name;
  uintptr_t event;
  std::vector<uint8_t> bytes;  // what lParam points to (the buffer has exactly these bytes)
  std::vector<std::wstring> lines;
  std::vector<std::wstring> calls;
};
void PrintTo(const RawCase& c, std::ostream* os) { *os << c.name; }

class RawRecordTest : public MonitorEventTest, public ::testing::WithParamInterface<RawCase> {};

// Anyone may send WM_DEVICECHANGE: whatever lParam points to, nothing beyond the record's own size
// is read. Each record goes twice: in a buffer of exactly its declared size (an over-read shows
// under AddressSanitizer), starting at an odd address; and followed by the rest of the bytes
// (units beyond the size must not show up in the name).
TEST_P(RawRecordTest, RecordsOfAnyShapeAreReadWithinTheirOwnSize) {
  const RawCase& c = GetParam();
  Create();
  uint32_t size = 0;
  std::memcpy(&size, c.bytes.data(), 4);
  const size_t exactSize = std::min(c.bytes.size(), std::max<size_t>(size, 4));
  std::vector<uint8_t> exact(exactSize + 1);
  std::memcpy(exact.data() + 1, c.bytes.data(), exactSize);
  std::vector<uint8_t> full = c.bytes;
  EXPECT_EQ(sim.SendMessageW(form->Handle(), WM_DEVICECHANGE, c.event, reinterpret_cast<intptr_t>(exact.data() + 1)),
            1);
  AppendLog(L"listener -");  // keeps the log from folding the two messages' identical lines
  EXPECT_EQ(sim.SendMessageW(form->Handle(), WM_DEVICECHANGE, c.event, reinterpret_cast<intptr_t>(full.data())), 1);

  std::vector<std::wstring> twice = c.lines;
  twice.insert(twice.end(), c.lines.begin(), c.lines.end());
  std::vector<std::wstring> callsTwice = c.calls;
  callsTwice.insert(callsTwice.end(), c.calls.begin(), c.calls.end());
  std::vector<std::wstring> lines;
  for (const std::wstring& l : NewLines())
    if (l.rfind(L"listener ", 0) != 0) lines.push_back(l);
  EXPECT_EQ(lines, twice);
  EXPECT_EQ(calls, callsTwice);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RawRecordTest,
    ::testing::Values(
        RawCase{"WellFormed", DBT_DEVICEARRIVAL, Record(28 + 8, 5, u"A#B\0"s),
                {L"WM_DC: device=A", L"WM_DC: device=B", L"WP: DEVICEARRIVAL"}, {L"connect"}},
        // The name runs to the end of the record when no zero ends it; the units after the size
        // are not part of it.
        RawCase{"NoTerminatorWithinTheSize", DBT_DEVICEARRIVAL, Record(28 + 6, 5, u"A#BCD\0"s),
                {L"WM_DC: device=A", L"WM_DC: device=B", L"WP: DEVICEARRIVAL"}, {L"connect"}},
        RawCase{"OddSize", DBT_DEVICEREMOVECOMPLETE, Record(28 + 3, 5, u"XY\0"s),
                {L"WM_DC: device=X", L"WP: DEVICEREMOVALCOMPLETE"}, {L"disconnect"}},
        RawCase{"FixedPartOnly", DBT_DEVICEARRIVAL, Record(28, 5, u"Z\0"s),
                {L"WM_DC: device=", L"WP: DEVICEARRIVAL"}, {L"connect"}},
        RawCase{"ShorterThanTheFixedPart", DBT_DEVICEARRIVAL, Record(27, 5, u""s), {L"WP: DEVICEARRIVAL"}, {}},
        RawCase{"ShorterThanTheHeader", DBT_DEVICEARRIVAL, {4, 0, 0, 0}, {L"WP: DEVICEARRIVAL"}, {}},
        RawCase{"SizeZero", DBT_DEVICEREMOVECOMPLETE, Record(0, 5, u"A\0"s), {L"WP: DEVICEREMOVALCOMPLETE"}, {}},
        RawCase{"VolumeNotInterface", DBT_DEVICEARRIVAL, Record(28 + 4, 2, u"C\0"s), {L"WP: DEVICEARRIVAL"}, {}},
        RawCase{"PortNotInterface", DBT_DEVICEREMOVECOMPLETE, Record(28 + 4, 3, u"C\0"s),
                {L"WP: DEVICEREMOVALCOMPLETE"}, {}},
        RawCase{"LoneSurrogate", DBT_DEVICEARRIVAL, Record(28 + 4, 5, u"\xD800\0"s), {L"WM_DC: device=\xD800", L"WP: DEVICEARRIVAL"},
                {L"connect"}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(MonitorEventTest, NoRecordMeansNoListenersOnlyTheEventLine) {
  Create();
  for (uintptr_t event : {DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE, DBT_DEVNODES_CHANGED, uintptr_t{0x18}})
    EXPECT_EQ(sim.SendMessageW(form->Handle(), WM_DEVICECHANGE, event, 0), 1);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(NewLines(), (std::vector<std::wstring>{L"WP: DEVICEARRIVAL", L"WP: DEVICEREMOVALCOMPLETE",
                                                   L"WP: DEVNODES_CHANGED"}));
}

TEST_F(MonitorEventTest, ListenersRunInRegistrationOrderOncePerEventAndOnlyForTheirKind) {
  Create();
  form->RegisterConnectListener([this] {
    calls.push_back(L"connect 2");
    // Registered during an event: called from the next one on.
    form->RegisterConnectListener([this] { calls.push_back(L"connect 3"); });
  });
  form->RegisterConnectListener([this] { calls.push_back(L"connect 2b"); });

  // Two monitors waking up: two arrivals, each calls every connect listener once.
  sim.DeliverDeviceInterfaceEvent(DBT_DEVICEARRIVAL, TFrmMonitorEvent::MonitorInterfaceClass, kMonitorName);
  EXPECT_EQ(calls, (std::vector<std::wstring>{L"connect", L"connect 2", L"connect 2b"}));
  calls.clear();
  sim.DeliverDeviceInterfaceEvent(DBT_DEVICEARRIVAL, TFrmMonitorEvent::MonitorInterfaceClass, kMonitorName);
  EXPECT_EQ(calls, (std::vector<std::wstring>{L"connect", L"connect 2", L"connect 2b", L"connect 3"}));
  calls.clear();
  sim.DeliverDeviceInterfaceEvent(DBT_DEVICEREMOVECOMPLETE, TFrmMonitorEvent::MonitorInterfaceClass, kMonitorName);
  EXPECT_EQ(calls, std::vector<std::wstring>{L"disconnect"});
}

TEST_F(MonitorEventTest, ADuplicateListenerIsCalledTwice) {
  Create();
  int n = 0;
  auto count = [&n] { ++n; };
  form->RegisterDisconnectListener(count);
  form->RegisterDisconnectListener(count);
  sim.DeliverDeviceInterfaceEvent(DBT_DEVICEREMOVECOMPLETE, TFrmMonitorEvent::MonitorInterfaceClass, kMonitorName);
  EXPECT_EQ(n, 2);
}

TEST_F(MonitorEventTest, AListenerThatThrowsIsReportedAndTheWindowGoesOn) {
  Create();
  form->RegisterConnectListener([] { throw std::runtime_error("listener failed"); });
  sim.DeliverDeviceInterfaceEvent(DBT_DEVICEARRIVAL, TFrmMonitorEvent::MonitorInterfaceClass, kMonitorName);
  EXPECT_TRUE(Logged(L"listener failed"));
  ASSERT_EQ(sim.MessageBoxes().size(), 1u);
  EXPECT_EQ(sim.MessageBoxes()[0].text, L"listener failed\r\n[Debug.txt] log created.");
  calls.clear();
  sim.DeliverDeviceInterfaceEvent(DBT_DEVICEREMOVECOMPLETE, TFrmMonitorEvent::MonitorInterfaceClass, kMonitorName);
  EXPECT_EQ(calls, std::vector<std::wstring>{L"disconnect"});
}

// ---------------------------------------------------------------- display changes

TEST_F(MonitorEventTest, ADisplayChangeWithTheNearestMonitorUnchangedOnlyLogsTheChange) {
  Create();
  sim.RemoveMonitor(sim.EnumMonitors()[1].handle);  // the other monitor goes to sleep
  sim.ProcessPendingMessages();
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(NewLines(), std::vector<std::wstring>{L"WP: Display Change 1920x1080 32"});
  EXPECT_EQ(form->startingRect, kLeft);
}

TEST_F(MonitorEventTest, ANewResolutionOfTheNearestMonitorInformsTheListenersOnce) {
  Create();
  sim.SetMonitorBounds(primary, TRect{0, 0, 1280, 720});
  sim.ProcessPendingMessages();
  EXPECT_EQ(calls, std::vector<std::wstring>{L"resolution"});
  EXPECT_EQ(NewLines(), (std::vector<std::wstring>{L"WP: Display Change 1280x720 32", L"listener resolution 1",
                                                   L"WP: informed resolution listeners"}));
  EXPECT_EQ(form->startingRect, (TRect{0, 0, 1280, 720}));

  // The same bounds again: nobody is called.
  logStart = Log().size();
  sim.SendMessageW(form->Handle(), WM_DISPLAYCHANGE, 32, 1280 | (720 << 16));
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_EQ(NewLines(), std::vector<std::wstring>{L"WP: Display Change 1280x720 32"});
}

TEST_F(MonitorEventTest, TheBoundsAreReadAgainAfterTheListenersRan) {
  Create();
  // A listener during which the monitor changes once more.
  form->RegisterResolutionChange([this] { sim.SetMonitorBounds(primary, TRect{0, 0, 1024, 768}); });
  sim.SetMonitorBounds(primary, TRect{0, 0, 1280, 720});
  sim.SendMessageW(form->Handle(), WM_DISPLAYCHANGE, 32, 1280 | (720 << 16));
  EXPECT_EQ(form->startingRect, (TRect{0, 0, 1024, 768}));
  EXPECT_EQ(calls.size(), 1u);
  // The change the listener made finds the bounds already known.
  sim.ProcessPendingMessages();
  EXPECT_EQ(calls.size(), 1u);
}

TEST_F(MonitorEventTest, TheDisplayChangeLineShowsTheMessageAsItCame) {
  Create();
  sim.SendMessageW(form->Handle(), WM_DISPLAYCHANGE, 24, static_cast<intptr_t>(0xFFFF | (0x0A00u << 16)));
  EXPECT_EQ(Log().back(), L"WP: Display Change 65535x2560 24");
}

}  // namespace
}  // namespace tessary::test
