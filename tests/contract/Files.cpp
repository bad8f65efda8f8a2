// The file and settings operations the log, the settings file and the data folder rely on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

class Files : public testing::Test {
 protected:
  void SetUp() override {
    const std::wstring appData = Backend().GetSpecialFolder(wc::CSIDL_APPDATA);
    ASSERT_FALSE(appData.empty());
    ASSERT_TRUE(Backend().DirectoryExists(appData));
    dir_ = appData + L"\\TessaryContract" + std::to_wstring(Backend().GetCurrentProcessId()) + L"\\a\\b";
    ASSERT_TRUE(Backend().CreateDirectoryTree(dir_));
  }
  void TearDown() override {
    for (const wchar_t* name : {L"x.bin", L"y.bin", L"z.bin", L"s.ini", L"big.bin"}) {
      SetReadOnlyAttribute(Path(name), false);
      Backend().DeleteFileW(Path(name));
    }
  }
  std::vector<uint8_t> Read(const wchar_t* name) {
    std::vector<uint8_t> back;
    EXPECT_TRUE(Backend().ReadWholeFile(Path(name), back)) << "cannot read " << name;
    return back;
  }
  std::wstring Path(const wchar_t* name) const { return dir_ + L"\\" + name; }
  std::wstring dir_;
};

TEST_F(Files, WholeFilesRoundTripAndMissingOnesFailWithTheirCodes) {
  EXPECT_TRUE(Backend().DirectoryExists(dir_));
  EXPECT_FALSE(Backend().FileExists(dir_));
  EXPECT_TRUE(Backend().CreateDirectoryTree(dir_));  // already there is fine

  const std::vector<uint8_t> bytes{0xFF, 0xFE, 'A', 0, 0, 0, '\r', 0, '\n', 0, 0x80};
  ASSERT_TRUE(Backend().WriteWholeFile(Path(L"x.bin"), bytes));
  EXPECT_TRUE(Backend().FileExists(Path(L"x.bin")));
  EXPECT_FALSE(Backend().DirectoryExists(Path(L"x.bin")));
  std::vector<uint8_t> back;
  ASSERT_TRUE(Backend().ReadWholeFile(Path(L"x.bin"), back));
  EXPECT_EQ(back, bytes);
  ASSERT_TRUE(Backend().WriteWholeFile(Path(L"x.bin"), {1, 2}));  // replaces, never appends
  ASSERT_TRUE(Backend().ReadWholeFile(Path(L"x.bin"), back));
  EXPECT_EQ(back, (std::vector<uint8_t>{1, 2}));

  back = {9};
  EXPECT_FALSE(Backend().ReadWholeFile(Path(L"missing.bin"), back));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(back, std::vector<uint8_t>{9});
  EXPECT_FALSE(Backend().ReadWholeFile(dir_ + L"\\nowhere\\x.bin", back));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(Backend().DeleteFileW(Path(L"missing.bin")));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_FILE_NOT_FOUND);
}

TEST_F(Files, MoveNeverReplacesAnExistingFile) {
  ASSERT_TRUE(Backend().WriteWholeFile(Path(L"x.bin"), {1}));
  ASSERT_TRUE(Backend().WriteWholeFile(Path(L"y.bin"), {2}));
  EXPECT_FALSE(Backend().MoveFileW(Path(L"x.bin"), Path(L"y.bin")));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_ALREADY_EXISTS);
  std::vector<uint8_t> back;
  ASSERT_TRUE(Backend().ReadWholeFile(Path(L"y.bin"), back));
  EXPECT_EQ(back, std::vector<uint8_t>{2});

  ASSERT_TRUE(Backend().MoveFileW(Path(L"x.bin"), Path(L"z.bin")));
  EXPECT_FALSE(Backend().FileExists(Path(L"x.bin")));
  ASSERT_TRUE(Backend().ReadWholeFile(Path(L"z.bin"), back));
  EXPECT_EQ(back, std::vector<uint8_t>{1});
  EXPECT_FALSE(Backend().MoveFileW(Path(L"x.bin"), Path(L"x2.bin")));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_FILE_NOT_FOUND);
}

