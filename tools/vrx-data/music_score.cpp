// Reading a music description and composing its notes.
//
//   tempo 92                      beats a minute; a bar is four beats of four steps
//   key D minor                   the melody's scale: major, minor or dorian
//   seed 3                        varies the melodies
//   pattern NAME INSTRUMENT STEPS [VOLUME [TRANSPOSE]]
//   section NAME CHORD ... | PATTERN ...      one chord a bar
//   form SECTION ...
//
// Steps are 16 characters a bar (a longer pattern spans several bars):
// '.' rest, '-' holds the note before; 'x' plays, and per instrument:
// bass 'x' root, 'o' root an octave up, 'f' fifth; hat 'o' open; kick and
// snare 'o' accented; arp and bell 'x' the next chord tone upwards; pad 'x'
// the chord, held to the next 'x' or the bar's end; lead 'x' a note of
// the melody.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "music.h"

namespace vrxdata {

namespace {

constexpr int kStepsPerBar = 16;

struct Pattern {
  Instrument instrument = Instrument::Pad;
  std::string steps;
  float volume = 1.0f;
  int transpose = 0;
};

struct Chord {
  int root = 0;                // pitch class
  std::vector<int> intervals;  // from the root, ascending
};

struct Section {
  std::vector<Chord> chords;
  std::vector<std::string> patterns;
  int line = 0;
};

struct Description {
  double tempo = 0;
  int keyRoot = -1;
  std::vector<int> scale;  // pitch classes of the key
  uint32_t seed = 1;
  std::map<std::string, Pattern> patterns;
  std::map<std::string, Section> sections;
  std::vector<std::string> form;
  std::string title;
};

class Random {
public:
  explicit Random(uint32_t seed) : state(seed * 2654435761u ^ 0x5bd1e995u) {
    if (state == 0) state = 1;
  }
  double Uniform() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return (state >> 8) * (1.0 / 16777216.0);
  }
  int Below(int n) { return int(Uniform() * n); }

private:
  uint32_t state;
};

uint32_t HashName(const std::string& s, uint32_t seed) {
  uint32_t h = 2166136261u ^ seed;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

bool Fail(const std::string& path, int line, const std::string& what) {
  std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), line, what.c_str());
  return false;
}

int PitchClass(const std::string& name, size_t* used) {
  static const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (name.empty()) return -1;
  const char letter = char(std::toupper(static_cast<unsigned char>(name[0])));
  if (letter < 'A' || letter > 'G') return -1;
  int pc = base[letter - 'A'];
  *used = 1;
  if (name.size() > 1 && (name[1] == '#' || name[1] == 'b')) {
    pc += name[1] == '#' ? 1 : -1;
    *used = 2;
  }
  return (pc + 12) % 12;
}

bool ParseChord(const std::string& word, Chord* chord) {
  static const std::map<std::string, std::vector<int>> qualities = {
      {"", {0, 4, 7}},          {"m", {0, 3, 7}},          {"7", {0, 4, 7, 10}},     {"maj7", {0, 4, 7, 11}},
      {"m7", {0, 3, 7, 10}},    {"m9", {0, 3, 7, 10, 14}}, {"9", {0, 4, 7, 10, 14}}, {"add9", {0, 4, 7, 14}},
      {"sus2", {0, 2, 7}},      {"sus4", {0, 5, 7}},       {"7sus4", {0, 5, 7, 10}}, {"dim", {0, 3, 6}},
      {"6", {0, 4, 7, 9}},      {"m6", {0, 3, 7, 9}},      {"maj9", {0, 4, 7, 11, 14}}};
  size_t used = 0;
  chord->root = PitchClass(word, &used);
  if (chord->root < 0) return false;
  auto q = qualities.find(word.substr(used));
  if (q == qualities.end()) return false;
  chord->intervals = q->second;
  return true;
}

