#include <algorithm>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "CoreFixture.h"
#include "diagnostics/DebugLog.h"
#include "shell/UnitMisc.h"

namespace tessary {
namespace {

using Lines = std::vector<std::wstring>;

class DebugLogTest : public test::CoreFixture {
 protected:
  void SetUp() override {
    CoreFixture::SetUp();
    sim.SetLocalTimeText(L"T");
    sim.SetModuleFileName(L"D:\\Tools\\Tessary.exe");  // data folder D:\Tools\ .
  }
  void OpenWindow() {
    debugview::AttachWindow();
    debugview::Open();
  }
};

TEST_F(DebugLogTest, RepeatsFoldIntoOneLineCountedDifferentlyInLogAndWindow) {
  OpenWindow();
  for (const wchar_t* m : {L"A", L"A", L"A"}) AppendLog(m);
  EXPECT_EQ(LogLines(), (Lines{L"T: A"}));  // only the run's first line while it is open
  EXPECT_EQ(debugview::Rows(), (Lines{L"T: A [REPEAT x3]"}));
  sim.SetLocalTimeText(L"U");  // the closing line is stamped when the run closes
  AppendLog(L"B");
  EXPECT_EQ(LogLines(), (Lines{L"U: B", L"U: A [REPEAT x2]"}));
  EXPECT_EQ(debugview::Rows(), (Lines{L"U: B", L"U: A [REPEAT x3]"}));
  EXPECT_EQ(LogText(), L"U: B\r\nU: A [REPEAT x2]\r\n");
}

TEST_F(DebugLogTest, WithoutTheWindowLinesAreMarkedAndOnlyTheLogChanges) {
  for (const wchar_t* m : {L"A", L"A", L"B"}) AppendLog(m);
  EXPECT_EQ(LogLines(), (Lines{L"T:(x) B", L"T:(x) A [REPEAT x1]"}));
  debugview::AttachWindow();  // exists but hidden: the rows do not follow
  AppendLog(L"C");
  EXPECT_TRUE(debugview::Rows().empty());
  debugview::Open();
  EXPECT_EQ(debugview::Rows(), (Lines{L"T: C", L"T:(x) B", L"T:(x) A [REPEAT x1]"}));
}

TEST_F(DebugLogTest, OnlyTheTextAfterThePrefixDecidesARepeat) {
  OpenWindow();
  AppendLog(L"A");
  IncLevel();
  sim.SetLocalTimeText(L"U");
  AppendLog(L"A");  // other time and level: still a repeat
  EXPECT_EQ(RepeatCount(), 1);
  sim.SetLastError(5);
  AppendLog(L"A", true);  // the error suffix makes it another message
  EXPECT_EQ(RepeatCount(), 0);
  EXPECT_EQ(LogLines().size(), 2u);
}

TEST_F(DebugLogTest, OpenRunIsSavedAsItsFirstLineWithoutCount) {
  AppendLog(L"A");
  AppendLog(L"A");
  ASSERT_TRUE(SaveLog(L"Debug.txt"));
  EXPECT_EQ(ReadUtf16File(L"D:\\Tools\\Debug.txt"), L"T:(x) A\r\n");
}

TEST_F(DebugLogTest, EmptyFirstMessageCountsAsARepeatWithoutLosingTheNextLine) {
  OpenWindow();
  AppendLog(L"");
  EXPECT_TRUE(LogLines().empty());
  EXPECT_EQ(RepeatCount(), 1);
  // The window had no row to replace; it shows the run instead of dropping it.
  EXPECT_EQ(debugview::Rows(), (Lines{L"T:  [REPEAT x2]"}));
  AppendLog(L"B");
  EXPECT_EQ(LogLines(), (Lines{L"T: B", L"T:  [REPEAT x1]"}));
  EXPECT_EQ(debugview::Rows(), (Lines{L"T: B", L"T:  [REPEAT x2]"}));
}

TEST_F(DebugLogTest, LevelsIndentOnlyWithTheWindow) {
  IncLevel();
  AppendLog(L"before");
  OpenWindow();
  IncLevel();
  IncLevel();
  AppendLog(L"three");
  for (int i = 0; i < 4; ++i) DecLevel();
  EXPECT_EQ(debugview::Level(), 0);
  AppendLog(L"zero");
  EXPECT_EQ(LogLines(), (Lines{L"T: zero", L"T: >>> three", L"T:(x) before"}));
}

TEST_F(DebugLogTest, LogKeepsTwentyThousandLinesAndTheWindowAThousandAndOne) {
  OpenWindow();
  for (int i = 0; i <= 20000; ++i) AppendLog(L"line " + std::to_wstring(i));
  const Lines lines = LogLines();
  ASSERT_EQ(lines.size(), 20000u);
  EXPECT_EQ(lines.front(), L"T: line 20000");
  EXPECT_EQ(lines.back(), L"T: line 1");  // line 0 pushed out
  const Lines rows = debugview::Rows();
  ASSERT_EQ(rows.size(), 1001u);
  EXPECT_TRUE(std::equal(rows.begin(), rows.end(), lines.begin()));

  debugview::Hide();
  debugview::Open();
  const Lines reopened = debugview::Rows();
  ASSERT_EQ(reopened.size(), 201u);
  EXPECT_TRUE(std::equal(reopened.begin(), reopened.end(), lines.begin()));
}

TEST_F(DebugLogTest, OpeningWithFewLinesShowsThemAll) {
  AppendLog(L"one");
  AppendLog(L"two");
  OpenWindow();
  EXPECT_EQ(debugview::Rows(), LogLines());
}

struct TimerCase {
  const char* name;
  uint32_t elapsed;
  int32_t threshold;
  bool logs;
};

void PrintTo(const TimerCase& c, std::ostream* os) { *os << c.name; }


class EndTimerLogTable : public DebugLogTest, public ::testing::WithParamInterface<TimerCase> {};

TEST_P(EndTimerLogTable, LogsOnlyAboveTheThreshold) {
  const TimerCase& c = GetParam();
  StartTimer();
  sim.AdvanceTime(c.elapsed);
  EndTimerLog(L"work", c.threshold);
  if (c.logs) {
    EXPECT_EQ(LogLines(), (Lines{L"T:(x) ms(" + std::to_wstring(c.elapsed) + L"): work"}));
  } else {
    EXPECT_TRUE(LogLines().empty());
  }
  EXPECT_EQ(debugview::TimerDepth(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, EndTimerLogTable,
                         ::testing::Values(TimerCase{"always", 0, -1, true}, TimerCase{"exactly_at", 100, 100, false},
                                           TimerCase{"just_above", 101, 100, true},
                                           TimerCase{"zero_threshold", 1, 0, true},
                                           TimerCase{"below", 99, 100, false}),
                         [](const ::testing::TestParamInfo<TimerCase>& i) { return std::string(i.param.name); });

TEST_F(DebugLogTest, TimersNestAndSurviveTheTickWrap) {
  sim.SetTickCount(0xFFFFFFF0u);
  StartTimer();
  sim.AdvanceTime(10);
  StartTimer();
  sim.AdvanceTime(22);  // the tick count wraps here
  EndTimerLog(L"inner", -1);
  sim.AdvanceTime(1);
  EndTimerLog(L"outer", -1);
  EXPECT_EQ(LogLines(), (Lines{L"T:(x) ms(33): outer", L"T:(x) ms(22): inner"}));
  EndTimerLog(L"unpaired", -1);  // nothing to pop: ignored
  EXPECT_EQ(LogLines().size(), 2u);
}

TEST_F(DebugLogTest, LastErrorAppendsCodeAndTrimmedSystemText) {
  sim.SetLastError(5);
  AppendLog(L"Open failed", true);
  sim.SetLastError(5);
  AppendLog(L"ends in blank ", true);
  sim.SetLastError(0x7FFFFFF0u);  // no system text for it
  AppendLog(L"odd", true);
  EXPECT_EQ(LogLines(), (Lines{L"T:(x) odd :(2147483632)", L"T:(x) ends in blank  :(5) Access is denied",
                               L"T:(x) Open failed :(5) Access is denied"}));
}

TEST_F(DebugLogTest, DebugTxtIsUtf16LeWithBomCrLfNewestFirst) {
  AppendLog(L"caf\u00e9");
  AppendLog(std::wstring(L"smile ") + static_cast<wchar_t>(0x1F600));  // needs a surrogate pair on Windows
  ASSERT_TRUE(EmergencyDump(L""));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(sim.ReadWholeFile(L"D:\\Tools\\Debug.txt", bytes));
  std::vector<uint8_t> expected{0xFF, 0xFE};
  auto ascii = [&](const char* s) {
    for (; *s; ++s) expected.insert(expected.end(), {static_cast<uint8_t>(*s), 0});
  };
  ascii("T:(x) smile ");
  expected.insert(expected.end(), {0x3D, 0xD8, 0x00, 0xDE});  // U+1F600 = D83D DE00
  ascii("\r\nT:(x) caf");
  expected.insert(expected.end(), {0xE9, 0x00});
  ascii("\r\n");
  EXPECT_EQ(bytes, expected);
}

TEST_F(DebugLogTest, SavesRotateToTheFirstFreeBackupNumber) {
  const std::wstring path = L"D:\\Tools\\Debug.txt";
  AppendLog(L"one");
  ASSERT_TRUE(SaveLog(L"Debug.txt"));
  AppendLog(L"two");
  ASSERT_TRUE(SaveLog(L"Debug.txt"));
  AppendLog(L"three");
  ASSERT_TRUE(SaveLog(L"Debug.txt"));
  EXPECT_TRUE(sim.FileExists(path));
  EXPECT_EQ(ReadUtf16File(path + L".bak1"), L"T:(x) one\r\n");
  EXPECT_EQ(ReadUtf16File(path + L".bak2"), L"T:(x) two\r\nT:(x) one\r\n");
  EXPECT_FALSE(sim.FileExists(path + L".bak3"));

  ASSERT_TRUE(sim.DeleteFileW(path + L".bak1"));
  AppendLog(L"four");
  ASSERT_TRUE(SaveLog(L"Debug.txt"));
  EXPECT_EQ(ReadUtf16File(path + L".bak1"), L"T:(x) three\r\nT:(x) two\r\nT:(x) one\r\n");
  EXPECT_TRUE(sim.FileExists(path + L".bak2"));
  EXPECT_FALSE(sim.FileExists(path + L".bak3"));
  EXPECT_EQ(ReadUtf16File(path).substr(0, 11), L"T:(x) four\r");
}

TEST_F(DebugLogTest, FailedRenameStillWritesAndFailedWriteIsReported) {
  AppendLog(L"one");
  ASSERT_TRUE(SaveLog(L"Debug.txt"));
  AppendLog(L"two");
  sim.FailOperation(Op::MoveFileW, 32);
  EXPECT_TRUE(SaveLog(L"Debug.txt"));
  EXPECT_FALSE(sim.FileExists(L"D:\\Tools\\Debug.txt.bak1"));
  EXPECT_EQ(ReadUtf16File(L"D:\\Tools\\Debug.txt"), L"T:(x) two\r\nT:(x) one\r\n");
  sim.FailOperation(Op::WriteWholeFile, 5);
  EXPECT_FALSE(SaveLog(L"Debug.txt"));
}

TEST_F(DebugLogTest, MeOnlyAppendNeedsADebuggerOrAutoSave) {
  MeOnlyAppend(L"quiet");
  EXPECT_TRUE(LogLines().empty());
  sim.SetDebuggerPresent(true);
  sim.SetLastError(5);
  MeOnlyAppend(L"debugger", true);
  sim.SetDebuggerPresent(false);
  SetSaveOnExit();
  MeOnlyAppend(L"UnitToken");
  EXPECT_EQ(LogLines(), (Lines{L"T:(x) UnitToken", L"T:(x) debugger :(5) Access is denied"}));
}

TEST_F(DebugLogTest, DestroyingTheWindowLogsAndAutoSaves) {
  OpenWindow();
  AppendLog(L"work");
  SetSaveOnExit();
  debugview::DetachWindow();
  EXPECT_FALSE(debugview::WindowExists());
  EXPECT_TRUE(debugview::Rows().empty());
  EXPECT_EQ(ReadUtf16File(L"D:\\Tools\\Debug.txt"), L"T: UnitFrmDebug Autosave\r\nT: UnitFrmDebug Destroy\r\nT: work\r\n");
}

TEST_F(DebugLogTest, UncaughtExceptionIsLoggedSavedAndShown) {
  sim.SetLastError(5);
  ApplicationException(L"Boom");
  EXPECT_EQ(ReadUtf16File(L"D:\\Tools\\Debug.txt"), L"T:(x) Boom\r\n");
  EXPECT_EQ(sim.GetLastError(), 0u);
  ASSERT_EQ(sim.MessageBoxes().size(), 1u);
  EXPECT_EQ(sim.MessageBoxes()[0].text, L"Boom\r\n[Debug.txt] log created.");
}

TEST_F(DebugLogTest, TwoThreadsKeepEveryLineInEachThreadsOrder) {
  OpenWindow();
  constexpr int kPerThread = 3000;
  auto writer = [](const wchar_t* tag) {
    for (int i = 0; i < kPerThread; ++i) {
      AppendLog(std::wstring(tag) + std::to_wstring(i));
      if (i % 7 == 0) {
        IncLevel();
        DecLevel();
      }
    }
  };
  std::thread ui(writer, L"ui ");
  std::thread worker(writer, L"worker ");
  ui.join();
  worker.join();

  const Lines lines = LogLines();
  ASSERT_EQ(lines.size(), 2u * kPerThread);
  for (const wchar_t* tag : {L"ui ", L"worker "}) {
    std::vector<int> seen;  // oldest first
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
      const size_t p = it->find(L">");
      const std::wstring text = it->substr(p == std::wstring::npos ? 3 : it->find(L' ', p) + 1);
      if (text.rfind(tag, 0) == 0) seen.push_back(std::stoi(text.substr(std::wcslen(tag))));
    }
    ASSERT_EQ(seen.size(), static_cast<size_t>(kPerThread)) << "lost lines";
    for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(seen[static_cast<size_t>(i)], i) << "out of order";
  }
  EXPECT_EQ(debugview::Rows().size(), 1001u);
  EXPECT_EQ(debugview::Level(), 0);
}

}  // namespace
}  // namespace tessary
