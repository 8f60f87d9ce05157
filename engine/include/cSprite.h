// cSprite: one image drawn as a screen-space quad through the screen's
// shared sprite object, scaled, rotated about a centre point and tinted.
#pragma once

#include "platform/d3d9.h"

class cScreen;
class cTexture;

class cSprite {
 public:
  // Loads the image at its own size with a full mip chain; an image that
  // cannot be loaded leaves the sprite empty, drawing nothing.
  cSprite(const char* file, cScreen* screen);
  virtual ~cSprite();

  // The image's centre point (texels) lands on `position` (pixels), turned
  // by `angle` radians about it and scaled. Depth testing is off while it
  // draws and is left as less-or-equal with writes on.
  void Draw(const D3DXVECTOR2* scale, const D3DXVECTOR2* centre, float angle, const D3DXVECTOR2* position,
            DWORD colour);
  // The same with the position as fractions of the client area and the
  // scale relative to a 1000 x 750 client area.
  void DrawRelative(const D3DXVECTOR2* scale, const D3DXVECTOR2* centre, float angle, const D3DXVECTOR2* position,
                    DWORD colour);
  // Level-0 description: the image's width and height in texels.
  D3DSURFACE_DESC GetTextureInfo() { return desc; }

 private:
  cScreen* screen;
  cTexture* texture;
  D3DSURFACE_DESC desc;
};
