// Positional sounds rendered through OpenAL Soft's wave-file writer: where
// they are heard, at which pitch, how long, and what a bad file does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sound/cListener.h"
#include "sound/cSound3D.h"
#include "sound_test_util.h"

using namespace soundtest;

namespace {

// The capture is complete once the last sound object is gone (the device
// closes and the writer finishes the file).
const std::string& Dir() {
  static const std::string dir = [] {
    std::string d = vrxtest::MakeTempDir("sound3d");
    UseWaveOutput(d, d + "/capture.wav");
    return d;
  }();
  return dir;
}

std::string Capture() { return Dir() + "/capture.wav"; }

const int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

struct Placement {
  D3DXVECTOR3 listener, front, top, source;
};

// Plays a short tone from `file` with the given placement and returns the
// rendered channels.
soundtest::Capture PlayPlaced(const std::string& file, const Placement& p) {
  {
    cListener listener(nullptr);
    listener.SetListenerPos(&p.listener);
    listener.SetListenerOrient(&p.front, &p.top);
    cSound3D sound(&listener, file.c_str());
    sound.SetPos(&p.source);
    sound.Play();
    RunFor(0.5);
  }
  return ReadCapture(Capture());
}

TEST(Sound3D, IsHeardOnTheSideItIsOnInTheLeftHandedWorld) {
  // A stereo file: it must be mixed down to mono to be placed at all.
  const std::string tone = Dir() + "/stereo.wav";
  ASSERT_TRUE(WriteTone(tone, kWav16, 44100, 2, {{441, 0.3}}));
  const D3DXVECTOR3 up(0, 1, 0);

  // Listener away from the origin facing +z: +x is on its right.
  soundtest::Capture right = PlayPlaced(tone, {{10, 0, 5}, {0, 0, 1}, up, {12, 0, 5}});
  ASSERT_GT(right.Frames(), 0u);
  const double rr = Rms(right.right, 0, right.Frames());
  const double rl = Rms(right.left, 0, right.Frames());
  EXPECT_GT(rr, 0.02);
  EXPECT_GT(rr, 3 * rl) << "left " << rl << " right " << rr;

  // Turned to face -x, a source ahead on +z is on the listener's right...
  soundtest::Capture turned = PlayPlaced(tone, {{0, 0, 0}, {-1, 0, 0}, up, {0, 0, 3}});
  const double tr = Rms(turned.right, 0, turned.Frames());
  const double tl = Rms(turned.left, 0, turned.Frames());
  EXPECT_GT(tr, 3 * tl) << "left " << tl << " right " << tr;

  // ...and facing +x it is on the left.
  soundtest::Capture other = PlayPlaced(tone, {{0, 0, 0}, {1, 0, 0}, up, {0, 0, 3}});
  const double ol = Rms(other.left, 0, other.Frames());
  const double orr = Rms(other.right, 0, other.Frames());
  EXPECT_GT(ol, 3 * orr) << "left " << ol << " right " << orr;

  // A degenerate orientation (front along up) is ignored, not turned into noise.
  soundtest::Capture kept = PlayPlaced(tone, {{0, 0, 0}, {0, 2, 0}, up, {3, 0, 0}});
  const double kr = Rms(kept.right, 0, kept.Frames());
  const double kl = Rms(kept.left, 0, kept.Frames());
  EXPECT_GT(kr, 3 * kl) << "left " << kl << " right " << kr;
}

TEST(Sound3D, SampleFreqSetsThePitchAgainstTheFilesOwnRateAtOnce) {
  const std::string tone = Dir() + "/low.wav";
  ASSERT_TRUE(WriteTone(tone, kWav16, 22050, 1, {{441, 1.0}}));
  {
    cListener listener(nullptr);
    cSound3D sound(&listener, tone.c_str());
    const D3DXVECTOR3 ahead(0, 0, 2);
    sound.SetPos(&ahead);
    sound.SetSampleFreq(22050);  // the file's own rate: 441 Hz
    sound.PlayLooping();
    RunFor(0.7);
    sound.SetSampleFreq(44100);  // while playing: one octave up
    RunFor(0.7);
    sound.Stop();
  }
  std::vector<double> track = ToneTrack(ReadCapture(Capture()), 4096);
  size_t low = 0, high = 0, other = 0, lastLow = 0, firstHigh = track.size();
  for (size_t i = 0; i < track.size(); ++i) {
    if (std::abs(track[i] - 441) < 441 * 0.04) {
      ++low;
      lastLow = i;
    } else if (std::abs(track[i] - 882) < 882 * 0.04) {
      ++high;
      if (firstHigh == track.size()) firstHigh = i;
    } else {
      ++other;
    }
  }
  EXPECT_GE(low, 3u);
  EXPECT_GE(high, 3u);
  EXPECT_LE(other, 2u);  // only the window where the change fell
  EXPECT_LT(lastLow, firstHigh);

  // The game's idle engine: 16800 Hz on an 11025 Hz file.
  const std::string idle = Dir() + "/idle.wav";
  ASSERT_TRUE(WriteTone(idle, kWav16, 11025, 1, {{441, 0.5}}));
  {
    cListener listener(nullptr);
    cSound3D sound(&listener, idle.c_str());
    sound.SetSampleFreq(16800);
    sound.PlayLooping();
    RunFor(0.5);
  }
  track = ToneTrack(ReadCapture(Capture()), 4096);
  ASSERT_GE(track.size(), 3u);
  const double expected = 441.0 * 16800 / 11025;
  EXPECT_NEAR(track[track.size() / 2], expected, expected * 0.04);
}

TEST(Sound3D, SpeedScalesThePitchAndOutlastsSampleFreq) {
  const std::string tone = Dir() + "/speed.wav";
  ASSERT_TRUE(WriteTone(tone, kWav16, 22050, 1, {{441, 1.0}}));
  {
    cListener listener(nullptr);
    cSound3D sound(&listener, tone.c_str());
    const D3DXVECTOR3 ahead(0, 0, 2);
    sound.SetPos(&ahead);
    sound.SetSpeed(2.0f);  // twice as fast at the file's own rate: 882 Hz
    sound.PlayLooping();
    RunFor(0.7);
    sound.SetSampleFreq(11025);  // half the rate, still twice as fast: 441 Hz
    RunFor(0.7);
    sound.SetSpeed(0.5f);  // a quarter of 441 Hz
    RunFor(0.7);
    sound.Stop();
  }
  const std::vector<double> track = ToneTrack(ReadCapture(Capture()), 4096);
  // Each pitch in its own stretch, in order. A busy machine may drop a bit
  // of the capture, and a window over such a gap can read as any pitch, so
  // the stretches are compared by where their windows lie on average.
  int seen[3] = {0, 0, 0};
  double where[3] = {0, 0, 0};
  const double expected[3] = {882, 441, 110.25};
  for (size_t i = 0; i < track.size(); ++i)
    for (int k = 0; k < 3; ++k)
      if (std::abs(track[i] - expected[k]) < expected[k] * 0.04) {
        ++seen[k];
        where[k] += double(i);
      }
  ASSERT_GE(seen[0], 3);
  ASSERT_GE(seen[1], 3);
  ASSERT_GE(seen[2], 2);
  for (int k = 0; k < 3; ++k) where[k] /= seen[k];
  EXPECT_LT(where[0], where[1]);
  EXPECT_LT(where[1], where[2]);
}

TEST(Sound3D, LoopingGoesOnUntilStopAndRepeatedCallsDoNotRestartIt) {
  // Low half then high half: a sound restarted by every call would never
  // reach its high half.
  const std::string tone = Dir() + "/twotone.wav";
  ASSERT_TRUE(WriteTone(tone, kWav16, 44100, 1, {{441, 0.15}, {882, 0.15}}));
  {
    cListener listener(nullptr);
    cSound3D sound(&listener, tone.c_str());
    sound.PlayLooping();
    RunFor(1.2, [&] { sound.PlayLooping(); });  // as the game does while a wheel skids
    sound.Stop();
    RunFor(0.5);
  }
  soundtest::Capture c = ReadCapture(Capture());
  std::vector<double> track = ToneTrack(c, 1024);
  int repeats = 0;  // high half followed by the low half again
  bool high = false;
  for (double hz : track) {
    const bool isHigh = hz > 661;
    if (high && !isHigh) ++repeats;
    high = isHigh;
  }
  EXPECT_GE(repeats, 2);
  EXPECT_GT(SoundingBlocks(c), 2 * 30u);  // more than twice its 0.3 s length
  // Stop silenced it: the time waited after it is silent.
  ASSERT_GT(c.Frames(), 10 * kBlock);
  EXPECT_LE(EndOfSound(c) + 10 * kBlock, c.Frames());
}

TEST(Sound3D, PlayPlaysOnceFromTheStart) {
  ASSERT_TRUE(WriteTone(Dir() + "/Cars/short.wav", kWav16, 44100, 1, {{441, 0.2}}));
  // Found under a Windows-style name in another letter case.
  const std::string tone = Dir() + "\\CARS\\Short.WAV";
  {
    cListener listener(nullptr);
    cSound3D sound(&listener, tone.c_str());
    sound.PlayLooping();
    RunFor(0.1);
    sound.Play();  // restarts, and no longer loops
    RunFor(0.8);
  }
  soundtest::Capture c = ReadCapture(Capture());
  // At least 0.1 s of the first start, then the whole 0.2 s once (without
  // the restart it would have ended 0.2 s after the first start)...
  EXPECT_GE(SoundingBlocks(c), 26u);
  // ...and nothing after it: the 0.8 s waited hold 0.6 s of silence.
  EXPECT_LE(EndOfSound(c) + 40 * kBlock, c.Frames());
}

TEST(Sound3D, UnreadableFilesGiveSilentUsableSoundsAndOneLineEach) {
  const std::string corrupt = Dir() + "/corrupt.wav";
  const char junk[] = "RIFF\x10\0\0\0WAVEnot a sound at all";
  ASSERT_TRUE(vrxtest::WriteFile(corrupt, junk, sizeof junk - 1));
  const std::string empty = Dir() + "/empty.wav";
  ASSERT_TRUE(WriteTone(empty, kWav16, 44100, 1, {}));
  const std::string missing = Dir() + "/no/such.wav";
  std::string errors;
  {
    cListener listener(nullptr);
    testing::internal::CaptureStderr();
    {
      cSound3D a(&listener, missing.c_str());
      cSound3D b(&listener, corrupt.c_str());
      cSound3D c(&listener, empty.c_str());
      cSound3D d(&listener, nullptr);
      const D3DXVECTOR3 p(1, 2, 3);
      for (cSound3D* s : {&a, &b, &c, &d}) {
        s->SetSampleFreq(16800);
        s->SetPos(&p);
        s->SetPos(nullptr);
        s->Play();
        s->PlayLooping();
        s->Stop();
        s->PlayLooping();
      }
      RunFor(0.3);
    }
    errors = testing::internal::GetCapturedStderr();
  }
  EXPECT_EQ(CountLines(errors), 4u) << errors;
  EXPECT_NE(errors.find("vrx: cannot open " + missing + ": No such file or directory\n"),
            std::string::npos) << errors;
  EXPECT_NE(errors.find("vrx: cannot decode " + corrupt + ": "), std::string::npos) << errors;
  EXPECT_NE(errors.find(empty), std::string::npos) << errors;
  soundtest::Capture c = ReadCapture(Capture());
  EXPECT_GT(c.Frames(), 0u);
  EXPECT_EQ(SoundingBlocks(c), 0u);
}

}  // namespace
