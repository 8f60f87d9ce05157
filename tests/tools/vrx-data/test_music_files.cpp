// The two built pieces of music: a few minutes long, tonal rather than noise,
// and each plays through the sound library to its end, where the position
// reads exactly 1.0 (the game's only way to notice the end). Both play at
// once, so the test takes as long as the longer piece.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "../../sound/sound_test_util.h"
#include "sound/cMP3.h"

namespace {

const char* kPieces[2] = {VRX_BIN_DIR "/DATA/MUSIC/Dni.mp3", VRX_BIN_DIR "/DATA/MUSIC/UPM_.mp3"};

struct Decoded {
  int rate = 0, channels = 0;
  std::vector<float> mono;
};

Decoded Decode(const char* path) {
  Decoded d;
  SF_INFO info{};
  SNDFILE* f = sf_open(path, SFM_READ, &info);
  if (!f) return d;
  d.rate = info.samplerate;
  d.channels = info.channels;
  std::vector<float> frames(4096 * size_t(info.channels));
  sf_count_t got;
  while ((got = sf_readf_float(f, frames.data(), 4096)) > 0)
    for (sf_count_t i = 0; i < got; ++i) {
      float sum = 0;
      for (int c = 0; c < info.channels; ++c) sum += frames[size_t(i) * info.channels + c];
      d.mono.push_back(sum / info.channels);
    }
  sf_close(f);
  return d;
}

// Spectral flatness of 4096 samples from 60 Hz to 8 kHz: near 1 for noise,
// near 0 for notes.
double Flatness(const std::vector<float>& s, size_t begin, int rate) {
  const size_t n = 4096;
  std::vector<std::complex<double>> a(n);
  for (size_t i = 0; i < n; ++i) a[i] = s[begin + i] * (0.5 - 0.5 * std::cos(2 * M_PI * double(i) / n));
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
  double logSum = 0, sum = 0;
  int count = 0;
  for (size_t k = size_t(60.0 * n / rate); k < size_t(8000.0 * n / rate); ++k, ++count) {
    const double p = std::norm(a[k]) + 1e-12;
    logSum += std::log(p);
    sum += p;
  }
  return std::exp(logSum / count) / (sum / count);
}

TEST(MusicFiles, AreAFewMinutesOfTonalMusic) {
  for (const char* path : kPieces) {
    const Decoded d = Decode(path);
    ASSERT_EQ(d.rate, 44100) << path;
    EXPECT_EQ(d.channels, 2) << path;
    const double seconds = double(d.mono.size()) / d.rate;
    EXPECT_GT(seconds, 120.0) << path;
    EXPECT_LT(seconds, 300.0) << path;
    // Every second window: sounding, and made of notes.
    int windows = 0, tonal = 0;
    for (size_t at = size_t(d.rate); at + 4096 < d.mono.size() - size_t(4 * d.rate); at += size_t(d.rate) * 2) {
      ++windows;
      EXPECT_GT(soundtest::Rms(d.mono, at, at + 4096), 0.01) << path << " at " << at / d.rate << " s";
      tonal += Flatness(d.mono, at, d.rate) < 0.1;
    }
    EXPECT_GT(tonal, windows * 9 / 10) << path;
  }
}

TEST(MusicFiles, PlayToTheirEndsThroughTheSoundLibrary) {
  const std::string dir = vrxtest::MakeTempDir("music_files");
  soundtest::UseWaveOutput(dir, dir + "/capture.wav");
  std::vector<float> positions[2];
  {
    cMP3 music[2];
    for (int i = 0; i < 2; ++i) {
      music[i].Load(kPieces[i]);
      music[i].Play();
    }
    ASSERT_TRUE(soundtest::WaitUntil(
        [&] {
          bool done = true;
          for (int i = 0; i < 2; ++i) {
            positions[i].push_back(music[i].GetRelativePos());
            done = done && positions[i].back() == 1.0f;
          }
          return done;
        },
        400.0));
  }
  for (int i = 0; i < 2; ++i) {
    const std::vector<float>& p = positions[i];
    for (size_t k = 1; k < p.size(); ++k) ASSERT_GE(p[k], p[k - 1]) << kPieces[i] << " at call " << k;
    EXPECT_EQ(p.back(), 1.0f);
    // It was under way, not at its end, for most of the time.
    size_t playing = 0;
    for (float v : p) playing += v > 0.0f && v < 1.0f;
    EXPECT_GT(playing, p.size() / 2) << kPieces[i];
  }
  // The longer piece was heard through without a gap: no silent half second
  // between the first sound and the last.
  const soundtest::Capture c = soundtest::ReadCapture(dir + "/capture.wav");
  ASSERT_GT(c.Frames(), size_t(120 * soundtest::kOutputRate));
  std::vector<bool> sounding;
  for (size_t b = 0; b + soundtest::kBlock <= c.Frames(); b += soundtest::kBlock)
    sounding.push_back(soundtest::Rms(c.left, b, b + soundtest::kBlock) > soundtest::kSilence);
  size_t first = 0, last = sounding.size();
  while (first < last && !sounding[first]) ++first;
  while (last > first && !sounding[last - 1]) --last;
  size_t gap = 0, longest = 0;
  for (size_t i = first; i < last; ++i) {
    gap = sounding[i] ? 0 : gap + 1;
    longest = std::max(longest, gap);
  }
  EXPECT_LT(longest, 50u);
  // Heard for as long as the longer piece lasts.
  EXPECT_GT(double(last - first) / 100.0, 150.0);
}

}  // namespace
