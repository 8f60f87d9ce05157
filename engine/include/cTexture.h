// One Direct3D texture: loaded from an image file (with or without a colour
// key), or made empty as a square render target or depth surface for the
// shadow and reflection passes. A texture that failed to load or to be made
// stays empty; binding it binds no texture.
#pragma once

#include "platform/d3d9.h"

class cScreen;

class cTexture {
 public:
  // The file at its own size, full mip chain, the file's format, managed pool.
  cTexture(const char* file, cScreen* screen);
  // The same with one level; pixels of colourKey (A8R8G8B8) become transparent.
  cTexture(const char* file, cScreen* screen, DWORD colourKey);
  // Empty size x size texture of one level. Render targets (usage bit 0) and
  // depth surfaces live in the default pool, anything else in the managed one.
  cTexture(DWORD size, DWORD usage, D3DFORMAT format, cScreen* screen);
  ~cTexture();
  cTexture(const cTexture&) = delete;
  cTexture& operator=(const cTexture&) = delete;

  void Set(DWORD stage);
  // Level 0 becomes the colour target until cScreen::RestoreTarget.
  void SetAsTarget();
  // Level 0 becomes the depth surface until cScreen::RestoreDepthStencil.
  void SetAsDepthStencil();

  // Lends level 0 to GDI drawing (platform/wingdi.h) until ReleaseDC, which
  // puts the drawing into the texture. Null for an empty texture or a format
  // GDI cannot draw on (compressed); asking twice gives the same context.
  HDC GetDC();
  void ReleaseDC();

  // Level-0 description and file information; filled only by a successful
  // load (zero otherwise).
  D3DSURFACE_DESC GetTextureInfo() const { return description; }
  D3DXIMAGE_INFO GetImageInfo() const { return imageInfo; }
  IDirect3DTexture9* GetTexturePointer() const { return texture; }

 private:
  void Load(const char* file, UINT levels, DWORD colourKey);

  cScreen* screen;
  IDirect3DTexture9* texture;
  D3DSURFACE_DESC description;
  D3DXIMAGE_INFO imageInfo;
  IDirect3DSurface9* borrowedSurface;  // held while a device context is lent out
  HDC deviceContext;
};
