// Music streams rendered through OpenAL Soft's wave-file writer: a piece
// plays through to its end, the position reads exactly 1.0 there, pause and
// resume hold and continue it, and bad files stay silent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sound/cMP3.h"
#include "sound_test_util.h"

using namespace soundtest;

namespace {

const std::string& Dir() {
  static const std::string dir = [] {
    std::string d = vrxtest::MakeTempDir("music");
    UseWaveOutput(d, d + "/capture.wav");
    return d;
  }();
  return dir;
}

std::string Capture() { return Dir() + "/capture.wav"; }

const int kMp3 = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
const double kPieceSeconds = 3.5;  // longer than the stream's queue

const std::string& Mp3Piece() {
  static const std::string path = [] {
    std::string p = Dir() + "/piece.mp3";
    EXPECT_TRUE(WriteTone(p, kMp3, 44100, 2, {{440, kPieceSeconds}}, 0.3));
    return p;
  }();
  return path;
}

// Blocks of sound in the capture against the piece's length in blocks.
double SoundedShare(const soundtest::Capture& c, double seconds) {
  return SoundingBlocks(c) / (seconds * 100.0);
}

TEST(Music, PlaysToItsEndThenReadsExactlyOne) {
  std::vector<float> positions;
  float afterEnd = 0.0f, afterReplay = 1.0f, afterStop = 1.0f;
  {
    // No listener: the first music player opens the device itself.
    cMP3 music;
    music.Load(Mp3Piece().c_str());
    EXPECT_EQ(music.GetRelativePos(), 0.0f);
    music.Play();
    ASSERT_TRUE(WaitUntil([&] {
      positions.push_back(music.GetRelativePos());
      return positions.back() == 1.0f;
    }));
    RunFor(0.2);
    afterEnd = music.GetRelativePos();
    music.Cleanup();
  }
  soundtest::Capture c = ReadCapture(Capture());
  ASSERT_GT(positions.size(), 10u);
  bool halfway = false;
  for (size_t i = 1; i < positions.size(); ++i) {
    EXPECT_GE(positions[i], positions[i - 1]) << "at call " << i;
    if (positions[i] > 0.4f && positions[i] < 0.6f) halfway = true;
  }
  EXPECT_TRUE(halfway);
  EXPECT_LT(positions[positions.size() - 2], 1.0f);
  EXPECT_EQ(afterEnd, 1.0f);  // stays at the end until played again
  // The whole piece was heard once: no gap from a dry queue, nothing twice.
  EXPECT_NEAR(SoundedShare(c, kPieceSeconds), 1.0, 0.06);

  {
    cMP3 music;
    music.Load(Mp3Piece().c_str());
    music.Play();
    WaitUntil([&] { return music.GetRelativePos() == 1.0f; });
    music.Play();  // the game's restart at the end
    RunFor(0.3);
    afterReplay = music.GetRelativePos();
    music.Stop();
    afterStop = music.GetRelativePos();
  }
  EXPECT_GT(afterReplay, 0.0f);
  EXPECT_LT(afterReplay, 0.5f);
  EXPECT_EQ(afterStop, 0.0f);
}

TEST(Music, PauseHoldsThePositionAndResumeContinuesIt) {
  std::vector<float> held;
  float paused = 0.0f, resumedAt = 0.0f;
  bool ended = false;
  {
    cMP3 music;
    music.Load(Mp3Piece().c_str());
    music.Resume();  // not paused: must not start anything
    EXPECT_EQ(music.GetRelativePos(), 0.0f);
    music.Play();
    ASSERT_TRUE(WaitUntil([&] { return music.GetRelativePos() > 0.3f; }));
    music.Pause();
    paused = music.GetRelativePos();
    RunFor(0.6, [&] { held.push_back(music.GetRelativePos()); });
    music.Resume();
    resumedAt = music.GetRelativePos();
    ended = WaitUntil([&] { return music.GetRelativePos() == 1.0f; });
  }
  EXPECT_GT(paused, 0.3f);
  EXPECT_LT(paused, 0.9f);
  for (float p : held) EXPECT_EQ(p, paused);
  EXPECT_GE(resumedAt, paused);
  EXPECT_LT(resumedAt, paused + 0.05f);
  EXPECT_TRUE(ended);

  soundtest::Capture c = ReadCapture(Capture());
  // Everything heard once, with a silent gap of about the pause inside.
  EXPECT_NEAR(SoundedShare(c, kPieceSeconds), 1.0, 0.06);
  EXPECT_GE(LongestGap(c), 40u);  // 0.4 s of the 0.6 s pause at least
}

TEST(Music, AStreamThatRanDryGoesOnWhereItStopped) {
  bool ended = false;
  {
    cMP3 music;
    music.Load(Mp3Piece().c_str());
    music.Play();
    // A long load: no call into the player for longer than its queue lasts.
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    ended = WaitUntil([&] { return music.GetRelativePos() == 1.0f; });
  }
  EXPECT_TRUE(ended);
  soundtest::Capture c = ReadCapture(Capture());
  // The rest of the piece followed the gap: nothing lost, nothing twice.
  EXPECT_GE(LongestGap(c), 50u);
  EXPECT_NEAR(SoundedShare(c, kPieceSeconds), 1.0, 0.06);
}

TEST(Music, MonoWaveAndOggStreamsPlayToTheirEnd) {
  ASSERT_TRUE(WriteTone(Dir() + "/Music/mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1,
                        {{330, 0.6}}));
  const std::string wav = Dir() + "\\MUSIC\\Mono.wav";  // as the game names its files
  const std::string ogg = Dir() + "/piece.ogg";
  ASSERT_TRUE(WriteTone(ogg, SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, {{330, 0.6}}));
  for (const std::string& file : {wav, ogg}) {
    {
      cMP3 music;
      music.Load(file.c_str());
      music.Play();
      EXPECT_TRUE(WaitUntil([&] { return music.GetRelativePos() == 1.0f; })) << file;
    }
    EXPECT_NEAR(SoundedShare(ReadCapture(Capture()), 0.6), 1.0, 0.1) << file;
  }
}

TEST(Music, UnreadableFilesLeaveASilentUsablePlayerAndOneLineEach) {
  const std::string corrupt = Dir() + "/corrupt.mp3";
  ASSERT_TRUE(vrxtest::WriteTextFile(corrupt, std::string(3000, 'x')));
  const std::string missing = Dir() + "/nowhere/none.mp3";
  std::string errors;
  float positions[4] = {};
  float reloaded = 0.0f;
  {
    cMP3 other;  // keeps the device open so that silence is captured
    other.Load(Mp3Piece().c_str());
    testing::internal::CaptureStderr();
    cMP3 music;
    music.Load(missing.c_str());
    music.Play();
    positions[0] = music.GetRelativePos();
    music.Load(corrupt.c_str());
    music.Play();
    music.Pause();
    music.Resume();
    positions[1] = music.GetRelativePos();
    music.Stop();
    music.Cleanup();
    music.Cleanup();
    music.Play();
    positions[2] = music.GetRelativePos();
    cMP3 never;  // never loaded
    never.Play();
    never.Pause();
    never.Resume();
    never.Stop();
    positions[3] = never.GetRelativePos();
    RunFor(0.6);
    errors = testing::internal::GetCapturedStderr();
    // The same player loads and plays a good file afterwards.
    music.Load(Mp3Piece().c_str());
    music.Play();
    WaitUntil([&] { return music.GetRelativePos() > 0.05f; });
    reloaded = music.GetRelativePos();
    music.Stop();
    RunFor(0.1);
  }
  EXPECT_EQ(CountLines(errors), 2u) << errors;
  EXPECT_NE(errors.find("vrx: cannot open " + missing + ": No such file or directory\n"),
            std::string::npos) << errors;
  EXPECT_NE(errors.find("vrx: cannot decode " + corrupt + ": "), std::string::npos) << errors;
  for (float p : positions) EXPECT_EQ(p, 0.0f);
  EXPECT_GT(reloaded, 0.05f);
  // Silent until the good file started.
  soundtest::Capture c = ReadCapture(Capture());
  EXPECT_EQ(SoundingBlocks(c, 0, 30 * kBlock), 0u);
  EXPECT_GT(SoundingBlocks(c), 0u);
}

}  // namespace
