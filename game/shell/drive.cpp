#include "shell/drive.h"

#include <strings.h>

#include <cstdio>

#include "car/cCarPreview.h"
#include "car/cGhostCar.h"
#include "car/cRaceCar.h"
#include "cCar.h"
#include "car/cTrackInfo.h"
#include "cGround.h"
#include "demo/demo.h"
#include "mathkit/mathkit.h"
#include "shell/cGhost.h"
#include "shell/cReplay.h"
#include "shell/frame_window.h"
#include "shell/main_loop.h"
#include "shell/program.h"
#include "shell/race_frame.h"
#include "shell/replay_controls.h"
#include "shell/saved_replay.h"
#include "shell/startup.h"
#include "shell/window_mode.h"

cGround* gGround = nullptr;
cRaceCar* gRaceCar = nullptr;
DWORD gLastLapTime = 0;
cGhost* gGhost = nullptr;
cGhostCar* gGhostCar = nullptr;
int gGhostShown = 1;

DWORD RunningLapTime() { return gTimer.GetStatus() == 0 ? 0 : gTimer.GetTickTime(); }

namespace {

const DWORD kWreckedRaceEnd = 7000;  // ms the race goes on after the car is wrecked

void RebuildPreviews() {
  gCarPreview = new cCarPreview(gCarList[gPlayer.CarIndex], &gScreen);
  gTrackInfo = new cTrackInfo(gTrackList[gPlayer.TrackIndex], &gScreen);
}

// False when the screen could not be reset yet; the targets stay released
// until a later pass resets it.
bool ResetDeviceForRace() {
  gRaceCar->ReleaseReflectionTargets();
  ReleaseShadowTarget();
  if (!gScreen.Restore()) return false;
  CreateShadowTarget(128);
  RestoreViewState();
  gRaceCar->RestoreReflectionTargets();
  return true;
}

// What the device allows this pass: true when a frame may be drawn. While
// nothing can be drawn the loop leaves the processor to others.
bool DeviceReady() {
  const HRESULT state = gScreen.GetDevicePointer()->TestCooperativeLevel();
  if (state == D3DERR_DEVICENOTRESET) {
    if (!ResetDeviceForRace()) IdleBriefly();
    return false;
  }
  if (state == D3DERR_DEVICELOST) {
    gScreen.GetSpritePointer()->OnLostDevice();
    IdleBriefly();
    return false;
  }
  if (FAILED(state) || !gAppActive) {
    IdleBriefly();
    return false;
  }
  return true;
}

void PlayBack(cRaceCar* car) {
  const ReplaySnapshot controls = gReplay->GetSnapshot();
  car->CopyControlsIn(&controls);
  // The recorded body state corrects the car's own physics now and then.
  if (gReplay->TimeSinceLastFetch() >= 10) {
    ReplayState s = gReplay->GetState();
    cCar* body = car->GetCar();
    body->SetLinPos(&s.Position);
    body->SetLinVel(&s.Velocity);
    body->SetRotQuat(&s.Rotation);
    body->SetRotVel(&s.Spin);
  }
}

// The lap just booked is the track's new best: it becomes the ghost, raced
// from the next lap on and written when the drive ends.
void TakeGhostLap() {
  const char* car = gCarList[gReplay->carIndex];
  gGhost->TakeFromRecorder(*gReplay, gLastLapTime, car, gTrackList[gReplay->trackIndex], gReplay->damage,
                           gReplay->automatic);
  // A ghost of another car is replaced: its car with it (a rare load).
  if (gGhost->HasLap() && (!gGhostCar || strcasecmp(gGhostCar->GetCarEntry(), car) != 0)) {
    delete gGhostCar;
    gGhostCar = new cGhostCar(car, &gScreen);
  }
}

// The track's ghost for a race, and the car to draw it with: the ghost's
// car, or the player's when a lap of this race may become the ghost.
void LoadGhost(int trackIndex, int carIndex) {
  gGhost = new cGhost();
  gGhost->Load(gTrackList[trackIndex], gCarList, gCarCount);
  if (gGhost->HasLap())
    gGhostCar = new cGhostCar(gGhost->CarEntry(), &gScreen);
  else if (gDemo.LapsCount())
    gGhostCar = new cGhostCar(gCarList[carIndex], &gScreen);
}

void DropGhost(int trackIndex) {
  if (gGhost) gGhost->SaveIfNew(gTrackList[trackIndex]);
  delete gGhostCar;
  delete gGhost;
  gGhostCar = nullptr;
  gGhost = nullptr;
}

}  // namespace

