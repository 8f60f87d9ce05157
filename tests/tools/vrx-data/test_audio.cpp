// The synthesised car sounds and the composer: the engine loop is a seamless
// four-cylinder idle whose pitch follows the game's playback rate, the other
// sounds have the shape their use needs, the sounds builder reads each car's
// maximum RPM, and the composer writes music that follows its description.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "music.h"
#include "sound/cListener.h"
#include "sound/cSound3D.h"
#include "../../sound/sound_test_util.h"
#include "sounds.h"
#include "test_support.h"

namespace {

using vrxdata::SoundClip;

// Magnitude of one frequency in a stretch of samples.
double Magnitude(const std::vector<float>& s, size_t begin, size_t end, int rate, double hz) {
  double c = 0, d = 0;
  const double w = 2 * M_PI * hz / rate;
  for (size_t i = begin; i < end; ++i) {
    c += s[i] * std::cos(w * double(i));
    d += s[i] * std::sin(w * double(i));
  }
  return std::hypot(c, d) / double(end - begin);
}

// The fundamental of a harmonic sound: the frequency whose first eight
// harmonics carry the most (sub- and over-harmonics carry less).
double Fundamental(const std::vector<float>& s, size_t begin, size_t end, int rate, double lo, double hi) {
  double best = 0, bestHz = 0;
  for (double f = lo; f <= hi; f += (hi - lo) / 400) {
    double sum = 0;
    for (int h = 1; h <= 8; ++h) sum += Magnitude(s, begin, end, rate, f * h);
    if (sum > best) {
      best = sum;
      bestHz = f;
    }
  }
  return bestHz;
}

// Share of the power above `hz`, from a power-of-two FFT of the whole clip.
double PowerAbove(const std::vector<float>& s, int rate, double hz) {
  size_t n = 1;
  while (n < s.size()) n <<= 1;
  std::vector<std::complex<double>> a(n);
  for (size_t i = 0; i < s.size(); ++i) a[i] = s[i];
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> wl = std::polar(1.0, -2 * M_PI / double(len));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> w = 1;
      for (size_t k = 0; k < len / 2; ++k, w *= wl) {
        const auto u = a[i + k], t = a[i + k + len / 2] * w;
        a[i + k] = u + t;
        a[i + k + len / 2] = u - t;
      }
    }
  }
  double above = 0, total = 0;
  for (size_t k = 1; k < n / 2; ++k) {
    const double p = std::norm(a[k]);
    total += p;
    if (double(k) * rate / double(n) > hz) above += p;
  }
  return above / total;
}

// The step across the loop's end is no larger than the steps inside it.
void ExpectSeamless(const SoundClip& c) {
  float largest = 0;
  for (size_t i = 1; i < c.samples.size(); ++i) largest = std::max(largest, std::fabs(c.samples[i] - c.samples[i - 1]));
  EXPECT_LE(std::fabs(c.samples.front() - c.samples.back()), largest);
}

double Rms(const std::vector<float>& s, size_t begin, size_t end) { return soundtest::Rms(s, begin, end); }

float Peak(const std::vector<float>& s) {
  float p = 0;
  for (float v : s) p = std::max(p, std::fabs(v));
  return p;
}

TEST(CarSounds, EngineIsASeamlessFourCylinderIdleBandLimitedForTheCarsTopRate) {
  const SoundClip e = vrxdata::EngineLoop(6500);
  EXPECT_EQ(e.rate, 16800);
  ASSERT_EQ(e.samples.size(), size_t(vrxdata::kEngineLoopSamples));
  ExpectSeamless(e);
  EXPECT_NEAR(Peak(e.samples), 0.7f, 0.01f);
  // At its own rate, the rate of 600 rpm, it fires 20 times a second.
  const double f = Fundamental(e.samples, 0, e.samples.size(), e.rate, 8, 60);
  EXPECT_NEAR(f, vrxdata::kEngineFiringHz, 0.3);
  EXPECT_NEAR(f, 600.0 / 60.0 * 2.0, 1.0);
  // Played at the game's rate for 6500 rpm, nothing reaches 18 kHz.
  const double pitchMax = double(vrxdata::EngineRate(6500)) / 16800.0;
  EXPECT_LT(PowerAbove(e.samples, e.rate, 18000.0 / pitchMax), 1e-4);
  // A faster engine is cut lower, so it stays below the same limit.
  const SoundClip fast = vrxdata::EngineLoop(12000);
  const double fastMax = double(vrxdata::EngineRate(12000)) / 16800.0;
  EXPECT_LT(PowerAbove(fast.samples, fast.rate, 18000.0 / fastMax), 1e-4);
  EXPECT_GT(PowerAbove(e.samples, e.rate, 18000.0 / fastMax), 1e-3);
}

