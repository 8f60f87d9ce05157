// TrueType text for the game's pictures and its bitmap font: a font file
// found through fontconfig, rendered with FreeType into coverage masks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "art_paint.h"

namespace vrxdata {

class FontFace {
public:
  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  // The first family of the list that fontconfig has installed (an exact
  // family match, not a substitute), in the asked style; null with one
  // line on stderr when none is.
  static std::unique_ptr<FontFace> Open(const std::vector<std::string>& families, bool bold,
                                        bool italic);
  // The game's own sans: Liberation Sans, else DejaVu Sans.
  static std::unique_ptr<FontFace> OpenSans(bool bold, bool italic = false);

  const std::string& File() const { return file; }
  void SetPixelSize(float px);

  // The character of a byte of the game's texts (Windows-1252; 0 for the
  // five codes it leaves undefined and for control codes).
  static uint32_t CodePoint(uint8_t byte);
  bool HasGlyph(uint32_t codePoint) const;

  // Horizontal advance in pixels (unhinted, fractional).
  float Advance(uint32_t codePoint);
  float TextWidth(const std::string& text);
  // Ascender and descender of the face at the current size (pixels, both positive).
  float Ascent() const;
  float Descent() const;

  // Glyph bounds relative to the pen on the baseline: top above the baseline
  // and bottom below it, in whole pixels of the rendered bitmap.
  struct Extent {
    int left = 0, right = 0, top = 0, bottom = 0;
  };
  Extent GlyphExtent(uint32_t codePoint, bool hinted);

  // Adds a glyph's coverage to the mask with the pen at (x, baseline y).
  // Hinted rendering snaps to whole pixels (for small text); unhinted keeps
  // fractional positions (for large display text).
  void DrawGlyph(Mask* mask, float x, float y, uint32_t codePoint, bool hinted = false);
  // A line of bytes of the game's texts; returns the pen's end x.
  float DrawText(Mask* mask, float x, float y, const std::string& text, bool hinted = false);

private:
  FontFace() = default;
  struct Impl;
  std::unique_ptr<Impl> impl;
  std::string file;
};

}  // namespace vrxdata
