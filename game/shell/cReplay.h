// The recorder of the last race: two time-stamped tracks sampled every
// 100 ms, the car's controls and its body state, kept in memory for the
// program's life. Playback interpolates both at the current time; the race
// loop copies the controls into the car every frame and forces the body
// state now and then, letting the car's own physics run in between.
#pragma once

#include <cstdint>

#include "platform/d3dx9math.h"
#include "platform/types.h"

class cRaceCar;
namespace vrx {
struct Recording;
}

// A byte copy of the car's 24-byte control block.
struct ReplaySnapshot {
  float Throttle;
  float Brake;
  float Steering;
  int32_t Handbrake;
  int32_t Spare;
  int32_t Gear;
};
static_assert(sizeof(ReplaySnapshot) == 24, "a control snapshot is the car's control block");

struct ReplayState {
  D3DXVECTOR3 Position;
  D3DXVECTOR3 Velocity;
  D3DXQUATERNION Rotation;
  D3DXVECTOR3 Spin;
};
static_assert(sizeof(ReplayState) == 52, "a body state is 13 floats");

// The state a fraction x (0 to 1) of the way from a to b: position,
// velocity and spin blended, the rotation slerped.
ReplayState BlendStates(const ReplayState& a, const ReplayState& b, float x);

class cReplay {
 public:
  static constexpr int32_t kEntries = 20000;  // 33 min 20 s at one entry per 100 ms
  static constexpr DWORD kEmpty = 0xFFFFFFFFu;

  // Written by the drive start at a race start, read at a replay start.
  int32_t carIndex;
  int32_t trackIndex;
  int32_t damage;
  int32_t automatic;

  cReplay();
  virtual ~cReplay();
  cReplay(const cReplay&) = delete;
  cReplay& operator=(const cReplay&) = delete;

  void AttachCar(cRaceCar* car);
  // A new recording: both tracks emptied.
  void ResetForRecording();
  // Plays the recording again from its start.
  void RestartForPlayback();
  // Samples the attached car; called once per race frame before its step.
  void Record();
  ReplaySnapshot GetSnapshot();
  ReplayState GetState();
  DWORD TimeSinceLastFetch();
  bool AtEnd();
  void PauseBegins();
  void PauseEnds();

  // The recording's clock now: ms since its first sample, pauses left out.
  DWORD RecordingClock() const;
  // Copies the recorded samples that cover [from, to] on the recording's
  // clock (from the last entry at or before `from` to the first at or after
  // `to`, as far as there are entries) into out's four sample vectors, with
  // their stamps unchanged. The entry still being written by the latest
  // record call counts when it lies after the last kept one. Allocates
  // nothing when the vectors have room for kEntries samples.
  void CopyRecording(DWORD from, DWORD to, vrx::Recording* out) const;
  // Replaces the recording with out's samples (a saved run), ready to play;
  // false, leaving an empty recording, when they are empty or too many.
  bool LoadRecording(const vrx::Recording& in);

  // Playback runs on its own clock, which follows the tick counter at speed
  // 1 until it is paused, slowed down, sped up or moved.
  void SetPlaybackPaused(bool paused);
  bool IsPlaybackPaused() const { return playbackPaused; }
  void SetPlaybackSpeed(float speed);
  float GetPlaybackSpeed() const { return playbackSpeed; }
  // Where playback stands in the recording, in ms from its first sample,
  // and where it ends: the last stamp of the shorter track (0 when empty).
  DWORD GetPlaybackTime();
  DWORD GetLength() const;
  // Moves playback to `ms` into the recording, kept within it (short of its
  // last sample, so that a move never ends the replay by itself); the next
  // fetches hand out the controls and body state of that moment.
  void SeekPlayback(DWORD ms);
  // The stamp of the first body state after the playback time; false when
  // only the last one is left (reaching it ends the replay).
  bool NextSampleTime(DWORD* ms);

 private:
  friend struct cReplayProbe;  // tests

  // Finds the playback position of a track at elapsed ms; false past its end.
  bool Locate(const DWORD* stamps, int32_t* count, DWORD startTick, DWORD now, int32_t* at, float* weight);
  // The playback clock's now: GetTickCount() itself at speed 1, unpaused.
  DWORD PlaybackNow() const;
  // Restarts the playback clock from the current tick where it stands.
  void RebaseClock();

  cRaceCar* car;
  ReplaySnapshot snapshots[kEntries];
  DWORD snapshotStamps[kEntries];
  DWORD stateStamps[kEntries];
  ReplayState states[kEntries];
  DWORD lastFetchTick;
  DWORD pauseStartTick;
  int32_t snapshotCount;  // entries recorded, or the playback position
  DWORD snapshotStartTick;
  int32_t stateCount;
  DWORD stateStartTick;
  // The playback clock: at tick clockTick it read clockBase.
  DWORD clockTick;
  DWORD clockBase;
  float playbackSpeed;
  bool playbackPaused;
};
