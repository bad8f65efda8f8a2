// A fresh simulated desktop behind ws() and a fresh process-wide state for every test.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/ProcessState.h"
#include "desktop/WindowSystem.h"
#include "platform/sim/SimDesktop.h"

namespace tessary::test {

class CoreFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    SetWindowSystem(&sim);
    ResetProcessWideState();
  }
  void TearDown() override {
    ResetProcessWideState();
    SetWindowSystem(nullptr);
  }

  // The text of a UTF-16 LE file with BOM; fails the test when the file is not one.
  std::wstring ReadUtf16File(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(sim.ReadWholeFile(path, bytes)) << "missing file";
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE || bytes.size() % 2 != 0) {
      ADD_FAILURE() << "not UTF-16 LE with BOM";
      return L"";
    }
    std::wstring out;
    for (size_t i = 2; i < bytes.size(); i += 2) {
      uint32_t u = bytes[i] | (bytes[i + 1] << 8);
      if constexpr (sizeof(wchar_t) == 4) {
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
          const uint32_t lo = bytes[i + 2] | (bytes[i + 3] << 8);
          if (lo >= 0xDC00 && lo < 0xE000) {
            u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
            i += 2;
          }
        }
      }
      out.push_back(static_cast<wchar_t>(u));
    }
    return out;
  }

  sim::SimDesktop sim;
};

}  // namespace tessary::test