void ReplayStep(cRaceCar* car, float dt) {
  if (gReplay->IsPlaybackPaused()) return;
  PlayBack(car);
  car->Step(dt * gReplay->GetPlaybackSpeed());
  BookLap(car);
}

const char* LapClockText() {
  static char text[32];
  DWORD ms;
  if (!gReplayMode || !gReplayControls.LapTime(&ms)) return gTimer.GetTimeString();
  snprintf(text, sizeof text, "%02u:%02u:%02u", ms / 60000, ms / 1000 % 60, ms / 10 % 100);
  return text;
}

void BookLap(cRaceCar* car) {
  cCar* body = car->GetCar();
  const bool touching = body->IsTimerCollision() != 0;
  // A replay times its laps on the recording's clock, which follows its
  // pause, speed and moves; before its first gate there is no lap begun.
  DWORD replayLap = 0;
  const bool replayTimed = gReplayMode && gReplayControls.LapTime(&replayLap);
  if (gReplayMode) gReplayControls.Gate(touching);
  if (!touching) return;
  if (body->HalfLap) {
    body->HalfLap = 0;
    gLastLapTime = replayTimed ? replayLap : gTimer.GetTickTime();
    // A machine's lap is no player's record (unless a test asks for it).
    if (!gReplayMode && gDemo.LapsCount()) {
      const DWORD best = gGround->GetBestTime();
      gGround->SetBestTime(gLastLapTime);
      if (gGround->GetBestTime() != best && gGhost) TakeGhostLap();
    }
    gDemo.LapBooked(gLastLapTime);
    if (gReplayMode) SavedReplayLapBooked(gLastLapTime);
  }
  // In the gate the clock restarts every frame: a lap counts from leaving it.
  gTimer.Reset();
  gTimer.Start();
}

namespace {

// Closing the window while paused ends the drive. Of the rest only Alt+Enter
// and F12 are taken: other keys wait for the race to go on.
bool WindowClosing() {
  MSG msg;
  if (PeekMessageA(&msg, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE)) DispatchMessageA(&msg);
  if (PeekMessageA(&msg, nullptr, WM_DESTROY, WM_DESTROY, PM_REMOVE)) DispatchMessageA(&msg);
  while (PeekMessageA(&msg, nullptr, WM_SYSKEYDOWN, WM_SYSKEYDOWN, PM_REMOVE)) DispatchMessageA(&msg);
  if (PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) && msg.wParam == VK_F12) {
    PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
    DispatchMessageA(&msg);
  }
  return gWindowClosed != 0;
}

void PauseScreen(D3DXMATRIX adjust) {
  gReplay->PauseBegins();
  bool done = false;
  while (!done && !WindowClosing()) {
    DrawRaceFrame(adjust);
    gContinueButton->Draw();
    gBackButton->Draw();
    gCursor->Draw(0.25f);
    if (gContinueButton->IsLClicked()) {
      gRaceCar->StartEngineSound();
      gReplay->PauseEnds();
      if (gMusicOn) gRaceMusic.Resume();
      gTimer.Resume();
      RunRace();
      done = true;
    }
    if (gBackButton->IsLClicked()) done = true;
    PresentFrame();
    gScreen.ClearScreen();
  }
}

}  // namespace

