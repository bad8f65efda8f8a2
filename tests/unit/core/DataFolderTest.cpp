#include <ostream>
#include <string>
#include <vector>

#include "CoreFixture.h"
#include "diagnostics/DebugLog.h"
#include "shell/UnitMisc.h"

namespace tessary {
namespace {

using test::CoreFixture;

constexpr const wchar_t* kAppData = L"C:\\Users\\Ann\\AppData\\Roaming";
constexpr const wchar_t* kPerUser = L"C:\\Users\\Ann\\AppData\\Roaming\\Tessary\\";

struct FolderCase {
  const char* name;
  std::vector<std::wstring> args;
  std::wstring module;
  std::wstring programFiles, programFiles86;
  std::wstring expected;
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }


class DataFolderTable : public CoreFixture, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(DataFolderTable, ChoosesTheFolder) {
  const FolderCase& c = GetParam();
  sim.SetSpecialFolder(wc::CSIDL_APPDATA, kAppData);
  sim.SetSpecialFolder(wc::CSIDL_PROGRAM_FILES, c.programFiles);
  sim.SetSpecialFolder(wc::CSIDL_PROGRAM_FILESX86, c.programFiles86);
  sim.SetModuleFileName(c.module);
  sim.SetCommandLineArgs(c.args);

  const std::wstring folder = GetDataFolder();
  EXPECT_EQ(folder, c.expected);
  EXPECT_EQ(folder.back(), L'\\');
  EXPECT_TRUE(sim.DirectoryExists(folder)) << "the data folder must exist";
}

const std::wstring kPF = L"C:\\Program Files";
const std::wstring kPF86 = L"C:\\Program Files (x86)";

INSTANTIATE_TEST_SUITE_P(
    Cases, DataFolderTable,
    ::testing::Values(
        FolderCase{"ordinary_folder", {}, L"D:\\Tools\\Tessary.exe", kPF, kPF86, L"D:\\Tools\\"},
        FolderCase{"data_lower_case", {L"-data"}, L"D:\\Tools\\Tessary.exe", kPF, kPF86, kPerUser},
        FolderCase{"data_mixed_case_after_others", {L"-mf", L"left", L"-DaTa"}, L"D:\\Tools\\Tessary.exe", kPF,
                   kPF86, kPerUser},
        FolderCase{"data_prefix_is_not_data", {L"-database", L"data"}, L"D:\\Tools\\Tessary.exe", kPF, kPF86,
                   L"D:\\Tools\\"},
        FolderCase{"program_files", {}, L"C:\\Program Files\\Tessary\\Tessary.exe", kPF, kPF86, kPerUser},
        FolderCase{"program_files_x86_lower_case", {}, L"c:\\program files (x86)\\tessary\\Tessary.exe", kPF, kPF86,
                   kPerUser},
        // The name merely begins with the Program Files folder's name: still counts.
        FolderCase{"sibling_name", {}, L"C:\\Program FilesX\\Tessary.exe", kPF, kPF86, kPerUser},
        FolderCase{"directly_in_program_files", {}, L"C:\\Program Files\\Tessary.exe", kPF, kPF86, kPerUser},
        // An empty special-folder path never matches.
        FolderCase{"empty_program_files_paths", {}, L"D:\\Tools\\Tessary.exe", L"", L"", L"D:\\Tools\\"},
        FolderCase{"only_x86_known", {}, L"C:\\Program Files (x86)\\T\\Tessary.exe", L"", kPF86, kPerUser}),
    [](const ::testing::TestParamInfo<FolderCase>& i) { return std::string(i.param.name); });

class DataFolderTest : public CoreFixture {};

TEST_F(DataFolderTest, PerUserFolderIsCreatedWithMissingParents) {
  sim.SetSpecialFolder(wc::CSIDL_APPDATA, kAppData);
  sim.SetModuleFileName(L"D:\\Tools\\Tessary.exe");
  sim.SetCommandLineArgs({L"-DATA"});
  ASSERT_FALSE(sim.DirectoryExists(L"C:\\Users\\Ann\\AppData\\Roaming\\Tessary"));
  EXPECT_EQ(GetDataFolder(), kPerUser);
  EXPECT_TRUE(sim.DirectoryExists(L"C:\\Users\\Ann\\AppData\\Roaming\\Tessary"));
  EXPECT_EQ(sim.CallCount(Op::CreateDirectoryTree), 1);
}

TEST_F(DataFolderTest, DeterminedOnceAndCachedUntilReset) {
  sim.SetModuleFileName(L"D:\\Tools\\Tessary.exe");
  EXPECT_EQ(GetDataFolder(), L"D:\\Tools\\");
  sim.SetCommandLineArgs({L"-data"});
  sim.SetModuleFileName(L"E:\\Other\\Tessary.exe");
  EXPECT_EQ(GetDataFolder(), L"D:\\Tools\\");
  EXPECT_EQ(sim.CallCount(Op::GetModuleFileNameW), 1);
  ResetProcessWideState();
  EXPECT_EQ(GetDataFolder(), L"C:\\Users\\User\\AppData\\Roaming\\Tessary\\");
}

TEST_F(DataFolderTest, UnresolvableAppDataFallsBackToTheProgramFolderAndSaysSo) {
  sim.SetSpecialFolder(wc::CSIDL_APPDATA, L"");
  sim.SetModuleFileName(L"C:\\Program Files\\Tessary\\Tessary.exe");
  EXPECT_EQ(GetDataFolder(), L"C:\\Program Files\\Tessary\\");
  ASSERT_FALSE(LogLines().empty());
  EXPECT_NE(LogLines().front().find(L"GDF: application-data folder unavailable, using C:\\Program Files\\Tessary\\"),
            std::wstring::npos);
}

TEST_F(DataFolderTest, FailingSpecialFolderLookupCountsAsUnresolvable) {
  sim.SetModuleFileName(L"D:\\Tools\\Tessary.exe");
  sim.SetCommandLineArgs({L"-data"});
  sim.FailOperation(Op::GetSpecialFolder, 5, -1);
  EXPECT_EQ(GetDataFolder(), L"D:\\Tools\\");
}

}  // namespace
}  // namespace tessary
