#include "shell/cGhost.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/user_files.h"
#include "platform/win32.h"

namespace {

// Segments searched around the last match: a little back (the car may
// reverse), more ahead (a fast car covers several samples per frame at a
// low frame rate).
const int kBehind = 8, kAhead = 40;
// Further than this from the window's best point, the car is not where the
// search thinks: the whole lap is searched once.
const float kLost2 = 25.0f * 25.0f;

// The track's directory from its list entry, "\" and the name; false when it does not fit.
bool TrackFile(const char* trackEntry, const char* name, char* out, size_t size) {
  char dir[260];
  if (snprintf(dir, sizeof dir, "%s", trackEntry ? trackEntry : "") >= (int)sizeof dir) return false;
  PathUnquoteSpacesA(dir);
  PathRemoveFileSpecA(dir);
  return snprintf(out, size, "%s\\%s", dir, name) < (int)size;
}

}  // namespace

cGhost::cGhost() {
  // Room for the longest recording, so taking a lap never allocates.
  for (vrx::Recording* r : {&lap, &scratch}) {
    r->controlStamps.reserve(cReplay::kEntries);
    r->controls.reserve(cReplay::kEntries);
    r->stateStamps.reserve(cReplay::kEntries);
    r->states.reserve(cReplay::kEntries);
  }
}

std::string cGhost::FileToRead(const char* trackEntry) {
  char name[300];
  if (!TrackFile(trackEntry, kFileName, name, sizeof name)) return std::string();
  return vrx::PlayerFileToRead(name, vrx::PlayerFile::kRecord);
}

std::string cGhost::FileToWrite(const char* trackEntry) {
  char name[300];
  if (!TrackFile(trackEntry, kFileName, name, sizeof name)) return std::string();
  return vrx::PlayerFileToWrite(name, vrx::PlayerFile::kRecord);
}

bool cGhost::Load(const char* trackEntry, const char (*carList)[64], int carCount) {
  hasLap = unsaved = false;
  const std::string path = FileToRead(trackEntry);
  if (path.empty()) return false;
  if (vrx::ReadRecordFile(path.c_str(), vrx::RecordKind::kGhost, &scratch) != vrx::RecordRead::kOk) return false;
  if (strcasecmp(scratch.track, trackEntry) != 0) {
    fprintf(stderr, "vrx: ignoring %s: a lap of another track (%s)\n", path.c_str(), scratch.track);
    return false;
  }
  bool known = false;
  for (int i = 0; i < carCount && !known; ++i) known = strcasecmp(carList[i], scratch.car) == 0;
  if (!known) {
    fprintf(stderr, "vrx: ignoring %s: its car %s is not in the car list\n", path.c_str(), scratch.car);
    return false;
  }
  if (!Take(scratch)) {
    fprintf(stderr, "vrx: ignoring %s: too few samples for a lap\n", path.c_str());
    return false;
  }
  return true;
}

bool cGhost::Take(const vrx::Recording& r) {
  hasLap = false;
  // A lap needs a path: two body states at least.
  if (r.states.size() < 2 || r.controls.empty()) return false;
  if (&r != &lap) {
    lap.kind = vrx::RecordKind::kGhost;
    memcpy(lap.car, r.car, sizeof lap.car);
    memcpy(lap.track, r.track, sizeof lap.track);
    lap.car[sizeof lap.car - 1] = lap.track[sizeof lap.track - 1] = 0;
    lap.time = r.time;
    lap.lapStart = r.lapStart;
    lap.damage = r.damage;
    lap.automatic = r.automatic;
    lap.controlStamps.assign(r.controlStamps.begin(), r.controlStamps.end());
    lap.controls.assign(r.controls.begin(), r.controls.end());
    lap.stateStamps.assign(r.stateStamps.begin(), r.stateStamps.end());
    lap.states.assign(r.states.begin(), r.states.end());
  }
  hasLap = true;
  Prepare();
  return true;
}

void cGhost::TakeFromRecorder(const cReplay& recorder, DWORD lapTime, const char* carEntry, const char* trackEntry,
                              int damage, int automatic) {
  const DWORD end = recorder.RecordingClock();
  const DWORD start = lapTime < end ? end - lapTime : 0;
  recorder.CopyRecording(start, end, &scratch);
  scratch.kind = vrx::RecordKind::kGhost;
  snprintf(scratch.car, sizeof scratch.car, "%s", carEntry ? carEntry : "");
  snprintf(scratch.track, sizeof scratch.track, "%s", trackEntry ? trackEntry : "");
  scratch.time = lapTime;
  // The lap starts inside the copied samples (the first lies at or before it).
  scratch.lapStart =
      scratch.stateStamps.empty() || start >= scratch.stateStamps.front() ? start : scratch.stateStamps.front();
  scratch.damage = damage ? 1 : 0;
  scratch.automatic = automatic ? 1 : 0;
  // A recording too short for a lap keeps the ghost there was.
  if (scratch.states.size() < 2 || scratch.controls.empty()) return;
  Take(scratch);
  unsaved = true;
}