bool ParseInstrument(const std::string& word, Instrument* out) {
  static const std::map<std::string, Instrument> names = {
      {"pad", Instrument::Pad},   {"bass", Instrument::Bass},   {"arp", Instrument::Arp}, {"lead", Instrument::Lead},
      {"bell", Instrument::Bell}, {"kick", Instrument::Kick},   {"snare", Instrument::Snare}, {"hat", Instrument::Hat}};
  auto it = names.find(word);
  if (it == names.end()) return false;
  *out = it->second;
  return true;
}

bool ParseNumber(const std::string& word, double* out) {
  char* end = nullptr;
  *out = std::strtod(word.c_str(), &end);
  return !word.empty() && end && *end == '\0' && std::isfinite(*out);
}

bool Parse(const std::string& text, const std::string& path, Description* d) {
  std::istringstream in(text);
  std::string raw;
  int line = 0;
  while (std::getline(in, raw)) {
    ++line;
    const size_t hash = raw.find('#');
    if (hash != std::string::npos) raw.erase(hash);
    std::istringstream words(raw);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;
    const std::string& key = w[0];
    if (key == "title") {
      d->title = raw.substr(raw.find("title") + 5);
    } else if (key == "tempo") {
      if (w.size() != 2 || !ParseNumber(w[1], &d->tempo) || d->tempo < 40 || d->tempo > 220)
        return Fail(path, line, "tempo wants one number from 40 to 220");
    } else if (key == "seed") {
      double s = 0;
      if (w.size() != 2 || !ParseNumber(w[1], &s) || s < 0 || s > 1e9) return Fail(path, line, "seed wants a whole number");
      d->seed = uint32_t(s);
    } else if (key == "key") {
      size_t used = 0;
      static const std::map<std::string, std::vector<int>> modes = {
          {"major", {0, 2, 4, 5, 7, 9, 11}}, {"minor", {0, 2, 3, 5, 7, 8, 10}}, {"dorian", {0, 2, 3, 5, 7, 9, 10}}};
      if (w.size() != 3 || (d->keyRoot = PitchClass(w[1], &used)) < 0 || used != w[1].size() || !modes.count(w[2]))
        return Fail(path, line, "key wants a note and major, minor or dorian");
      for (int iv : modes.at(w[2])) d->scale.push_back((d->keyRoot + iv) % 12);
    } else if (key == "pattern") {
      Pattern p;
      if (w.size() < 4 || w.size() > 6) return Fail(path, line, "pattern wants NAME INSTRUMENT STEPS [VOLUME [TRANSPOSE]]");
      if (!ParseInstrument(w[2], &p.instrument)) return Fail(path, line, "unknown instrument " + w[2]);
      p.steps = w[3];
      if (p.steps.size() % kStepsPerBar != 0) return Fail(path, line, "a pattern holds 16 steps a bar");
      for (char c : p.steps)
        if (std::string(".-xof").find(c) == std::string::npos) return Fail(path, line, std::string("unknown step ") + c);
      double v = 1.0, t = 0.0;
      if (w.size() > 4 && (!ParseNumber(w[4], &v) || v < 0 || v > 2)) return Fail(path, line, "volume wants 0 to 2");
      if (w.size() > 5 && (!ParseNumber(w[5], &t) || std::fabs(t) > 24 || t != std::floor(t)))
        return Fail(path, line, "transpose wants whole semitones, at most 24");
      p.volume = float(v);
      p.transpose = int(t);
      if (!d->patterns.emplace(w[1], p).second) return Fail(path, line, "pattern " + w[1] + " is defined twice");
    } else if (key == "section") {
      Section s;
      s.line = line;
      size_t i = 2;
      for (; i < w.size() && w[i] != "|"; ++i) {
        Chord c;
        if (!ParseChord(w[i], &c)) return Fail(path, line, "unknown chord " + w[i]);
        s.chords.push_back(c);
      }
      for (++i; i < w.size(); ++i) s.patterns.push_back(w[i]);
      if (w.size() < 2 || s.chords.empty()) return Fail(path, line, "section wants NAME CHORD ... | PATTERN ...");
      if (!d->sections.emplace(w[1], s).second) return Fail(path, line, "section " + w[1] + " is defined twice");
    } else if (key == "form") {
      for (size_t i = 1; i < w.size(); ++i) d->form.push_back(w[i]);
    } else {
      return Fail(path, line, "unknown key " + key);
    }
  }
  if (d->tempo <= 0) return Fail(path, 0, "no tempo");
  if (d->keyRoot < 0) return Fail(path, 0, "no key");
  if (d->form.empty()) return Fail(path, 0, "no form");
  for (const std::string& name : d->form)
    if (!d->sections.count(name)) return Fail(path, 0, "form names unknown section " + name);
  for (const auto& s : d->sections)
    for (const std::string& p : s.second.patterns)
      if (!d->patterns.count(p)) return Fail(path, s.second.line, "section uses unknown pattern " + p);
  return true;
}

