#include "desktop/Owned.h"

namespace tessary::owned_detail {

void Give(GiveBack how, std::uintptr_t h) noexcept {
  IWindowSystem& w = ws();
  switch (how) {
    case GiveBack::CloseHandle: w.CloseHandle(h); break;
    case GiveBack::DestroyIcon: w.DestroyIcon(h); break;
    case GiveBack::UnregisterDeviceNotification: w.UnregisterDeviceNotification(h); break;
  }
}

}  // namespace tessary::owned_detail