TEST(CarSounds, SkidShiftAndCrashHaveTheShapeTheirUseNeeds) {
  const SoundClip skid = vrxdata::SkidLoop();
  ExpectSeamless(skid);  // played looping while a wheel skids
  EXPECT_GT(skid.samples.size(), size_t(skid.rate));
  // A squeal: most of its power between 700 Hz and 4 kHz.
  EXPECT_LT(PowerAbove(skid.samples, skid.rate, 4000), 0.15);
  EXPECT_GT(PowerAbove(skid.samples, skid.rate, 700), 0.85);

  const SoundClip shift = vrxdata::ShiftSound();
  const size_t ms = size_t(shift.rate / 1000);
  EXPECT_LE(shift.samples.size(), 300 * ms);
  EXPECT_GT(Rms(shift.samples, 0, 10 * ms), 0.05);  // heard at once
  EXPECT_LT(Rms(shift.samples, shift.samples.size() - 20 * ms, shift.samples.size()), 0.01 * Peak(shift.samples));

  const SoundClip crash = vrxdata::CrashSound();
  const size_t n = crash.samples.size();
  EXPECT_GE(n, size_t(crash.rate));
  EXPECT_LE(n, size_t(crash.rate) * 2);
  EXPECT_NEAR(Peak(crash.samples), 0.9f, 0.01f);
  const double start = Rms(crash.samples, 0, size_t(0.2 * crash.rate));
  EXPECT_GT(start, 0.1);
  EXPECT_LT(Rms(crash.samples, n - size_t(0.1 * crash.rate), n), start * 0.01);
  EXPECT_EQ(crash.samples.back(), 0.0f);
}

// A car list and car data files in a fresh folder, as the car builders leave them.
std::string FakeCars(const std::string& name, const std::vector<float>& maxRpm) {
  const std::string dir = vrxtest::MakeTempDir(name);
  std::string list;
  for (size_t i = 0; i < maxRpm.size(); ++i) {
    const std::string car = "Car" + std::to_string(i);
    list += "DATA\\CARS\\" + car + "\\" + car + "\n";
    unsigned char cdf[144] = {};
    std::memcpy(cdf + 84, &maxRpm[i], 4);
    EXPECT_TRUE(vrxtest::WriteFile(dir + "/CARS/" + car + "/" + car + ".cdf", cdf, sizeof cdf));
  }
  EXPECT_TRUE(vrxtest::WriteTextFile(dir + "/Cars.txt", list));
  return dir;
}

SF_INFO Info(const std::string& path) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (f) sf_close(f);
  return info;
}

TEST(CarSounds, BuilderGivesEveryListedCarItsFourSoundsFromItsMaximumRpm) {
  const std::string dir = FakeCars("sounds_ok", {6000, 9000});
  vrxdata::BuildContext ctx{"", dir};
  ASSERT_TRUE(vrxdata::BuildSounds(ctx));
  for (const char* car : {"Car0", "Car1"}) {
    for (const char* end : {"_eng.wav", "_skid.wav", "_shift.wav", "_crash.wav"}) {
      const SF_INFO info = Info(dir + "/CARS/" + car + "/" + car + end);
      EXPECT_EQ(info.channels, 1) << car << end;
      EXPECT_GT(info.frames, 0) << car << end;
    }
    EXPECT_EQ(Info(dir + "/CARS/" + car + "/" + car + "_eng.wav").samplerate, 16800);
  }
  // The engines differ: each is cut for its own top rate.
  EXPECT_NE(vrxtest::ReadFile(dir + "/CARS/Car0/Car0_eng.wav"), vrxtest::ReadFile(dir + "/CARS/Car1/Car1_eng.wav"));

  // A car data file with an impossible maximum RPM, a missing one, a missing list.
  vrxdata::BuildContext bad{"", FakeCars("sounds_bad_rpm", {6000, 0})};
  EXPECT_FALSE(vrxdata::BuildSounds(bad));
  const std::string gone = FakeCars("sounds_no_cdf", {6000});
  std::remove((gone + "/CARS/Car0/Car0.cdf").c_str());
  EXPECT_FALSE(vrxdata::BuildSounds(vrxdata::BuildContext{"", gone}));
  EXPECT_FALSE(vrxdata::BuildSounds(vrxdata::BuildContext{"", vrxtest::MakeTempDir("sounds_no_list")}));
}

