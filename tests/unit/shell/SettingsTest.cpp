// The settings file: what a start reads from "Tessary.ini" into the "Default Config" page and the
// hidden settings, what Save writes (and what it leaves alone), Reset All, and what the user is
// told when the file cannot be written. The program runs from a folder whose name is not ASCII.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "MainFixture.h"
#include "unit/portable/ByteText.h"
#include "core/UnitForeground.h"
#include "shell/UnitMisc.h"
#include "shell/UnitSettings.h"
#include "util/UnitIniFile.h"

namespace tessary::test {
namespace {



Bytes Utf16(const std::wstring& text) {
  Bytes b{0xFF, 0xFE};
  for (wchar_t c : text) {
    b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(c) & 0xFF));
    b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(c) >> 8));
  }
  return b;
}

Bytes Garbage(size_t n) {
  Bytes b;
  uint32_t seed = 11;
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    b.push_back(static_cast<uint8_t>(seed >> 16));
  }
  return b;
}

// A file of exactly `size` bytes whose [Main] section comes after a long comment.
Bytes Padded(size_t size, const std::string& tail) {
  std::string head = ";";
  head.append(size - tail.size() - 3, 'x');
  head += "\r\n";
  return B(head + tail);
}


constexpr const wchar_t* Folder = L"C:\\Werkzeug \x3A9\x3BC\x3AD\x3B3\x3B1";
const std::wstring Exe = std::wstring(Folder) + L"\\Tessary.exe";
const std::wstring Ini = std::wstring(Folder) + L"\\Tessary.ini";
const std::wstring Temp = Ini + L".new";
const std::wstring CannotWrite = L"Unable to write to " + Ini;

// The settings controls and the hidden interval.
struct State {
  bool autoClose, watcherOnStart;
  int32_t delay;
  bool power, resolution;
  int32_t interval;
  friend bool operator==(const State&, const State&) = default;
  friend void PrintTo(const State& s, std::ostream* os) {
    *os << "autoClose=" << s.autoClose << " watcherOnStart=" << s.watcherOnStart << " delay=" << s.delay
        << " power=" << s.power << " resolution=" << s.resolution << " interval=" << s.interval;
  }
};

class SettingsTest : public MainFixture {
 protected:
  void SetUp() override {
    MainFixture::SetUp();
    main.reset();
    sim.SetModuleFileName(Exe);
    ResetDataFolderCache();
  }

  // A start with that file beside the program (none: no file).
  void Start(const std::optional<Bytes>& file) {
    if (file) {
      ASSERT_TRUE(sim.WriteWholeFile(Ini, *file));
    }
    CreateMain();
  }

  Bytes File() {
    Bytes b;
    EXPECT_TRUE(sim.ReadWholeFile(Ini, b)) << "no Tessary.ini";
    return b;
  }

  // The "Default Config" view on screen, as the user opens it.
  void OpenConfig() {
    main->Show();
    main->MIDefaultConfig1Click();
  }

  bool ClickOnPage(int32_t page, ui::Control& control) {
    if (!ui::headless::PickTab(*main->pcConfig, page)) return false;
    return ui::headless::Click(control);
  }

  // The exceptions the application's handler gets go to handled.
  void InstallHandler() {
    handled.clear();
    ui::app::SetExceptionHandler([this](const std::wstring& m) { handled.push_back(m); });
  }

  State Controls() const {
    return State{main->cbAutoClose->Checked(),        main->cbWatcherOnStart->Checked(),
                 main->seDelay->Value(),              main->rbDevicePowerState->Checked(),
                 main->rbResolutionChange->Checked(), main->hiddenSetting.TopProgramsIntervalMS};
  }

  std::vector<std::wstring> handled;
};

constexpr State Defaults{false, true, 2000, true, false, 10000};

// ---------------------------------------------------------------- loading at start

