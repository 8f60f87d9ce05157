// Presentation: the back buffer reaches the window scaled to its size, the
// right way up, through the gamma ramp. Read from the window's own buffer:
// Mesa's software renderer keeps the presented picture in it after the swap
// (its front buffer cannot be read back).
#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "cScreen.h"
#include "platform/win32.h"
#include "sdl/window.h"

namespace {

typedef void (*ReadBufferFn)(unsigned);
typedef void (*ReadPixelsFn)(int, int, int, int, unsigned, unsigned, void*);
typedef void (*GetIntegervFn)(unsigned, int*);
typedef void (*BindFramebufferFn)(unsigned, unsigned);
constexpr unsigned kBack = 0x0405, kBgra = 0x80E1, kUnsignedByte = 0x1401;
constexpr unsigned kReadFramebuffer = 0x8CA8, kReadFramebufferBinding = 0x8CAA, kReadBufferState = 0x0C02;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The window as shown, rows from the top, 0xAARRGGBB.
std::vector<DWORD> ReadWindow(int w, int h) {
  auto readBuffer = (ReadBufferFn)SDL_GL_GetProcAddress("glReadBuffer");
  auto readPixels = (ReadPixelsFn)SDL_GL_GetProcAddress("glReadPixels");
  auto getIntegerv = (GetIntegervFn)SDL_GL_GetProcAddress("glGetIntegerv");
  auto bindFramebuffer = (BindFramebufferFn)SDL_GL_GetProcAddress("glBindFramebuffer");
  int framebuffer = 0, buffer = 0;
  getIntegerv(kReadFramebufferBinding, &framebuffer);
  bindFramebuffer(kReadFramebuffer, 0);
  getIntegerv(kReadBufferState, &buffer);
  readBuffer(kBack);
  std::vector<DWORD> bottomUp((size_t)w * h), out((size_t)w * h);
  readPixels(0, 0, w, h, kBgra, kUnsignedByte, bottomUp.data());
  readBuffer((unsigned)buffer);
  bindFramebuffer(kReadFramebuffer, (unsigned)framebuffer);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out[(size_t)y * w + x] = bottomUp[(size_t)(h - 1 - y) * w + x] | 0xFF000000u;
  return out;
}

HWND MakeWindow(int w, int h) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = "VrxPresentTest";
    registered = RegisterClassExA(&wc) != 0;
  }
  return registered ? CreateWindowExA(0, "VrxPresentTest", "present", WS_POPUP, 0, 0, w, h, nullptr, nullptr,
                                      nullptr, nullptr)
                    : nullptr;
}

// A ramp that halves red and leaves green and blue.
D3DGAMMARAMP HalfRed() {
  D3DGAMMARAMP ramp;
  for (int i = 0; i < 256; ++i) {
    ramp.red[i] = (WORD)(i * 128);
    ramp.green[i] = ramp.blue[i] = (WORD)(i * 257);
  }
  return ramp;
}

