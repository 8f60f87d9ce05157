#include "sounds.h"

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "image_files.h"

namespace vrxdata {

namespace {

typedef std::complex<double> Complex;

// A small deterministic generator (the same numbers on every machine).
class Random {
public:
  explicit Random(uint32_t seed) : state(seed * 2654435761u + 1u) {}
  double Uniform() {  // [0, 1)
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return (state >> 8) * (1.0 / 16777216.0);
  }
  double Signed() { return Uniform() * 2.0 - 1.0; }
  double Phase() { return Uniform() * 2.0 * M_PI; }

private:
  uint32_t state;
};

// In-place radix-2 FFT; inverse without the 1/n.
void Fft(std::vector<Complex>* a, bool inverse) {
  const size_t n = a->size();
  std::vector<Complex>& v = *a;
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(v[i], v[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const double ang = 2.0 * M_PI / double(len) * (inverse ? 1.0 : -1.0);
    const Complex wl(std::cos(ang), std::sin(ang));
    for (size_t i = 0; i < n; i += len) {
      Complex w(1.0);
      for (size_t k = 0; k < len / 2; ++k) {
        const Complex u = v[i + k], t = v[i + k + len / 2] * w;
        v[i + k] = u + t;
        v[i + k + len / 2] = u - t;
        w *= wl;
      }
    }
  }
}

// A periodic signal from its one-sided spectrum (bin k = k / n cycles a
// sample): it loops without a seam and holds no frequency it was not given.
std::vector<float> FromSpectrum(std::vector<Complex> spectrum) {
  const size_t n = spectrum.size();
  spectrum[0] = 0.0;
  spectrum[n / 2] = 0.0;
  for (size_t k = 1; k < n / 2; ++k) spectrum[n - k] = std::conj(spectrum[k]);
  Fft(&spectrum, true);
  std::vector<float> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = float(spectrum[i].real());
  return out;
}

void Normalise(std::vector<float>* s, float peak) {
  float m = 0.0f;
  for (float v : *s) m = std::max(m, std::fabs(v));
  if (m > 0.0f)
    for (float& v : *s) v *= peak / m;
}

// Gain of a resonance at f0 with quality q, at f.
double Resonance(double f, double f0, double q) {
  const double x = (f / f0 - f0 / f) * q;
  return 1.0 / std::sqrt(1.0 + x * x);
}

// Two-pole band-pass filter (constant peak gain), for the one-shot sounds.
class BandPass {
public:
  BandPass(double hz, double q, int rate) {
    const double w = 2.0 * M_PI * hz / rate, alpha = std::sin(w) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    b0 = alpha / a0;
    a1 = -2.0 * std::cos(w) / a0;
    a2 = (1.0 - alpha) / a0;
  }
  double Run(double x) {
    const double y = b0 * x - b0 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }

private:
  double b0, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

}  // namespace

SoundClip EngineLoop(float maxRpm) {
  const int n = kEngineLoopSamples;
  const double bin = double(kEngineRate) / n;
  // The highest rate the game will play this engine at, and the top of the
  // spectrum that keeps below 18 kHz there.
  const double pitchMax = double(EngineRate(maxRpm)) / kEngineRate;
  const double top = std::min(6000.0, 18000.0 / pitchMax);
  Random rnd{uint32_t(maxRpm)};

  // Exhaust pulses: each firing rings the exhaust's resonances. Ten engine
  // cycles of four firings fill the loop exactly; the pulses' tails wrap
  // round its end, so it has no seam.
  std::vector<Complex> buf(n, 0.0);
  const int firings = 40;
  const double period = double(n) / firings;
  const double cylinder[4] = {1.0, 0.82, 0.94, 0.78};
  const double ring[3][3] = {{95.0, 0.014, 1.0}, {420.0, 0.005, 0.55}, {1350.0, 0.0016, 0.25}};
  const int length = int(0.08 * kEngineRate);
  for (int f = 0; f < firings; ++f) {
    const double at = (f + 0.03 * rnd.Signed()) * period;
    const double amp = cylinder[f % 4] * (1.0 + 0.1 * rnd.Signed());
    const int first = int(std::ceil(at));
    for (int i = 0; i < length; ++i) {
      const double tau = (first + i - at) / kEngineRate;
      double v = 0.0;
      for (const auto& r : ring) v += r[2] * std::exp(-tau / r[1]) * std::sin(2.0 * M_PI * r[0] * tau);
      v += 0.15 * rnd.Signed() * std::exp(-tau / 0.003);
      buf[size_t(((first + i) % n + n) % n)] += amp * v;  // the first firing may start before 0
    }
  }
  Fft(&buf, false);
  std::vector<Complex> bins(n, 0.0);
  for (int k = 1; k < n / 2; ++k) {
    const double f = k * bin;
    // Rolled off from three quarters of the top, nothing above it.
    const double roll = f >= top ? 0.0 : 1.0 / (1.0 + std::pow(f / (0.75 * top), 10.0));
    // Mechanical and intake noise under the pulses.
    const double noise = 0.01 * Resonance(f, 900.0, 0.7) * (0.5 + rnd.Uniform());
    bins[k] = (buf[k] / double(n) + std::polar(noise, rnd.Phase())) * roll;
  }
  SoundClip clip;
  clip.rate = kEngineRate;
  clip.samples = FromSpectrum(bins);
  Normalise(&clip.samples, 0.7f);
  return clip;
}

SoundClip SkidLoop() {
  const int rate = 22050, n = 32768;
  const double bin = double(rate) / n;
  Random rnd(7);
  std::vector<Complex> bins(n, 0.0);
  // Squeal: narrow bands of noise around a few partials, which wander in
  // pitch and loudness like a tyre on the edge of grip.
  const double partials[4][3] = {{960, 1.0, 18}, {1270, 0.55, 24}, {1920, 0.35, 30}, {2880, 0.12, 40}};
  for (const auto& p : partials) {
    for (int k = 1; k < n / 2; ++k) {
      const double d = (k * bin - p[0]) / p[2];
      if (std::fabs(d) > 4.0) continue;
      bins[k] += std::polar(p[1] * std::exp(-d * d) * (0.4 + rnd.Uniform()), rnd.Phase());
    }
  }
  // Hiss of the rubber.
  for (int k = 1; k < n / 2; ++k) {
    const double f = k * bin;
    bins[k] += std::polar(0.03 * Resonance(f, 3500.0, 0.6), rnd.Phase());
  }
  SoundClip clip;
  clip.rate = rate;
  clip.samples = FromSpectrum(bins);
  Normalise(&clip.samples, 0.6f);
  return clip;
}

SoundClip ShiftSound() {
  const int rate = 22050;
  const int n = rate / 4;
  Random rnd(11);
  BandPass click(3200.0, 2.0, rate), engage(2100.0, 3.0, rate);
  SoundClip clip;
  clip.rate = rate;
  clip.samples.resize(n);
  const double metal[3] = {2210.0, 3470.0, 5130.0};
  double phase = 0.0;
  for (int i = 0; i < n; ++i) {
    const double t = double(i) / rate;
    // The lever's thump, dropping in pitch.
    phase += 2.0 * M_PI * (70.0 + 30.0 * std::exp(-t / 0.02)) / rate;
    double v = 0.6 * std::sin(phase) * std::exp(-t / 0.035) * std::min(1.0, t / 0.002);
    // The gate's click, then the gear engaging 60 ms later.
    v += 1.4 * click.Run(rnd.Signed() * std::exp(-t / 0.006));
    const double t2 = t - 0.06;
    v += t2 > 0 ? 1.0 * engage.Run(rnd.Signed() * std::exp(-t2 / 0.01)) : engage.Run(0.0);
    for (int m = 0; m < 3; ++m) v += 0.05 / (m + 1) * std::sin(2 * M_PI * metal[m] * t) * std::exp(-t / 0.04);
    clip.samples[i] = float(v);
  }
  Normalise(&clip.samples, 0.8f);
  return clip;
}

SoundClip CrashSound() {
  const int rate = 22050;
  const int n = int(rate * 1.4);
  Random rnd(13);
  SoundClip clip;
  clip.rate = rate;
  clip.samples.assign(n, 0.0f);
  // The impact: a falling boom under a burst of crunching noise.
  BandPass crunch(1800.0, 0.5, rate), crunchLow(450.0, 0.7, rate);
  double phase = 0.0;
  for (int i = 0; i < n; ++i) {
    const double t = double(i) / rate;
    phase += 2.0 * M_PI * (40.0 + 35.0 * std::exp(-t / 0.08)) / rate;
    const double attack = std::min(1.0, t / 0.003);
    double v = 0.9 * std::sin(phase) * std::exp(-t / 0.2) * attack;
    const double noise = rnd.Signed() * std::exp(-t / 0.11) * attack;
    v += 1.6 * crunch.Run(noise) + 1.2 * crunchLow.Run(noise);
    clip.samples[i] = float(v);
  }
  // Panels ringing: inharmonic partials with their own decays.
  for (int m = 0; m < 12; ++m) {
    const double hz = 380.0 + 3600.0 * rnd.Uniform(), decay = 0.08 + 0.4 * rnd.Uniform(), amp = 0.08 + 0.1 * rnd.Uniform();
    const double ph = rnd.Phase();
    for (int i = 0; i < n; ++i) {
      const double t = double(i) / rate;
      clip.samples[i] += float(amp * std::sin(2 * M_PI * hz * t + ph) * std::exp(-t / decay) * std::min(1.0, t / 0.004));
    }
  }
  // Debris settling: short clicks, fewer and softer as time goes on.
  for (int d = 0; d < 28; ++d) {
    const double at = 0.05 + 0.95 * std::pow(rnd.Uniform(), 1.6);
    const double amp = 0.5 * std::exp(-at / 0.5) * (0.4 + 0.6 * rnd.Uniform());
    BandPass tick(1500.0 + 4000.0 * rnd.Uniform(), 4.0, rate);
    const int start = int(at * rate), len = int(0.012 * rate);
    for (int i = 0; i < len && start + i < n; ++i)
      clip.samples[start + i] += float(amp * 3.0 * tick.Run(rnd.Signed() * std::exp(-double(i) / (0.002 * rate))));
  }
  // Fade the last 0.2 s to silence.
  const int fade = rate / 5;
  for (int i = n - fade; i < n; ++i) clip.samples[i] *= float(n - 1 - i) / float(fade);
  Normalise(&clip.samples, 0.9f);
  return clip;
}

bool WriteWav(const std::string& path, const SoundClip& clip) {
  std::vector<uint8_t> b;
  auto put16 = [&](uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
  const uint32_t dataBytes = uint32_t(clip.samples.size() * 2);
  tag("RIFF");
  put32(36 + dataBytes);
  tag("WAVE");
  tag("fmt ");
  put32(16);
  put16(1);  // PCM
  put16(1);  // mono
  put32(uint32_t(clip.rate));
  put32(uint32_t(clip.rate) * 2);
  put16(2);
  put16(16);
  tag("data");
  put32(dataBytes);
  for (float v : clip.samples) {
    const long s = std::lround(std::max(-1.0f, std::min(1.0f, v)) * 32767.0f);
    put16(uint32_t(uint16_t(int16_t(s))));
  }
  return WriteBytes(path, b.data(), b.size());
}

bool BuildSounds(const BuildContext& ctx) {
  const std::string listPath = ctx.outDir + "/Cars.txt";
  std::ifstream list(listPath);
  if (!list) {
    std::fprintf(stderr, "vrx-data: cannot read %s: the car list is built before the sounds\n", listPath.c_str());
    return false;
  }
  const SoundClip skid = SkidLoop(), shift = ShiftSound(), crash = CrashSound();
  std::string entry;
  int line = 0;
  while (std::getline(list, entry)) {
    ++line;
    if (entry.empty()) continue;
    // "DATA\CARS\Hatch\Hatch" names DATA/CARS/Hatch/Hatch.*.
    std::string base = entry;
    for (char& ch : base)
      if (ch == '\\') ch = '/';
    if (base.size() < 5 || strncasecmp(base.c_str(), "DATA/", 5) != 0) {
      std::fprintf(stderr, "%s:%d: entry %s does not lie in DATA\n", listPath.c_str(), line, entry.c_str());
      return false;
    }
    base = ctx.outDir + "/" + base.substr(5);
    // The maximum RPM is the float at offset 84 of the 144-byte car data file.
    std::ifstream cdf(base + ".cdf", std::ios::binary);
    unsigned char data[144];
    if (!cdf.read(reinterpret_cast<char*>(data), sizeof data)) {
      std::fprintf(stderr, "vrx-data: cannot read the 144 bytes of %s.cdf\n", base.c_str());
      return false;
    }
    const uint32_t bits = uint32_t(data[84]) | uint32_t(data[85]) << 8 | uint32_t(data[86]) << 16 | uint32_t(data[87]) << 24;
    float maxRpm;
    std::memcpy(&maxRpm, &bits, 4);
    if (!(maxRpm >= 1000.0f && maxRpm <= 20000.0f)) {
      std::fprintf(stderr, "vrx-data: %s.cdf: maximum RPM %g is outside 1000 to 20000\n", base.c_str(), double(maxRpm));
      return false;
    }
    if (!WriteWav(base + "_eng.wav", EngineLoop(maxRpm)) || !WriteWav(base + "_skid.wav", skid) ||
        !WriteWav(base + "_shift.wav", shift) || !WriteWav(base + "_crash.wav", crash))
      return false;
  }
  return true;
}

}  // namespace vrxdata
