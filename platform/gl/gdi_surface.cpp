// GDI device contexts on Direct3D surfaces: the surface's pixels are
// converted to the context's 32-bit buffer while it is locked, and written
// back in the surface's own format when the context is released.
#include <cstring>

#include "gl/image.h"
#include "platform/d3d9.h"
#include "sys/gdi_dc.h"

HRESULT VrxSurfaceGetDC(IDirect3DSurface9* surface, HDC* dc) {
  if (!dc) return D3DERR_INVALIDCALL;
  *dc = nullptr;
  D3DSURFACE_DESC desc{};
  if (!surface || FAILED(surface->GetDesc(&desc))) return D3DERR_INVALIDCALL;
  if (!IsImageFormatSupported(desc.Format) || IsCompressedFormat(desc.Format) || desc.Width == 0 ||
      desc.Height == 0)
    return D3DERR_INVALIDCALL;
  D3DLOCKED_RECT locked{};
  if (FAILED(surface->LockRect(&locked, nullptr, 0))) return D3DERR_INVALIDCALL;

  const UINT w = desc.Width, h = desc.Height, row = FormatRowPitch(desc.Format, w);
  std::vector<uint8_t> packed(static_cast<size_t>(row) * h);
  for (UINT y = 0; y < h; ++y)
    std::memcpy(&packed[static_cast<size_t>(y) * row], static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, row);
  std::vector<uint8_t> argb = LevelToA8R8G8B8(desc.Format, packed.data(), w, h);
  HDC out = vrxgdi::CreateMemoryDC(static_cast<int>(w), static_cast<int>(h));
  if (!out || argb.size() != out->pixels.size() * 4) {
    vrxgdi::DeleteMemoryDC(out);
    surface->UnlockRect();
    return D3DERR_INVALIDCALL;
  }
  std::memcpy(out->pixels.data(), argb.data(), argb.size());
  out->surface = surface;
  out->lockedBits = locked.pBits;
  out->lockedPitch = locked.Pitch;
  out->surfaceFormat = desc.Format;
  *dc = out;
  return D3D_OK;
}

HRESULT VrxSurfaceReleaseDC(IDirect3DSurface9* surface, HDC dc) {
  if (!surface || !dc || dc->surface != surface) return D3DERR_INVALIDCALL;
  const auto format = static_cast<D3DFORMAT>(dc->surfaceFormat);
  const UINT w = static_cast<UINT>(dc->width), h = static_cast<UINT>(dc->height);
  const UINT row = FormatRowPitch(format, w);
  std::vector<uint8_t> level =
      LevelFromA8R8G8B8(format, reinterpret_cast<const uint8_t*>(dc->pixels.data()), w, h);
  if (level.size() == static_cast<size_t>(row) * h) {
    for (UINT y = 0; y < h; ++y)
      std::memcpy(static_cast<uint8_t*>(dc->lockedBits) + y * dc->lockedPitch, &level[static_cast<size_t>(y) * row],
                  row);
  }
  vrxgdi::DeleteMemoryDC(dc);
  return surface->UnlockRect();
}