// The composer's working state across the piece.
class Composer {
public:
  Composer(const Description& d, Score* score) : d(d), score(score), step(60.0 / d.tempo / 4.0) {}

  void Compose() {
    int bar = 0;
    for (const std::string& name : d.form) {
      const Section& s = d.sections.at(name);
      const Melody melody = WriteMelody(name, s);
      for (size_t b = 0; b < s.chords.size(); ++b, ++bar) {
        for (const std::string& pname : s.patterns) PlayBar(d.patterns.at(pname), s.chords[b], bar, int(b), melody);
      }
    }
    score->seconds = bar * kStepsPerBar * step;
    score->beat = 4.0 * step;
  }

private:
  // A melody: per bar of its section, the pitch at each step (0: rest,
  // -1: hold).
  typedef std::vector<std::vector<int>> Melody;

  // Chord tones near `around` within [lo, hi], as MIDI notes.
  static std::vector<int> ChordTones(const Chord& c, int lo, int hi) {
    std::vector<int> out;
    for (int n = lo; n <= hi; ++n)
      for (int iv : c.intervals)
        if ((n - c.root - iv) % 12 == 0) {
          out.push_back(n);
          break;
        }
    return out;
  }

  bool InScale(int n) const {
    for (int pc : d.scale)
      if ((n % 12 + 12) % 12 == pc) return true;
    return false;
  }

  int ScaleStep(int n, int steps) const {
    while (steps > 0) {
      ++n;
      if (InScale(n)) --steps;
    }
    while (steps < 0) {
      --n;
      if (InScale(n)) ++steps;
    }
    return n;
  }

  // A note a semitone from one of the chord's tones grates against it.
  static bool Clashes(const Chord& c, int n) {
    for (int iv : c.intervals) {
      const int d = ((n - c.root - iv) % 12 + 12) % 12;
      if (d == 1 || d == 11) return true;
    }
    return false;
  }

  static int Nearest(const std::vector<int>& options, int n) {
    int best = options.empty() ? n : options[0];
    for (int o : options)
      if (std::abs(o - n) < std::abs(best - n)) best = o;
    return best;
  }

