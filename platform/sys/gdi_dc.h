// Inside the GDI stand-in: device contexts on a 32-bit pixel buffer, font
// objects and the FreeType faces behind them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/wingdi.h"

namespace vrxgdi {

// A scalable face at one pixel size with the line metrics GDI reports.
class FontFace {
 public:
  // The face for a logical font, or null when no font file can be found
  // (said once per process on stderr).
  static std::unique_ptr<FontFace> Open(const LOGFONTA& lf);
  ~FontFace();

  int Ascent() const { return ascent_; }
  int Descent() const { return descent_; }
  int Height() const { return ascent_ + descent_; }

  // One rendered character: 8-bit coverage, `pitch` bytes per row, placed
  // `left` pixels right of the pen and `top` pixels above the baseline.
  struct Glyph {
    int advance, left, top, width, rows, pitch;
    const uint8_t* coverage;
  };
  // False when the face has no glyph for the Windows-1252 byte. The coverage
  // stays valid until the next call.
  bool Render(uint8_t ch, Glyph* out);

 private:
  FontFace() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int ascent_ = 0, descent_ = 0;
};

}  // namespace vrxgdi

struct HGDIOBJ__ {
  LOGFONTA logfont;
  std::unique_ptr<vrxgdi::FontFace> face;  // opened at the first text drawn
  bool faceTried = false;
  bool stock = false;
};

// Pixels are 0xAARRGGBB, row 0 at the top, `width` pixels per row.
struct HDC__ {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  HGDIOBJ font = nullptr;
  COLORREF textColour = 0x000000;  // COLORREF is 0x00BBGGRR
  COLORREF backColour = 0xFFFFFF;
  bool opaqueBackground = true;
  // The locked surface the pixels go back to (VrxSurfaceReleaseDC).
  IDirect3DSurface9* surface = nullptr;
  void* lockedBits = nullptr;
  int lockedPitch = 0;
  DWORD surfaceFormat = 0;
};

namespace vrxgdi {

// A context with `width` x `height` pixels, all zero, SYSTEM_FONT selected.
HDC CreateMemoryDC(int width, int height);
void DeleteMemoryDC(HDC dc);

}  // namespace vrxgdi
