// Relative geometry: the fractions a window keeps on its monitor and the pixels they give back.
// Built for every compiler we ship with, so these also guard the extended-precision arithmetic.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <vector>
#include <thread>

#include "core/UnitSharedTypes.h"

namespace tessary {
namespace {

struct Fractions {
  double l = 0, t = 0, w = 0, h = 0;
};

Fractions Of(const TRect& r, const TRect& base) {
  Fractions f;
  RectToPercents(r, base, f.l, f.t, f.w, f.h);
  return f;
}

TEST(RelativeGeometry, FractionsOfTheFullMonitor) {
  const TRect mon{0, 0, 1920, 1080};
  const Fractions f = Of(TRect{480, 270, 1440, 810}, mon);
  EXPECT_EQ(f.l, 0.25);
  EXPECT_EQ(f.t, 0.25);
  EXPECT_EQ(f.w, 0.5);
  EXPECT_EQ(f.h, 0.5);
}

TEST(RelativeGeometry, FractionsOutsideTheMonitorAreKept) {
  const TRect mon{-1920, 0, 0, 1080};
  const Fractions f = Of(TRect{-1930, -54, 10, 1134}, mon);
  EXPECT_LT(f.l, 0.0);
  EXPECT_LT(f.t, 0.0);
  EXPECT_GT(f.w, 1.0);
  EXPECT_EQ(f.t, -0.05);
}

struct MapCase {
  const char* name;
  TRect rect, from, to, expected;
};

void PrintTo(const MapCase& c, std::ostream* os) { *os << c.name; }


class MapRectTable : public ::testing::TestWithParam<MapCase> {};

TEST_P(MapRectTable, LandsOnTheExpectedPixels) {
  const MapCase& c = GetParam();
  EXPECT_EQ(MapRect(c.rect, c.from, c.to), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapRectTable,
    ::testing::Values(
        // Half the width at a quarter of the left moves to a smaller monitor on the right.
        MapCase{"half_width", {480, 0, 1440, 1080}, {0, 0, 1920, 1080}, {1920, 0, 3200, 1024}, {2240, 0, 2880, 1024}},
        // 3/1280 is stored just below its exact value; truncating the product gave 2.
        MapCase{"fraction_stored_below_keeps_its_pixel", {3, 0, 103, 100}, {0, 0, 1280, 1024}, {1280, 0, 2560, 1024},
                {1283, 0, 1383, 100}},
        // 1/3 of 1920 is stored below 640 too: the window arrived 639 x 359.
        MapCase{"same_size_monitors_keep_the_size", {640, 360, 1280, 720}, {0, 0, 1920, 1080}, {1920, 0, 3840, 1080},
                {2560, 360, 3200, 720}},
        // -9.995 is nearer -10 than -9.
        MapCase{"negative_rounds_to_nearest", {-10, 0, 990, 1080}, {0, 0, 1920, 1080}, {1920, 0, 3839, 1080},
                {1910, 0, 2909, 1080}},
        // 15/1000 of 1100 is 16.5 exactly, and 30/1000 of 1050 is 31.5: the stored fractions put
        // both products a hair below the half, and halves still round away from zero.
        MapCase{"exact_half_rounds_away_from_zero", {15, 30, 45, 60}, {0, 0, 1000, 1000}, {0, 0, 1100, 1050},
                {17, 32, 50, 64}},
        MapCase{"negative_half_rounds_away_from_zero", {-15, 0, 985, 1000}, {0, 0, 1000, 1000}, {0, 0, 1100, 1000},
                {-17, 0, 1083, 1000}},
        // Width is rounded on its own: 4/3 and 4/3 give 1 and 1; a rounded right edge (8/3) would
        // have given width 2.
        MapCase{"width_from_its_own_product", {1, 0, 2, 1}, {0, 0, 3, 3}, {0, 0, 4, 4}, {1, 0, 2, 1}},
        MapCase{"negative_coordinates", {-1440, 270, -480, 810}, {-1920, 0, 0, 1080}, {0, -1080, 1920, 0},
                {480, -810, 1440, -270}},
        MapCase{"no_clamping", {1800, 1000, 2100, 1200}, {0, 0, 1920, 1024}, {0, 0, 1920, 1024},
                {1800, 1000, 2100, 1200}}),
    [](const ::testing::TestParamInfo<MapCase>& i) { return std::string(i.param.name); });

// Monitors of the sizes people have, at the places the lab and users put them.
const TRect kMonitors[] = {
    {0, 0, 1920, 1080},      {1920, 0, 4480, 1440},  {-1280, -200, 0, 824},  {0, 1080, 3840, 3240},
    {0, 0, 1366, 768},       {-1920, 0, 0, 1200},    {0, 0, 3440, 1440},     {2560, 0, 4160, 900},
};

// A spread of windows on a monitor: small, large, partly off its edges, at odd offsets.
std::vector<TRect> WindowsOn(const TRect& m) {
  std::vector<TRect> out;
  for (int32_t x = -37; x < m.Width(); x += 211)
    for (int32_t y = -23; y < m.Height(); y += 157)
      for (int32_t w : {1, 7, 313, 877, m.Width() / 3, m.Width()})
        for (int32_t h : {1, 11, 233, 493, m.Height() / 3, m.Height()})
          out.push_back(TRect{m.Left + x, m.Top + y, m.Left + x + w, m.Top + y + h});
  return out;
}

TEST(RelativeGeometry, SameSizeMonitorsKeepEveryWindowExactly) {
  const TRect from{0, 0, 1920, 1080}, to{1920, 0, 3840, 1080}, below{-500, 1080, 1420, 2160};
  for (const TRect& r : WindowsOn(from)) {
    const TRect moved = MapRect(r, from, to);
    ASSERT_EQ(moved, (TRect{r.Left + 1920, r.Top, r.Right + 1920, r.Bottom})) << r.Left << "," << r.Top;
    ASSERT_EQ(MapRect(r, from, below), (TRect{r.Left - 500, r.Top + 1080, r.Right - 500, r.Bottom + 1080}));
  }
}

// Ten round trips: a window that starts on the smaller monitor (or one of the same size) comes
// back to its very pixels every time; one that starts on the larger settles after the first trip
// (a pixel it cannot keep there) and never moves again.
TEST(RelativeGeometry, RoundTripsDoNotDrift) {
  for (const TRect& a : kMonitors)
    for (const TRect& b : kMonitors) {
      const bool aSmaller = a.Width() <= b.Width() && a.Height() <= b.Height();
      for (const TRect& start : WindowsOn(a)) {
        TRect r = start, afterFirst{};
        for (int trip = 0; trip < 10; ++trip) {
          r = MapRect(MapRect(r, a, b), b, a);
          if (trip == 0) afterFirst = r;
          ASSERT_EQ(r, afterFirst) << "drifted on trip " << trip;
          ASSERT_LE(std::abs(r.Left - start.Left), 1);
          ASSERT_LE(std::abs(r.Width() - start.Width()), 1);
          ASSERT_LE(std::abs(r.Top - start.Top), 1);
          ASSERT_LE(std::abs(r.Height() - start.Height()), 1);
        }
        if (aSmaller) {
          ASSERT_EQ(r, start) << start.Left << "," << start.Top << " " << start.Width();
        }
      }
    }
}

TEST(RelativeGeometry, TenRoundTripsEndWhereTheyStarted) {
  // Truncating, this window ended at (609, 216), 873 x 489.
  const TRect small{0, 0, 1920, 1080}, large{1920, 0, 4480, 1440};
  const TRect start{611, 217, 611 + 877, 217 + 493};
  TRect r = start;
  for (int trip = 0; trip < 10; ++trip) r = MapRect(MapRect(r, small, large), large, small);
  EXPECT_EQ(r, start);
}

TEST(RelativeGeometry, SameResultOnAWorkerThread) {
  // The restore worker converts geometry too; a thread with other floating-point settings must
  // not move windows by a pixel.
  TRect onWorker;
  std::thread th([&] { onWorker = MapRect({15, 30, 45, 60}, {0, 0, 1000, 1000}, {0, 0, 1100, 1050}); });
  th.join();
  EXPECT_EQ(onWorker, (TRect{17, 32, 50, 64}));
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
TEST(RelativeGeometry, SameResultWhenTheThreadRoundsLikeDouble) {
  // A Windows x64 thread starts with the x87 unit at 53-bit precision.
  TRect onThread;
  std::thread th([&] {
    uint16_t cw = 0;
    __asm__ volatile("fnstcw %0" : "=m"(cw));
    const uint16_t pc53 = static_cast<uint16_t>((cw & ~0x0300) | 0x0200);
    __asm__ volatile("fldcw %0" : : "m"(pc53));
    onThread = MapRect({15, 30, 45, 60}, {0, 0, 1000, 1000}, {0, 0, 1100, 1050});
    uint16_t after = 0;
    __asm__ volatile("fnstcw %0" : "=m"(after));
    EXPECT_EQ(after, pc53) << "the thread's own setting must be restored";
    __asm__ volatile("fldcw %0" : : "m"(cw));
  });
  th.join();
  EXPECT_EQ(onThread, (TRect{17, 32, 50, 64}));
}
#endif

TEST(RelativeGeometry, EmptyBaseGivesFiniteFractions) {
  const Fractions f = Of(TRect{10, 10, 20, 20}, TRect{5, 5, 5, 5});
  EXPECT_EQ(f.l, 0.0);
  EXPECT_EQ(f.w, 0.0);
}

TEST(RelativeGeometry, HugeFractionsSaturateInsteadOfOverflowing) {
  const TRect r = PercentsToRect(TRect{0, 0, 1920, 1080}, 1e300, -1e300, 1e300, 0.5);
  EXPECT_EQ(r.Left, INT32_MAX);
  EXPECT_EQ(r.Top, INT32_MIN);
  EXPECT_EQ(r.Height(), 540);
}

}  // namespace
}  // namespace tessary
