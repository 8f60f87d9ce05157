// What the OpenGL driver offers, read once per process from a hidden window,
// and the identity derived from it.
#pragma once

#include <string>

#include "platform/d3d9.h"

namespace vrxgl {

struct AdapterInfo {
  std::string vendor, renderer, version;
  int glVersion = 0;  // 45 for 4.5
  int maxTextureUnits = 0;
  int maxTextureSize = 0;
  int maxLights = 0;
  float maxAnisotropy = 1.0f;
  bool s3tc = false;
  bool usable = false;  // has everything the device needs
};

// Probes on first use; null when no OpenGL context can be made at all.
const AdapterInfo* GetAdapterInfo();

// Stable 128-bit identity of a renderer and driver: a hash of the three strings.
GUID AdapterGuid(const char* vendor, const char* renderer, const char* version);

// The capability record of a device on this adapter.
void FillCaps(const AdapterInfo& info, D3DCAPS9* caps);

// Formats: render targets, depth surfaces and textures this device can make.
bool IsRenderTargetFormat(D3DFORMAT format);
bool IsDepthFormat(D3DFORMAT format);
bool IsTextureFormat(const AdapterInfo& info, D3DFORMAT format);
bool IsBackBufferFormat(D3DFORMAT format);

}  // namespace vrxgl
