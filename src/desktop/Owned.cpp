#include "desktop/Owned.h"

namespace tessary::owned_detail {

void Reset(GiveBack how, std::uintptr_t& slot, std::uintptr_t h) noexcept {
  const std::uintptr_t old = std::exchange(slot, h);
  if (old == 0 || old == h) return;
  IWindowSystem& w = ws();
  switch (how) {
    case GiveBack::CloseHandle: w.CloseHandle(old); break;
    case GiveBack::DestroyIcon: w.DestroyIcon(old); break;
    case GiveBack::UnregisterDeviceNotification: w.UnregisterDeviceNotification(old); break;
    default: __builtin_unreachable();
  }
}

}  // namespace tessary::owned_detail
