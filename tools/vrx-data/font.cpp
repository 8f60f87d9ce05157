#include "font.h"

#include <cmath>
#include <cstdio>

#include "font_face.h"

namespace vrxdata {

namespace {

constexpr int kGrid = 16;
// A dark rim around every character keeps white text readable over a bright
// sky; it is opaque, because only pure black is the colour key.
constexpr float kRim = 1.2f;
constexpr float kRimGrey = 28.0f / 255.0f;

// The largest size at which every character, rim included, fits between the
// cell's first and last rows (the font leaves those out) and within its width.
float ChooseSize(FontFace* face, int* baseline) {
  for (float size = 28.0f; size >= 12.0f; size -= 0.5f) {
    face->SetPixelSize(size);
    int top = 0, bottom = 0;
    bool fits = true;
    for (int code = 0; code < 256 && fits; ++code) {
      const uint32_t cp = FontFace::CodePoint(uint8_t(code));
      if (!face->HasGlyph(cp)) continue;
      const FontFace::Extent e = face->GlyphExtent(cp, true);
      top = std::max(top, e.top);
      bottom = std::max(bottom, e.bottom);
      fits = e.right - e.left + 2 <= kFontCell && std::ceil(face->Advance(cp)) + 2 <= kFontCell;
    }
    if (fits && top + bottom + 2 <= kFontCell - 2) {
      *baseline = 1 + 1 + top;
      return size;
    }
  }
  return 0.0f;
}

}  // namespace

bool RenderBitmapFont(BitmapFont* font) {
  std::unique_ptr<FontFace> face = FontFace::OpenSans(true);
  if (!face) return false;
  int baseline = 0;
  const float size = ChooseSize(face.get(), &baseline);
  if (size <= 0.0f) {
    std::fprintf(stderr, "vrx-data: %s has characters too large for %d-pixel cells\n", face->File().c_str(),
                 kFontCell);
    return false;
  }
  face->SetPixelSize(size);
  font->image = Picture(kGrid * kFontCell, kGrid * kFontCell, 0xFF000000u);
  font->widths.assign(256, 0);
  for (int code = 0; code < 256; ++code) {
    const uint32_t cp = FontFace::CodePoint(uint8_t(code));
    if (!face->HasGlyph(cp)) continue;
    const float advance = face->Advance(cp);
    // Wide enough for the advance and for all of the ink ("¼", the accent
    // over a narrow "Î"), which may reach past the advance.
    const FontFace::Extent ink = face->GlyphExtent(cp, true);
    const int width = std::min(kFontCell, std::max(int(std::ceil(advance)), ink.right - ink.left));
    font->widths[code] = uint8_t(width);
    // cFont shows the middle R - 2e columns of the cell, e = (R - width) / 2:
    // the advance is centred in them, moved in where the ink would stick out.
    const int margin = (kFontCell - width) / 2;
    // Whole pixels, so that the ink lands exactly where its extent says.
    int penX = int(std::lround(margin + ((kFontCell - 2 * margin) - advance) * 0.5f));
    penX += std::max(0, margin - (penX + ink.left));
    penX -= std::max(0, (penX + ink.right) - (kFontCell - margin));
    Mask glyph(kFontCell, kFontCell);
    face->DrawGlyph(&glyph, float(penX), float(baseline), cp, true);
    const Mask rim = Dilate(glyph, kRim);
    const int cellX = (code % kGrid) * kFontCell, cellY = (code / kGrid) * kFontCell;
    for (int y = 1; y < kFontCell - 1; ++y) {
      for (int x = 0; x < kFontCell; ++x) {
        if (rim.at(x, y) < 0.15f) continue;
        const float c = glyph.at(x, y);
        const float grey = c + kRimGrey * (1.0f - c);
        const uint32_t v = std::max<uint32_t>(1, uint32_t(std::lround(grey * 255.0f)));
        font->image.at(cellX + x, cellY + y) = 0xFF000000u | v << 16 | v << 8 | v;
      }
    }
  }
  return true;
}

bool BuildFont(const BuildContext& ctx) {
  BitmapFont font;
  if (!RenderBitmapFont(&font)) return false;
  return WriteBmp(ctx.outDir + "/MENU/Font1.bmp", font.image) &&
         WriteBytes(ctx.outDir + "/MENU/Font1.dat", font.widths.data(), font.widths.size());
}

}  // namespace vrxdata
