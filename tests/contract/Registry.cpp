// Text values of the current user's registry: what the start at sign-in reads and writes.
#include <gtest/gtest.h>

#include <string>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

constexpr const wchar_t* kKey = L"Software\\TessaryContract\\Strings";

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    for (const wchar_t* v : {L"Command", L"Long", L"Other"}) Backend().DeleteRegistryValue(RegRoot::CurrentUser, kKey, v);
  }
};

TEST_F(Registry, ATextWrittenIsReadBackAndGoneOnceDeleted) {
  std::wstring got = L"untouched";
  EXPECT_EQ(Backend().ReadRegistryString(RegRoot::CurrentUser, L"Software\\TessaryContract\\NoSuchKeyHere", L"Command", got),
            RegValueState::KeyMissing);
  const std::wstring command = L"\"C:\\Program Files\\Tessary\\Tessary.exe\"";
  ASSERT_TRUE(Backend().WriteRegistryString(RegRoot::CurrentUser, kKey, L"Command", command));
  EXPECT_EQ(Backend().ReadRegistryString(RegRoot::CurrentUser, kKey, L"command", got), RegValueState::Present)
      << "value names have no case";
  EXPECT_EQ(got, command);
  EXPECT_EQ(Backend().ReadRegistryString(RegRoot::CurrentUser, kKey, L"Other", got), RegValueState::ValueMissing);

  // Overwritten with a shorter text, and a text longer than a first small read.
  ASSERT_TRUE(Backend().WriteRegistryString(RegRoot::CurrentUser, kKey, L"Command", L"\"D:\\T.exe\""));
  EXPECT_EQ(Backend().ReadRegistryString(RegRoot::CurrentUser, kKey, L"Command", got), RegValueState::Present);
  EXPECT_EQ(got, L"\"D:\\T.exe\"");
  const std::wstring longText(700, L'x');
  ASSERT_TRUE(Backend().WriteRegistryString(RegRoot::CurrentUser, kKey, L"Long", longText));
  EXPECT_EQ(Backend().ReadRegistryString(RegRoot::CurrentUser, kKey, L"Long", got), RegValueState::Present);
  EXPECT_EQ(got, longText);

  EXPECT_TRUE(Backend().DeleteRegistryValue(RegRoot::CurrentUser, kKey, L"Command"));
  EXPECT_EQ(Backend().ReadRegistryString(RegRoot::CurrentUser, kKey, L"Command", got), RegValueState::ValueMissing);
  EXPECT_TRUE(Backend().DeleteRegistryValue(RegRoot::CurrentUser, kKey, L"Command")) << "already gone is gone";
}

}  // namespace
}  // namespace tessary::contract
