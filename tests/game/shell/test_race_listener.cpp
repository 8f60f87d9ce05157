// The race's listener stands at the camera and faces the car: a crash on
// the left of the picture is heard on the left.
#include <gtest/gtest.h>

#include "../../sound/sound_test_util.h"
#include "shell/race_frame.h"
#include "sound/cListener.h"
#include "sound/cSound3D.h"

using namespace soundtest;

namespace {

// Renders a short tone from `source` heard from a camera at `camera` looking
// at `target`, and returns the rendered channels.
Capture Heard(const std::string& dir, D3DXVECTOR3 camera, D3DXVECTOR3 target, D3DXVECTOR3 source) {
  const std::string tone = dir + "/tone.wav";
  EXPECT_TRUE(WriteTone(tone, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, {{440, 0.3}}));
  {
    cListener listener(nullptr);
    PlaceListener(&listener, camera, target);
    cSound3D crash(&listener, tone.c_str());
    crash.SetPos(&source);
    crash.Play();
    RunFor(0.4);
  }
  return ReadCapture(dir + "/capture.wav");
}

TEST(RaceListener, ASoundOnTheLeftOfTheViewIsLouderOnTheLeft) {
  const std::string dir = vrxtest::MakeTempDir("race_listener");
  UseWaveOutput(dir, dir + "/capture.wav");
  // The chase camera 6 m behind a car heading +z; x is to the right on screen.
  const D3DXVECTOR3 camera(10, 3, -6), target(10, 1, 0);
  Capture left = Heard(dir, camera, target, D3DXVECTOR3(7, 1, 0));
  ASSERT_GT(left.Frames(), 0u);
  EXPECT_GT(Rms(left.left, 0, left.Frames()), 3 * Rms(left.right, 0, left.Frames()));
  // Seen from the other side the same place is on the right.
  Capture right = Heard(dir, D3DXVECTOR3(10, 3, 6), target, D3DXVECTOR3(7, 1, 0));
  ASSERT_GT(right.Frames(), 0u);
  EXPECT_GT(Rms(right.right, 0, right.Frames()), 3 * Rms(right.left, 0, right.Frames()));
}

}  // namespace
