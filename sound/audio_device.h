// The one OpenAL device and context shared by every sound object of the
// process, and the helpers all of them use. Single-threaded.
#pragma once

#include <AL/al.h>

#include "platform/d3dx9math.h"

namespace sound {

// Takes a reference on the shared device, opening it for the first user.
// Returns false when there is no usable device; that is reported once per
// process on stderr and not retried.
bool AcquireDevice();
// Drops a reference taken by a successful AcquireDevice; the last one closes
// the device.
void ReleaseDevice();

// One line on stderr: "vrx: <text>".
void Report(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The game's world is left-handed (x right, y up, z forward), OpenAL's is
// right-handed: mirroring z maps one onto the other for positions and
// directions alike.
inline void ToOpenAL(const D3DXVECTOR3& v, ALfloat out[3]) {
  out[0] = v.x;
  out[1] = v.y;
  out[2] = -v.z;
}

// Sources closer than this play at full volume; the chase camera sits about
// 6 m from the car, so its engine is heard unattenuated.
constexpr ALfloat kReferenceDistance = 8.0f;

}  // namespace sound
