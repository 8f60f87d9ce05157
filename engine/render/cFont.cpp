#include "cFont.h"

#include <cstdio>
#include <cstring>

#include "cScreen.h"
#include "cTexture.h"
#include "platform/d3dx9sprite.h"
#include "platform/files.h"

cFont::cFont(const char* image, const char* widthFile, DWORD colourKey, cScreen* screen)
    : texture(new cTexture(image, screen, colourKey)), screen(screen), rowHeight(0) {
  std::memset(widths, 0, sizeof widths);
  UINT width = 0;
  if (texture->GetTexturePointer()) {
    const D3DSURFACE_DESC desc = texture->GetTextureInfo();
    rowHeight = static_cast<BYTE>(desc.Height / 16);
    width = desc.Width;
  }
  if (!widthFile) {
    std::memset(widths, static_cast<BYTE>(width / 16), sizeof widths);
  } else if (FILE* f = vrx::OpenFileReported(widthFile, "rb")) {
    const size_t got = std::fread(widths, 1, sizeof widths, f);
    std::fclose(f);
    // The characters past a short file's end have no width: they do not show.
    if (got < sizeof widths)
      std::fprintf(stderr, "vrx: %s holds %zu of its %zu character widths; the rest are 0\n", widthFile, got,
                   sizeof widths);
  }
}

cFont::~cFont() { delete texture; }

void cFont::PutText(float x, float y, float sx, float sy, const char* text) {
  PutText(x, y, sx, sy, text, 0xFFFFFFFF);
}

void cFont::PutText(float x, float y, float sx, float sy, const char* text, DWORD colour) {
  IDirect3DDevice9* dev = screen->GetDevicePointer();
  ID3DXSprite* sprite = screen->GetSpritePointer();
  if (!dev || !sprite || !text) return;
  IDirect3DTexture9* t = texture->GetTexturePointer();
  dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
  sprite->Begin(D3DXSPRITE_ALPHABLEND);
  D3DXMATRIX scale;
  D3DXMatrixScaling(&scale, sx, sy, 1.0f);
  sprite->SetTransform(&scale);
  // A zero scale (a minimised window's client area) shows nothing and would
  // divide the pen position by zero.
  const bool visible = sx != 0.0f && sy != 0.0f;
  D3DXVECTOR3 pen(visible ? x / sx : 0.0f, visible ? y / sy : 0.0f, 0.0f);
  const int r = rowHeight;
  for (const char* p = visible ? text : ""; *p; ++p) {
    const BYTE c = static_cast<BYTE>(*p);
    const int row = c / 16, column = c % 16;
    // A width above the cell would make the margin negative and the source
    // rectangle inside out; such a character takes the whole cell.
    const int w = widths[c] < r ? widths[c] : r;
    const BYTE e = static_cast<BYTE>((r - w) / 2);
    const RECT src{r * column + e, r * row + 1, r * (column + 1) - e, r * (row + 1) - 1};
    if (t && w > 0) sprite->Draw(t, &src, nullptr, &pen, colour);
    pen.x += static_cast<float>(src.right - src.left);
  }
  sprite->End();
  dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
}

void cFont::PutText(float x, float y, float sx, float sy, int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%i", value);
  PutText(x, y, sx, sy, buf);
}

void cFont::PutText(float x, float y, float sx, float sy, float value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", value);
  PutText(x, y, sx, sy, buf);
}

void cFont::PutTextRelative(float x, float y, float sx, float sy, const char* text) {
  PutTextRelative(x, y, sx, sy, text, 0xFFFFFFFF);
}

void cFont::PutTextRelative(float x, float y, float sx, float sy, const char* text, DWORD colour) {
  const D3DXVECTOR2 size = screen->GetPixelSize();
  PutText(size.x * x, size.y * y, size.x * 0.001f * sx, size.y * 0.0013333333f * sy, text, colour);
}

void cFont::PutTextRelative(float x, float y, float sx, float sy, int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%i", value);
  PutTextRelative(x, y, sx, sy, buf);
}

void cFont::PutTextRelative(float x, float y, float sx, float sy, float value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", value);
  PutTextRelative(x, y, sx, sy, buf);
}

DWORD cFont::GetPixelLength(const char* text) {
  DWORD length = 0;
  for (const char* p = text; p && *p; ++p) length += widths[static_cast<BYTE>(*p)];
  return length;
}