bool cGhost::SaveIfNew(const char* trackEntry) {
  if (!hasLap || !unsaved) return true;
  const std::string path = FileToWrite(trackEntry);
  if (path.empty()) {
    fprintf(stderr, "vrx: the track name %s is too long for its ghost file\n", trackEntry);
    return false;
  }
  if (!vrx::WriteRecordFile(path.c_str(), lap)) return false;
  unsaved = false;
  return true;
}

void cGhost::Prepare() {
  const int n = (int)lap.states.size();
  firstSegment = 0;
  while (firstSegment + 2 < n && lap.stateStamps[firstSegment + 1] <= lap.lapStart) ++firstSegment;
  stateAt = firstSegment + 1;
  match = firstSegment;
  lastLapTime = 0;
}

ReplayState cGhost::StateAt(DWORD lapTime) {
  if (!hasLap) return ReplayState{};
  const int n = (int)lap.states.size();
  const DWORD* s = lap.stateStamps.data();
  const DWORD t = lapTime + lap.lapStart;
  if (t <= s[0]) return lap.states[0];
  if (t >= s[n - 1]) return lap.states[n - 1];
  // From the last answer: forward in a running lap, back to the start after
  // a new one.
  int i = stateAt < 1 || stateAt >= n || s[stateAt - 1] > t ? 1 : stateAt;
  while (s[i] <= t) ++i;
  stateAt = i;
  const float x = (float)(t - s[i - 1]) / (float)(s[i] - s[i - 1]);
  return BlendStates(lap.states[i - 1], lap.states[i], x);
}

void cGhost::Nearest(int k, const D3DXVECTOR3& p, float* lapMs, float* distance2) const {
  const D3DXVECTOR3& a = lap.states[k].Position;
  const D3DXVECTOR3& b = lap.states[k + 1].Position;
  const D3DXVECTOR3 ab = b - a, ap = p - a;
  const float length2 = D3DXVec3Dot(&ab, &ab);
  float u = length2 > 1e-8f ? D3DXVec3Dot(&ap, &ab) / length2 : 0.0f;
  u = u < 0 ? 0 : u > 1 ? 1 : u;
  const D3DXVECTOR3 d = ap - ab * u;
  *distance2 = D3DXVec3Dot(&d, &d);
  const float t0 = (float)lap.stateStamps[k], t1 = (float)lap.stateStamps[k + 1];
  *lapMs = t0 + u * (t1 - t0) - (float)lap.lapStart;
}

float cGhost::Gap(const D3DXVECTOR3& position, DWORD lapTime) {
  if (!hasLap) return 0.0f;
  const int segments = (int)lap.states.size() - 1;
  if (lapTime < lastLapTime) match = firstSegment;
  lastLapTime = lapTime;

  int from = match - kBehind, to = match + kAhead;
  if (from < firstSegment) from = firstSegment;
  if (to > segments - 1) to = segments - 1;
  float bestMs = 0, best2 = -1;
  int bestK = match;
  // Keeps segment k when its point is the nearest so far.
  auto consider = [&](int k) {
    float ms, d2;
    Nearest(k, position, &ms, &d2);
    if (best2 < 0 || d2 < best2) {
      best2 = d2;
      bestMs = ms;
      bestK = k;
    }
  };
  for (int k = from; k <= to; ++k) consider(k);
  // A best point at the window's edge may lie beyond it (a fast car, a
  // long frame): follow the path on while it comes nearer.
  while (bestK == to && to < segments - 1) {
    const int end = to + kAhead < segments - 1 ? to + kAhead : segments - 1;
    for (int k = to + 1; k <= end; ++k) consider(k);
    if (bestK <= to) break;
    to = end;
  }
  // Lost (a reset, a shortcut): the nearest point of the whole lap.
  if (best2 > kLost2)
    for (int k = firstSegment; k < segments; ++k) consider(k);
  match = bestK;
  if (bestMs < 0) bestMs = 0;
  return ((float)lapTime - bestMs) * 0.001f;
}
