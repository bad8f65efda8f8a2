// Relative geometry: the fractions a window keeps on its monitor and the pixels they give back.
// Built for every compiler we ship with, so these also guard the extended-precision arithmetic.
#include <gtest/gtest.h>

#include <ostream>
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
        // 3/1280 is stored just below its exact value; the extended product truncates to 2.
        MapCase{"stored_fraction_loses_a_pixel", {3, 0, 103, 100}, {0, 0, 1280, 1024}, {1280, 0, 2560, 1024},
                {1282, 0, 1382, 100}},
        // -9.995 truncates toward zero: 9 pixels left of the edge, not 10.
        MapCase{"negative_truncates_toward_zero", {-10, 0, 990, 1080}, {0, 0, 1920, 1080}, {1920, 0, 3839, 1080},
                {1911, 0, 2910, 1080}},
        // Width is truncated on its own, not from a truncated right edge.
        MapCase{"width_from_its_own_product", {1, 1, 3, 3}, {0, 0, 3, 3}, {0, 0, 4, 4}, {1, 1, 3, 3}},
        MapCase{"negative_coordinates", {-1440, 270, -480, 810}, {-1920, 0, 0, 1080}, {0, -1080, 1920, 0},
                {480, -810, 1440, -270}},
        MapCase{"no_clamping", {1800, 1000, 2100, 1200}, {0, 0, 1920, 1024}, {0, 0, 1920, 1024},
                {1800, 1000, 2100, 1200}}),
    [](const ::testing::TestParamInfo<MapCase>& i) { return std::string(i.param.name); });

TEST(RelativeGeometry, PlainDoubleWouldGiveThreeWhereExtendedGivesTwo) {
  double l = 0, t = 0, w = 0, h = 0;
  RectToPercents(TRect{3, 0, 4, 1}, TRect{0, 0, 1280, 1024}, l, t, w, h);
  // The stored fraction sits just below 3/1280; double multiplication rounds the product back up.
  volatile double dl = l;
  EXPECT_EQ(static_cast<int>(1280.0 * dl), 3);
  EXPECT_EQ(PercentsToRect(TRect{0, 0, 1280, 1024}, l, t, w, h).Left, 2);
}

TEST(RelativeGeometry, SameResultOnAWorkerThread) {
  // The restore worker converts geometry too; a thread with other floating-point settings must
  // not move windows by a pixel.
  TRect onWorker;
  std::thread th([&] { onWorker = MapRect({3, 0, 103, 100}, {0, 0, 1280, 1024}, {1280, 0, 2560, 1024}); });
  th.join();
  EXPECT_EQ(onWorker, (TRect{1282, 0, 1382, 100}));
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
    onThread = MapRect({3, 0, 103, 100}, {0, 0, 1280, 1024}, {1280, 0, 2560, 1024});
    uint16_t after = 0;
    __asm__ volatile("fnstcw %0" : "=m"(after));
    EXPECT_EQ(after, pc53) << "the thread's own setting must be restored";
    __asm__ volatile("fldcw %0" : : "m"(cw));
  });
  th.join();
  EXPECT_EQ(onThread, (TRect{1282, 0, 1382, 100}));
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
