#include <gtest/gtest.h>

#include <string>

#include "cTimer.h"
#include "platform/testing.h"

namespace {

using vrxtesting::SetFakeTickCount;

class TimerTest : public ::testing::Test {
 protected:
  void TearDown() override { vrxtesting::SetTickSource(nullptr); }
  cTimer timer;
};

TEST_F(TimerTest, NewTimerIsStoppedAtZero) {
  SetFakeTickCount(12345);
  EXPECT_EQ(timer.GetStatus(), 0u);
  EXPECT_EQ(timer.GetTickTime(), 0u);
  EXPECT_STREQ(timer.GetTimeString(), "00:00:00");
}

TEST_F(TimerTest, PauseTakesThePausedIntervalOut) {
  SetFakeTickCount(1000);
  timer.Start();
  SetFakeTickCount(5000);
  timer.Pause();
  EXPECT_EQ(timer.GetStatus(), 3u);
  SetFakeTickCount(8000);
  EXPECT_EQ(timer.GetTickTime(), 4000u);  // frozen while paused
  SetFakeTickCount(9000);
  timer.Resume();
  EXPECT_EQ(timer.GetStatus(), 1u);
  SetFakeTickCount(10000);
  EXPECT_EQ(timer.GetTickTime(), 5000u);
}

TEST_F(TimerTest, HoldFreezesTheReadingButTimeGoesOn) {
  SetFakeTickCount(1000);
  timer.Start();
  SetFakeTickCount(5000);
  timer.Hold();
  EXPECT_EQ(timer.GetStatus(), 2u);
  SetFakeTickCount(7000);
  EXPECT_EQ(timer.GetTickTime(), 4000u);
  timer.Resume();
  SetFakeTickCount(8000);
  EXPECT_EQ(timer.GetTickTime(), 7000u);
}

TEST_F(TimerTest, HoldPauseAndResumeOnlyActInTheirStates) {
  SetFakeTickCount(100);
  timer.Hold();
  timer.Pause();
  EXPECT_EQ(timer.GetStatus(), 0u);  // stopped stays stopped
  timer.Resume();
  EXPECT_EQ(timer.GetStatus(), 0u);

  timer.Start();
  SetFakeTickCount(600);
  timer.Resume();  // running: nothing to resume, start tick untouched
  EXPECT_EQ(timer.GetTickTime(), 500u);
  timer.Hold();
  SetFakeTickCount(900);
  timer.Pause();  // held, not running: no pause
  EXPECT_EQ(timer.GetStatus(), 2u);
  EXPECT_EQ(timer.GetTickTime(), 500u);
}

TEST_F(TimerTest, StopKeepsTheReadingAndStartRestartsFromAnyStatus) {
  SetFakeTickCount(2000);
  timer.Start();
  SetFakeTickCount(3500);
  timer.Stop();
  SetFakeTickCount(9000);
  EXPECT_EQ(timer.GetStatus(), 0u);
  EXPECT_EQ(timer.GetTickTime(), 1500u);

  timer.Start();
  SetFakeTickCount(9250);
  timer.Pause();
  SetFakeTickCount(9900);
  timer.Start();  // paused -> running, measuring from now
  SetFakeTickCount(10000);
  EXPECT_EQ(timer.GetStatus(), 1u);
  EXPECT_EQ(timer.GetTickTime(), 100u);
}

TEST_F(TimerTest, ResetRestartsARunningTimerAndKeepsItsStatus) {
  SetFakeTickCount(1000);
  timer.Start();
  SetFakeTickCount(4000);
  timer.Reset();
  EXPECT_EQ(timer.GetStatus(), 1u);
  SetFakeTickCount(4250);
  EXPECT_EQ(timer.GetTickTime(), 250u);
}

TEST_F(TimerTest, ResetOfAStoppedTimerWrapsToStopMinusNow) {
  SetFakeTickCount(1000);
  timer.Start();
  SetFakeTickCount(2000);
  timer.Stop();
  SetFakeTickCount(5000);
  timer.Reset();
  EXPECT_EQ(timer.GetStatus(), 0u);
  EXPECT_EQ(timer.GetTickTime(), static_cast<DWORD>(2000u - 5000u));
  EXPECT_EQ(timer.GetTickTime(), 0xFFFFF448u);
}

TEST_F(TimerTest, ElapsedTimeSurvivesTheTickCounterWrapping) {
  SetFakeTickCount(0xFFFFF000u);
  timer.Start();
  SetFakeTickCount(0x00000FA0u);
  EXPECT_EQ(timer.GetTickTime(), 0x1FA0u);

  // A pause that spans the wrap is taken out just the same.
  SetFakeTickCount(0xFFFFFF00u);
  timer.Start();
  SetFakeTickCount(0xFFFFFF64u);
  timer.Pause();
  SetFakeTickCount(0x00000100u);
  timer.Resume();
  SetFakeTickCount(0x00000200u);
  EXPECT_EQ(timer.GetTickTime(), 100u + 0x100u);
}

TEST_F(TimerTest, TimeFieldsAndText) {
  SetFakeTickCount(500);
  timer.Start();
  SetFakeTickCount(500 + 83456);
  EXPECT_EQ(timer.GetMinutes(), 1u);
  EXPECT_EQ(timer.GetSeconds(), 23u);
  EXPECT_EQ(timer.Get100Sec(), 45u);
  EXPECT_STREQ(timer.GetTimeString(), "01:23:45");

  SetFakeTickCount(500 + 6000000);
  EXPECT_STREQ(timer.GetTimeString(), "100:00:00");  // the minutes field widens

  SetFakeTickCount(500 + 59999);
  EXPECT_STREQ(timer.GetTimeString(), "00:59:99");
}

TEST_F(TimerTest, LargestReadingFitsTheText) {
  SetFakeTickCount(1);
  timer.Start();
  SetFakeTickCount(0);  // one tick before the start: 2^32 - 1 ms
  EXPECT_STREQ(timer.GetTimeString(), "71582:47:29");
}

// The text reads the clock once per field, hundredths first: a clock that
// moves between the reads shows in the text.
DWORD g_ticks[3];
int g_read = 0;
DWORD SteppingClock() { return g_ticks[g_read < 3 ? g_read++ : 2]; }

TEST_F(TimerTest, TimeStringReadsTheClockForEachField) {
  SetFakeTickCount(0);
  timer.Start();
  g_ticks[0] = 59990;  // hundredths: 99
  g_ticks[1] = 60000;  // seconds: 0
  g_ticks[2] = 61000;  // minutes: 1
  g_read = 0;
  vrxtesting::SetTickSource(SteppingClock);
  EXPECT_STREQ(timer.GetTimeString(), "01:00:99");
  EXPECT_EQ(g_read, 3);
}

TEST_F(TimerTest, TimeStringOfAPausedTimerIsStable) {
  SetFakeTickCount(0);
  timer.Start();
  SetFakeTickCount(12340);
  timer.Pause();
  const std::string first = timer.GetTimeString();
  SetFakeTickCount(99999);
  EXPECT_EQ(first, "00:12:34");
  EXPECT_STREQ(timer.GetTimeString(), "00:12:34");
}

}  // namespace
