// The controls of a running replay: Space pauses and resumes, Left and Right
// move 5 s back and forward, Down and Up step the speed through 0.25x to 4x,
// "." moves one sample on while paused. A thin bar at the bottom shows where
// the replay stands for 3 s after each use. The replay's lap clock runs on
// the recording's time, so lap times read the same at any speed.
#pragma once

#include "platform/types.h"

class cRaceCar;

class cReplayControls {
 public:
  static constexpr int kSpeedCount = 5;
  static const float kSpeeds[kSpeedCount];
  static constexpr int kNormalSpeed = 2;  // 1x
  static constexpr DWORD kSeekMs = 5000;
  static constexpr DWORD kBarMs = 3000;

  // A replay of `car` starts (the recorder restarted for playback): normal
  // speed, running, no bar, no lap begun.
  void Begin(cRaceCar* car);
  // The replay is over; keys do nothing until the next Begin.
  void End();
  bool Active() const { return car != nullptr; }

  // A key went down in the replay's window (a virtual-key code; repeat: the
  // key was already down). True when it is one of the controls.
  bool Key(WPARAM key, bool repeat);

  bool Paused() const;
  float Speed() const { return kSpeeds[speedIndex]; }

  // The replay's lap clock. Gate: called once per stepped replay frame with
  // whether the car touches the start gate; a lap counts from leaving it.
  void Gate(bool touching);
  // The running lap in recording ms; false before the first gate.
  bool LapTime(DWORD* ms);

  // The position bar, when a control was used in the last 3 s.
  bool BarShown() const;
  void DrawBar();

 private:
  static constexpr int kLapStarts = 1024;

  // The car at the recorded controls and body state of the playback time.
  void PlaceCar();
  void Seek(DWORD ms);
  void Used();

  cRaceCar* car = nullptr;
  int speedIndex = kNormalSpeed;
  bool used = false;
  DWORD lastUse = 0;
  // Where each lap began (recording ms, rising), so a move back finds the
  // lap that was running then.
  DWORD lapStarts[kLapStarts] = {};
  int lapStartCount = 0;
  bool inGate = false;
  char barText[64] = "";
};

extern cReplayControls gReplayControls;
