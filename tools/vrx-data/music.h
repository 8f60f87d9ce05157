// The two pieces of music, composed from the descriptions in content/music/
// and encoded to MP3: "MUSIC/Dni.mp3" (menu) and "MUSIC/UPM_.mp3" (race).
//
// A description gives the tempo, the key, rhythm patterns for the parts,
// sections (a chord a bar and the patterns that play) and the form. The
// composer voices the chords, walks the bass, spreads the arpeggios and writes
// the melody (motifs that return within each phrase, strong beats on chord
// tones); the synthesiser plays it with a handful of instruments, a delay and
// a reverb.
#pragma once

#include <string>
#include <vector>

#include "builders.h"

namespace vrxdata {

enum class Instrument { Pad, Bass, Arp, Lead, Bell, Kick, Snare, Hat };

struct Note {
  double start = 0, length = 0;  // seconds
  int pitch = 0;                 // MIDI note number (drums: unused)
  float velocity = 1;            // 0..1
  Instrument instrument = Instrument::Pad;
  bool accent = false;           // open hat, accented drum
};

struct Score {
  std::string title;
  double seconds = 0;  // end of the last bar
  double beat = 0.5;   // seconds a beat
  std::vector<Note> notes;
};

// Reads and composes a description; false after printing "file:line: what".
bool ComposeScore(const std::string& path, Score* score);
// Parses and composes description text (the path is used in messages).
bool ComposeScoreText(const std::string& text, const std::string& path, Score* score);

constexpr int kMusicRate = 44100;
// Interleaved stereo at kMusicRate, with the reverb's tail, peak at -1 dBFS.
std::vector<float> RenderScore(const Score& score);

bool WriteMp3(const std::string& path, const std::vector<float>& stereo, int rate);

bool BuildMusic(const BuildContext& ctx);

}  // namespace vrxdata