// The game's engine sound played at idle and at the car's top rate through
// the sound library: the pitch rises by the ratio of the rates.
TEST(CarSounds, EnginePitchFollowsThePlaybackRate) {
  const std::string dir = vrxtest::MakeTempDir("engine_pitch");
  soundtest::UseWaveOutput(dir, dir + "/capture.wav");
  const std::string bin = VRX_BIN_DIR;
  std::ifstream list(bin + "/DATA/Cars.txt");
  std::string entry;
  ASSERT_TRUE(std::getline(list, entry));
  for (char& c : entry)
    if (c == '\\') c = '/';
  const std::string base = bin + "/" + entry;
  float maxRpm = 0;
  {
    std::ifstream cdf(base + ".cdf", std::ios::binary);
    char data[144];
    ASSERT_TRUE(cdf.read(data, 144));
    std::memcpy(&maxRpm, data + 84, 4);
  }
  const unsigned long top = vrxdata::EngineRate(maxRpm);
  {
    cListener listener(nullptr);
    const D3DXVECTOR3 at(0, 0, 1), front(0, 0, 1), up(0, 1, 0), origin(0, 0, 0);
    listener.SetListenerPos(&origin);
    listener.SetListenerOrient(&front, &up);
    cSound3D engine(&listener, (base + "_eng.wav").c_str());
    engine.SetPos(&at);
    engine.SetSampleFreq(16800);
    engine.PlayLooping();
    soundtest::RunFor(1.6);
    engine.SetSampleFreq(top);
    soundtest::RunFor(1.6);
    engine.Stop();
  }
  const soundtest::Capture c = soundtest::ReadCapture(dir + "/capture.wav");
  ASSERT_GT(c.Frames(), size_t(3 * soundtest::kOutputRate));
  // One second of each rate, away from the switch.
  std::vector<float> mono(c.Frames());
  for (size_t i = 0; i < c.Frames(); ++i) mono[i] = c.left[i] + c.right[i];
  size_t first = 0;
  while (first < mono.size() && std::fabs(mono[first]) < 1e-4f) ++first;
  const size_t second = size_t(soundtest::kOutputRate);
  const double idle = Fundamental(mono, first + second / 4, first + second * 5 / 4, soundtest::kOutputRate, 8, 60);
  const double fast = Fundamental(mono, first + second * 2, first + second * 3, soundtest::kOutputRate, 30, 200);
  EXPECT_NEAR(idle, vrxdata::kEngineFiringHz, 1.0);
  EXPECT_NEAR(fast / idle, double(top) / 16800.0, 0.05 * double(top) / 16800.0) << "max rpm " << maxRpm;
}

const char* kTune =
    "# a test tune\n"
    "tempo 120\n"
    "key A minor\n"
    "seed 5\n"
    "pattern pad  pad  x...............\n"
    "pattern bass bass x...o...f...x...\n"
    "pattern mel  lead x.x.x.x.x.x.x.x.\n"
    "pattern kick kick x...x...x...x... 0.9\n"
    "section a Am F C G Am F C E7 | pad bass mel kick\n"
    "form a a\n";

