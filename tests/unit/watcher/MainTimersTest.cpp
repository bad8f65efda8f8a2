// The main window's two managed timers: registered by its set-up, the snapshot timer switched by
// the Monitor Watcher through the manager.
#include <gtest/gtest.h>

#include "../shell/MainFixture.h"
#include "core/UnitTimerManager.h"

namespace tessary::test {
namespace {

class MainTimersTest : public MainFixture {};

TEST_F(MainTimersTest, TheSetUpRegistersTheForegroundAndSnapshotTimersAndStartsTheFirst) {
  const auto list = TTimerManager::List();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].timer, main->timGetForeground);
  EXPECT_TRUE(list[0].wasEnabled);
  EXPECT_EQ(list[1].timer, main->timGetTopPrograms);
  // The watcher is on from the start (its box is ticked by default), and with it the snapshot.
  EXPECT_TRUE(list[1].wasEnabled);
  EXPECT_TRUE(main->timGetForeground->Enabled());
  EXPECT_TRUE(main->timGetTopPrograms->Enabled());

  // Its ticks go through the manager.
  EXPECT_EQ(TTimerManager::PauseTick(), 0u);
  Wait(200);
  EXPECT_EQ(TTimerManager::PauseTick(), sim.GetTickCount());
  EXPECT_TRUE(main->timGetForeground->Enabled());
}

TEST_F(MainTimersTest, TheWatcherSwitchedOffDuringAPauseStaysOffAfterTheResume) {
  main->SetMonitorWatcher(true);
  EXPECT_TRUE(main->timGetTopPrograms->Enabled());
  TTimerManager::pauseAllEnabled();  // a monitor went away
  main->SetMonitorWatcher(false);    // the tray switched the watcher off meanwhile
  TTimerManager::resumeAllPreviouslyEnabled();
  EXPECT_FALSE(main->timGetTopPrograms->Enabled());
  EXPECT_TRUE(main->timGetForeground->Enabled());
}

TEST_F(MainTimersTest, AMainWindowCreatedAgainLeavesNoRecordOfTheOldTimersBehind) {
  CreateMain();
  const auto list = TTimerManager::List();
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].timer, nullptr);
  EXPECT_EQ(list[1].timer, nullptr);
  EXPECT_EQ(list[2].timer, main->timGetForeground);
  EXPECT_EQ(list[3].timer, main->timGetTopPrograms);
  Wait(200);
  EXPECT_TRUE(main->timGetForeground->Enabled());
}

}  // namespace
}  // namespace tessary::test
