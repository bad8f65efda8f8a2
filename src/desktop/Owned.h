// Owners of handles the window system hands out: the handle goes back on every way out of a scope,
// exceptions included, and only once.
#pragma once
#include <cstdint>
#include <utility>

#include "desktop/WindowSystem.h"

namespace tessary {

enum class GiveBack : uint8_t { CloseHandle, DestroyIcon, UnregisterDeviceNotification };

namespace owned_detail {
// The IWindowSystem call for how, through ws() at that moment. One out-of-line function for every
// kind keeps an owner as small as the handle and its release a single call.
void Give(GiveBack how, std::uintptr_t h) noexcept;
}  // namespace owned_detail

// Zero is "nothing".
template <GiveBack How>
class Owned {
 public:
  Owned() noexcept = default;
  explicit Owned(std::uintptr_t h) noexcept : h_(h) {}
  Owned(Owned&& o) noexcept : h_(o.release()) {}
  Owned& operator=(Owned&& o) noexcept {
    reset(o.release());
    return *this;
  }
  [[gnu::always_inline]] ~Owned() {
    if (h_ != 0) owned_detail::Give(How, h_);
  }

  std::uintptr_t get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != 0; }
  // The caller owns it now.
  [[nodiscard]] std::uintptr_t release() noexcept { return std::exchange(h_, 0); }
  // Taking the handle already held keeps it: giving it back would leave this owner with a dead one.
  void reset(std::uintptr_t h = 0) noexcept {
    const std::uintptr_t old = std::exchange(h_, h);
    if (old != 0 && old != h) owned_detail::Give(How, old);
  }

 private:
  std::uintptr_t h_ = 0;
};

using OwnedKernelHandle = Owned<GiveBack::CloseHandle>;
using OwnedIcon = Owned<GiveBack::DestroyIcon>;
using OwnedDeviceNotification = Owned<GiveBack::UnregisterDeviceNotification>;

}  // namespace tessary