TEST_F(Files, ReplacingMoveTakesTheOldFilesPlaceButNotAReadOnlyFileOrAFolder) {
  ASSERT_TRUE(Backend().WriteWholeFile(Path(L"x.bin"), {1}));
  ASSERT_TRUE(Backend().WriteWholeFile(Path(L"y.bin"), {2, 2}));
  ASSERT_TRUE(Backend().MoveFileReplacing(Path(L"x.bin"), Path(L"y.bin")));
  EXPECT_FALSE(Backend().FileExists(Path(L"x.bin")));
  EXPECT_EQ(Read(L"y.bin"), std::vector<uint8_t>{1});
  ASSERT_TRUE(Backend().MoveFileReplacing(Path(L"y.bin"), Path(L"z.bin")));  // nothing to replace
  EXPECT_EQ(Read(L"z.bin"), std::vector<uint8_t>{1});
  EXPECT_FALSE(Backend().MoveFileReplacing(Path(L"y.bin"), Path(L"z.bin")));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_FILE_NOT_FOUND);

  // A read-only file can be read and is neither written, replaced nor deleted; the new file stays.
  // Wine deletes it (a Unix unlink), and when run by root, as in the lab, also writes into it;
  // Windows refuses both, and the simulator follows Windows.
  ASSERT_TRUE(SetReadOnlyAttribute(Path(L"z.bin"), true));
  EXPECT_EQ(Read(L"z.bin"), std::vector<uint8_t>{1});
  if (!OnWine()) {
    EXPECT_FALSE(Backend().WriteWholeFile(Path(L"z.bin"), {3}));
    EXPECT_EQ(Backend().GetLastError(), wc::ERROR_ACCESS_DENIED);
    EXPECT_FALSE(Backend().DeleteFileW(Path(L"z.bin")));
    EXPECT_EQ(Backend().GetLastError(), wc::ERROR_ACCESS_DENIED);
    EXPECT_FALSE(Backend().WritePrivateProfileStringW(L"Main", L"Key", L"1", Path(L"z.bin")));
    EXPECT_EQ(Backend().GetLastError(), wc::ERROR_ACCESS_DENIED);
  }
  ASSERT_TRUE(Backend().WriteWholeFile(Path(L"x.bin"), {4}));
  EXPECT_FALSE(Backend().MoveFileReplacing(Path(L"x.bin"), Path(L"z.bin")));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_ACCESS_DENIED);
  EXPECT_EQ(Read(L"z.bin"), std::vector<uint8_t>{1});
  EXPECT_EQ(Read(L"x.bin"), std::vector<uint8_t>{4});

  // A folder of the file's name is neither read nor replaced.
  const std::wstring folder = Path(L"folder.ini");
  ASSERT_TRUE(Backend().CreateDirectoryTree(folder));
  std::vector<uint8_t> back{9};
  EXPECT_FALSE(Backend().ReadWholeFile(folder, back));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Backend().ReadFileLimited(folder, 100, back));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_ACCESS_DENIED);
  EXPECT_EQ(back, std::vector<uint8_t>{9});
  EXPECT_FALSE(Backend().WriteWholeFile(folder, {5}));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Backend().MoveFileReplacing(Path(L"x.bin"), folder));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_ACCESS_DENIED);
  EXPECT_TRUE(Backend().DirectoryExists(folder));
  EXPECT_EQ(Read(L"x.bin"), std::vector<uint8_t>{4});
}

