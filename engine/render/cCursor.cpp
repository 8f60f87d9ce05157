#include "cCursor.h"

#include "cScreen.h"
#include "cSprite.h"
#include "platform/win32.h"

cCursor::cCursor(const char* image, cScreen* screen)
    : screen(screen), sprite(new cSprite(image, screen)), window(screen->GetWindowHandle()) {}

cCursor::~cCursor() { delete sprite; }

void cCursor::Draw(float scale) {
  POINT p{0, 0};
  GetCursorPos(&p);
  ScreenToClient(window, &p);
  const D3DXVECTOR2 size = screen->GetPixelSize();
  if (size.x <= 0 || size.y <= 0) return;
  const D3DXVECTOR2 s(scale, scale), centre(0.0f, 0.0f), at(p.x / size.x, p.y / size.y);
  sprite->DrawRelative(&s, &centre, 0.0f, &at, 0xFFFFFFFF);
}
