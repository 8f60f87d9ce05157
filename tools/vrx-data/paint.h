// Drawing helpers for the procedural pictures: colour arithmetic, shapes and a
// small block-letter font.
#pragma once

#include <cstdint>
#include <string>

#include "image_files.h"

namespace vrxdata {

inline int ChannelOf(uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }
uint32_t Argb(int a, int r, int g, int b);  // each clamped to 0..255
// Linear mix of two colours, alpha included; t in 0..1.
uint32_t Mix(uint32_t a, uint32_t b, float t);
// Scales the colour channels (alpha unchanged).
uint32_t Shade(uint32_t c, float f);
uint32_t WithAlpha(uint32_t c, int alpha);

void FillRect(Picture* pic, int x0, int y0, int x1, int y1, uint32_t colour);  // [x0, x1) x [y0, y1)
// Alpha-blends `colour` (by its own alpha) over the pixel.
void Blend(Picture* pic, int x, int y, uint32_t colour);
void FillCircle(Picture* pic, float cx, float cy, float r, uint32_t colour);
// A line `width` pixels wide between two points.
void DrawLine(Picture* pic, float x0, float y0, float x1, float y1, float width, uint32_t colour);
// Block letters (A-Z, 0-9, space, '-', '/', '.'), each cell 6 x 8 units of
// `scale` pixels; returns the width drawn.
int DrawText(Picture* pic, int x, int y, const std::string& text, int scale, uint32_t colour);
int TextWidth(const std::string& text, int scale);

}  // namespace vrxdata