TEST_F(Files, LimitedReadTakesFilesUpToTheLimitAndRefusesLargerOnes) {
  const std::vector<uint8_t> big(200000, 0x41);
  ASSERT_TRUE(Backend().WriteWholeFile(Path(L"big.bin"), big));
  std::vector<uint8_t> back{9};
  EXPECT_FALSE(Backend().ReadFileLimited(Path(L"big.bin"), big.size() - 1, back));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_FILE_TOO_LARGE);
  EXPECT_EQ(back, std::vector<uint8_t>{9});
  ASSERT_TRUE(Backend().ReadFileLimited(Path(L"big.bin"), big.size(), back));
  EXPECT_EQ(back, big);
  ASSERT_TRUE(Backend().WriteWholeFile(Path(L"x.bin"), {}));
  ASSERT_TRUE(Backend().ReadFileLimited(Path(L"x.bin"), 0, back));
  EXPECT_TRUE(back.empty());
  EXPECT_FALSE(Backend().ReadFileLimited(Path(L"missing.bin"), 10, back));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(Backend().ReadFileLimited(dir_ + L"\\nowhere\\x.bin", 10, back));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_PATH_NOT_FOUND);
}

TEST_F(Files, IniValuesRoundTripWithDefaultsAndCaseInsensitiveNames) {
  const std::wstring ini = Path(L"s.ini");
  EXPECT_EQ(Backend().GetPrivateProfileStringW(L"Main", L"Key", L"dflt", ini), L"dflt");  // no file yet
  ASSERT_TRUE(Backend().WritePrivateProfileStringW(L"Main", L"Key", L"ctrl+alt+Right", ini));
  ASSERT_TRUE(Backend().WritePrivateProfileStringW(L"Hidden", L"Key", L"2000", ini));
  EXPECT_EQ(Backend().GetPrivateProfileStringW(L"Main", L"Key", L"dflt", ini), L"ctrl+alt+Right");
  EXPECT_EQ(Backend().GetPrivateProfileStringW(L"MAIN", L"kEY", L"dflt", ini), L"ctrl+alt+Right");
  EXPECT_EQ(Backend().GetPrivateProfileStringW(L"Hidden", L"Key", L"dflt", ini), L"2000");
  EXPECT_EQ(Backend().GetPrivateProfileStringW(L"Main", L"Other", L"dflt", ini), L"dflt");
  EXPECT_EQ(Backend().GetPrivateProfileStringW(L"Nope", L"Key", L"", ini), L"");
  ASSERT_TRUE(Backend().WritePrivateProfileStringW(L"Main", L"Key", L"", ini));  // empty, not removed
  EXPECT_EQ(Backend().GetPrivateProfileStringW(L"Main", L"Key", L"dflt", ini), L"");
  const std::wstring longValue(3000, L'v');
  ASSERT_TRUE(Backend().WritePrivateProfileStringW(L"Main", L"Long", longValue, ini));
  EXPECT_EQ(Backend().GetPrivateProfileStringW(L"Main", L"Long", L"", ini), longValue);
}

TEST(ModuleFile, NamesOurExecutable) {
  const std::wstring path = Backend().GetModuleFileNameW();
  ASSERT_GT(path.size(), OwnExeName().size());
  EXPECT_TRUE(SameTextAscii(path.substr(path.size() - OwnExeName().size()), OwnExeName()));
  EXPECT_EQ(path[path.size() - OwnExeName().size() - 1], L'\\');
}

// The About box reads the executable's version; without a file or a version resource it fails.
TEST_F(Files, AFileVersionNeedsAFileWithAVersionResource) {
  uint16_t v[4] = {7, 7, 7, 7};
  Backend().SetLastError(0);
  EXPECT_FALSE(Backend().GetFileVersion(Path(L"none.exe"), v));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(Backend().WriteWholeFile(Path(L"plain.exe"), {'M', 'Z', 0, 0}));
  EXPECT_FALSE(Backend().GetFileVersion(Path(L"plain.exe"), v));
  EXPECT_EQ(v[0], 7);
}

}  // namespace
}  // namespace tessary::contract
