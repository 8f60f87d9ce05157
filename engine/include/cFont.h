// cFont: text from a bitmap font, one image of 16 x 16 square character
// cells (side = image height / 16) with an optional width file of 256 bytes
// for proportional spacing. Draws through the screen's shared sprite object.
#pragma once

#include "platform/d3d9.h"

class cScreen;
class cTexture;

class cFont {
 public:
  // The image is loaded with one mip level and the colour key. Without a
  // width file (null name) every character is image width / 16 wide; a
  // width file that cannot be read leaves the widths it does not give at 0.
  cFont(const char* image, const char* widthFile, DWORD colourKey, cScreen* screen);
  ~cFont();

  // Pixel position of the text's top-left corner and pixel scale.
  void PutText(float x, float y, float sx, float sy, const char* text);
  // The same in a colour: the glyphs' colours times this ARGB colour.
  void PutText(float x, float y, float sx, float sy, const char* text, DWORD colour);
  void PutText(float x, float y, float sx, float sy, int value);    // "%i"
  void PutText(float x, float y, float sx, float sy, float value);  // "%.2f"
  // Position as fractions of the client area, scale relative to a
  // 1000 x 750 client area.
  void PutTextRelative(float x, float y, float sx, float sy, const char* text);
  void PutTextRelative(float x, float y, float sx, float sy, const char* text, DWORD colour);
  void PutTextRelative(float x, float y, float sx, float sy, int value);
  void PutTextRelative(float x, float y, float sx, float sy, float value);

  BYTE GetRowHeight() { return rowHeight; }
  BYTE GetCharacterWidth(BYTE c) { return widths[c]; }
  // Sum of the text's character widths, unscaled.
  DWORD GetPixelLength(const char* text);

 private:
  cTexture* texture;
  cScreen* screen;
  BYTE rowHeight;
  BYTE widths[256];
};
