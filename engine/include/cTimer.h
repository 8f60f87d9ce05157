// The lap clock: milliseconds of the system tick counter, with hold, pause
// and resume, formatted as "mm:ss:hh" for the HUD. All tick arithmetic is
// unsigned 32-bit and wraps with the counter.
#pragma once

#include "platform/types.h"

class cTimer {
 public:
  enum : DWORD { STOPPED = 0, RUNNING = 1, HELD = 2, PAUSED = 3 };

  cTimer();

  // The int results carry no meaning.
  int Start();   // from any status: starts measuring from now
  int Stop();    // remembers now; the reading stays at the stop
  int Hold();    // running only: freezes the reading, time keeps counting
  int Pause();   // running only: freezes the reading, time is taken out on resume
  int Resume();  // held: jumps to the running time; paused: goes on where it paused
  int Reset();   // measuring starts from now; the status is kept

  DWORD GetStatus();
  DWORD GetTickTime();  // elapsed milliseconds by status; 0 for an unknown status
  DWORD GetMinutes();
  DWORD GetSeconds();
  DWORD Get100Sec();
  // "%02u:%02u:%02u" (minutes, seconds, hundredths) in the timer's own buffer.
  char* GetTimeString();

 private:
  DWORD startTick;
  DWORD holdTick;
  DWORD stopTick;
  DWORD pauseTick;
  DWORD status;
  char timeText[32];
};
