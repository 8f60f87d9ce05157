// Without an audio device every sound object still works, silently, and the
// missing device is reported once for the whole process.
#include <gtest/gtest.h>

#include <string>

#include "sound/cListener.h"
#include "sound/cMP3.h"
#include "sound/cSound3D.h"
#include "sound_test_util.h"

using namespace soundtest;

TEST(NoAudioDevice, EverythingStaysUsableAndSilentWithOneLineOnStderr) {
  const std::string dir = vrxtest::MakeTempDir("no-device");
  UseWaveOutput(dir, "");  // the wave writer refuses to open without a file
  const std::string tone = dir + "/tone.wav";
  ASSERT_TRUE(WriteTone(tone, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, {{441, 0.2}}));
  const std::string piece = dir + "/piece.ogg";
  ASSERT_TRUE(WriteTone(piece, SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, {{441, 0.5}}));

  testing::internal::CaptureStderr();
  float positions[3] = {1, 1, 1};
  {
    cMP3 music;  // before the listener, as the game loads its music
    music.Load(piece.c_str());
    cListener listener(nullptr);
    const D3DXVECTOR3 p(1, 0, 2), front(0, 0, 1), up(0, 1, 0);
    listener.SetListenerPos(&p);
    listener.SetListenerOrient(&front, &up);
    for (int round = 0; round < 2; ++round) {
      cSound3D sound(&listener, tone.c_str());
      sound.SetSampleFreq(16800);
      sound.SetPos(&p);
      sound.Play();
      sound.PlayLooping();
      sound.Stop();
    }
    music.Play();
    RunFor(0.6);  // longer than the piece
    positions[0] = music.GetRelativePos();
    music.Pause();
    music.Resume();
    positions[1] = music.GetRelativePos();
    music.Stop();
    music.Load(piece.c_str());
    music.Play();
    positions[2] = music.GetRelativePos();
    music.Cleanup();
  }
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(CountLines(errors), 1u) << errors;
  EXPECT_EQ(errors.rfind("vrx: no audio device", 0), 0u) << errors;
  for (float pos : positions) EXPECT_EQ(pos, 0.0f);
}
