// cCursor: the mouse pointer image drawn at the cursor's position, its
// top-left corner being the hot spot.
#pragma once

#include "platform/types.h"

class cScreen;
class cSprite;

class cCursor {
 public:
  cCursor(const char* image, cScreen* screen);
  ~cCursor();
  // Relative scale as for cSprite::DrawRelative.
  void Draw(float scale);

 private:
  cScreen* screen;
  cSprite* sprite;
  HWND window;
};