  // The melody of a section: four-bar phrases whose first and third bars
  // share a motif (its rhythm and contour), the second answers it and the
  // fourth comes to rest on a chord tone.
  Melody WriteMelody(const std::string& name, const Section& s) {
    const Pattern* lead = nullptr;
    for (const std::string& p : s.patterns)
      if (d.patterns.at(p).instrument == Instrument::Lead) lead = &d.patterns.at(p);
    Melody melody(s.chords.size(), std::vector<int>(kStepsPerBar, 0));
    if (!lead) return melody;
    Random rnd(HashName(name, d.seed));
    const int lo = 62 + lead->transpose, hi = 81 + lead->transpose;
    std::vector<int> motifRhythm, motifContour;
    int pitch = Nearest(ChordTones(s.chords[0], lo, hi), (lo + hi) / 2);
    for (size_t b = 0; b < s.chords.size(); ++b) {
      const int place = int(b % 4);
      const Chord& chord = s.chords[b];
      const std::vector<int> tones = ChordTones(chord, lo, hi);
      // Rhythm: the pattern's bar, varied except where the motif returns.
      std::vector<int> onsets;
      const std::string bar = lead->steps.substr((b * kStepsPerBar) % lead->steps.size(), kStepsPerBar);
      for (int i = 0; i < kStepsPerBar; ++i)
        if (bar[i] == 'x') onsets.push_back(i);
      if (place == 2 && !motifRhythm.empty()) {
        onsets = motifRhythm;
      } else if (place == 3) {
        // The cadence: a few notes leading to a long one.
        std::vector<int> cadence;
        for (int o : onsets)
          if (o < 9) cadence.push_back(o);
        cadence.push_back(8);
        onsets.assign(cadence.begin(), cadence.end());
        std::sort(onsets.begin(), onsets.end());
        onsets.erase(std::unique(onsets.begin(), onsets.end()), onsets.end());
      } else if (place == 1) {
        for (int& o : onsets)
          if (o % 4 != 0 && rnd.Uniform() < 0.3) o = o + (rnd.Uniform() < 0.5 ? -1 : 1);
        std::sort(onsets.begin(), onsets.end());
        onsets.erase(std::unique(onsets.begin(), onsets.end()), onsets.end());
        for (int& o : onsets) o = std::max(0, std::min(kStepsPerBar - 1, o));
      }
      if (place == 0) motifRhythm = onsets;

      std::vector<int>& out = melody[b];
      for (size_t i = 0; i < onsets.size(); ++i) {
        const int at = onsets[i];
        const bool strong = at % 8 == 0;
        if (place == 2 && i < motifContour.size()) {
          pitch = (i == 0) ? Nearest(tones, pitch) : ScaleStep(pitch, motifContour[i]);
          if (strong || Clashes(chord, pitch)) pitch = Nearest(tones, pitch);
        } else if (place == 3 && i + 1 == onsets.size()) {
          // Rest on the root or the third.
          std::vector<int> rest;
          for (int t : tones)
            if ((t - chord.root) % 12 == 0 || (t - chord.root - chord.intervals[1]) % 12 == 0) rest.push_back(t);
          pitch = Nearest(rest.empty() ? tones : rest, pitch);
        } else {
          int move = rnd.Below(5) - 2;  // a step or two, mostly
          if (rnd.Uniform() < 0.15) move *= 2;
          if (pitch + move * 2 > hi) move = -std::abs(move);
          if (pitch + move * 2 < lo) move = std::abs(move);
          const int next = ScaleStep(pitch, move);
          if (place == 0) motifContour.push_back(i == 0 ? 0 : move);
          pitch = strong || Clashes(chord, next) ? Nearest(tones, next) : next;
        }
        pitch = std::max(lo, std::min(hi, pitch));
        out[at] = pitch;
        const int end = i + 1 < onsets.size() ? onsets[i + 1] : (place == 3 ? kStepsPerBar : std::min(kStepsPerBar, at + 4));
        for (int h = at + 1; h < end; ++h) out[h] = -1;
      }
    }
    return melody;
  }

  // Pad voicing that moves as little as possible from the last chord.
  std::vector<int> Voice(const Chord& c) {
    std::vector<int> best;
    int bestCost = 1 << 30;
    for (int inversion = 0; inversion < int(c.intervals.size()); ++inversion) {
      for (int base = 52; base <= 64; ++base) {
        if ((base - c.root - c.intervals[inversion]) % 12 != 0) continue;
        std::vector<int> v;
        for (size_t k = 0; k < c.intervals.size(); ++k) {
          int n = base + c.intervals[(inversion + k) % c.intervals.size()] - c.intervals[inversion];
          while (!v.empty() && n <= v.back()) n += 12;
          v.push_back(n);
        }
        int cost = 0;
        for (size_t k = 0; k < v.size(); ++k)
          cost += lastVoicing.empty() ? std::abs(v[k] - 60) : std::abs(v[k] - lastVoicing[std::min(k, lastVoicing.size() - 1)]);
        if (cost < bestCost) {
          bestCost = cost;
          best = v;
        }
      }
    }
    lastVoicing = best;
    return best;
  }

  void Add(Instrument ins, int pitch, double start, double length, float velocity, bool accent = false) {
    Note n;
    n.instrument = ins;
    n.pitch = pitch;
    n.start = start;
    n.length = length;
    n.velocity = velocity;
    n.accent = accent;
    score->notes.push_back(n);
  }

