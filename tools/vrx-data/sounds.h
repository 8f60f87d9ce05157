// The cars' sounds, synthesised: the engine loop ("_eng.wav"), the tyre
// squeal loop ("_skid.wav"), the gear change ("_shift.wav") and the crash
// ("_crash.wav") beside every car of DATA/Cars.txt.
//
// The game plays the engine at (1500 + rpm) x 8 Hz, 16800 Hz at the idle
// speed of 600 rpm. The loop is stored at 16800 Hz so that its own rate is
// idle: a four-cylinder firing 20 times a second. Higher rates raise it as
// the engine speeds up; its spectrum ends low enough that even at the car's
// maximum rate it stays below what the sound card can play.
#pragma once

#include <string>
#include <vector>

#include "builders.h"

namespace vrxdata {

struct SoundClip {
  int rate = 0;
  std::vector<float> samples;  // mono, -1..1
};

constexpr int kEngineRate = 16800;
// The loop holds a whole number of engine cycles (two turns, four firings)
// of 10 analysis bins each: 32768 samples, 1.95 s.
constexpr int kEngineLoopSamples = 32768;
// Firing frequency of the loop at its own rate (40 bins of 16800 / 32768 Hz).
constexpr double kEngineFiringHz = 40.0 * kEngineRate / kEngineLoopSamples;

// The game's playback rate for an engine speed.
inline unsigned long EngineRate(float rpm) { return (1500ul + static_cast<unsigned long>(rpm)) * 8ul; }

SoundClip EngineLoop(float maxRpm);
SoundClip SkidLoop();
SoundClip ShiftSound();
SoundClip CrashSound();

// 16-bit PCM mono WAV.
bool WriteWav(const std::string& path, const SoundClip& clip);

bool BuildSounds(const BuildContext& ctx);

}  // namespace vrxdata
