// D3DX texture creation from image files, on the decoders of gl/image.h.
#include <cstdio>
#include <cstring>
#include <vector>

#include "gl/image.h"
#include "platform/d3dx9.h"

namespace {

UINT NextPowerOfTwo(UINT v) {
  UINT p = 1;
  while (p < v && p < 0x80000000u) p <<= 1;
  return p;
}

UINT PickSize(UINT requested, UINT fromFile) {
  if (requested == 0 || requested == D3DX_DEFAULT) return NextPowerOfTwo(fromFile);
  if (requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE) return fromFile;
  return requested;
}

bool HasAlpha(D3DFORMAT f) {
  return f == D3DFMT_A8R8G8B8 || f == D3DFMT_A4R4G4B4 || f == D3DFMT_A1R5G5B5 || f == D3DFMT_DXT1 ||
         f == D3DFMT_DXT3 || f == D3DFMT_DXT5;
}

// Bilinear resampling of A8R8G8B8 pixels, texel centres mapped onto each other.
std::vector<uint8_t> Resize(const std::vector<uint8_t>& src, UINT sw, UINT sh, UINT dw, UINT dh) {
  std::vector<uint8_t> out((size_t)dw * dh * 4);
  for (UINT y = 0; y < dh; ++y) {
    float fy = ((float)y + 0.5f) * (float)sh / (float)dh - 0.5f;
    int y0 = fy < 0 ? 0 : (int)fy;
    int y1 = y0 + 1 < (int)sh ? y0 + 1 : (int)sh - 1;
    float ty = fy < 0 ? 0.0f : fy - (float)y0;
    for (UINT x = 0; x < dw; ++x) {
      float fx = ((float)x + 0.5f) * (float)sw / (float)dw - 0.5f;
      int x0 = fx < 0 ? 0 : (int)fx;
      int x1 = x0 + 1 < (int)sw ? x0 + 1 : (int)sw - 1;
      float tx = fx < 0 ? 0.0f : fx - (float)x0;
      for (int c = 0; c < 4; ++c) {
        auto at = [&](int xx, int yy) { return (float)src[((size_t)yy * sw + xx) * 4 + c]; };
        float top = at(x0, y0) + (at(x1, y0) - at(x0, y0)) * tx;
        float bottom = at(x0, y1) + (at(x1, y1) - at(x0, y1)) * tx;
        out[((size_t)y * dw + x) * 4 + c] = (uint8_t)(top + (bottom - top) * ty + 0.5f);
      }
    }
  }
  return out;
}

bool DeviceTakes(IDirect3DDevice9* dev, D3DFORMAT format) {
  IDirect3D9* d3d = nullptr;
  if (FAILED(dev->GetDirect3D(&d3d))) return false;
  bool ok = SUCCEEDED(d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0,
                                             D3DRTYPE_TEXTURE, format));
  d3d->Release();
  return ok;
}

}  // namespace

HRESULT D3DXGetImageInfoFromFileA(LPCSTR pSrcFile, D3DXIMAGE_INFO* pSrcInfo) {
  if (!pSrcFile || !pSrcInfo) return D3DERR_INVALIDCALL;
  return LoadImageFile(pSrcFile, nullptr, pSrcInfo) ? D3D_OK : D3DXERR_INVALIDDATA;
}

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* pDevice, LPCSTR pSrcFile, UINT Width, UINT Height,
                                     UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                     DWORD MipFilter, D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                     PALETTEENTRY* pPalette, IDirect3DTexture9** ppTexture) {
  if (!ppTexture) return D3DERR_INVALIDCALL;
  *ppTexture = nullptr;
  if (!pDevice || !pSrcFile) return D3DERR_INVALIDCALL;
  Image img;
  D3DXIMAGE_INFO info;
  if (!LoadImageFile(pSrcFile, &img, &info)) return D3DXERR_INVALIDDATA;

  UINT width = PickSize(Width, img.width), height = PickSize(Height, img.height);
  bool fromFile = Format == D3DFMT_UNKNOWN || Format == D3DFMT_FROM_FILE;
  D3DFORMAT format = fromFile ? img.format : Format;
  if (ColorKey != 0) {
    if (!ApplyColourKey(&img, ColorKey)) return D3DXERR_INVALIDDATA;
    if (fromFile && !HasAlpha(format)) format = D3DFMT_A8R8G8B8;
  }
  if (!DeviceTakes(pDevice, format)) format = D3DFMT_A8R8G8B8;

  if (width != img.width || height != img.height) {
    std::vector<uint8_t> argb = LevelToA8R8G8B8(img.format, img.levels[0].data(), img.width, img.height);
    if (argb.empty()) return D3DXERR_INVALIDDATA;
    img.levels.assign(1, Resize(argb, img.width, img.height, width, height));
    img.format = D3DFMT_A8R8G8B8;
    img.width = width;
    img.height = height;
  }
  UINT levels = (MipLevels == 0 || MipLevels == D3DX_DEFAULT) ? 0
                : MipLevels == D3DX_FROM_FILE ? (UINT)img.levels.size() : MipLevels;
  // Compressed pictures keep the levels the file has: more would have to be
  // compressed anew.
  if (IsCompressedFormat(img.format) && img.format == format && (levels == 0 || levels > img.levels.size()))
    levels = (UINT)img.levels.size();
  if (!BuildMipChain(&img, levels)) return D3DXERR_INVALIDDATA;
  // Compressed data stays as it is only when it already has the wanted format.
  if (img.format != format) {
    if (IsCompressedFormat(format)) format = D3DFMT_A8R8G8B8;
    if (!ConvertImage(&img, format)) return D3DXERR_INVALIDDATA;
  }

  IDirect3DTexture9* tex = nullptr;
  HRESULT hr = pDevice->CreateTexture(img.width, img.height, (UINT)img.levels.size(), Usage, format, Pool, &tex,
                                      nullptr);
  if (FAILED(hr)) {
    fprintf(stderr, "vrx: cannot make a %ux%u texture of %s\n", img.width, img.height, pSrcFile);
    return hr;
  }
  for (UINT level = 0; level < img.levels.size(); ++level) {
    D3DLOCKED_RECT lr;
    if (FAILED(tex->LockRect(level, &lr, nullptr, 0))) {
      tex->Release();
      return D3DERR_INVALIDCALL;
    }
    UINT w = MipDimension(img.width, level), h = MipDimension(img.height, level);
    UINT pitch = FormatRowPitch(format, w);
    UINT rows = IsCompressedFormat(format) ? (h + 3) / 4 : h;
    const uint8_t* src = img.levels[level].data();
    for (UINT r = 0; r < rows; ++r) memcpy((uint8_t*)lr.pBits + (size_t)r * lr.Pitch, src + (size_t)r * pitch, pitch);
    tex->UnlockRect(level);
  }
  if (pSrcInfo) *pSrcInfo = info;
  *ppTexture = tex;
  return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* pDevice, LPCSTR pSrcFile, IDirect3DTexture9** ppTexture) {
  return D3DXCreateTextureFromFileExA(pDevice, pSrcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                      D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                      nullptr, ppTexture);
}
