// Playing a score: band-limited wavetable voices for the pad, bass and lead,
// plucked strings for the arpeggios, FM for the bell, synthesised drums, a
// ping-pong delay and a reverb. Everything is computed, nothing sampled.
#include <cmath>
#include <cstdint>
#include <map>

#include "music.h"

namespace vrxdata {

namespace {

constexpr double kTau = 2.0 * M_PI;
constexpr int kTableSize = 2048;
constexpr double kTail = 3.0;  // seconds of reverb after the last bar

double Frequency(int pitch) { return 440.0 * std::pow(2.0, (pitch - 69) / 12.0); }

class Noise {
public:
  explicit Noise(uint32_t seed) : state(seed | 1u) {}
  float Next() {  // -1..1
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return float(int32_t(state)) * (1.0f / 2147483648.0f);
  }

private:
  uint32_t state;
};

// One cycle of a waveform, holding only the harmonics the pitch can carry
// below the Nyquist frequency.
typedef std::vector<float> Table;

Table MakeTable(double f, double (*harmonic)(int h, double hz)) {
  Table t(kTableSize + 1, 0.0f);
  const int count = std::max(1, int(0.45 * kMusicRate / f));
  for (int h = 1; h <= count && h <= 64; ++h) {
    const double a = harmonic(h, h * f);
    if (a == 0.0) continue;
    for (int i = 0; i < kTableSize; ++i) t[i] += float(a * std::sin(kTau * h * i / kTableSize));
  }
  t[kTableSize] = t[0];
  return t;
}

double PadHarmonic(int h, double hz) { return std::pow(h, -1.2) * std::exp(-hz / 2600.0); }
double BassHarmonic(int h, double hz) { return std::pow(h, -1.6) * std::exp(-hz / 1800.0); }
double LeadHarmonic(int h, double hz) { return (h % 2 ? 1.0 : 0.45) / h * std::exp(-hz / 4200.0); }

class Tables {
public:
  const Table& Get(Instrument ins, int pitch) {
    const int key = int(ins) * 256 + pitch;
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    double (*fn)(int, double) = ins == Instrument::Bass ? BassHarmonic : ins == Instrument::Lead ? LeadHarmonic : PadHarmonic;
    return cache.emplace(key, MakeTable(Frequency(pitch), fn)).first->second;
  }

private:
  std::map<int, Table> cache;
};

inline float Lookup(const Table& t, double phase) {
  const double p = phase * kTableSize;
  const int i = int(p);
  const float frac = float(p - i);
  return t[i] + (t[i + 1] - t[i]) * frac;
}

const Table& Sine() {
  static const Table t = MakeTable(1.0, [](int h, double) { return h == 1 ? 1.0 : 0.0; });
  return t;
}

struct Bus {
  std::vector<float> left, right, delay, reverb;
  explicit Bus(size_t n) : left(n), right(n), delay(n), reverb(n) {}
  void Add(size_t i, float v, float pan, float delaySend, float reverbSend) {
    if (i >= left.size()) return;
    left[i] += v * (1.0f - pan) * 0.5f * 1.41f;
    right[i] += v * (1.0f + pan) * 0.5f * 1.41f;
    delay[i] += v * delaySend;
    reverb[i] += v * reverbSend;
  }
};

// Attack, then full level until the note's end, then a release.
inline float Envelope(double t, double attack, double length, double release) {
  if (t < attack) return float(t / attack);
  if (t < length) return 1.0f;
  return float(std::max(0.0, 1.0 - (t - length) / release));
}

void PlayWavetable(const Note& n, Tables* tables, Bus* bus) {
  const double f = Frequency(n.pitch);
  const bool pad = n.instrument == Instrument::Pad, bass = n.instrument == Instrument::Bass;
  const double attack = pad ? 0.5 : bass ? 0.004 : 0.015;
  const double release = pad ? 1.1 : bass ? 0.05 : 0.14;
  const Table& table = tables->Get(n.instrument, n.pitch);
  const size_t start = size_t(n.start * kMusicRate);
  const size_t count = size_t((n.length + release) * kMusicRate);
  const int voices = pad ? 3 : bass ? 1 : 2;
  // Detuned voices spread across the stereo field thicken the pad and lead.
  const double spread = pad ? 0.006 : 0.0025;
  const float width = pad ? 0.55f : 0.15f;
  for (int v = 0; v < voices; ++v) {
    const double side = voices == 1 ? 0.0 : 2.0 * v / (voices - 1) - 1.0;
    const double ratio = 1.0 + spread * side;
    const float pan = float(side) * width;
    const float level = n.velocity * (pad ? 0.05f : bass ? 0.3f : 0.075f);
    double phase = (v * 0.37) - std::floor(v * 0.37);
    // The bass and lead settle from a brighter attack: a decay kept by multiplication.
    const double settle = std::exp(-1.0 / ((bass ? 0.15 : 0.2) * kMusicRate));
    double decay = 1.0;
    for (size_t i = 0; i < count; ++i) {
      const double t = double(i) / kMusicRate;
      double inc = f * ratio / kMusicRate;
      if (n.instrument == Instrument::Lead) inc *= 1.0 + 0.0035 * std::min(1.0, std::max(0.0, t - 0.2) / 0.3) * Lookup(Sine(), std::fmod(5.2 * t, 1.0));
      phase += inc;
      phase -= std::floor(phase);
      float env = Envelope(t, attack, n.length, release);
      decay *= settle;
      if (bass) env *= float(0.6 + 0.4 * decay);
      if (n.instrument == Instrument::Lead) env *= float(0.8 + 0.2 * decay);
      float s = Lookup(table, phase);
      if (bass) s += 0.5f * Lookup(Sine(), phase);
      bus->Add(start + i, s * env * level, pan, n.instrument == Instrument::Lead ? 0.3f : 0.0f,
               pad ? 0.5f : bass ? 0.05f : 0.35f);
    }
  }
}

// Plucked string (Karplus-Strong) with a fractional delay.
void PlayPluck(const Note& n, Bus* bus, int index) {
  const double f = Frequency(n.pitch);
  const double period = kMusicRate / f;
  const size_t len = size_t(period) + 3;
  std::vector<float> line(len, 0.0f);
  Noise noise(uint32_t(n.pitch * 7919 + index));
  float lp = 0.0f;
  for (size_t i = 0; i < len; ++i) {
    lp += 0.5f * (noise.Next() - lp);
    line[i] = lp;
  }
  const double t60 = 1.3;
  const float loss = float(std::exp(-6.9 / (t60 * f)));
  const size_t start = size_t(n.start * kMusicRate);
  const double dur = n.length + 0.5;
  const size_t count = size_t(dur * kMusicRate);
  const float pan = (index % 2) ? 0.35f : -0.35f;
  const float level = 0.22f * n.velocity;
  size_t w = 0;
  float prev = 0.0f;
  for (size_t i = 0; i < count; ++i) {
    double r = double(w) + len - period;
    const size_t r0 = size_t(r) % len, r1 = (r0 + 1) % len;
    const float frac = float(r - std::floor(r));
    const float out = line[r0] + (line[r1] - line[r0]) * frac;
    const float next = 0.5f * (out + prev) * loss;
    prev = out;
    line[w] = next;
    w = (w + 1) % len;
    const double t = double(i) / kMusicRate;
    const float fade = float(std::min(1.0, (dur - t) / 0.05));
    bus->Add(start + i, out * level * fade, pan, 0.35f, 0.3f);
  }
}

void PlayBell(const Note& n, Bus* bus) {
  const double f = Frequency(n.pitch);
  const double dur = std::min(n.length + 1.5, 2.5);
  const size_t start = size_t(n.start * kMusicRate), count = size_t(dur * kMusicRate);
  const float level = 0.08f * n.velocity;
  for (size_t i = 0; i < count; ++i) {
    const double t = double(i) / kMusicRate;
    const double index = 2.2 * std::exp(-t / 0.4) + 0.3;
    const double v = std::sin(kTau * f * t + index * std::sin(kTau * 3.5 * f * t));
    const double env = std::exp(-t / 0.9) * std::min(1.0, t / 0.003) * std::min(1.0, (dur - t) / 0.1);
    bus->Add(start + i, float(v * env) * level, 0.3f, 0.3f, 0.5f);
  }
}

void PlayDrum(const Note& n, Bus* bus, int index) {
  Noise noise(uint32_t(index * 2654435761u + 17u));
  const size_t start = size_t(n.start * kMusicRate);
  const float accent = n.accent ? 1.15f : 1.0f;
  if (n.instrument == Instrument::Kick) {
    double phase = 0.0;
    const size_t count = size_t(0.45 * kMusicRate);
    for (size_t i = 0; i < count; ++i) {
      const double t = double(i) / kMusicRate;
      phase += kTau * (48.0 + 100.0 * std::exp(-t / 0.035)) / kMusicRate;
      const double v = std::sin(phase) * std::exp(-t / 0.28) * std::min(1.0, (0.45 - t) / 0.05) +
                       0.2 * noise.Next() * std::exp(-t / 0.002);
      bus->Add(start + i, float(v) * 0.7f * n.velocity * accent, 0.0f, 0.0f, 0.03f);
    }
  } else if (n.instrument == Instrument::Snare) {
    const size_t count = size_t(0.35 * kMusicRate);
    float x1 = 0, lp = 0;
    for (size_t i = 0; i < count; ++i) {
      const double t = double(i) / kMusicRate;
      const float x = noise.Next();
      lp += 0.35f * (x - lp);
      const float hp = lp - x1;  // a band around 2 to 5 kHz
      x1 = lp;
      const double v = 1.6 * hp * std::exp(-t / 0.11) + 0.5 * std::sin(kTau * 190.0 * t) * std::exp(-t / 0.05);
      bus->Add(start + i, float(v * std::min(1.0, (0.35 - t) / 0.05)) * 0.32f * n.velocity * accent, 0.05f, 0.0f, 0.3f);
    }
  } else {
    const double decay = n.accent ? 0.18 : 0.03;
    const size_t count = size_t((decay * 6.0) * kMusicRate);
    float x1 = 0, y1 = 0;
    const float k = float(std::exp(-1.0 / (decay * kMusicRate)));
    float env = 1.0f;
    for (size_t i = 0; i < count; ++i) {
      const float x = noise.Next();
      const float d1 = x - x1;  // two differences: only the top octaves
      x1 = x;
      const float d2 = d1 - y1;
      y1 = d1;
      env *= k;
      bus->Add(start + i, d2 * env * 0.05f * n.velocity, 0.25f, 0.0f, 0.1f);
    }
  }
}

// Four damped combs and two all-passes a side.
class Reverb {
public:
  explicit Reverb(int spread) {
    const int combs[4] = {1116, 1188, 1277, 1356}, passes[2] = {556, 441};
    for (int i = 0; i < 4; ++i) comb[i].assign(size_t(combs[i] + spread), 0.0f);
    for (int i = 0; i < 2; ++i) pass[i].assign(size_t(passes[i] + spread), 0.0f);
  }
  float Run(float x) {
    float out = 0.0f;
    for (int i = 0; i < 4; ++i) {
      std::vector<float>& c = comb[i];
      const float y = c[ci[i]];
      damp[i] = y * 0.7f + damp[i] * 0.3f;
      c[ci[i]] = x + damp[i] * 0.83f;
      ci[i] = (ci[i] + 1) % c.size();
      out += y;
    }
    for (int i = 0; i < 2; ++i) {
      std::vector<float>& p = pass[i];
      const float b = p[pi[i]];
      p[pi[i]] = out + b * 0.5f;
      pi[i] = (pi[i] + 1) % p.size();
      out = b - out;
    }
    return out * 0.25f;
  }

private:
  std::vector<float> comb[4], pass[2];
  size_t ci[4] = {0, 0, 0, 0}, pi[2] = {0, 0};
  float damp[4] = {0, 0, 0, 0};
};

}  // namespace

std::vector<float> RenderScore(const Score& score) {
  const size_t frames = size_t((score.seconds + kTail) * kMusicRate);
  Bus bus(frames);
  Tables tables;
  int index = 0;
  for (const Note& n : score.notes) {
    switch (n.instrument) {
      case Instrument::Pad:
      case Instrument::Bass:
      case Instrument::Lead: PlayWavetable(n, &tables, &bus); break;
      case Instrument::Arp: PlayPluck(n, &bus, index); break;
      case Instrument::Bell: PlayBell(n, &bus); break;
      default: PlayDrum(n, &bus, index); break;
    }
    ++index;
  }
  // A ping-pong delay of three sixteenths, then the reverb over everything sent to it.
  const size_t delay = size_t(score.beat * 0.75 * kMusicRate);
  std::vector<float> echoL(frames, 0.0f), echoR(frames, 0.0f);
  for (size_t i = 0; i < frames; ++i) {
    if (i >= delay) {
      echoL[i] = bus.delay[i - delay] + echoR[i - delay] * 0.35f;
      echoR[i] = echoL[i - delay] * 0.8f;
    }
    bus.left[i] += echoL[i] * 0.45f;
    bus.right[i] += echoR[i] * 0.45f;
    bus.reverb[i] += (echoL[i] + echoR[i]) * 0.15f;
  }
  Reverb left(0), right(23);
  std::vector<float> out(frames * 2);
  float peak = 0.0f;
  for (size_t i = 0; i < frames; ++i) {
    const float l = bus.left[i] + left.Run(bus.reverb[i]) * 0.9f;
    const float r = bus.right[i] + right.Run(bus.reverb[i]) * 0.9f;
    out[2 * i] = l;
    out[2 * i + 1] = r;
    peak = std::max(peak, std::max(std::fabs(l), std::fabs(r)));
  }
  // -1 dBFS peak; the last half second fades the reverb out to silence.
  const float gain = peak > 0.0f ? 0.891f / peak : 1.0f;
  const size_t fade = size_t(0.5 * kMusicRate);
  for (size_t i = 0; i < frames; ++i) {
    float g = gain;
    if (i + fade >= frames) g *= float(frames - 1 - i) / float(fade);
    out[2 * i] *= g;
    out[2 * i + 1] *= g;
  }
  return out;
}

}  // namespace vrxdata
