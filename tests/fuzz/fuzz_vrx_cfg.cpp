// The screen settings file "vrx.cfg": read as the start-up reads it, then
// the device made at the size and colour depth it gives and the menu's
// first frame drawn. The adapter check that comes between is left out, so
// that every record reaches the device.
#include "cScreen.h"
#include "fuzz_support.h"
#include "platform/win32.h"
#include "shell/player_files.h"
#include "shell/program.h"

namespace {
LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) { return DefWindowProcA(hwnd, msg, w, l); }
HWND g_window = nullptr;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vrxfuzz::WorkDir();
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = "VrxFuzzCfg";
  RegisterClassExA(&wc);
  g_window = CreateWindowExA(0, "VrxFuzzCfg", "VRX", 8, 100, 100, 808, 606, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(g_window, SW_SHOWDEFAULT);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput("vrx.cfg", data, size);
  _SCREENCFG cfg = {};
  if (!ReadScreenConfig("vrx.cfg", &cfg)) return 0;
  cScreen screen;
  if (screen.Init3D(g_window, cfg.Width, cfg.Height, cfg.Colour32 ? 7 : 6, 1)) {
    // The race's far plane comes from the view distance.
    screen.SetTransformMatrix(1.33f, 0.0f, 0.1f, (float)cfg.ViewDistance * 80.0f, FALSE);
    screen.ClearScreen();
    screen.Flip();
  }
  screen.CleanUp();
  return 0;
}
