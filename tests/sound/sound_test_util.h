// Helpers for the sound tests: OpenAL Soft renders into a wave file instead
// of a sound card, the tests write their own tone files and read the
// rendered output back.
#pragma once

#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace soundtest {

constexpr int kOutputRate = 44100;

// Points OpenAL Soft at its wave-file writer. The configuration is read when
// the first device opens, so this must run before any sound object exists.
// An empty capture path makes opening the device fail.
inline void UseWaveOutput(const std::string& dir, const std::string& capturePath) {
  const std::string conf = dir + "/alsoft.conf";
  vrxtest::WriteTextFile(conf,
                         "[general]\n"
                         "channels = stereo\n"
                         "sample-type = float32\n"
                         "frequency = 44100\n"
                         "hrtf = false\n"
                         "stereo-mode = speakers\n"
                         "dither = false\n"
                         "output-limiter = false\n"
                         "[wave]\n"
                         "file = " + capturePath + "\n");
  setenv("ALSOFT_CONF", conf.c_str(), 1);
  setenv("ALSOFT_DRIVERS", "wave", 1);
}

struct Segment {
  double hertz;    // 0 = silence
  double seconds;
};

// Writes a sine tone made of segments (same signal in every channel).
inline bool WriteTone(const std::string& path, int format, int rate, int channels,
                      const std::vector<Segment>& segments, double amplitude = 0.5) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!sf) return false;
  std::vector<float> frames;
  double phase = 0.0;
  for (const Segment& s : segments) {
    const long n = std::lround(s.seconds * rate);
    for (long i = 0; i < n; ++i) {
      const float v = s.hertz > 0 ? static_cast<float>(amplitude * std::sin(phase)) : 0.0f;
      phase += 2.0 * M_PI * s.hertz / rate;
      for (int c = 0; c < channels; ++c) frames.push_back(v);
    }
  }
  const sf_count_t count = static_cast<sf_count_t>(frames.size() / channels);
  const bool ok = sf_writef_float(sf, frames.data(), count) == count;
  return sf_close(sf) == 0 && ok;
}

// What the device rendered, as two channels.
struct Capture {
  std::vector<float> left, right;
  size_t Frames() const { return left.size(); }
};

inline Capture ReadCapture(const std::string& path) {
  Capture c;
  SF_INFO info{};
  SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
  if (!sf) return c;
  if (info.channels == 2 && info.samplerate == kOutputRate) {
    std::vector<float> frames(static_cast<size_t>(info.frames) * 2);
    const sf_count_t got = sf_readf_float(sf, frames.data(), info.frames);
    for (sf_count_t i = 0; i < got; ++i) {
      c.left.push_back(frames[2 * i]);
      c.right.push_back(frames[2 * i + 1]);
    }
  }
  sf_close(sf);
  return c;
}

inline double Rms(const std::vector<float>& s, size_t begin, size_t end) {
  if (end <= begin) return 0.0;
  double sum = 0.0;
  for (size_t i = begin; i < end; ++i) sum += double(s[i]) * s[i];
  return std::sqrt(sum / double(end - begin));
}

constexpr double kSilence = 1e-3;
constexpr size_t kBlock = kOutputRate / 100;  // 10 ms

// Number of 10 ms blocks in which either channel carries sound.
inline size_t SoundingBlocks(const Capture& c, size_t begin = 0, size_t end = ~size_t(0)) {
  if (end > c.Frames()) end = c.Frames();
  size_t n = 0;
  for (size_t b = begin; b + kBlock <= end; b += kBlock)
    if (Rms(c.left, b, b + kBlock) > kSilence || Rms(c.right, b, b + kBlock) > kSilence) ++n;
  return n;
}

// Frame index of the last sounding 10 ms block's end (0 when all is silent).
inline size_t EndOfSound(const Capture& c) {
  size_t end = 0;
  for (size_t b = 0; b + kBlock <= c.Frames(); b += kBlock)
    if (Rms(c.left, b, b + kBlock) > kSilence || Rms(c.right, b, b + kBlock) > kSilence)
      end = b + kBlock;
  return end;
}

// Longest run of silent 10 ms blocks between the first and the last sound.
inline size_t LongestGap(const Capture& c) {
  size_t longest = 0, gap = 0;
  bool started = false;
  for (size_t b = 0; b + kBlock <= EndOfSound(c); b += kBlock) {
    const bool sounding =
        Rms(c.left, b, b + kBlock) > kSilence || Rms(c.right, b, b + kBlock) > kSilence;
    started = started || sounding;
    gap = sounding ? 0 : gap + 1;
    if (started && gap > longest) longest = gap;
  }
  return longest;
}

// Frequency of a tone from the zero crossings of a window.
inline double ToneHertz(const std::vector<float>& s, size_t begin, size_t end) {
  size_t crossings = 0;
  for (size_t i = begin + 1; i < end; ++i)
    if ((s[i - 1] < 0.0f) != (s[i] < 0.0f)) ++crossings;
  return crossings * 0.5 * kOutputRate / double(end - begin);
}

// Tones of consecutive windows of the sounding part, in order (silent
// windows are left out).
inline std::vector<double> ToneTrack(const Capture& c, size_t window) {
  std::vector<double> track;
  for (size_t b = 0; b + window <= c.Frames(); b += window) {
    const std::vector<float>& s = Rms(c.left, b, b + window) >= Rms(c.right, b, b + window)
                                      ? c.left : c.right;
    if (Rms(s, b, b + window) > kSilence * 10) track.push_back(ToneHertz(s, b, b + window));
  }
  return track;
}

// Calls `step` about every 10 ms for the given time.
inline void RunFor(double seconds, const std::function<void()>& step = [] {}) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    step();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Calls `done` about every 5 ms until it returns true or the (generous) limit
// passes; returns whether it became true.
inline bool WaitUntil(const std::function<bool()>& done, double limitSeconds = 30.0) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

inline size_t CountLines(const std::string& text) {
  size_t n = 0;
  for (char ch : text) n += ch == '\n';
  return n;
}

}  // namespace soundtest
