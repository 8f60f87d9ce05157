// One race frame: the 3D scene from the current camera and the HUD.
#pragma once

#include "platform/d3dx9math.h"

class cListener;

// Hears the scene from the camera, facing the car.
void PlaceListener(cListener* listener, D3DXVECTOR3 camera, D3DXVECTOR3 target);

// The ghost car where the ghost's lap is at the running lap time, unless
// hidden, in a replay or without a ghost.
void DrawGhost();

// The passes of a race frame in drawing order.
enum RaceFramePass {
  kPassSky,     // sky and sun, fogged
  kPassShadow,  // the car's silhouette into the shadow target
  kPassRoad,    // the road with the projected shadow and its shadow map
  kPassLand,    // terrain, scenery and skid marks
  kPassCar,     // the car (with the reflection cube map every second frame)
  kPassLast,    // the ground's closing pass
  kPassGhost,   // the best lap's see-through car
  kPassHud,
  kRaceFramePasses
};

// Told after each pass has been issued; benchmarks time the passes with it.
struct RaceFrameProbe {
  void (*passDone)(void* context, RaceFramePass pass);
  void* context;
};

// Draws the sky, the car's shadow into the shadow target, the road with the
// projected shadow, the land, the car, the scenery, the ghost and the HUD.
// Does not flip.
void DrawRaceFrame(D3DXMATRIX adjust, const RaceFrameProbe* probe = nullptr);
