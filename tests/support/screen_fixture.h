// A window with a working cScreen for drawing tests, and read-back of what
// was drawn. Drawing tests of the sprite, font, mesh and track build on it:
//
//   vrxtest::ScreenFixture f;
//   ASSERT_TRUE(f.Open(800, 600));
//   f.Screen().ClearScreen(0xFF000000);
//   ... draw ...
//   EXPECT_TRUE(vrxtest::Near(f.Pixel(400, 300), 0xFFFF0000, 8));
//   f.SaveScreenshot("my_test");   // <test temp dir>/my_test.png, to look at
#pragma once

#include <string>
#include <vector>

#include "cScreen.h"

namespace vrxtest {

class ScreenFixture {
 public:
  ScreenFixture() = default;
  ~ScreenFixture() { Close(); }
  ScreenFixture(const ScreenFixture&) = delete;
  ScreenFixture& operator=(const ScreenFixture&) = delete;

  // Shows a borderless width x height window and runs cScreen::Init3D on it:
  // windowed with a depth buffer (flags 1), or full screen at 32 bits with a
  // depth buffer (flags 7, as the game does). Then sets the game's menu view:
  // aspect 1.33, near 0.01, far 600, camera at the origin looking along +z,
  // up +y, world identity. False if no window or device can be made.
  bool Open(int width = 800, int height = 600, bool fullScreen = false, bool useW = false);
  // CleanUp and the window go; safe to call twice.
  void Close();

  cScreen& Screen() { return screen_; }
  IDirect3DDevice9* Device() { return screen_.GetDevicePointer(); }
  HWND Window() const { return window_; }

  // Render target 0 as 0xAARRGGBB pixels, rows from the top; empty on failure.
  // *width / *height get its size when given.
  std::vector<DWORD> ReadPixels(int* width = nullptr, int* height = nullptr);
  // One pixel of render target 0 (0 outside it).
  DWORD Pixel(int x, int y);
  // Writes what the player would see to <test temp dir>/<name>.png and
  // returns the path ("" on failure).
  std::string SaveScreenshot(const std::string& name);

 private:
  cScreen screen_;
  HWND window_ = nullptr;
  bool open_ = false;
};

inline int Alpha(DWORD c) { return (int)(c >> 24); }
inline int Red(DWORD c) { return (int)((c >> 16) & 0xFF); }
inline int Green(DWORD c) { return (int)((c >> 8) & 0xFF); }
inline int Blue(DWORD c) { return (int)(c & 0xFF); }
// Every colour channel (alpha ignored) within `tolerance` of the other's.
bool Near(DWORD a, DWORD b, int tolerance);
// "0xAARRGGBB", for test messages.
std::string Hex(DWORD c);

// Writes an uncompressed 32-bit TGA (rows from the top) of 0xAARRGGBB pixels.
bool WriteTga(const std::string& path, int width, int height, const std::vector<DWORD>& argb);

}  // namespace vrxtest
