// cGhostCar: the car of a ghost lap as the player sees it in a race - its
// mesh only, drawn see-through and tinted at a recorded body state. It has
// no physics, no sound, no shadow and touches nothing.
#pragma once

#include <string>

#include "platform/d3dx9math.h"
#include "platform/types.h"

class cCarPreview;
class cScreen;
class cTexture;

class cGhostCar {
 public:
  // How much of the ghost shows over what is behind it, per colour channel
  // (A, R, G, B bytes; the alpha byte is unused): a pale blue glass car.
  static constexpr DWORD kTint = 0xFF46587Cu;

  // carEntry: the car list's entry of the ghost's car.
  cGhostCar(const char* carEntry, cScreen* screen);
  ~cGhostCar();
  cGhostCar(const cGhostCar&) = delete;
  cGhostCar& operator=(const cGhostCar&) = delete;

  // The car list entry it was made for.
  const char* GetCarEntry() const { return carEntry.c_str(); }

  // The body's world matrix for a recorded position and rotation, as the
  // race car builds its own.
  static D3DXMATRIX WorldMatrix(const D3DXVECTOR3& position, const D3DXQUATERNION& rotation);

  // Draws the car at the body state into the current scene (camera, fog and
  // lights as the caller left them), blending its colour with the scene's;
  // the blend states are back at the screen's defaults afterwards.
  void Draw(const D3DXVECTOR3& position, const D3DXQUATERNION& rotation, cTexture* plateTexture);

 private:
  std::string carEntry;
  cScreen* screen;
  cCarPreview* model;
};
