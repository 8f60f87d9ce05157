// Recording files, the one layout the game reads in two places: each input is
// a track's ghost lap loaded as a race loads it (checked against the track
// and the car list, then followed frame by frame and measured against), and
// a saved replay as `vrx --replay FILE` reads it (loaded into the recorder,
// played, moved about and stepped the way the replay controls do). Whatever
// either accepts must write out and read back unchanged.
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>

#include "fuzz_track_common.h"
#include "platform/testing.h"
#include "shell/cGhost.h"
#include "shell/cReplay.h"
#include "shell/record_file.h"
#include "shell/saved_replay.h"

namespace {

DWORD g_now = 0;
DWORD Clock() { return g_now; }
cGhost* g_ghost = nullptr;
cReplay* g_replay = nullptr;
const char kCars[2][64] = {"cars\\Car\\Car", "cars\\Other\\Other"};

bool Finite(const ReplayState& s) {
  const float v[] = {s.Position.x, s.Position.y, s.Position.z, s.Velocity.x, s.Velocity.y, s.Velocity.z,
                     s.Rotation.x, s.Rotation.y, s.Rotation.z, s.Rotation.w, s.Spin.x,     s.Spin.y, s.Spin.z};
  for (float f : v)
    if (!std::isfinite(f)) return false;
  return true;
}

// What was accepted encodes to `size` bytes again and decodes to the same.
void RoundTrip(const vrx::Recording& r, size_t size) {
  const std::vector<uint8_t> bytes = vrx::EncodeRecording(r);
  vrx::Recording again;
  std::string why;
  if (bytes.size() != size || !vrx::DecodeRecording(bytes.data(), bytes.size(), r.kind, &again, &why))
    __builtin_trap();
  if (again.stateStamps != r.stateStamps || again.controlStamps != r.controlStamps || again.time != r.time ||
      again.lapStart != r.lapStart || strcmp(again.car, r.car) != 0 || strcmp(again.track, r.track) != 0)
    __builtin_trap();
}

void RaceTheGhost(size_t size) {
  if (!g_ghost->Load(vrxfuzz::TrackPath().c_str(), kCars, 2)) return;
  const vrx::Recording& lap = g_ghost->Lap();
  RoundTrip(lap, size);
  // Frames over the lap and a little past it, then a new lap.
  const DWORD end = lap.time + 500;
  for (DWORD t = 0; t <= end; t += end / 16 + 1) {
    const ReplayState s = g_ghost->StateAt(t);
    if (!Finite(s)) __builtin_trap();
    if (!std::isfinite(g_ghost->Gap(s.Position, t))) __builtin_trap();
  }
  // A car far off the ghost's path.
  if (!std::isfinite(g_ghost->Gap(D3DXVECTOR3(1e5f, 0, -1e5f), 10))) __builtin_trap();
}

// Controls and body state at the playback time; traps on a value the car
// could not take.
void Fetch() {
  const ReplaySnapshot c = g_replay->GetSnapshot();
  if (!std::isfinite(c.Throttle) || !std::isfinite(c.Brake) || !std::isfinite(c.Steering)) __builtin_trap();
  if (!Finite(g_replay->GetState())) __builtin_trap();
}

void PlayTheReplay(size_t size) {
  vrx::Recording r;
  if (!ReadSavedReplay("run.vrxreplay", &r)) return;
  RoundTrip(r, size);
  if (!g_replay->LoadRecording(r)) __builtin_trap();
  g_now = 1000;
  g_replay->RestartForPlayback();
  for (int frame = 0; frame < 20 && !g_replay->AtEnd(); ++frame) {
    Fetch();
    g_now += 37;
  }
  const DWORD length = g_replay->GetLength();
  g_replay->SetPlaybackSpeed(4.0f);
  for (DWORD at : {length / 3, length / 2, length, 0u}) {
    g_replay->SeekPlayback(at);
    // A move never ends the replay on a recording longer than an instant.
    if (length > 0 && g_replay->AtEnd()) __builtin_trap();
    Fetch();
    g_now += 16;
  }
  g_replay->SetPlaybackPaused(true);
  DWORD next = 0;
  for (int step = 0; step < 5 && g_replay->NextSampleTime(&next); ++step) {
    if (next <= g_replay->GetPlaybackTime()) __builtin_trap();
    g_replay->SeekPlayback(next);
    if (g_replay->GetPlaybackTime() != next) __builtin_trap();
    Fetch();
  }
  g_replay->SetPlaybackPaused(false);
  g_replay->SetPlaybackSpeed(1.0f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vrxfuzz::WorkDir();
  vrxfuzz::TrackPath();
  vrxtesting::SetTickSource(Clock);
  g_ghost = new cGhost();
  g_replay = new cReplay();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput("track/Test/BestLap.vrxghost", data, size);
  RaceTheGhost(size);
  vrxfuzz::WriteInput("run.vrxreplay", data, size);
  PlayTheReplay(size);
  return 0;
}
