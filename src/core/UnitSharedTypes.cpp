#include "core/UnitSharedTypes.h"

#include <cmath>
#include <limits>

#include "util/UnitText.h"

namespace tessary {

uint32_t ClassHash(const std::wstring& className) {
  uint32_t h = 2166136261u;
  for (wchar_t c : className) {
    h ^= static_cast<uint32_t>(c);
    h *= 16777619u;
  }
  return h == 0 ? 1 : h;
}

// The fractions and pixels must come out the same with every compiler we ship with: products and
// quotients are formed with a 64-bit mantissa. A compiler whose long double is narrower would
// silently move windows by a pixel, so refuse to build instead.
static_assert(std::numeric_limits<long double>::digits == 64,
              "relative geometry needs an extended (64-bit mantissa) long double");

namespace {

using Extended = long double;

// The x87 unit rounds long double results to the precision its control word asks for. Threads
// do not all start with 64 bits: a Windows x64 thread begins with 53, so without this guard a
// worker thread would round like plain double and land a pixel off.
class ExtendedPrecisionScope {
 public:
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  ExtendedPrecisionScope() {
    __asm__ volatile("fnstcw %0" : "=m"(saved_));
    const uint16_t wanted = static_cast<uint16_t>(saved_ | 0x0300);  // precision control: 64 bits
    if (wanted != saved_) {
      __asm__ volatile("fldcw %0" : : "m"(wanted));
      changed_ = true;
    }
  }
  ~ExtendedPrecisionScope() {
    if (changed_) __asm__ volatile("fldcw %0" : : "m"(saved_));
  }

 private:
  uint16_t saved_ = 0;
  bool changed_ = false;
#endif
};

int32_t Saturate(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

// A difference of two coordinates can exceed 32 bits; only its sign matters to a sort.
int32_t Diff(int32_t a, int32_t b) { return Saturate(static_cast<int64_t>(a) - static_cast<int64_t>(b)); }

int64_t Width64(const TRect& r) { return static_cast<int64_t>(r.Right) - r.Left; }
int64_t Height64(const TRect& r) { return static_cast<int64_t>(r.Bottom) - r.Top; }

double Fraction(int64_t num, int64_t den) {
  if (den == 0) return 0.0;  // never a monitor; keep the result finite
  const ExtendedPrecisionScope precision;
  return static_cast<double>(static_cast<Extended>(num) / static_cast<Extended>(den));
}

// size x fraction to the nearest pixel, formed in extended precision. A fraction is stored a hair
// above or below its exact value; truncating lost a pixel whenever it fell below, so windows
// shrank and crept with every move. Rounded, a move between monitors of the same size is exact
// and a round trip between any two does not drift.
//
// An exact half (15/1000 of 1100 pixels is 16.5) comes out a hair either side of .5, so it is
// nudged away from zero first: halves always round away from zero. The nudge is far below the
// distance of any other product from a half (at least 1/(2 x 65536) for monitors up to 65536
// pixels) and far above the arithmetic's error.
int64_t RoundProduct(int64_t size, double fraction) {
  const ExtendedPrecisionScope precision;
  constexpr Extended kHalfNudge = 1e-7L;
  const Extended exact = static_cast<Extended>(size) * static_cast<Extended>(fraction);
  const Extended p = std::round(exact + std::copysign(kHalfNudge, exact));
  if (std::isnan(p)) return 0;
  // Out-of-range values cannot be converted; they saturate far outside any desktop.
  constexpr Extended lim = static_cast<Extended>(std::numeric_limits<int32_t>::max()) * 4;
  if (p > lim) return static_cast<int64_t>(lim);
  if (p < -lim) return static_cast<int64_t>(-lim);
  return static_cast<int64_t>(p);
}

}  // namespace

int32_t TProgramInfoComparer::Compare(const TProgramInfo& Left, const TProgramInfo& Right) const {
  // Unsigned subtraction wraps by definition; the conversion back is modular in C++20.
  const uint32_t l = static_cast<uint32_t>(Left.hwnd);
  const uint32_t r = static_cast<uint32_t>(Right.hwnd);
  return static_cast<int32_t>(l - r);
}

int32_t TIDComparer::Compare(const TMonitorInfo& Left, const TMonitorInfo& Right) const {
  return Diff(Left.id, Right.id);
}

int32_t TLeftComparer::Compare(const TMonitorInfo& Left, const TMonitorInfo& Right) const {
  if (Left.bounds.Left == Right.bounds.Left) return Diff(Left.bounds.Top, Right.bounds.Top);
  return Diff(Left.bounds.Left, Right.bounds.Left);
}

int32_t TTopComparer::Compare(const TMonitorInfo& Left, const TMonitorInfo& Right) const {
  if (Left.bounds.Top == Right.bounds.Top) return Diff(Left.bounds.Left, Right.bounds.Left);
  return Diff(Left.bounds.Top, Right.bounds.Top);
}

int32_t TMonitorList::IndexOf(const TMonitorInfo& Value) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].id == Value.id) return static_cast<int32_t>(i);
  }
  return -1;
}

bool TMonitorList::TryAndGet(TMonitorInfo& item) const {
  const int32_t i = IndexOf(item);
  if (i < 0) return false;
  item = items_[static_cast<size_t>(i)];
  return true;
}

void RectToPercents(const TRect& rect, const TRect& base, double& leftpercent, double& toppercent,
                    double& wdpercent, double& htpercent) {
  const int64_t bw = Width64(base), bh = Height64(base);
  leftpercent = Fraction(static_cast<int64_t>(rect.Left) - base.Left, bw);
  toppercent = Fraction(static_cast<int64_t>(rect.Top) - base.Top, bh);
  wdpercent = Fraction(Width64(rect), bw);
  htpercent = Fraction(Height64(rect), bh);
}

TRect PercentsToRect(const TRect& base, double leftpercent, double toppercent, double wdpercent, double htpercent) {
  const int64_t bw = Width64(base), bh = Height64(base);
  TRect r;
  r.Left = Saturate(base.Left + RoundProduct(bw, leftpercent));
  r.Top = Saturate(base.Top + RoundProduct(bh, toppercent));
  // Width and height are rounded on their own, not derived from a rounded far edge.
  r.Right = Saturate(r.Left + RoundProduct(bw, wdpercent));
  r.Bottom = Saturate(r.Top + RoundProduct(bh, htpercent));
  return r;
}

TRect MapRect(const TRect& rect, const TRect& fromBase, const TRect& toBase) {
  double l = 0, t = 0, w = 0, h = 0;
  RectToPercents(rect, fromBase, l, t, w, h);
  return PercentsToRect(toBase, l, t, w, h);
}

std::wstring RectText(const TRect& r) { return Format(L"[%d, %d, %d, %d]", r.Left, r.Top, r.Right, r.Bottom); }

}  // namespace tessary
