#include "paint.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace vrxdata {

namespace {

int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// 5 x 7 glyphs, one byte a row, bit 4 the leftmost column.
struct Glyph {
  char c;
  uint8_t rows[7];
};
const Glyph kGlyphs[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}}, {'/', {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {' ', {0, 0, 0, 0, 0, 0, 0}},
};

const Glyph* FindGlyph(char c) {
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const Glyph& g : kGlyphs)
    if (g.c == c) return &g;
  return nullptr;
}

}  // namespace

uint32_t Argb(int a, int r, int g, int b) {
  return static_cast<uint32_t>(Clamp255(a)) << 24 | static_cast<uint32_t>(Clamp255(r)) << 16 |
         static_cast<uint32_t>(Clamp255(g)) << 8 | static_cast<uint32_t>(Clamp255(b));
}

uint32_t Mix(uint32_t a, uint32_t b, float t) {
  t = t < 0 ? 0 : (t > 1 ? 1 : t);
  auto ch = [&](int s) {
    return static_cast<int>(std::lround(ChannelOf(a, s) + (ChannelOf(b, s) - ChannelOf(a, s)) * t));
  };
  return Argb(ch(24), ch(16), ch(8), ch(0));
}

uint32_t Shade(uint32_t c, float f) {
  auto ch = [&](int s) { return static_cast<int>(std::lround(ChannelOf(c, s) * f)); };
  return Argb(ChannelOf(c, 24), ch(16), ch(8), ch(0));
}

uint32_t WithAlpha(uint32_t c, int alpha) {
  return (c & 0x00FFFFFFu) | static_cast<uint32_t>(Clamp255(alpha)) << 24;
}

void FillRect(Picture* pic, int x0, int y0, int x1, int y1, uint32_t colour) {
  x0 = std::max(0, x0);
  y0 = std::max(0, y0);
  x1 = std::min(pic->width, x1);
  y1 = std::min(pic->height, y1);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) pic->at(x, y) = colour;
}

void Blend(Picture* pic, int x, int y, uint32_t colour) {
  if (x < 0 || y < 0 || x >= pic->width || y >= pic->height) return;
  const float a = ChannelOf(colour, 24) / 255.0f;
  const uint32_t under = pic->at(x, y);
  const uint32_t over = Mix(under, colour | 0xFF000000u, a);
  pic->at(x, y) = (over & 0x00FFFFFFu) | (std::max(under >> 24, colour >> 24) << 24);
}

void FillCircle(Picture* pic, float cx, float cy, float r, uint32_t colour) {
  const int x0 = static_cast<int>(std::floor(cx - r)), x1 = static_cast<int>(std::ceil(cx + r));
  const int y0 = static_cast<int>(std::floor(cy - r)), y1 = static_cast<int>(std::ceil(cy + r));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
      const float d = std::sqrt(dx * dx + dy * dy);
      if (d < r + 0.5f) {
        const float cover = std::min(1.0f, r + 0.5f - d);
        Blend(pic, x, y, WithAlpha(colour, static_cast<int>(ChannelOf(colour, 24) * cover)));
      }
    }
}

void DrawLine(Picture* pic, float x0, float y0, float x1, float y1, float width, uint32_t colour) {
  const float len = std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0));
  const int steps = std::max(1, static_cast<int>(len / std::max(0.5f, width * 0.25f)));
  for (int i = 0; i <= steps; ++i) {
    const float t = static_cast<float>(i) / steps;
    FillCircle(pic, x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width * 0.5f, colour);
  }
}

int TextWidth(const std::string& text, int scale) {
  return static_cast<int>(text.size()) * 6 * scale - (text.empty() ? 0 : scale);
}

int DrawText(Picture* pic, int x, int y, const std::string& text, int scale, uint32_t colour) {
  int cx = x;
  for (char c : text) {
    const Glyph* g = FindGlyph(c);
    if (g) {
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
          if (g->rows[row] & (0x10 >> col))
            FillRect(pic, cx + col * scale, y + row * scale, cx + (col + 1) * scale,
                     y + (row + 1) * scale, colour);
    }
    cx += 6 * scale;
  }
  return cx - x;
}

}  // namespace vrxdata