struct LoadCase {
  const char* name;
  std::optional<Bytes> file;
  State expected;
};
void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class Load : public SettingsTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(Load, FileIntoControlsAndHiddenSettingsThenTheSetUpGoesOn) {
  const LoadCase& c = GetParam();
  Start(c.file);
  EXPECT_EQ(Controls(), c.expected);
  EXPECT_TRUE(sim.MessageBoxes().empty());
  // Steps after the load: the snapshot interval from the file (one of 0 or below would run the
  // snapshot at every tick or never: the default then), the watcher from the box.
  EXPECT_EQ(main->timGetTopPrograms->Interval(), static_cast<uint32_t>(c.expected.interval > 0 ? c.expected.interval : 10000));
  EXPECT_EQ(main->MonitorWatcher(), c.expected.watcherOnStart);
  EXPECT_EQ(main->timGetTopPrograms->Enabled(), c.expected.watcherOnStart);
  EXPECT_TRUE(main->timGetForeground->Enabled());
  // The hidden value is written back, and the file read is still there around it.
  const TIniDocument after = TIniDocument::Parse(File());
  EXPECT_EQ(after.Get(L"Hidden", L"TopProgramsIntervalMS"), std::to_wstring(c.expected.interval));
  EXPECT_FALSE(sim.FileExists(Temp));
}

const std::string AllChanged =
    "[Main]\r\ncbAutoClose=1\r\ncbWatcherOnStart=0\r\nseDelay=3000\r\nrbDevicePowerState=0\r\n"
    "rbResolutionChange=1\r\n[Hidden]\r\nTopProgramsIntervalMS=5000\r\n";
constexpr State Changed{true, false, 3000, false, true, 5000};

INSTANTIATE_TEST_SUITE_P(
    Files, Load,
    ::testing::Values(
        LoadCase{"missing", std::nullopt, Defaults}, LoadCase{"empty", Bytes{}, Defaults},
        LoadCase{"binary", Garbage(5000), Defaults},
        LoadCase{"largest_read", Padded(TSettingsFile::MaxBytes, "[Main]\r\ncbAutoClose=1\r\n"),
                 {true, true, 2000, true, false, 10000}},
        LoadCase{"plain", B(AllChanged), Changed},
        LoadCase{"utf16_bom", Utf16(L"; \x3A9\r\n[Main]\r\ncbAutoClose=1\r\ncbWatcherOnStart=0\r\nseDelay=3000\r\n"
                                    L"rbDevicePowerState=0\r\nrbResolutionChange=1\r\n[Hidden]\r\n"
                                    L"TopProgramsIntervalMS=5000\r\n"),
                 Changed},
        LoadCase{"utf8_bom", B("\xEF\xBB\xBF; \xC3\xBC\r\n" + AllChanged), Changed},
        LoadCase{"utf8_without_bom", B("; gr\xC3\xBC\xC3\x9F\n" + AllChanged), Changed},
        LoadCase{"ansi", B("; caf\xE9\r\n" + AllChanged), Changed},
        LoadCase{"lf_and_no_final_line_end",
                 B("[Main]\ncbAutoClose=1\nseDelay=3000\n[Hidden]\nTopProgramsIntervalMS=5000"),
                 {true, true, 3000, true, false, 5000}},
        LoadCase{"blanks_and_case", B("  [ main ]  \r\n  CBAUTOCLOSE  =  1  \r\n\tsedelay\t=\t 2500 \t\r\n"
                                      "[HIDDEN]\r\n topprogramsintervalms = 7000\r\n"),
                 {true, true, 2500, true, false, 7000}},
        LoadCase{"hexadecimal", B("[Main]\r\ncbAutoClose=0x1\r\nseDelay=0x1388\r\n[Hidden]\r\nTopProgramsIntervalMS=$3E8\r\n"),
                 {true, true, 5000, true, false, 1000}},
        LoadCase{"delay_below_range", B("[Main]\r\nseDelay=500\r\n"), {false, true, 1000, true, false, 10000}},
        LoadCase{"delay_above_range", B("[Main]\r\nseDelay=20000\r\n"), {false, true, 10000, true, false, 10000}},
        LoadCase{"not_numbers", B("[Main]\r\ncbAutoClose=yes\r\ncbWatcherOnStart=off\r\nseDelay=abc\r\n"
                                  "[Hidden]\r\nTopProgramsIntervalMS=10s\r\n"),
                 Defaults},
        LoadCase{"beyond_32_bits", B("[Main]\r\nseDelay=4294967296\r\n[Hidden]\r\nTopProgramsIntervalMS=0x1FFFFFFFF\r\n"),
                 Defaults},
        LoadCase{"any_non_zero_is_true", B("[Main]\r\ncbAutoClose=-7\r\ncbWatcherOnStart=0\r\n"),
                 {true, false, 2000, true, false, 10000}},
        LoadCase{"both_triggers_on", B("[Main]\r\nrbDevicePowerState=1\r\nrbResolutionChange=1\r\n"),
                 {false, true, 2000, false, true, 10000}},
        LoadCase{"both_triggers_off", B("[Main]\r\nrbDevicePowerState=0\r\nrbResolutionChange=0\r\n"),
                 {false, true, 2000, false, false, 10000}},
        LoadCase{"interval_zero_kept_in_the_file", B("[Hidden]\r\nTopProgramsIntervalMS=0\r\n"),
                 {false, true, 2000, true, false, 0}},
        LoadCase{"interval_negative_kept_in_the_file", B("[Hidden]\r\nTopProgramsIntervalMS=-5\r\n"),
                 {false, true, 2000, true, false, -5}},
        LoadCase{"keys_in_the_wrong_section", B("[Hidden]\r\ncbAutoClose=1\r\n[Main]\r\nTopProgramsIntervalMS=1\r\n"),
                 Defaults},
        LoadCase{"first_of_duplicates", B("[Main]\r\nseDelay=3000\r\nseDelay=4000\r\n[main]\r\nseDelay=5000\r\n"),
                 {false, true, 3000, true, false, 10000}}));

