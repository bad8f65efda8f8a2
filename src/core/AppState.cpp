#include "core/AppState.h"

#include <atomic>

namespace tessary {
namespace {
std::atomic<bool> g_terminating{false};
}

bool IsTerminating() { return g_terminating.load(); }
void SetTerminating(bool terminating) { g_terminating.store(terminating); }

}  // namespace tessary
