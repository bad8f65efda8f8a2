// The long run on the simulated desktop: many sleep/wake cycles with twenty programs. Every cycle
// must restore them all, and what the program holds (windows, notify icons, timers, hotkeys,
// device notifications, kernel handles, icons, threads) must stay what it was after the first.
// Not part of the ordinary runs: scripts/soak.sh sim [cycles] runs it in the native and the
// sanitizer builds (LeakSanitizer reports what is left at exit). TESSARY_SOAK_CYCLES sets the count.
#include <chrono>
#include <cstdlib>

#include "../unit/watcher/FlapFixture.h"

namespace tessary::test {
namespace {

int CyclesWanted() {
  const char* text = std::getenv("TESSARY_SOAK_CYCLES");
  const int n = text != nullptr ? std::atoi(text) : 0;
  return n > 0 ? n : 1000;
}

bool Reported(int cycle, int last) { return cycle == 1 || cycle == 10 || cycle == 100 || cycle == 1000 || cycle == last; }

TEST_F(FlapTest, SleepWakeSoak) {
  const int cycles = CyclesWanted();
  for (int i = 0; i < 19; ++i) Program(TRect{1940 + 40 * i, 20 + 30 * i, 2740 + 40 * i, 520 + 30 * i}, i % 7 == 3);
  RememberPlaces();
  main->watcher.timGetTopProgramsTimer();
  ASSERT_EQ(main->watcher.topLevelPrograms.Count(), 20);

  const auto t0 = std::chrono::steady_clock::now();
  Held first;
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    SleepWakeCycle();
    ASSERT_TRUE(EveryProgramBack()) << "cycle " << cycle;
    const Held now = HeldNow(cycle == 1 ? 1 : first.threads);
    if (cycle == 1) first = now;
    if (Reported(cycle, cycles)) {
      const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      std::printf("soak cycle %5d  %8.2f s  %s\n", cycle, s, HeldText(now).c_str());
      std::fflush(stdout);
    }
    ASSERT_TRUE(now == first) << "cycle " << cycle << " holds " << HeldText(now) << "\nafter the first: "
                              << HeldText(first);
  }
  EXPECT_EQ(cyclesEnded, cycles);
  std::printf("soak: %d cycles, flat\n", cycles);
}

}  // namespace
}  // namespace tessary::test
