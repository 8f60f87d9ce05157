// Message boxes: a line on stderr, and SDL's simple box where a display is.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/testing.h"
#include "window.h"

namespace {
bool g_stderrOnly = false;

bool DialogsAllowed() {
  if (g_stderrOnly) return false;
  const char* env = std::getenv("VRX_NO_DIALOGS");
  return !(env && *env && std::strcmp(env, "0") != 0);
}
}  // namespace

int MessageBoxA(HWND hwnd, LPCSTR text, LPCSTR caption, UINT type) {
  if (!text) text = "";
  if (!caption) caption = "Error";
  std::fprintf(stderr, "%s: %s\n", caption, text);
  if (!DialogsAllowed()) return IDOK;
  Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
  switch (type & 0xF0) {
    case MB_ICONHAND: flags = SDL_MESSAGEBOX_ERROR; break;
    case MB_ICONEXCLAMATION: flags = SDL_MESSAGEBOX_WARNING; break;
    default: break;
  }
  // Without a display this fails quietly; the stderr line has said it all.
  SDL_ShowSimpleMessageBox(flags, caption, text, SdlWindowFromHwnd(hwnd));
  return IDOK;
}

namespace vrxtesting {
void SetMessageBoxesToStderr(bool on) { g_stderrOnly = on; }
}  // namespace vrxtesting
