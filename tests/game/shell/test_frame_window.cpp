// The race loop's frame timing.
#include <gtest/gtest.h>

#include "shell/frame_window.h"

namespace {

// Runs `n` frames `frameSeconds` apart from `*now`; returns the last step.
float Frames(cFrameWindow* clock, float* now, int n, float frameSeconds) {
  float dt = -1;
  for (int i = 0; i < n; ++i) {
    dt = clock->Step(*now);
    clock->FrameDone();
    *now += frameSeconds;
  }
  return dt;
}

TEST(FrameWindow, TheFirstTenFramesStandStillThenEachStepIsTheWindowsMeanFrame) {
  cFrameWindow clock;
  float now = 100;
  clock.Start(now);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(clock.Step(now), 0.0f) << "frame " << i;
    clock.FrameDone();
    now += 0.02f;
  }
  // The 11th frame closes the first window of 10 frames of 20 ms.
  EXPECT_NEAR(clock.Step(now), 0.02f, 1e-4f);
  EXPECT_NEAR(clock.Window(), 0.2f, 1e-3f);
  clock.FrameDone();
  now += 0.05f;
  // Slower frames change the step only when their window is complete.
  EXPECT_NEAR(Frames(&clock, &now, 9, 0.05f), 0.02f, 1e-4f);
  EXPECT_NEAR(clock.Step(now), (0.05f * 10) / 10, 1e-3f);
}

TEST(FrameWindow, EveryRunStartsAfresh) {
  cFrameWindow clock;
  float now = 5;
  clock.Start(now);
  Frames(&clock, &now, 25, 0.016f);
  EXPECT_GT(clock.Window(), 0.0f);
  now += 30;  // a pause
  clock.Start(now);
  EXPECT_EQ(clock.Window(), 0.0f);
  EXPECT_EQ(Frames(&clock, &now, 10, 0.016f), 0.0f);
  EXPECT_NEAR(clock.Step(now), 0.016f, 1e-4f);
}

}  // namespace
