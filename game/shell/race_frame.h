// One race frame: the 3D scene from the current camera and the HUD.
#pragma once

#include "platform/d3dx9math.h"

class cListener;

// Hears the scene from the camera, facing the car.
void PlaceListener(cListener* listener, D3DXVECTOR3 camera, D3DXVECTOR3 target);

// The passes of a race frame in drawing order.
enum RaceFramePass {
  kPassSky,     // sky and sun, fogged
  kPassShadow,  // the car's silhouette into the shadow target
  kPassRoad,    // the road with the projected shadow and its shadow map
  kPassLand,    // terrain, scenery and skid marks
  kPassCar,     // the car (with the reflection cube map every second frame)
  kPassLast,    // the ground's closing pass
  kPassHud,
  kRaceFramePasses
};

// Told after each pass has been issued; benchmarks time the passes with it.
struct RaceFrameProbe {
  void (*passDone)(void* context, RaceFramePass pass);
  void* context;
};

// Draws the sky, the car's shadow into the shadow target, the road with the
// projected shadow, the land, the car, the scenery and the HUD. Does not flip.
void DrawRaceFrame(D3DXMATRIX adjust, const RaceFrameProbe* probe = nullptr);