TEST_F(SettingsTest, FirstStartCreatesTheFileBesideTheProgramWithOnlyTheHiddenInterval) {
  Start(std::nullopt);
  EXPECT_EQ(GetDataFolder(), std::wstring(Folder) + L"\\");
  EXPECT_EQ(Show(File()), Show(B("[Hidden]\r\nTopProgramsIntervalMS=10000\r\n")));
  const auto files = sim.Files();
  EXPECT_EQ(std::count_if(files.begin(), files.end(),
                          [](const std::wstring& f) { return f.rfind(std::wstring(Folder), 0) == 0; }),
            2)
      << "only the program and its settings file";
}

TEST_F(SettingsTest, LoadRewritesTheHiddenValueOnlyAndKeepsTheRestByteForByte) {
  const std::wstring text = L"; my settings \x3A9\r\n[Main]\r\nseDelay = 3000\r\nmine=1\r\n\r\n[Other]\r\nx=\x3A9\r\n"
                            L"[Hidden]\r\nTopProgramsIntervalMS = $2710\r\n";
  Start(Utf16(text));
  EXPECT_EQ(main->seDelay->Value(), 3000);
  std::wstring expected = text;
  expected.replace(expected.find(L"$2710"), 5, L"10000");
  EXPECT_EQ(Show(File()), Show(Utf16(expected)));
}

TEST_F(SettingsTest, ALeftoverNewFileFromACrashIsNeitherReadNorLeftBehind) {
  ASSERT_TRUE(sim.WriteWholeFile(Temp, B("[Main]\r\ncbAutoClose=1\r\nseDelay=9000\r\n")));
  Start(B("[Main]\r\nseDelay=3000\r\n"));
  EXPECT_FALSE(main->cbAutoClose->Checked());
  EXPECT_EQ(main->seDelay->Value(), 3000);
  EXPECT_FALSE(sim.FileExists(Temp));
  EXPECT_EQ(Show(File()), Show(B("[Main]\r\nseDelay=3000\r\n\r\n[Hidden]\r\nTopProgramsIntervalMS=10000\r\n")));
}

// ---------------------------------------------------------------- Save and Reset All

