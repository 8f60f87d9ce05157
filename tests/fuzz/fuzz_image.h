// Image files as the game loads them: a texture with its full mip chain (the
// file's format), the same with one level and a colour key (fonts, sprites,
// the cursor), and drawn on with GDI as the number plate is.
#pragma once

#include <string>

#include "cTexture.h"
#include "fuzz_support.h"
#include "platform/wingdi.h"

namespace vrxfuzz {
inline void LoadImageAsTheGameDoes(const char* file, const uint8_t* data, size_t size) {
  WriteInput(file, data, size);
  cScreen* screen = Screen();
  {
    cTexture t(file, screen);
    (void)t.GetTextureInfo();
    (void)t.GetImageInfo();
    t.Set(0);
    t.Set(0);
  }
  cTexture keyed(file, screen, 0xFF000000);
  if (HDC dc = keyed.GetDC()) {
    RECT r = {0, 0, 64, 16};
    DrawTextA(dc, "AB 123", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    keyed.ReleaseDC();
  }
}
}  // namespace vrxfuzz