TEST(Present, BackBufferIsScaledIntoTheWindowThroughTheGammaRamp) {
  HWND window = MakeWindow(200, 150);
  ASSERT_NE(nullptr, window);
  ShowWindow(window, SW_SHOW);
  cScreen screen;
  // A windowed 100 x 75 back buffer in a 200 x 150 window.
  ASSERT_EQ(1, screen.Init3D(window, 100, 75, 1, FALSE));
  IDirect3DDevice9* dev = screen.GetDevicePointer();
  // Top rows green; below them red on the left, blue on the right.
  D3DRECT left{0, 0, 50, 75}, right{50, 0, 100, 75}, top{0, 0, 100, 20};
  dev->Clear(1, &left, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
  dev->Clear(1, &right, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  dev->Clear(1, &top, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
  screen.SetGamma(0);
  ASSERT_EQ(1, screen.Flip());
  std::vector<DWORD> px = ReadWindow(200, 150);
  EXPECT_EQ(0xFF00FF00, px[10 * 200 + 100]);   // top
  EXPECT_EQ(0xFF00FF00, px[36 * 200 + 100]);   // row 18 of the back buffer, doubled
  EXPECT_EQ(0xFFFF0000, px[100 * 200 + 50]);   // lower left
  EXPECT_EQ(0xFF0000FF, px[100 * 200 + 150]);  // lower right
  EXPECT_EQ(0xFFFF0000, px[149 * 200 + 96]);   // the scaling covers the whole window
  EXPECT_EQ(0xFF0000FF, px[149 * 200 + 199]);

  // A ramp that halves red and leaves the rest: the window shows it, the
  // back buffer keeps its colours.
  D3DGAMMARAMP ramp = HalfRed();
  dev->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &ramp);
  ASSERT_EQ(1, screen.Flip());
  px = ReadWindow(200, 150);
  EXPECT_EQ(0xFF7F0000, px[100 * 200 + 50]);
  EXPECT_EQ(0xFF00FF00, px[10 * 200 + 100]);
  IDirect3DSurface9* back = nullptr;
  dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  D3DLOCKED_RECT lr;
  RECT one{10, 40, 11, 41};
  ASSERT_EQ(D3D_OK, back->LockRect(&lr, &one, D3DLOCK_READONLY));
  EXPECT_EQ(0xFFFF0000u, *static_cast<DWORD*>(lr.pBits) | 0xFF000000u);
  back->UnlockRect();
  back->Release();

  screen.CleanUp();
  DestroyWindow(window);
}

// A window of the back buffer's own size gets its pixels one for one, rows
// from the top, through the ramp: every level of every channel.
TEST(Present, BackBufferOfTheWindowsSizeIsShownPixelForPixel) {
  HWND window = MakeWindow(256, 75);
  ASSERT_NE(nullptr, window);
  ShowWindow(window, SW_SHOW);
  cScreen screen;
  ASSERT_EQ(1, screen.Init3D(window, 256, 75, 1, FALSE));
  IDirect3DDevice9* dev = screen.GetDevicePointer();
  // Row 0: one grey level per column; below it red on the left, blue on the right.
  for (LONG x = 0; x < 256; ++x) {
    D3DRECT column{x, 0, x + 1, 1};
    dev->Clear(1, &column, D3DCLEAR_TARGET, 0xFF000000u | (DWORD)x * 0x010101u, 1.0f, 0);
  }
  D3DRECT left{0, 1, 128, 75}, right{128, 1, 256, 75};
  dev->Clear(1, &left, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
  dev->Clear(1, &right, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  D3DGAMMARAMP ramp = HalfRed();
  dev->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &ramp);
  ASSERT_EQ(1, screen.Flip());
  std::vector<DWORD> px = ReadWindow(256, 75);
  for (DWORD x = 0; x < 256; ++x)
    ASSERT_EQ(0xFF000000u | (x * 128 >> 8) << 16 | x << 8 | x, px[x]) << "level " << x;
  EXPECT_EQ(0xFF7F0000, px[1 * 256 + 0]);
  EXPECT_EQ(0xFF7F0000, px[74 * 256 + 127]);
  EXPECT_EQ(0xFF0000FF, px[1 * 256 + 128]);
  EXPECT_EQ(0xFF0000FF, px[74 * 256 + 255]);
  screen.CleanUp();
  DestroyWindow(window);
}

// After a change of the window's size: the display takes it, and the
// drawing library's buffer follows with the next presentation.
void ShowNewSize(cScreen& screen) {
  MSG m;
  for (int i = 0; i < 3; ++i) {
    SDL_Delay(50);
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    screen.Flip();
  }
}

// A window of another shape: the picture keeps its aspect, centred, with
// black bars; a window of the back buffer's shape at twice its size has
// none. Read back through the pixel-for-pixel path too (no scaling).
TEST(Present, ThePictureKeepsItsAspectWithBlackBars) {
  HWND window = MakeWindow(300, 150);
  ASSERT_NE(nullptr, window);
  ShowWindow(window, SW_SHOW);
  cScreen screen;
  ASSERT_EQ(1, screen.Init3D(window, 100, 75, 1, FALSE));
  IDirect3DDevice9* dev = screen.GetDevicePointer();
  screen.SetGamma(0);
  // The client area the program sees is the back buffer's.
  EXPECT_EQ(100.0f, screen.GetPixelSize().x);
  EXPECT_EQ(75.0f, screen.GetPixelSize().y);
  D3DRECT left{0, 0, 50, 75}, right{50, 0, 100, 75};
  dev->Clear(1, &left, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
  dev->Clear(1, &right, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  ASSERT_EQ(1, screen.Flip());
  std::vector<DWORD> px = ReadWindow(300, 150);
  for (int y : {0, 75, 149}) {
    EXPECT_EQ(0xFF000000, px[y * 300 + 0]) << "row " << y;
    EXPECT_EQ(0xFF000000, px[y * 300 + 49]) << "row " << y;
    EXPECT_EQ(0xFFFF0000, px[y * 300 + 51]) << "row " << y;
    EXPECT_EQ(0xFF0000FF, px[y * 300 + 248]) << "row " << y;
    EXPECT_EQ(0xFF000000, px[y * 300 + 251]) << "row " << y;
    EXPECT_EQ(0xFF000000, px[y * 300 + 299]) << "row " << y;
  }

  // Taller than the picture, at the picture's own size: bars above and
  // below, the rows in between one for one.
  SDL_SetWindowSize(SdlWindowFromHwnd(window), 100, 125);
  D3DRECT top{0, 0, 100, 1};
  dev->Clear(1, &top, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
  ShowNewSize(screen);
  px = ReadWindow(100, 125);
  EXPECT_EQ(0xFF000000, px[24 * 100 + 10]);
  EXPECT_EQ(0xFF00FF00, px[25 * 100 + 10]);   // the picture's first row
  EXPECT_EQ(0xFFFF0000, px[26 * 100 + 10]);
  EXPECT_EQ(0xFF0000FF, px[99 * 100 + 90]);   // its last row
  EXPECT_EQ(0xFF000000, px[100 * 100 + 90]);
  screen.CleanUp();
  DestroyWindow(window);
}

// Full screen and back without a reset: textures, the back buffer and the
// device state all stay; the window gets its own size and place back, and
// only a window may be resized.
TEST(Present, SwitchingBetweenWindowAndFullScreenKeepsEverything) {
  HWND window = MakeWindow(240, 180);
  ASSERT_NE(nullptr, window);
  ShowWindow(window, SW_SHOW);
  cScreen screen;
  ASSERT_EQ(1, screen.Init3D(window, 160, 120, 1, FALSE));
  SDL_Window* sdl = SdlWindowFromHwnd(window);
  EXPECT_EQ(1, screen.IsWindowed());
  EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_RESIZABLE);
  IDirect3DDevice9* dev = screen.GetDevicePointer();
  IDirect3DTexture9* target = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target,
                                       nullptr));
  dev->SetRenderState(D3DRS_FOGENABLE, TRUE);
  D3DRECT all{0, 0, 160, 120};
  dev->Clear(1, &all, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);

  ASSERT_EQ(1, screen.SetWindowed(FALSE));
  EXPECT_EQ(0, screen.IsWindowed());
  EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_RESIZABLE);
  EXPECT_EQ(D3D_OK, dev->TestCooperativeLevel());  // nothing to reset
  int w = 0, h = 0;
  SDL_GetWindowSize(sdl, &w, &h);
  EXPECT_EQ(160, w);  // no 160 x 120 display mode: a window of the back buffer's size
  EXPECT_EQ(120, h);
  ShowNewSize(screen);
  EXPECT_EQ(0xFF336699, ReadWindow(160, 120)[60 * 160 + 80] | 0xFF000000u);

  ASSERT_EQ(1, screen.SetWindowed(TRUE));
  SDL_GetWindowSize(sdl, &w, &h);
  EXPECT_EQ(240, w);
  EXPECT_EQ(180, h);
  EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_RESIZABLE);
  DWORD fog = 0;
  dev->GetRenderState(D3DRS_FOGENABLE, &fog);
  EXPECT_EQ((DWORD)TRUE, fog);
  IDirect3DSurface9* level = nullptr;
  EXPECT_EQ(D3D_OK, target->GetSurfaceLevel(0, &level));
  if (level) level->Release();
  ShowNewSize(screen);
  EXPECT_EQ(0xFF336699, ReadWindow(240, 180)[90 * 240 + 120] | 0xFF000000u);
  target->Release();
  screen.CleanUp();

  // A window whose back buffer is larger than every display mode stays one.
  SDL_DisplayMode largest;
  ASSERT_EQ(0, SDL_GetDisplayMode(0, 0, &largest));
  ASSERT_EQ(1, screen.Init3D(window, (DWORD)largest.w + 1, (DWORD)largest.h, 1, FALSE));
  EXPECT_EQ(0, screen.SetWindowed(FALSE));
  EXPECT_EQ(1, screen.IsWindowed());
  EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_RESIZABLE);
  screen.CleanUp();
  DestroyWindow(window);
}

}  // namespace

// Full screen needs a display mode at least as large as the back buffer; a
// hand-edited size past every mode makes no device instead of a window
// beyond the screen holding gigabytes of buffers.
TEST(Present, FullScreenLargerThanEveryDisplayModeMakesNoDevice) {
  HWND window = MakeWindow(320, 240);
  ASSERT_NE(nullptr, window);
  SDL_DisplayMode largest;
  ASSERT_EQ(0, SDL_GetDisplayMode(0, 0, &largest));
  ShowWindow(window, SW_SHOW);
  cScreen screen;
  EXPECT_EQ(0, screen.Init3D(window, (DWORD)largest.w + 1, (DWORD)largest.h, 7, FALSE));
  screen.CleanUp();
  EXPECT_EQ(0, screen.Init3D(window, (DWORD)largest.w, (DWORD)largest.h * 12, 7, FALSE));
  screen.CleanUp();
  EXPECT_EQ(1, screen.Init3D(window, 320, 240, 7, FALSE));
  screen.CleanUp();
  DestroyWindow(window);
}
