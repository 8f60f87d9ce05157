// Hooks for tests of the drawing device. Not for use by the game itself.
#pragma once

#include "platform/d3d9.h"

namespace vrxtesting {

// The device behaves as if its full-screen window had been left: the next
// TestCooperativeLevel gives D3DERR_DEVICELOST, later ones
// D3DERR_DEVICENOTRESET until Reset succeeds.
void ForceDeviceLoss(IDirect3DDevice9* device);

// The adapter identifier that GetAdapterIdentifier derives from these
// driver strings (vendor, renderer, version).
GUID AdapterGuidFor(const char* vendor, const char* renderer, const char* version);

}  // namespace vrxtesting
