#include "shell/cReplay.h"

#include <cmath>
#include <cstring>

#include "car/cRaceCar.h"
#include "cCar.h"
#include "platform/win32.h"
#include "shell/record_file.h"

cReplay::cReplay()
    : carIndex(0), trackIndex(0), damage(0), automatic(0), car(nullptr), lastFetchTick(0), pauseStartTick(0),
      snapshotCount(0), snapshotStartTick(0), stateCount(0), stateStartTick(0), clockTick(0), clockBase(0),
      playbackSpeed(1.0f), playbackPaused(false) {
  memset(snapshots, 0, sizeof snapshots);
  memset(states, 0, sizeof states);
  for (int32_t i = 0; i < kEntries; ++i) snapshotStamps[i] = stateStamps[i] = kEmpty;
}

cReplay::~cReplay() {}

void cReplay::AttachCar(cRaceCar* c) { car = c; }

void cReplay::ResetForRecording() {
  snapshotCount = stateCount = 0;
  for (int32_t i = 0; i < kEntries; ++i) snapshotStamps[i] = stateStamps[i] = kEmpty;
  lastFetchTick = GetTickCount();
}

void cReplay::RestartForPlayback() {
  snapshotCount = stateCount = 0;
  clockTick = clockBase = GetTickCount();
  playbackSpeed = 1.0f;
  playbackPaused = false;
  lastFetchTick = clockBase;
}

// An entry is kept once it lies at least 100 ms after the one before. The
// entry behind the last kept one is rewritten every frame, stamp and data
// together, so the recording ends on the car's latest sample rather than on
// a stamp whose data was never written.
void cReplay::Record() {
  if (!car) return;
  const DWORD now = GetTickCount();
  if (snapshotCount < kEntries) {
    if (snapshotCount == 0) snapshotStartTick = now;
    snapshotStamps[snapshotCount] = now - snapshotStartTick;
    car->CopyControlsOut(&snapshots[snapshotCount]);
    if (snapshotCount == 0 || snapshotStamps[snapshotCount] - snapshotStamps[snapshotCount - 1] > 99)
      ++snapshotCount;
  }
  if (stateCount < kEntries) {
    if (stateCount == 0) stateStartTick = now;
    stateStamps[stateCount] = now - stateStartTick;
    cCar* body = car->GetCar();
    ReplayState& s = states[stateCount];
    s.Position = body->GetLinPos();
    s.Velocity = body->GetLinVel();
    s.Rotation = body->GetRotQuat();
    s.Spin = body->GetRotVel();
    if (stateCount == 0 || stateStamps[stateCount] - stateStamps[stateCount - 1] >= 100) ++stateCount;
  }
}

bool cReplay::Locate(const DWORD* stamps, int32_t* count, DWORD startTick, DWORD now, int32_t* at,
                     float* weight) {
  if (*count == kEntries) return false;
  const DWORD elapsed = now - startTick;
  int32_t i = 0;
  while (i < kEntries && stamps[i] <= elapsed) ++i;
  if (i == kEntries) return false;
  *count = i;
  // Entry 0 lies after the playback time only in an empty track.
  if (i == 0) return false;
  const double before = fabs((double)stamps[i - 1] - elapsed);
  const double after = fabs((double)stamps[i] - elapsed);
  double x = before + after > 0 ? before / (before + after) : 0;
  *weight = (float)(x < 0 ? 0 : x > 1 ? 1 : x);
  *at = i;
  return true;
}

static float Blend(float a, float b, float x) { return (1 - x) * a + x * b; }

static D3DXVECTOR3 Blend(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float x) {
  return D3DXVECTOR3(Blend(a.x, b.x, x), Blend(a.y, b.y, x), Blend(a.z, b.z, x));
}

ReplayState BlendStates(const ReplayState& a, const ReplayState& b, float x) {
  ReplayState s;
  s.Position = Blend(a.Position, b.Position, x);
  s.Velocity = Blend(a.Velocity, b.Velocity, x);
  s.Spin = Blend(a.Spin, b.Spin, x);
  D3DXQuaternionSlerp(&s.Rotation, &a.Rotation, &b.Rotation, x);
  return s;
}

ReplaySnapshot cReplay::GetSnapshot() {
  const DWORD now = PlaybackNow();
  // Playback time 0 is the first fetch of the controls.
  if (snapshotCount == 0) snapshotStartTick = stateStartTick = now;
  int32_t i;
  float x;
  if (!Locate(snapshotStamps, &snapshotCount, snapshotStartTick, now, &i, &x)) return snapshots[0];
  const ReplaySnapshot& a = snapshots[i - 1];
  const ReplaySnapshot& b = snapshots[i];
  ReplaySnapshot s = x > 0.5f ? b : a;
  s.Throttle = Blend(a.Throttle, b.Throttle, x);
  s.Brake = Blend(a.Brake, b.Brake, x);
  s.Steering = Blend(a.Steering, b.Steering, x);
  return s;
}

ReplayState cReplay::GetState() {
  const DWORD now = PlaybackNow();
  lastFetchTick = now;
  if (stateCount == 0) snapshotStartTick = stateStartTick = now;
  int32_t i;
  float x;
  if (!Locate(stateStamps, &stateCount, stateStartTick, now, &i, &x)) return states[0];
  return BlendStates(states[i - 1], states[i], x);
}

DWORD cReplay::TimeSinceLastFetch() { return PlaybackNow() - lastFetchTick; }

