// The D3DX sprite object: batches of textured quads drawn through a
// Direct3D 9 device. Names, values and signatures are those of D3DX9.
//
// Behaviour the callers rely on:
// - Screen space (no D3DXSPRITE_OBJECTSPACE): quads are in pixels of the
//   render target, origin top-left, y down; texel (i, j) of the image lands
//   on pixel (i, j) under an identity sprite transform. World and view are
//   identity and the projection maps the viewport's pixels for the batch.
// - Object space: a quad spans its source rectangle in units (1 texel = 1
//   unit) with y up, so the picture stands upright; it goes through the
//   sprite transform, then the world and view given to SetWorldViewLH, then
//   the device's projection. D3DXSPRITE_BILLBOARD keeps each quad's position
//   and scale but turns it to face the camera.
// - Draw: the centre (texels from the source rectangle's top-left) is
//   subtracted, the position added, both before the sprite transform; the
//   colour modulates the texels. Nothing reaches the device before End.
// - D3DXSPRITE_ALPHABLEND: source-alpha blending and an alpha test that
//   drops fully transparent texels. The sprite sets culling off, lighting
//   and fog off, texture stage 0 to modulate texture by colour with clamped
//   linear sampling, stage 1 off; depth states are left as the caller set
//   them. Every state it changes is put back at End unless
//   D3DXSPRITE_DONOTSAVESTATE is given.
// - D3DXSPRITE_SORT_DEPTH_FRONTTOBACK / BACKTOFRONT order the batch by view
//   depth at End (stable: equal depths keep their drawing order).
#pragma once

#include "platform/d3d9.h"

#define D3DXSPRITE_DONOTSAVESTATE (1 << 0)
#define D3DXSPRITE_DONOTMODIFY_RENDERSTATE (1 << 1)
#define D3DXSPRITE_OBJECTSPACE (1 << 2)
#define D3DXSPRITE_BILLBOARD (1 << 3)
#define D3DXSPRITE_ALPHABLEND (1 << 4)
#define D3DXSPRITE_SORT_DEPTH_FRONTTOBACK (1 << 6)
#define D3DXSPRITE_SORT_DEPTH_BACKTOFRONT (1 << 7)

struct ID3DXSprite : public IUnknown {
  virtual HRESULT GetDevice(IDirect3DDevice9** ppDevice) = 0;
  virtual HRESULT GetTransform(D3DXMATRIX* pTransform) = 0;
  // The transform applies to the sprites drawn after it, until the next one.
  virtual HRESULT SetTransform(const D3DXMATRIX* pTransform) = 0;
  // Either matrix may be null (identity). Used by object-space batches.
  virtual HRESULT SetWorldViewLH(const D3DXMATRIX* pWorld, const D3DXMATRIX* pView) = 0;
  // D3DERR_INVALIDCALL inside a batch.
  virtual HRESULT Begin(DWORD Flags) = 0;
  // pSrcRect null: the whole texture; pCenter / pPosition null: zero.
  // D3DERR_INVALIDCALL outside a batch or without a texture.
  virtual HRESULT Draw(IDirect3DTexture9* pTexture, const RECT* pSrcRect, const D3DXVECTOR3* pCenter,
                       const D3DXVECTOR3* pPosition, D3DCOLOR Color) = 0;
  // Draws what the batch holds so far.
  virtual HRESULT Flush() = 0;
  // Draws the batch and restores the device state.
  virtual HRESULT End() = 0;
  // Around a device reset: a batch in progress is dropped (with the states
  // it changed restored) on loss.
  virtual HRESULT OnLostDevice() = 0;
  virtual HRESULT OnResetDevice() = 0;
};
typedef ID3DXSprite* LPD3DXSPRITE;

HRESULT D3DXCreateSprite(IDirect3DDevice9* pDevice, ID3DXSprite** ppSprite);

// Beyond D3DX, for tests: how many batches End has closed on this object.
DWORD VrxSpriteBatchCount(ID3DXSprite* sprite);
