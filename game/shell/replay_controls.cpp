#include "shell/replay_controls.h"

#include <cstdio>

#include "cCar.h"
#include "car/cRaceCar.h"
#include "shell/cReplay.h"
#include "shell/program.h"

cReplayControls gReplayControls;

const float cReplayControls::kSpeeds[kSpeedCount] = {0.25f, 0.5f, 1.0f, 2.0f, 4.0f};

namespace {

const DWORD kTrackColour = 0x99303030u;
const DWORD kDoneColour = 0xEEFFC020u;
// The bar's sprite is 4 texels square, laid out on a 1000 x 750 screen.
const float kBarLeft = 0.05f, kBarWidth = 0.9f, kBarTop = 0.975f, kBarHeight = 1.5f;

void Sprite(cSprite* sprite, float sx, float sy, float x, float y, DWORD colour) {
  if (!sprite) return;
  const D3DXVECTOR2 scale(sx, sy), centre(0, 0), position(x, y);
  sprite->DrawRelative(&scale, &centre, 0, &position, colour);
}

}  // namespace

void cReplayControls::Begin(cRaceCar* raceCar) {
  car = raceCar;
  speedIndex = kNormalSpeed;
  used = false;
  lapStartCount = 0;
  inGate = false;
}

void cReplayControls::End() {
  car = nullptr;
  speedIndex = kNormalSpeed;
  used = false;
}

bool cReplayControls::Paused() const { return car && gReplay->IsPlaybackPaused(); }

void cReplayControls::Used() {
  used = true;
  lastUse = GetTickCount();
}

bool cReplayControls::Key(WPARAM key, bool repeat) {
  if (!car) return false;
  switch (key) {
    case VK_SPACE:
      if (repeat) return true;  // held down it would flicker between the two
      if (gReplay->IsPlaybackPaused()) {
        gReplay->SetPlaybackPaused(false);
        gTimer.Resume();
        car->StartEngineSound();
        if (gMusicOn) gRaceMusic.Resume();
      } else {
        gReplay->SetPlaybackPaused(true);
        gTimer.Pause();
        car->Silence();
        gRaceMusic.Pause();
      }
      break;
    case VK_LEFT: {
      const DWORD at = gReplay->GetPlaybackTime();
      Seek(at > kSeekMs ? at - kSeekMs : 0);
      break;
    }
    case VK_RIGHT:
      Seek(gReplay->GetPlaybackTime() + kSeekMs);
      break;
    case VK_UP:
    case VK_DOWN:
      if (repeat) return true;
      if (key == VK_UP && speedIndex < kSpeedCount - 1) ++speedIndex;
      if (key == VK_DOWN && speedIndex > 0) --speedIndex;
      gReplay->SetPlaybackSpeed(Speed());
      car->SetSoundSpeed(Speed());
      break;
    case VK_OEM_PERIOD: {
      DWORD next;
      if (gReplay->IsPlaybackPaused() && gReplay->NextSampleTime(&next)) Seek(next);
      break;
    }
    default:
      return false;
  }
  Used();
  return true;
}

void cReplayControls::Seek(DWORD ms) {
  const DWORD from = gReplay->GetPlaybackTime();
  gReplay->SeekPlayback(ms);
  const DWORD to = gReplay->GetPlaybackTime();
  // Back: the laps begun after that moment have not begun yet.
  while (lapStartCount > 0 && lapStarts[lapStartCount - 1] > to) --lapStartCount;
  // Forward: the gates passed over were never touched, so the lap running
  // now is no whole lap; the next start gate only starts the clock.
  if (to > from) car->GetCar()->HalfLap = 0;
  inGate = false;
  PlaceCar();
}

void cReplayControls::PlaceCar() {
  cCar* body = car->GetCar();
  if (!body) return;
  const ReplaySnapshot controls = gReplay->GetSnapshot();
  car->CopyControlsIn(&controls);
  ReplayState s = gReplay->GetState();
  body->SetLinPos(&s.Position);
  body->SetLinVel(&s.Velocity);
  body->SetRotQuat(&s.Rotation);
  body->SetRotVel(&s.Spin);
  car->Relocated();
}

void cReplayControls::Gate(bool touching) {
  if (!car) return;
  if (touching) {
    const DWORD now = gReplay->GetPlaybackTime();
    // In the gate the lap restarts every frame: it counts from leaving it.
    if (inGate && lapStartCount > 0)
      lapStarts[lapStartCount - 1] = now;
    else if (lapStartCount < kLapStarts)
      lapStarts[lapStartCount++] = now;
    else
      lapStarts[kLapStarts - 1] = now;
  }
  inGate = touching;
}

bool cReplayControls::LapTime(DWORD* ms) {
  if (!car || lapStartCount == 0) return false;
  const DWORD now = gReplay->GetPlaybackTime(), start = lapStarts[lapStartCount - 1];
  *ms = now > start ? now - start : 0;
  return true;
}

bool cReplayControls::BarShown() const { return car && used && GetTickCount() - lastUse < kBarMs; }

void cReplayControls::DrawBar() {
  if (!BarShown()) return;
  const DWORD length = gReplay->GetLength(), at = gReplay->GetPlaybackTime();
  const float done = length ? (float)at / (float)length : 0.0f;
  const float full = kBarWidth * 1000.0f / 4.0f;
  Sprite(gBar, full, kBarHeight, kBarLeft, kBarTop, kTrackColour);
  if (done > 0) Sprite(gBar, full * done, kBarHeight, kBarLeft, kBarTop, kDoneColour);
  if (!gFont) return;
  snprintf(barText, sizeof barText, "%02u:%02u / %02u:%02u", at / 60000, at / 1000 % 60, length / 60000,
           length / 1000 % 60);
  gFont->PutTextRelative(kBarLeft, kBarTop - 0.04f, 0.7f, 0.7f, barText);
  if (gReplay->IsPlaybackPaused())
    snprintf(barText, sizeof barText, "||");
  else
    snprintf(barText, sizeof barText, "%gx", (double)Speed());
  gFont->PutTextRelative(kBarLeft + kBarWidth - 0.06f, kBarTop - 0.04f, 0.7f, 0.7f, barText);
}