TEST_F(SettingsTest, SaveWritesTheControlsInPageOrderAndKeepsEverythingElseAndTheEncoding) {
  const std::wstring before = L"; \x3A9 mine\r\n[Hotkeys]\r\nMOVELEFT_HOTKEY=ctrl+alt+Left\r\n\r\n[Main]\r\nextra=7\r\n"
                              L"rbResolutionChange=0\r\n\r\n; the end\r\n";
  Start(Utf16(before));
  OpenConfig();
  ASSERT_TRUE(ClickOnPage(0, *main->cbAutoClose));
  ASSERT_TRUE(ui::headless::PickTab(*main->pcConfig, 1));
  ASSERT_TRUE(ui::headless::Type(*main->seDelay, L"3500"));
  ASSERT_TRUE(ClickOnPage(2, *main->rbResolutionChange));
  ASSERT_TRUE(ui::headless::Click(*main->btnSave));

  // The existing key keeps its place; the others follow the last key of [Main] in page order;
  // [Hidden] comes at the end, after a blank line.
  const std::wstring after = L"; \x3A9 mine\r\n[Hotkeys]\r\nMOVELEFT_HOTKEY=ctrl+alt+Left\r\n\r\n[Main]\r\nextra=7\r\n"
                             L"rbResolutionChange=1\r\ncbAutoClose=1\r\ncbWatcherOnStart=1\r\nseDelay=3500\r\n"
                             L"rbDevicePowerState=0\r\n\r\n; the end\r\n\r\n[Hidden]\r\nTopProgramsIntervalMS=10000\r\n";
  EXPECT_EQ(Show(File()), Show(Utf16(after)));
  EXPECT_FALSE(sim.FileExists(Temp));
  // The status view comes to the front with the confirmation, kept for the log.
  EXPECT_EQ(main->pcView->ActivePage(), main->tsStatus);
  EXPECT_EQ(main->lblMessage->Text(), L"Config \"Tessary.ini\" saved.");
  EXPECT_EQ(main->fLastMessage, L"Config \"Tessary.ini\" saved.");
}

TEST_F(SettingsTest, SaveOnAFreshFileWritesMainInPageOrderAfterHidden) {
  Start(std::nullopt);
  main->btnSaveClick();
  EXPECT_EQ(Show(File()), Show(B("[Hidden]\r\nTopProgramsIntervalMS=10000\r\n\r\n[Main]\r\ncbAutoClose=0\r\n"
                                 "cbWatcherOnStart=1\r\nseDelay=2000\r\nrbDevicePowerState=1\r\nrbResolutionChange=0\r\n")));
  // A second save changes nothing.
  const Bytes once = File();
  main->btnSaveClick();
  EXPECT_EQ(Show(File()), Show(once));
}

TEST_F(SettingsTest, EverySettingsControlOnThePagesGetsAKeyOfItsNameAlsoInsideContainers) {
  Start(B("[Main]\r\ncbExtra=1\r\nseInner=7000\r\n"));
  // Controls added to the pages after the start: a check box in a group box on the first page and a
  // spin box on the last; labels and the group box itself get no key.
  auto& group = main->Add<ui::GroupBox>(main->cbAutoClose->Parent(), L"grpExtra", ui::Box{12, 40, 200, 60}, L"More");
  auto& extra = main->Add<ui::CheckBox>(&group, L"cbExtra", ui::Box{8, 16, 150, 17}, L"Extra");
  auto& inner = main->Add<ui::SpinEdit>(main->rbResolutionChange->Parent(), L"seInner", ui::Box{12, 170, 80, 21}, 0,
                                        9000, 1, 5);
  main->LoadSaveConfig(false);
  EXPECT_TRUE(extra.Checked());
  EXPECT_EQ(inner.Value(), 7000);

  extra.SetChecked(false);
  inner.SetValue(6000);
  main->LoadSaveConfig(true);
  EXPECT_EQ(Show(File()), Show(B("[Main]\r\ncbExtra=0\r\nseInner=6000\r\ncbAutoClose=0\r\ncbWatcherOnStart=1\r\n"
                                 "seDelay=2000\r\nrbDevicePowerState=1\r\nrbResolutionChange=0\r\n\r\n[Hidden]\r\n"
                                 "TopProgramsIntervalMS=10000\r\n")));
  // The walk's own order on a fresh file: the group's box follows cbAutoClose, seInner the triggers.
  ASSERT_TRUE(sim.DeleteFileW(Ini));
  main->LoadSaveConfig(true);
  EXPECT_EQ(Show(File()), Show(B("[Main]\r\ncbAutoClose=0\r\ncbExtra=0\r\ncbWatcherOnStart=1\r\nseDelay=2000\r\n"
                                 "rbDevicePowerState=1\r\nrbResolutionChange=0\r\nseInner=6000\r\n\r\n[Hidden]\r\n"
                                 "TopProgramsIntervalMS=10000\r\n")));
}

TEST_F(SettingsTest, SaveRereadsTheHiddenIntervalButTheTimerKeepsItsOwnUntilTheNextStart) {
  Start(B("[Hidden]\r\nTopProgramsIntervalMS=3000\r\n"));
  ASSERT_TRUE(sim.WriteWholeFile(Ini, B("[Hidden]\r\nTopProgramsIntervalMS=4000\r\n")));
  main->btnSaveClick();
  EXPECT_EQ(main->hiddenSetting.TopProgramsIntervalMS, 4000);
  EXPECT_EQ(main->timGetTopPrograms->Interval(), 3000u);
  EXPECT_EQ(TIniDocument::Parse(File()).ReadInteger(L"Hidden", L"TopProgramsIntervalMS", 0), 4000);
}

