// GDI objects and text drawing into a device context's pixel buffer.
#include <algorithm>
#include <cstring>
#include <set>

#include "sys/gdi_dc.h"

namespace {

// Live handles, so that stale or foreign ones are refused instead of used.
std::set<HGDIOBJ>& Fonts() {
  static std::set<HGDIOBJ> fonts;
  return fonts;
}
std::set<HDC>& Contexts() {
  static std::set<HDC> dcs;
  return dcs;
}

HGDIOBJ SystemFont() {
  static HGDIOBJ stock = [] {
    auto* f = new HGDIOBJ__();
    std::memset(&f->logfont, 0, sizeof f->logfont);
    f->logfont.lfCharSet = DEFAULT_CHARSET;
    f->stock = true;
    Fonts().insert(f);
    return f;
  }();
  return stock;
}

vrxgdi::FontFace* FaceOf(HGDIOBJ font) {
  if (!font->faceTried) {
    font->face = vrxgdi::FontFace::Open(font->logfont);
    font->faceTried = true;
  }
  return font->face.get();
}

uint32_t Argb(COLORREF c) {
  return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// Mixes `colour` over the pixel by `coverage` / 255; the pixel becomes opaque.
void Blend(uint32_t* px, uint32_t colour, unsigned coverage) {
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    unsigned d = (*px >> shift) & 0xFF, s = (colour >> shift) & 0xFF;
    out |= ((d * (255 - coverage) + s * coverage + 127) / 255) << shift;
  }
  *px = out;
}

struct Clip {
  int left, top, right, bottom;
};

}  // namespace

namespace vrxgdi {

HDC CreateMemoryDC(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  HDC dc = new HDC__();
  dc->width = width;
  dc->height = height;
  dc->pixels.assign(static_cast<size_t>(width) * height, 0);
  dc->font = SystemFont();
  Contexts().insert(dc);
  return dc;
}

void DeleteMemoryDC(HDC dc) {
  if (Contexts().erase(dc)) delete dc;
}

}  // namespace vrxgdi

HFONT CreateFontIndirectA(const LOGFONTA* lf) {
  if (!lf) return nullptr;
  auto* f = new HGDIOBJ__();
  f->logfont = *lf;
  Fonts().insert(f);
  return f;
}

HGDIOBJ GetStockObject(int i) { return i == SYSTEM_FONT ? SystemFont() : nullptr; }

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  if (!Contexts().count(dc) || !Fonts().count(object)) return nullptr;
  HGDIOBJ old = dc->font;
  dc->font = object;
  return old;
}

BOOL DeleteObject(HGDIOBJ object) {
  if (!Fonts().count(object) || object->stock) return FALSE;
  for (HDC dc : Contexts())
    if (dc->font == object) return FALSE;
  Fonts().erase(object);
  delete object;
  return TRUE;
}

int DrawTextA(HDC dc, LPCSTR text, int count, RECT* rect, UINT format) {
  if (!Contexts().count(dc) || !text || !rect) return 0;
  vrxgdi::FontFace* face = FaceOf(dc->font);
  if (!face) return 0;
  size_t n = count < 0 ? std::strlen(text) : static_cast<size_t>(count);
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);

  vrxgdi::FontFace::Glyph g;
  int width = 0;
  for (size_t i = 0; i < n; ++i)
    if (face->Render(bytes[i], &g)) width += g.advance;
  const int height = face->Height();

  int x = rect->left, y = rect->top;
  if (format & DT_CENTER)
    x = rect->left + (rect->right - rect->left - width) / 2;
  else if (format & DT_RIGHT)
    x = rect->right - width;
  if (format & DT_VCENTER)
    y = rect->top + (rect->bottom - rect->top - height) / 2;
  else if (format & DT_BOTTOM)
    y = rect->bottom - height;

  Clip clip{0, 0, dc->width, dc->height};
  if (!(format & DT_NOCLIP)) {
    clip.left = std::max(clip.left, static_cast<int>(rect->left));
    clip.top = std::max(clip.top, static_cast<int>(rect->top));
    clip.right = std::min(clip.right, static_cast<int>(rect->right));
    clip.bottom = std::min(clip.bottom, static_cast<int>(rect->bottom));
  }

  if (dc->opaqueBackground) {
    const uint32_t back = Argb(dc->backColour);
    for (int py = std::max(y, clip.top); py < std::min(y + height, clip.bottom); ++py)
      for (int px = std::max(x, clip.left); px < std::min(x + width, clip.right); ++px)
        dc->pixels[static_cast<size_t>(py) * dc->width + px] = back;
  }

  const uint32_t ink = Argb(dc->textColour);
  const int baseline = y + face->Ascent();
  int pen = x;
  for (size_t i = 0; i < n; ++i) {
    if (!face->Render(bytes[i], &g)) continue;
    for (int row = 0; row < g.rows; ++row) {
      int py = baseline - g.top + row;
      if (py < clip.top || py >= clip.bottom) continue;
      for (int col = 0; col < g.width; ++col) {
        int px = pen + g.left + col;
        unsigned a = g.coverage[row * g.pitch + col];
        if (a == 0 || px < clip.left || px >= clip.right) continue;
        Blend(&dc->pixels[static_cast<size_t>(py) * dc->width + px], ink, a);
      }
    }
    pen += g.advance;
  }
  return (format & (DT_VCENTER | DT_BOTTOM)) ? y + height - rect->top : height;
}
