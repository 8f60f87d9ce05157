// The single listener of the 3D sound scene. It opens the process's audio
// device (or shares it with the sounds and music already playing) and places
// the listener in the game's world every frame.
#pragma once

#include "platform/d3dx9math.h"
#include "platform/types.h"

class cListener {
public:
  // The window is only kept: the audio device does not depend on it.
  explicit cListener(HWND window);
  ~cListener();

  cListener(const cListener&) = delete;
  cListener& operator=(const cListener&) = delete;

  // World position (left-handed, y up, z forward).
  void SetListenerPos(const D3DXVECTOR3* position);
  // Facing and up directions; a zero or degenerate pair keeps the last one.
  void SetListenerOrient(const D3DXVECTOR3* front, const D3DXVECTOR3* top);

private:
  HWND window;
  bool audible;  // holds a reference on the shared audio device
};