void RunRace() {
  cRaceCar* car = gRaceCar;
  D3DXMATRIX adjust;
  GetAdjustMtx(&adjust, 128, 24);
  cFrameWindow clock;
  clock.Start(GetTickCount() * 0.001f);
  int finished = 0;
  DWORD finishTick = 0;
  char fpsText[32] = "";
  car->StartEngineSound();
  gMsg = MSG{};

  while (gMsg.message != WM_QUIT && !gWindowClosed) {
    if (PeekMessageA(&gMsg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&gMsg);
      DispatchMessageA(&gMsg);
      continue;
    }
    if (gMusicOn && gRaceMusic.GetRelativePos() == 1.0f) gRaceMusic.Play();
    if (!DeviceReady()) continue;

    const float dt = clock.Step(GetTickCount() * 0.001f);
    // Until the first window closes there is no rate to show.
    if (clock.Window() > 0) snprintf(fpsText, sizeof fpsText, "%i fps", (int)(10.0f / clock.Window()));

    if (gReplayMode) {
      if (gReplay->AtEnd()) {
        car->StopSounds();
        gRaceMusic.Stop();
        return;
      }
      ReplayStep(car, dt);
    } else {
      gReplay->Record();
      if (car->GetDamage() == 100.0f) {
        if (!finished) {
          finished = 1;
          finishTick = GetTickCount();
        }
        if (GetTickCount() - finishTick >= kWreckedRaceEnd) break;
      }
      gDemo.Drive(car->GetCar(), dt);
      car->Step(dt);
      BookLap(car);
    }

    DrawRaceFrame(adjust);
    if (fpsText[0]) gFont->PutTextRelative(0.005f, 0.05f, 0.8f, 0.8f, fpsText);
    PresentFrame();
    gScreen.ClearScreen();
    clock.FrameDone();
    gDemo.FrameShown();
    if (gDemo.Finished()) break;
  }

  gTimer.Pause();
  car->StopSounds();
  gRaceMusic.Pause();
  if (gReplayMode || finished || gWindowClosed || gDemo.Active()) return;
  PauseScreen(adjust);
}

int DrivingControlMode() {
  if (!(gScreenCfg.Reserved & kCfgController)) return 0;
  if (!gInput.JoyPresent()) gInput.CreateJoy(gWindow);
  return gInput.JoyPresent() ? 1 : 0;
}

void RunDrive(int replay) {
  gMenuMusic.Stop();
  delete gCarPreview;
  delete gTrackInfo;
  gCarPreview = nullptr;
  gTrackInfo = nullptr;

  gReplayMode = replay;
  gCameraMode = replay ? 1 : 0;
  const int trackIndex = replay ? gReplay->trackIndex : gPlayer.TrackIndex;
  const int carIndex = replay ? gReplay->carIndex : gPlayer.CarIndex;
  const int automatic = replay ? gReplay->automatic : gPlayer.Automatic;
  const int damage = replay ? gReplay->damage : gPlayer.Damage;

  gGround = new cGround(gTrackList[trackIndex], &gScreen, LoadingProgress);
  gGround->LoadShadowMaps();
  gGround->SkidTexture = gSkidTexture;

  _CARSTATE start = {};
  start.LinPos = D3DXVECTOR3(gGround->GetStartX(), gGround->GetStartY() + 1, gGround->GetStartZ());
  RotationY(&start.RotPos, gGround->GetStartRadY());
  gRaceCar = new cRaceCar(gCarList[carIndex], start, &gScreen, gGround, &gInput, gListener, gPlayer.KeyMap,
                          automatic, gPlayer.Reflections);

  if (gRaceCar->IsRaceable()) {
    if (!replay) LoadGhost(trackIndex, carIndex);
    gReplay->AttachCar(gRaceCar);
    if (replay) {
      gReplay->RestartForPlayback();
      gReplayControls.Begin(gRaceCar);
    } else {
      gReplay->ResetForRecording();
      RecordingReplaced();
      gReplay->carIndex = carIndex;
      gReplay->trackIndex = trackIndex;
      gReplay->damage = damage;
      gReplay->automatic = automatic;
    }
    gRaceCar->controlMode = replay || gDemo.Active() ? 3 : DrivingControlMode();
    gDemo.DriveReady(gGround, gRaceCar->GetCar());
    gRaceCar->deformation = damage;
    gScreen.ClearScreen();
    if (gMusicOn) gRaceMusic.Play();
    gLastLapTime = 0;
    if (gGhost && gGhost->HasLap()) {
      const D3DXVECTOR3 apart = gGhost->StateAt(RunningLapTime()).Position - gRaceCar->GetCar()->GetLinPos();
      gDemo.GhostShown(gGhost->LapTime(), D3DXVec3Length(&apart));
    }
    RunRace();
  } else {
    fprintf(stderr, "vrx: the car %s cannot be raced; back to the menu\n", gCarList[carIndex]);
  }

  gTimer.Stop();
  gTimer.Reset();
  gReplayControls.End();
  DropGhost(trackIndex);
  gReplay->AttachCar(nullptr);
  delete gRaceCar;
  gRaceCar = nullptr;
  delete gGround;
  gGround = nullptr;

  RebuildPreviews();
  if (gMusicOn) gMenuMusic.Play();
}