TEST(Composer, FollowsItsDescription) {
  vrxdata::Score s;
  ASSERT_TRUE(vrxdata::ComposeScoreText(kTune, "tune.txt", &s));
  // 16 bars of two seconds.
  EXPECT_DOUBLE_EQ(s.seconds, 32.0);
  EXPECT_DOUBLE_EQ(s.beat, 0.5);
  const int roots[8] = {9, 5, 0, 7, 9, 5, 0, 4};
  const std::vector<std::vector<int>> chords = {{9, 0, 4}, {5, 9, 0}, {0, 4, 7}, {7, 11, 2},
                                                {9, 0, 4}, {5, 9, 0}, {0, 4, 7}, {4, 8, 11, 2}};
  std::vector<std::vector<double>> leadStarts(16);
  std::vector<std::vector<int>> leadPitches(16);
  int kicks = 0;
  for (const vrxdata::Note& n : s.notes) {
    const int bar = int(n.start / 2.0), chord = bar % 8;
    const double step = std::fmod(n.start, 2.0) / 0.125;
    if (n.instrument == vrxdata::Instrument::Bass) {
      EXPECT_EQ(((n.pitch % 12) - (step == 8 ? 7 : 0) + 12) % 12, roots[chord]) << "bar " << bar << " step " << step;
    } else if (n.instrument == vrxdata::Instrument::Pad) {
      EXPECT_NE(std::find(chords[chord].begin(), chords[chord].end(), n.pitch % 12), chords[chord].end());
      EXPECT_DOUBLE_EQ(n.length, 2.0);  // the chord rings for the bar
    } else if (n.instrument == vrxdata::Instrument::Lead) {
      leadStarts[bar].push_back(step);
      leadPitches[bar].push_back(n.pitch);
      EXPECT_GE(n.pitch, 62);
      EXPECT_LE(n.pitch, 81);
      // Strong beats sit on the chord's tones.
      if (std::fabs(step) < 1e-9 || std::fabs(step - 8) < 1e-9) {
        EXPECT_NE(std::find(chords[chord].begin(), chords[chord].end(), n.pitch % 12), chords[chord].end())
            << "bar " << bar << " step " << step;
      }
    } else if (n.instrument == vrxdata::Instrument::Kick) {
      ++kicks;
      EXPECT_FLOAT_EQ(n.velocity, 0.9f * 0.8f);
    }
  }
  EXPECT_EQ(kicks, 64);
  // The motif's rhythm returns in the third bar of each phrase; the fourth ends long.
  for (int phrase = 0; phrase < 4; ++phrase) {
    EXPECT_EQ(leadStarts[phrase * 4], leadStarts[phrase * 4 + 2]);
    ASSERT_FALSE(leadStarts[phrase * 4 + 3].empty());
    EXPECT_DOUBLE_EQ(leadStarts[phrase * 4 + 3].back(), 8.0);
  }
  // A section played twice is the same music both times.
  EXPECT_EQ(leadPitches[0], leadPitches[8]);
  EXPECT_EQ(leadPitches[5], leadPitches[13]);
}

TEST(Composer, RejectsWhatItCannotPlayNamingTheLine) {
  auto fails = [](const std::string& text, const std::string& line) {
    vrxdata::Score s;
    testing::internal::CaptureStderr();
    const bool ok = vrxdata::ComposeScoreText(text, "bad.txt", &s);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ok) << text;
    EXPECT_NE(err.find("bad.txt:" + line + ":"), std::string::npos) << err;
  };
  const std::string head = "tempo 100\nkey C major\n";
  fails(head + "section a Cx | \nform a\n", "3");                        // unknown chord
  fails(head + "pattern p flute x...............\n", "3");                 // unknown instrument
  fails(head + "pattern p pad x.......\n", "3");                          // not 16 steps a bar
  fails(head + "pattern p pad x..............q\n", "3");                  // unknown step
  fails(head + "section a C | nothing\nform a\n", "3");                   // unknown pattern
  fails(head + "section a C |\nform b\n", "0");                           // unknown section in the form
  fails("tempo 300\n", "1");
  fails("key H minor\n", "1");
  fails(head + "section a C |\nsection a D |\n", "4");
}

TEST(Composer, RenderingEndsInSilenceAtMinusOneDecibel) {
  vrxdata::Score s;
  ASSERT_TRUE(vrxdata::ComposeScoreText(kTune, "tune.txt", &s));
  const std::vector<float> pcm = vrxdata::RenderScore(s);
  ASSERT_EQ(pcm.size(), size_t((s.seconds + 3.0) * vrxdata::kMusicRate) * 2);
  EXPECT_NEAR(Peak(pcm), 0.891f, 0.001f);
  EXPECT_EQ(pcm[pcm.size() - 1], 0.0f);
  // Sound all the way through the bars: no silent second.
  for (int second = 0; second < int(s.seconds); ++second)
    EXPECT_GT(Rms(pcm, size_t(second) * 2 * vrxdata::kMusicRate, size_t(second + 1) * 2 * vrxdata::kMusicRate), 0.02)
        << "second " << second;
}

}  // namespace
