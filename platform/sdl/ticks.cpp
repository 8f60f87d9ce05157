// The millisecond tick counter, with a clock tests can replace.
#include "platform/testing.h"
#include "platform/win32.h"

#include <SDL.h>

namespace {
vrxtesting::TickSource g_source = nullptr;
DWORD g_fakeNow = 0;
DWORD FakeNow() { return g_fakeNow; }
}  // namespace

DWORD GetTickCount() {
  if (g_source) return g_source();
  // SDL's counter is 32-bit milliseconds and wraps after 49.7 days, like Windows'.
  return static_cast<DWORD>(SDL_GetTicks());
}

namespace vrxtesting {

void SetTickSource(TickSource source) { g_source = source; }

void SetFakeTickCount(DWORD now) {
  g_fakeNow = now;
  g_source = FakeNow;
}

}  // namespace vrxtesting
