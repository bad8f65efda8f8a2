// The platform folders the data folder depends on. Each is returned without a trailing
// delimiter, or empty when the platform cannot resolve it.
#pragma once
#include <string>

namespace tessary {

class TSpecialPaths {
 public:
  std::wstring GetAppDataPath() const;
  std::wstring GetProgramFiles() const;
  std::wstring GetProgramFiles86() const;
};

}  // namespace tessary
