#include "shell/race_frame.h"

#include "car/cGhostCar.h"
#include "car/cRaceCar.h"
#include "cCar.h"
#include "cGround.h"
#include "mathkit/mathkit.h"
#include "shell/cGhost.h"
#include "shell/drive.h"
#include "shell/hud.h"
#include "shell/program.h"

namespace {

const DWORD kFog = 0xFF648080u;
const BYTE kCameraKey = 0x2E;  // C
const BYTE kGhostKey = 0x22;   // G

int cameraLatch = 0;
int ghostLatch = 0;

}  // namespace

// The listener faces the car, so what is left of the view sounds left.
void PlaceListener(cListener* listener, D3DXVECTOR3 camera, D3DXVECTOR3 target) {
  if (!listener) return;
  const D3DXVECTOR3 front = target - camera, up(0, 1, 0);
  listener->SetListenerPos(&camera);
  listener->SetListenerOrient(&front, &up);
}

void DrawGhost() {
  if (gReplayMode || !gGhostShown || !gGhost || !gGhostCar || !gGhost->HasLap()) return;
  const ReplayState s = gGhost->StateAt(RunningLapTime());
  gGhostCar->Draw(s.Position, s.Rotation, gPlate);
}

void DrawRaceFrame(D3DXMATRIX adjust, const RaceFrameProbe* probe) {
  auto done = [probe](RaceFramePass pass) {
    if (probe) probe->passDone(probe->context, pass);
  };
  cRaceCar* car = gRaceCar;
  cGround* ground = gGround;
  IDirect3DDevice9* dev = gScreen.GetDevicePointer();
  const D3DXVECTOR3 up(0, 1, 0);

  D3DXVECTOR3 offset(0, 2, -6);
  const D3DXVECTOR3 camera = gCameraMode == 0 ? car->ChaseCamera(&offset) : car->TrackCamera(80, 2.0f);
  // One press of C switches once; the new camera shows from the next frame.
  const int cameraKey = (gInput.Keys[kCameraKey] & 0x80) != 0;
  if (cameraKey && !cameraLatch) gCameraMode = !gCameraMode;
  cameraLatch = cameraKey;
  const int ghostKey = (gInput.Keys[kGhostKey] & 0x80) != 0;
  if (ghostKey && !ghostLatch) gGhostShown = !gGhostShown;
  ghostLatch = ghostKey;

  const D3DXVECTOR3 target = car->GetCar()->GetLinPos() + D3DXVECTOR3(0, 1, 0);
  gScreen.SetCamera(camera, target, up);
  const D3DXMATRIX inverseCamera = gScreen.GetInverseCameraMtx();

  PlaceListener(gListener, camera, target);

  gScreen.SetLinearFog(kFog, 0, 400);
  ground->Draw(GROUND_DRAW_SKY);
  gScreen.FogDisable();
  gScreen.OffStage(1);
  done(kPassSky);

  dev->SetDepthStencilSurface(gShadowDepth);
  gShadowTarget->SetAsTarget();
  gScreen.ClearScreen();
  car->viewDir = target - camera;
  D3DXVECTOR3 lightOffset(0, -3, 3);
  car->DrawShadowCaster(&lightOffset, gShadowShape);
  const D3DXMATRIX shadowView = gScreen.GetCameraMtx();
  const D3DXMATRIX shadowProjection = gScreen.GetTransformMtx();
  gScreen.RestoreTarget();
  gScreen.RestoreDepthStencil();
  done(kPassShadow);

  gScreen.SetLight(FALSE);
  gScreen.SetTransformMatrix(1.33f, 0, 0.01f, gScreenCfg.ViewDistance * 80.0f, FALSE);
  gScreen.SetCamera(camera, target, up);
  gScreen.SetLinearFog(kFog, 0, 400);

  dev->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
  const D3DXMATRIX projected = inverseCamera * shadowView * shadowProjection * adjust;
  dev->SetTransform(D3DTS_TEXTURE1, &projected);
  dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION);
  gShadowTarget->Set(1);
  D3DXMATRIX identity;
  gScreen.SetWorldMatrix(MatrixIdentity(&identity));

  ground->Draw(GROUND_DRAW_ROAD);
  gScreen.OffStage(1);
  done(kPassRoad);
  ground->Draw(GROUND_DRAW_TERRAIN | GROUND_DRAW_SKIDS);
  done(kPassLand);
  gScreen.SetLight(TRUE);
  car->Draw(gRefmap, gPlate);
  gScreen.SetLight(FALSE);
  done(kPassCar);
  ground->Draw(32);
  done(kPassLast);
  // Last of the scene, so whatever lies behind the see-through car is there.
  DrawGhost();
  done(kPassGhost);

  DrawHud(car);
  done(kPassHud);
}
