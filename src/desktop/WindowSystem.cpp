#include "desktop/WindowSystem.h"

#include <cstdlib>

namespace tessary {
namespace {
IWindowSystem* g_backend = nullptr;
}

IWindowSystem& ws() {
  // A missing backend is a programming error in start-up or a fixture; fail loudly, never silently.
  if (g_backend == nullptr) std::abort();
  return *g_backend;
}

void SetWindowSystem(IWindowSystem* backend) { g_backend = backend; }

}  // namespace tessary
