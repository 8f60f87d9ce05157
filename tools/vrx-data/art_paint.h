// Painting the game's pictures: a floating-point canvas with source-over
// compositing, shapes given as signed distance functions (so every edge is
// antialiased the same way), coverage masks for text and effects, and
// deterministic noise. Everything is plain arithmetic, so a picture comes out
// the same on every run.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "image_files.h"

namespace vrxdata {

// Straight (not premultiplied) colour, every channel 0..1.
struct Rgba {
  float r = 0, g = 0, b = 0, a = 0;
};

// 0xRRGGBB with the given alpha.
Rgba Rgb(uint32_t rgb, float a = 1.0f);
Rgba Mix(const Rgba& x, const Rgba& y, float t);
inline float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }
inline float SmoothStep(float e0, float e1, float x) {
  const float t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3.0f - 2.0f * t);
}
// Pixel coverage of a signed distance (pixels, negative inside): a one-pixel ramp.
inline float Coverage(float sd) { return Clamp01(0.5f - sd); }

// Signed distances in pixels, negative inside.
float SdCircle(float x, float y, float cx, float cy, float r);
// Box centred at (cx, cy) with half sizes (hw, hh) and rounded corners of radius r.
float SdRoundBox(float x, float y, float cx, float cy, float hw, float hh, float r);
// Segment from a to b thickened to radius r.
float SdCapsule(float x, float y, float ax, float ay, float bx, float by, float r);
struct Vec2f {
  float x, y;
};
// Closed polygon (either winding).
float SdPolygon(float x, float y, const std::vector<Vec2f>& poly);

// A coverage mask, 0..1 per pixel (text, shapes to be outlined or blurred).
struct Mask {
  int width = 0, height = 0;
  std::vector<float> v;
  Mask() = default;
  Mask(int w, int h) : width(w), height(h), v(size_t(w) * h, 0.0f) {}
  float at(int x, int y) const {
    return (x < 0 || y < 0 || x >= width || y >= height) ? 0.0f : v[size_t(y) * width + x];
  }
  float& ref(int x, int y) { return v[size_t(y) * width + x]; }
};
// Grows a mask by r pixels (a soft morphological maximum).
Mask Dilate(const Mask& m, float r);
// Three box blurs of radius r: close to a Gaussian.
Mask Blur(const Mask& m, int r);

class Canvas {
public:
  Canvas(int w, int h, Rgba fill = Rgba{});
  int Width() const { return width; }
  int Height() const { return height; }

  // Source-over of colour c at coverage k.
  void Over(int x, int y, const Rgba& c, float k);
  // Replaces a pixel outright.
  void Set(int x, int y, const Rgba& c);
  Rgba Get(int x, int y) const;

  // Paints every pixel in [x0, x1) x [y0, y1) (clipped) whose centre the
  // signed distance covers, in the colour colour(px, py) (pixel centres).
  template <class Sdf, class Colour>
  void Fill(int x0, int y0, int x1, int y1, const Sdf& sdf, const Colour& colour) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width);
    y1 = std::min(y1, height);
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const float px = x + 0.5f, py = y + 0.5f;
        const float k = Coverage(sdf(px, py));
        if (k > 0.0f) Over(x, y, colour(px, py), k);
      }
    }
  }
  template <class Sdf>
  void FillSolid(int x0, int y0, int x1, int y1, const Sdf& sdf, const Rgba& c) {
    Fill(x0, y0, x1, y1, sdf, [&](float, float) { return c; });
  }
  // Paints the whole canvas pixel by pixel: colour(px, py) over what is there.
  template <class Colour>
  void Shade(const Colour& colour) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) Over(x, y, colour(x + 0.5f, y + 0.5f), 1.0f);
  }
  // Paints a mask placed with its top-left at (dx, dy).
  template <class Colour>
  void FillMask(const Mask& m, int dx, int dy, const Colour& colour) {
    for (int y = 0; y < m.height; ++y) {
      for (int x = 0; x < m.width; ++x) {
        const float k = m.v[size_t(y) * m.width + x];
        const int cx = x + dx, cy = y + dy;
        if (k > 0.0f && cx >= 0 && cy >= 0 && cx < width && cy < height)
          Over(cx, cy, colour(cx + 0.5f, cy + 0.5f), k);
      }
    }
  }
  void FillMaskSolid(const Mask& m, int dx, int dy, const Rgba& c) {
    FillMask(m, dx, dy, [&](float, float) { return c; });
  }

  // 8 bits a channel, alpha kept.
  Picture ToPicture() const;

private:
  int width, height;
  std::vector<float> px;  // premultiplied r, g, b, a
};

// Smooth value noise 0..1 on a lattice of unit cells, repeating every
// `period` cells in x and y (period 0: no repetition).
float ValueNoise(float x, float y, uint32_t seed, int period = 0);
// Sum of octaves of ValueNoise (each twice the frequency, half the weight), 0..1.
float Fbm(float x, float y, uint32_t seed, int octaves, int period = 0);
// A deterministic hash to 0..1.
float Hash01(uint32_t a, uint32_t b = 0, uint32_t c = 0);

}  // namespace vrxdata
