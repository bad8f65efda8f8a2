// Who owns a window, the process list, the integrity level and the named mutex.
#include <gtest/gtest.h>

#include <string>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

TEST(Processes, OwnWindowBelongsToThisThreadAndProcess) {
  TestWindow w;
  uint32_t pid = 0;
  EXPECT_EQ(Backend().GetWindowThreadProcessId(w.h(), &pid), Backend().GetCurrentThreadId());
  EXPECT_EQ(pid, Backend().GetCurrentProcessId());
  EXPECT_EQ(Backend().GetWindowThreadProcessId(w.h(), nullptr), Backend().GetCurrentThreadId());

  const WindowHandle gone = w.h();
  w.Destroy();
  EXPECT_EQ(Backend().GetWindowThreadProcessId(gone, &pid), 0u);
}

TEST(Processes, ProcessListNamesOurOwnExecutable) {
  std::vector<ProcessEntry> list;
  ASSERT_TRUE(Backend().GetProcessList(list));
  int own = 0;
  for (const ProcessEntry& p : list) {
    if (p.pid != Backend().GetCurrentProcessId()) continue;
    ++own;
    EXPECT_TRUE(SameTextAscii(p.exeName, OwnExeName())) << std::string(p.exeName.begin(), p.exeName.end());
  }
  EXPECT_EQ(own, 1);
}

TEST(Processes, OneProcessNameMatchesTheListAndAMissingProcessFails) {
  std::wstring name;
  ASSERT_TRUE(Backend().GetProcessImageName(Backend().GetCurrentProcessId(), name));
  EXPECT_TRUE(SameTextAscii(name, OwnExeName())) << std::string(name.begin(), name.end());
  std::wstring none = L"unchanged";
  EXPECT_FALSE(Backend().GetProcessImageName(0x7FFFFFF0u, none));
  EXPECT_EQ(none, L"unchanged");
}

TEST(Processes, IntegrityProbeThenRead) {
  const KernelHandle process =
      Backend().OpenProcess(wc::PROCESS_QUERY_LIMITED_INFORMATION, false, Backend().GetCurrentProcessId());
  ASSERT_NE(process, 0u);
  const KernelHandle token = Backend().OpenProcessToken(process, wc::TOKEN_QUERY);
  ASSERT_NE(token, 0u);

  // Without a buffer the call fails and says how much it needs.
  uint32_t needed = 0;
  EXPECT_FALSE(Backend().GetTokenIntegritySize(token, needed));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_INSUFFICIENT_BUFFER);
  EXPECT_GT(needed, 0u);

  uint32_t rid = 0;
  bool sidValid = false;
  ASSERT_TRUE(Backend().GetTokenIntegrityLevel(token, needed, rid, sidValid));
  EXPECT_TRUE(sidValid);
  if (OnWine()) {
    // Wine runs every process at high integrity (and reports EnableLUA 0).
    EXPECT_EQ(rid, wc::SECURITY_MANDATORY_HIGH_RID);
  } else {
    // A program started normally by the user runs at medium integrity.
    EXPECT_EQ(rid, wc::SECURITY_MANDATORY_MEDIUM_RID);
  }
  EXPECT_TRUE(Backend().CloseHandle(token));
  EXPECT_TRUE(Backend().CloseHandle(process));
}

TEST(Processes, SecondMutexOfTheSameNameReportsAlreadyExists) {
  const std::wstring name = L"Tessary.Contract." + std::to_wstring(Backend().GetCurrentProcessId());
  Backend().SetLastError(wc::ERROR_ACCESS_DENIED);
  const KernelHandle first = Backend().CreateMutexW(name);
  ASSERT_NE(first, 0u);
  EXPECT_NE(Backend().GetLastError(), wc::ERROR_ALREADY_EXISTS);
  const KernelHandle second = Backend().CreateMutexW(name);
  ASSERT_NE(second, 0u);  // a handle to the same mutex, not a failure
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(Backend().CloseHandle(second));
  EXPECT_TRUE(Backend().CloseHandle(first));

  // Once every handle is closed the name is free again.
  const KernelHandle fresh = Backend().CreateMutexW(name);
  ASSERT_NE(fresh, 0u);
  EXPECT_NE(Backend().GetLastError(), wc::ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(Backend().CloseHandle(fresh));
}

TEST(Processes, EnableLuaIsReadFromTheMachinePolicy) {
  const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  uint32_t value = 77;
  ASSERT_EQ(Backend().ReadRegistryDword(RegRoot::LocalMachine, key, L"EnableLUA", value), RegValueState::Present);
  // Windows turns UAC on by default; Wine's prefix has it off.
  EXPECT_EQ(value, OnWine() ? 0u : 1u);
  EXPECT_EQ(Backend().ReadRegistryDword(RegRoot::LocalMachine, key, L"NoSuchValueHere", value),
            RegValueState::ValueMissing);
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Backend().ReadRegistryDword(RegRoot::LocalMachine, key + L"\\NoSuchKeyHere", L"EnableLUA", value),
            RegValueState::KeyMissing);
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_FILE_NOT_FOUND);
}

TEST(Processes, CloakingQuery) {
  TestWindow w;
  uint32_t cloaked = 77;
  const int32_t hr = Backend().DwmGetCloaked(w.h(), cloaked);
  if (OnWine()) {
    // Wine has no desktop composition: the attribute is not implemented.
    EXPECT_EQ(hr, wc::E_NOTIMPL);
  } else {
    EXPECT_EQ(hr, wc::S_OK);
    EXPECT_EQ(cloaked, 0u);
  }
}

// The integrity check asks for Vista or later; an NT system has bit 31 clear.
TEST(Processes, TheVersionIsAnNtVersionFromVistaOn) {
  const uint32_t v = Backend().GetVersion();
  EXPECT_GE(v & 0xFFu, 6u);
  EXPECT_EQ(v & 0x80000000u, 0u);
  EXPECT_FALSE(Backend().IsDebuggerPresent());
}

}  // namespace
}  // namespace tessary::contract