  // Steps a note starting at `at` holds: itself and the '-' after it.
  static int HeldSteps(const std::string& bar, int at) {
    int len = 1;
    while (at + len < kStepsPerBar && bar[at + len] == '-') ++len;
    return len;
  }

  void PlayBar(const Pattern& p, const Chord& chord, int bar, int barInSection, const Melody& melody) {
    const std::string steps = p.steps.substr((size_t(barInSection) * kStepsPerBar) % p.steps.size(), kStepsPerBar);
    const double t0 = bar * kStepsPerBar * step;
    const float v = p.volume;
    switch (p.instrument) {
      case Instrument::Pad: {
        const std::vector<int> voicing = Voice(chord);
        for (int i = 0; i < kStepsPerBar; ++i) {
          if (steps[i] != 'x') continue;
          // A chord rings until the next one in the bar or the bar's end.
          int len = 1;
          while (i + len < kStepsPerBar && steps[i + len] != 'x') ++len;
          for (int n : voicing) Add(Instrument::Pad, n + p.transpose, t0 + i * step, len * step, v);
        }
        break;
      }
      case Instrument::Bass: {
        const int root = 33 + (chord.root + 12 - 9) % 12;  // A1 .. G#2
        for (int i = 0; i < kStepsPerBar; ++i) {
          const char c = steps[i];
          if (c != 'x' && c != 'o' && c != 'f') continue;
          const int n = root + (c == 'o' ? 12 : 0) + (c == 'f' ? 7 : 0) + p.transpose;
          Add(Instrument::Bass, n, t0 + i * step, HeldSteps(steps, i) * step * 0.9, v * (i % 4 == 0 ? 1.0f : 0.85f));
        }
        break;
      }
      case Instrument::Arp:
      case Instrument::Bell: {
        const int lo = (p.instrument == Instrument::Arp ? 62 : 74) + p.transpose;
        const std::vector<int> tones = ChordTones(chord, lo, lo + 19);
        for (int i = 0; i < kStepsPerBar; ++i) {
          if (steps[i] != 'x' || tones.empty()) continue;
          // Up through the chord tones and back down.
          const int cycle = int(tones.size()) * 2 - 2;
          const int k = cycle > 0 ? arpIndex % cycle : 0;
          const int n = tones[size_t(k < int(tones.size()) ? k : cycle - k)];
          ++arpIndex;
          Add(p.instrument, n, t0 + i * step, HeldSteps(steps, i) * step, v * (i % 4 == 0 ? 1.0f : 0.8f));
        }
        break;
      }
      case Instrument::Lead: {
        const std::vector<int>& m = melody[size_t(barInSection)];
        for (int i = 0; i < kStepsPerBar; ++i) {
          if (m[i] <= 0) continue;
          int len = 1;
          while (i + len < kStepsPerBar && m[i + len] == -1) ++len;
          Add(Instrument::Lead, m[i], t0 + i * step, len * step, v * (i % 4 == 0 ? 1.0f : 0.9f));
        }
        break;
      }
      case Instrument::Kick:
      case Instrument::Snare:
      case Instrument::Hat:
        for (int i = 0; i < kStepsPerBar; ++i) {
          if (steps[i] != 'x' && steps[i] != 'o') continue;
          Add(p.instrument, 0, t0 + i * step, step, v * (steps[i] == 'o' ? 1.0f : 0.8f), steps[i] == 'o');
        }
        break;
    }
  }

  const Description& d;
  Score* score;
  const double step;  // seconds a sixteenth
  std::vector<int> lastVoicing;
  int arpIndex = 0;
};

}  // namespace

bool ComposeScoreText(const std::string& text, const std::string& path, Score* score) {
  Description d;
  if (!Parse(text, path, &d)) return false;
  *score = Score();
  score->title = d.title;
  Composer(d, score).Compose();
  return true;
}

bool ComposeScore(const std::string& path, Score* score) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "vrx-data: cannot read %s\n", path.c_str());
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  return ComposeScoreText(text.str(), path, score);
}

}  // namespace vrxdata