TEST_F(SettingsTest, ResetAllSetsTheResetValuesAtOnceWithoutWritingOrSwitchingTheWatcher) {
  Start(B(AllChanged));
  ASSERT_FALSE(main->MonitorWatcher());
  const Bytes before = File();
  OpenConfig();
  ASSERT_TRUE(ui::headless::Click(*main->btnReset));
  EXPECT_EQ(Controls(), (State{false, true, 4000, true, false, 5000}));
  EXPECT_EQ(Show(File()), Show(before));
  EXPECT_FALSE(main->MonitorWatcher());

  // Save makes them permanent and switches the watcher on.
  ASSERT_TRUE(ui::headless::Click(*main->btnSave));
  EXPECT_TRUE(main->MonitorWatcher());
  const TIniDocument saved = TIniDocument::Parse(File());
  EXPECT_EQ(saved.ReadInteger(L"Main", L"seDelay", 0), 4000);
  EXPECT_EQ(saved.ReadInteger(L"Main", L"cbWatcherOnStart", 0), 1);
  EXPECT_EQ(saved.ReadInteger(L"Main", L"rbDevicePowerState", 0), 1);
  EXPECT_EQ(saved.ReadInteger(L"Main", L"rbResolutionChange", 1), 0);
  EXPECT_EQ(saved.ReadInteger(L"Main", L"cbAutoClose", 1), 0);
}

TEST_F(SettingsTest, SaveSwitchesTheRunningWatcherToTheBox) {
  Start(std::nullopt);
  ASSERT_TRUE(main->MonitorWatcher());
  OpenConfig();
  ASSERT_TRUE(ClickOnPage(1, *main->cbWatcherOnStart));
  EXPECT_TRUE(main->MonitorWatcher()) << "only Save applies the box";
  ASSERT_TRUE(ui::headless::Click(*main->btnSave));
  EXPECT_FALSE(main->MonitorWatcher());
  EXPECT_FALSE(main->timGetTopPrograms->Enabled());
  EXPECT_EQ(main->txtLog->Lines().back(), L"Monitor Watcher [Disabled]");

  main->MIDefaultConfig1Click();
  ASSERT_TRUE(ClickOnPage(1, *main->cbWatcherOnStart));
  ASSERT_TRUE(ui::headless::Click(*main->btnSave));
  EXPECT_TRUE(main->MonitorWatcher());
  EXPECT_TRUE(main->timGetTopPrograms->Enabled());
}

// ---------------------------------------------------------------- files that cannot be written

enum class Block { ReadOnlyFile, FolderOfThatName, FolderWithoutWriteAccess, TooLarge };

struct BlockCase {
  const char* name;
  Block block;
};
void PrintTo(const BlockCase& c, std::ostream* os) { *os << c.name; }

class Unwritable : public SettingsTest, public ::testing::WithParamInterface<BlockCase> {
 protected:
  // What the user had: a few settings, or for the large file the same after a long comment.
  Bytes Original() const {
    const std::string content = "[Main]\r\ncbWatcherOnStart=0\r\nseDelay=3000\r\n";
    return GetParam().block == Block::TooLarge ? Padded(TSettingsFile::MaxBytes + 1, content) : B(content);
  }
  void Apply() {
    switch (GetParam().block) {
      case Block::ReadOnlyFile:
        ASSERT_TRUE(sim.SetFileReadOnly(Ini, true));
        break;
      case Block::FolderOfThatName:
        ASSERT_TRUE(sim.DeleteFileW(Ini));
        ASSERT_TRUE(sim.CreateDirectoryTree(Ini));
        break;
      case Block::FolderWithoutWriteAccess:
        sim.FailOperation(Op::WriteWholeFile, wc::ERROR_ACCESS_DENIED, -1);
        break;
      case Block::TooLarge:
        break;
    }
  }
  // The file (or folder) as the user left it.
  void ExpectUntouched() {
    if (GetParam().block == Block::FolderOfThatName) {
      EXPECT_TRUE(sim.DirectoryExists(Ini));
    } else {
      EXPECT_EQ(Show(File()), Show(Original()));
    }
    EXPECT_FALSE(sim.FileExists(Temp));
  }
  // What the start reads: the file when it can be read, else the design values.
  State Read() const {
    const bool readable = GetParam().block == Block::ReadOnlyFile || GetParam().block == Block::FolderWithoutWriteAccess;
    return readable ? State{false, false, 3000, true, false, 10000} : Defaults;
  }
};

