// Owners of handles the window system hands out: the handle goes back on every way out of a scope,
// exceptions included, and only once.
#pragma once
#include <cstdint>
#include <utility>

#include "desktop/WindowSystem.h"

namespace tessary {

enum class GiveBack : uint8_t { CloseHandle, DestroyIcon, UnregisterDeviceNotification };

namespace owned_detail {
// Puts h in slot and gives the handle slot held back with the IWindowSystem call for how, through
// ws() at that moment; unless it is h itself, since the owner keeps that one. One out-of-line
// function for every kind keeps an owner as small as its handle and each release a single call.
void Reset(GiveBack how, std::uintptr_t& slot, std::uintptr_t h) noexcept;
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
  ~Owned() { reset(); }

  std::uintptr_t get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != 0; }
  // The caller owns it now.
  [[nodiscard]] std::uintptr_t release() noexcept { return std::exchange(h_, 0); }
  void reset(std::uintptr_t h = 0) noexcept { owned_detail::Reset(How, h_, h); }

 private:
  std::uintptr_t h_ = 0;
};

using OwnedKernelHandle = Owned<GiveBack::CloseHandle>;
using OwnedIcon = Owned<GiveBack::DestroyIcon>;
using OwnedDeviceNotification = Owned<GiveBack::UnregisterDeviceNotification>;

}  // namespace tessary
