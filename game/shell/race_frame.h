// One race frame: the 3D scene from the current camera and the HUD.
#pragma once

#include "platform/d3dx9math.h"

class cListener;

// Hears the scene from the camera, facing the car.
void PlaceListener(cListener* listener, D3DXVECTOR3 camera, D3DXVECTOR3 target);

// Draws the sky, the car's shadow into the shadow target, the road with the
// projected shadow, the land, the car, the scenery and the HUD. Does not flip.
void DrawRaceFrame(D3DXMATRIX adjust);