TEST_P(Unwritable, AtStartOneMessageBoxWithThePathThenTheSetUpFinishesWithTheValuesRead) {
  ASSERT_TRUE(sim.WriteWholeFile(Ini, Original()));
  Apply();
  Start(std::nullopt);
  ASSERT_EQ(sim.MessageBoxes().size(), 1u);
  EXPECT_EQ(sim.MessageBoxes()[0].text, CannotWrite);
  EXPECT_EQ(sim.MessageBoxes()[0].caption, L"Tessary");
  EXPECT_TRUE(Logged(L"LSC: " + CannotWrite));
  EXPECT_EQ(Controls(), Read());
  EXPECT_EQ(main->MonitorWatcher(), Read().watcherOnStart);
  EXPECT_EQ(main->timGetTopPrograms->Interval(), 10000u);
  EXPECT_TRUE(main->timGetForeground->Enabled());
  EXPECT_FALSE(ui::app::Terminated());
  ExpectUntouched();

  // The program keeps working: a move button still moves.
  TForeGround::GetInfo(main->fore);
  main->btnRightClick();
  EXPECT_GE(RectOf(app).Left, MonRight.Left);
}

TEST_P(Unwritable, SaveHandsThePathToTheErrorHandlerAndAppliesNothing) {
  Start(B("[Main]\r\ncbWatcherOnStart=1\r\n"));
  ASSERT_TRUE(main->MonitorWatcher());
  ASSERT_TRUE(sim.WriteWholeFile(Ini, Original()));
  Apply();
  InstallHandler();
  OpenConfig();
  ASSERT_TRUE(ClickOnPage(1, *main->cbWatcherOnStart));
  ASSERT_FALSE(main->cbWatcherOnStart->Checked());
  const size_t boxes = sim.MessageBoxes().size();

  ASSERT_TRUE(ui::headless::Click(*main->btnSave));
  EXPECT_EQ(handled, std::vector<std::wstring>{CannotWrite});
  EXPECT_TRUE(main->MonitorWatcher()) << "the watcher state is not applied";
  EXPECT_TRUE(main->timGetTopPrograms->Enabled());
  EXPECT_NE(main->lblMessage->Text(), L"Config \"Tessary.ini\" saved.");
  EXPECT_EQ(sim.MessageBoxes().size(), boxes) << "telling the user is the handler's";
  ExpectUntouched();
}

INSTANTIATE_TEST_SUITE_P(Blocks, Unwritable,
                         ::testing::Values(BlockCase{"read_only_file", Block::ReadOnlyFile},
                                           BlockCase{"folder_of_that_name", Block::FolderOfThatName},
                                           BlockCase{"folder_without_write_access", Block::FolderWithoutWriteAccess},
                                           BlockCase{"too_large_to_read", Block::TooLarge}));

TEST_F(SettingsTest, AFailedReplaceLeavesTheOldFileAndNoNewFileBeside) {
  Start(B("[Main]\r\nseDelay=3000\r\n"));
  const Bytes before = File();
  InstallHandler();
  sim.FailOperation(Op::MoveFileReplacing, wc::ERROR_ACCESS_DENIED, 1);
  main->seDelay->SetValue(5000);
  OpenConfig();
  ASSERT_TRUE(ui::headless::Click(*main->btnSave));
  EXPECT_EQ(handled, std::vector<std::wstring>{CannotWrite});
  EXPECT_EQ(Show(File()), Show(before));
  EXPECT_FALSE(sim.FileExists(Temp));

  // Once the file can be written again, Save works.
  ASSERT_TRUE(ui::headless::Click(*main->btnSave));
  EXPECT_EQ(handled.size(), 1u);
  EXPECT_EQ(TIniDocument::Parse(File()).ReadInteger(L"Main", L"seDelay", 0), 5000);
}

}  // namespace
}  // namespace tessary::test
