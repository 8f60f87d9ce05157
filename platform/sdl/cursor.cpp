// The mouse pointer: display counter, position in screen coordinates.
#include "fake_input.h"
#include "window.h"

namespace {
int g_cursorCount = 0;
}

int ShowCursor(BOOL show) {
  g_cursorCount += show ? 1 : -1;
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(g_cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
  return g_cursorCount;
}

void ReadCursorScreenPos(POINT* point) {
  const FakeInput& fake = TheFakeInput();
  if (fake.on) {
    *point = fake.cursor;
    return;
  }
  int x = 0, y = 0;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) {
    *point = POINT{0, 0};
    return;
  }
  // Inside one of our windows SDL already knows the position; asking the
  // display server is only needed when the pointer is elsewhere.
  if (SDL_Window* focus = SDL_GetMouseFocus()) {
    int wx = 0, wy = 0;
    SDL_GetMouseState(&x, &y);
    SDL_GetWindowPosition(focus, &wx, &wy);
    x += wx;
    y += wy;
  } else {
    SDL_GetGlobalMouseState(&x, &y);
  }
  *point = POINT{x, y};
}

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  PumpSdlEvents();
  ReadCursorScreenPos(point);
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  FakeInput& fake = TheFakeInput();
  if (fake.on) {
    fake.cursor = POINT{x, y};
    return TRUE;
  }
  if (!EnsureSdlVideo()) return FALSE;
  return SDL_WarpMouseGlobal(x, y) == 0 ? TRUE : FALSE;
}
