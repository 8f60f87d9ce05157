#include "cTexture.h"

#include <cstring>

#include "cScreen.h"
#include "platform/d3dx9.h"
#include "platform/wingdi.h"

cTexture::cTexture(const char* file, cScreen* owner)
    : screen(owner), texture(nullptr), borrowedSurface(nullptr), deviceContext(nullptr) {
  Load(file, D3DX_DEFAULT, 0);
}

cTexture::cTexture(const char* file, cScreen* owner, DWORD colourKey)
    : screen(owner), texture(nullptr), borrowedSurface(nullptr), deviceContext(nullptr) {
  Load(file, 1, colourKey);
}

cTexture::cTexture(DWORD size, DWORD usage, D3DFORMAT format, cScreen* owner)
    : screen(owner), texture(nullptr), borrowedSurface(nullptr), deviceContext(nullptr) {
  memset(&description, 0, sizeof description);
  memset(&imageInfo, 0, sizeof imageInfo);
  IDirect3DDevice9* device = screen ? screen->GetDevicePointer() : nullptr;
  if (!device) return;
  // Direct3D keeps depth surfaces in the default pool as it does render targets.
  D3DPOOL pool = (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED;
  if (FAILED(device->CreateTexture(size, size, 1, usage, format, pool, &texture, nullptr))) {
    texture = nullptr;
    return;
  }
  texture->GetLevelDesc(0, &description);
}

void cTexture::Load(const char* file, UINT levels, DWORD colourKey) {
  memset(&description, 0, sizeof description);
  memset(&imageInfo, 0, sizeof imageInfo);
  IDirect3DDevice9* device = screen ? screen->GetDevicePointer() : nullptr;
  if (!device || !file) return;
  D3DXIMAGE_INFO info;
  if (FAILED(D3DXCreateTextureFromFileExA(device, file, D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, levels, 0,
                                          D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, colourKey,
                                          &info, nullptr, &texture))) {
    texture = nullptr;
    return;
  }
  imageInfo = info;
  texture->GetLevelDesc(0, &description);
}

cTexture::~cTexture() {
  ReleaseDC();
  if (texture) texture->Release();
}

void cTexture::Set(DWORD stage) {
  IDirect3DDevice9* device = screen ? screen->GetDevicePointer() : nullptr;
  if (device) device->SetTexture(stage, texture);
}

void cTexture::SetAsTarget() {
  IDirect3DDevice9* device = screen ? screen->GetDevicePointer() : nullptr;
  IDirect3DSurface9* surface = nullptr;
  if (!device || !texture || FAILED(texture->GetSurfaceLevel(0, &surface))) return;
  device->SetRenderTarget(0, surface);
  surface->Release();
}

void cTexture::SetAsDepthStencil() {
  IDirect3DDevice9* device = screen ? screen->GetDevicePointer() : nullptr;
  IDirect3DSurface9* surface = nullptr;
  if (!device || !texture || FAILED(texture->GetSurfaceLevel(0, &surface))) return;
  device->SetDepthStencilSurface(surface);
  surface->Release();
}

HDC cTexture::GetDC() {
  if (borrowedSurface || !texture) return deviceContext;
  if (FAILED(texture->GetSurfaceLevel(0, &borrowedSurface))) {
    borrowedSurface = nullptr;
    return nullptr;
  }
  if (FAILED(VrxSurfaceGetDC(borrowedSurface, &deviceContext))) {
    borrowedSurface->Release();
    borrowedSurface = nullptr;
    deviceContext = nullptr;
  }
  return deviceContext;
}

void cTexture::ReleaseDC() {
  if (!borrowedSurface) return;
  VrxSurfaceReleaseDC(borrowedSurface, deviceContext);
  deviceContext = nullptr;
  borrowedSurface->Release();
  borrowedSurface = nullptr;
}
