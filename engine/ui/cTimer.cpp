#include "cTimer.h"

#include <cstdio>

#include "platform/win32.h"

cTimer::cTimer() : startTick(0), holdTick(0), stopTick(0), pauseTick(0), status(STOPPED), timeText{} {}

int cTimer::Start() {
  startTick = GetTickCount();
  status = RUNNING;
  return 1;
}

int cTimer::Stop() {
  stopTick = GetTickCount();
  status = STOPPED;
  return 1;
}

int cTimer::Hold() {
  if (status != RUNNING) return 0;
  holdTick = GetTickCount();
  status = HELD;
  return 1;
}

int cTimer::Pause() {
  if (status != RUNNING) return 0;
  pauseTick = GetTickCount();
  status = PAUSED;
  return 1;
}

int cTimer::Resume() {
  if (status == HELD) {
    status = RUNNING;
  } else if (status == PAUSED) {
    startTick += GetTickCount() - pauseTick;
    status = RUNNING;
  } else {
    return 0;
  }
  return 1;
}

int cTimer::Reset() {
  startTick = GetTickCount();
  return 1;
}

DWORD cTimer::GetStatus() { return status; }

DWORD cTimer::GetTickTime() {
  switch (status) {
    case STOPPED: return stopTick - startTick;
    case RUNNING: return GetTickCount() - startTick;
    case HELD: return holdTick - startTick;
    case PAUSED: return pauseTick - startTick;
    default: return 0;
  }
}

DWORD cTimer::GetMinutes() { return GetTickTime() / 60000; }

DWORD cTimer::GetSeconds() { return (GetTickTime() / 1000) % 60; }

DWORD cTimer::Get100Sec() { return (GetTickTime() / 10) % 100; }

char* cTimer::GetTimeString() {
  // Each field reads the clock on its own, hundredths first.
  const DWORD hundredths = Get100Sec();
  const DWORD seconds = GetSeconds();
  const DWORD minutes = GetMinutes();
  std::snprintf(timeText, sizeof(timeText), "%02u:%02u:%02u", minutes, seconds, hundredths);
  return timeText;
}
