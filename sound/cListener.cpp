#include "sound/cListener.h"

#include <cmath>

#include "audio_device.h"

cListener::cListener(HWND window) : window(window), audible(sound::AcquireDevice()) {}

cListener::~cListener() {
  if (audible) sound::ReleaseDevice();
}

void cListener::SetListenerPos(const D3DXVECTOR3* position) {
  if (!audible || !position) return;
  ALfloat p[3];
  sound::ToOpenAL(*position, p);
  alListenerfv(AL_POSITION, p);
}

void cListener::SetListenerOrient(const D3DXVECTOR3* front, const D3DXVECTOR3* top) {
  if (!audible || !front || !top) return;
  // A zero vector or parallel front and up leave no defined "right"; the mixer
  // would pan with NaNs, so such a pair keeps the previous orientation.
  const float cx = front->y * top->z - front->z * top->y;
  const float cy = front->z * top->x - front->x * top->z;
  const float cz = front->x * top->y - front->y * top->x;
  const float cross = cx * cx + cy * cy + cz * cz;
  if (!(cross > 1e-12f) || !std::isfinite(cross)) return;
  ALfloat orientation[6];
  sound::ToOpenAL(*front, orientation);
  sound::ToOpenAL(*top, orientation + 3);
  alListenerfv(AL_ORIENTATION, orientation);
}