bool cReplay::AtEnd() {
  return snapshotCount == kEntries || stateCount == kEntries || snapshotStamps[snapshotCount] == kEmpty ||
         stateStamps[stateCount] == kEmpty;
}

void cReplay::PauseBegins() { pauseStartTick = GetTickCount(); }

void cReplay::PauseEnds() {
  const DWORD paused = GetTickCount() - pauseStartTick;
  snapshotStartTick += paused;
  stateStartTick += paused;
}

DWORD cReplay::RecordingClock() const { return GetTickCount() - snapshotStartTick; }

namespace {

// The committed entries of a track plus the one being written, when that one
// lies after them (so the copy ends on the car's latest sample).
int32_t Filled(const DWORD* stamps, int32_t count) {
  if (count < cReplay::kEntries && stamps[count] != cReplay::kEmpty && (count == 0 || stamps[count] > stamps[count - 1]))
    return count + 1;
  return count;
}

// The entries [first, last] of a track that cover [from, to].
void Cover(const DWORD* stamps, int32_t filled, DWORD from, DWORD to, int32_t* first, int32_t* last) {
  int32_t a = 0;
  while (a + 1 < filled && stamps[a + 1] <= from) ++a;
  int32_t b = a;
  while (b + 1 < filled && stamps[b] < to) ++b;
  *first = a;
  *last = b;
}

}  // namespace

void cReplay::CopyRecording(DWORD from, DWORD to, vrx::Recording* out) const {
  out->controlStamps.clear();
  out->controls.clear();
  out->stateStamps.clear();
  out->states.clear();
  int32_t a, b;
  const int32_t controls = Filled(snapshotStamps, snapshotCount);
  if (controls > 0) {
    Cover(snapshotStamps, controls, from, to, &a, &b);
    out->controlStamps.insert(out->controlStamps.end(), snapshotStamps + a, snapshotStamps + b + 1);
    out->controls.insert(out->controls.end(), snapshots + a, snapshots + b + 1);
  }
  const int32_t bodies = Filled(stateStamps, stateCount);
  if (bodies > 0) {
    Cover(stateStamps, bodies, from, to, &a, &b);
    out->stateStamps.insert(out->stateStamps.end(), stateStamps + a, stateStamps + b + 1);
    out->states.insert(out->states.end(), states + a, states + b + 1);
  }
}

bool cReplay::LoadRecording(const vrx::Recording& in) {
  ResetForRecording();
  const size_t controls = in.controls.size(), bodies = in.states.size();
  if (controls == 0 || bodies == 0 || controls > (size_t)kEntries || bodies > (size_t)kEntries ||
      in.controlStamps.size() != controls || in.stateStamps.size() != bodies)
    return false;
  for (size_t i = 0; i < controls; ++i) {
    snapshotStamps[i] = in.controlStamps[i];
    snapshots[i] = in.controls[i];
  }
  for (size_t i = 0; i < bodies; ++i) {
    stateStamps[i] = in.stateStamps[i];
    states[i] = in.states[i];
  }
  return true;
}

DWORD cReplay::PlaybackNow() const {
  if (playbackPaused) return clockBase;
  const DWORD passed = GetTickCount() - clockTick;
  // At speed 1 this is the tick counter itself, to the millisecond.
  if (playbackSpeed == 1.0f) return clockBase + passed;
  return clockBase + (DWORD)((double)passed * playbackSpeed);
}

void cReplay::RebaseClock() {
  clockBase = PlaybackNow();
  clockTick = GetTickCount();
}

void cReplay::SetPlaybackPaused(bool paused) {
  RebaseClock();
  playbackPaused = paused;
}

void cReplay::SetPlaybackSpeed(float speed) {
  if (!(speed > 0)) return;
  RebaseClock();
  playbackSpeed = speed;
}

// Playback ends with the shorter track (a saved file may hold tracks of
// different lengths).
DWORD cReplay::GetLength() const {
  int32_t c = 0, n = 0;
  while (c < kEntries && snapshotStamps[c] != kEmpty) ++c;
  while (n < kEntries && stateStamps[n] != kEmpty) ++n;
  if (c == 0 || n == 0) return 0;
  return snapshotStamps[c - 1] < stateStamps[n - 1] ? snapshotStamps[c - 1] : stateStamps[n - 1];
}

DWORD cReplay::GetPlaybackTime() {
  // Before the first fetch playback stands at its start.
  if (snapshotCount == 0 && stateCount == 0) return 0;
  const DWORD elapsed = PlaybackNow() - stateStartTick;
  const DWORD length = GetLength();
  return elapsed < length ? elapsed : length;
}

void cReplay::SeekPlayback(DWORD ms) {
  const DWORD length = GetLength();
  if (length == 0) return;
  if (ms >= length) ms = length - 1;
  const DWORD now = PlaybackNow();
  snapshotStartTick = stateStartTick = now - ms;
  // The positions follow at once, so the end check sees the new place.
  int32_t at;
  float weight;
  snapshotCount = stateCount = 1;  // neither a first fetch nor the end any more
  Locate(snapshotStamps, &snapshotCount, snapshotStartTick, now, &at, &weight);
  Locate(stateStamps, &stateCount, stateStartTick, now, &at, &weight);
}

bool cReplay::NextSampleTime(DWORD* ms) {
  const DWORD at = GetPlaybackTime(), length = GetLength();
  for (int32_t i = 0; i < kEntries && stateStamps[i] != kEmpty; ++i)
    if (stateStamps[i] > at && stateStamps[i] < length) {
      *ms = stateStamps[i];
      return true;
    }
  return false;
}
