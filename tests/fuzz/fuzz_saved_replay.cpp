// A saved replay as `vrx --replay FILE` reads it: refused with one line when
// damaged, else loaded into the recorder, played, moved about and stepped the
// way the replay controls do, and written again.
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>

#include "fuzz_support.h"
#include "platform/testing.h"
#include "shell/cReplay.h"
#include "shell/saved_replay.h"

namespace {

DWORD g_now = 0;
DWORD Clock() { return g_now; }
cReplay* g_replay = nullptr;

bool Finite(const ReplayState& s) {
  const float v[] = {s.Position.x, s.Position.y, s.Position.z, s.Velocity.x, s.Velocity.y, s.Velocity.z,
                     s.Rotation.x, s.Rotation.y, s.Rotation.z, s.Rotation.w, s.Spin.x,     s.Spin.y, s.Spin.z};
  for (float f : v)
    if (!std::isfinite(f)) return false;
  return true;
}

// Controls and body state at the playback time; traps on a value the car
// could not take.
void Fetch() {
  const ReplaySnapshot c = g_replay->GetSnapshot();
  if (!std::isfinite(c.Throttle) || !std::isfinite(c.Brake) || !std::isfinite(c.Steering)) __builtin_trap();
  if (!Finite(g_replay->GetState())) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vrxfuzz::WorkDir();
  vrxtesting::SetTickSource(Clock);
  g_replay = new cReplay();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput("run.vrxreplay", data, size);
  vrx::Recording r;
  if (!ReadSavedReplay("run.vrxreplay", &r)) return 0;
  // What was read can be written again, to the same size, and reads back.
  const std::vector<uint8_t> again = vrx::EncodeRecording(r);
  vrx::Recording back;
  std::string why;
  if (again.size() != size || !vrx::DecodeRecording(again.data(), again.size(), vrx::RecordKind::kReplay, &back, &why))
    __builtin_trap();

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
  return 0;
}
