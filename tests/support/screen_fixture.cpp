#include "screen_fixture.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/win32.h"

namespace vrxtest {

namespace {

const char* kWindowClass = "VrxTestScreen";

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool RegisterOnce() {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.lpszClassName = kWindowClass;
  registered = RegisterClassExA(&wc) != 0;
  return registered;
}

DWORD ToArgb(D3DFORMAT format, const uint8_t* p) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
      return p[0] | (p[1] << 8) | (p[2] << 16) | ((DWORD)p[3] << 24);
    case D3DFMT_X8R8G8B8:
      return p[0] | (p[1] << 8) | (p[2] << 16) | 0xFF000000u;
    case D3DFMT_R5G6B5: {
      unsigned v = p[0] | (p[1] << 8);
      unsigned r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
      return 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
    }
    case D3DFMT_A4R4G4B4: {
      unsigned v = p[0] | (p[1] << 8);
      return ((DWORD)((v >> 12) & 15) * 0x11u << 24) | (((v >> 8) & 15) * 0x11u << 16) |
             (((v >> 4) & 15) * 0x11u << 8) | ((v & 15) * 0x11u);
    }
    default:
      return 0;
  }
}

std::string ScreenshotDir() {
  const char* base = std::getenv("VRX_TEST_TMP");
  std::filesystem::path dir = base ? std::filesystem::path(base) : std::filesystem::temp_directory_path() / "vrx-tests";
  dir /= "screenshots";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir.string();
}

}  // namespace

bool ScreenFixture::Open(int width, int height, bool fullScreen, bool useW) {
  Close();
  // Other programs on a shared test display must not make a full-screen
  // window minimise itself when they take the focus.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  if (!RegisterOnce()) return false;
  window_ = CreateWindowExA(0, kWindowClass, "vrx test", WS_POPUP, 0, 0, width, height, nullptr, nullptr, nullptr,
                            nullptr);
  if (!window_) return false;
  ShowWindow(window_, SW_SHOW);
  if (!screen_.Init3D(window_, (DWORD)width, (DWORD)height, fullScreen ? 7 : 1, useW ? TRUE : FALSE)) {
    fprintf(stderr, "screen fixture: Init3D failed\n");
    DestroyWindow(window_);
    window_ = nullptr;
    return false;
  }
  open_ = true;
  screen_.SetTransformMatrix(1.33f, 0.0f, 0.01f, 600.0f, FALSE);
  screen_.SetCamera(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(0, 1, 0));
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  screen_.SetWorldMatrix(&identity);
  return true;
}

void ScreenFixture::Close() {
  if (open_) screen_.CleanUp();
  open_ = false;
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
}

std::vector<DWORD> ScreenFixture::ReadPixels(int* width, int* height) {
  std::vector<DWORD> out;
  IDirect3DDevice9* dev = Device();
  IDirect3DSurface9* target = nullptr;
  if (!dev || FAILED(dev->GetRenderTarget(0, &target))) return out;
  D3DSURFACE_DESC desc;
  target->GetDesc(&desc);
  D3DLOCKED_RECT lr;
  if (SUCCEEDED(target->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
    int bpp = (desc.Format == D3DFMT_R5G6B5 || desc.Format == D3DFMT_A4R4G4B4) ? 2 : 4;
    out.resize((size_t)desc.Width * desc.Height);
    for (UINT y = 0; y < desc.Height; ++y)
      for (UINT x = 0; x < desc.Width; ++x)
        out[(size_t)y * desc.Width + x] =
            ToArgb(desc.Format, static_cast<const uint8_t*>(lr.pBits) + (size_t)y * lr.Pitch + (size_t)x * bpp);
    target->UnlockRect();
  }
  target->Release();
  if (width) *width = (int)desc.Width;
  if (height) *height = (int)desc.Height;
  return out;
}

DWORD ScreenFixture::Pixel(int x, int y) {
  int w = 0, h = 0;
  std::vector<DWORD> pixels = ReadPixels(&w, &h);
  if (x < 0 || y < 0 || x >= w || y >= h || pixels.empty()) return 0;
  return pixels[(size_t)y * w + x];
}

std::string ScreenFixture::SaveScreenshot(const std::string& name) {
  std::string path = ScreenshotDir() + "/" + name + ".png";
  return Device() && SUCCEEDED(VrxSaveScreenshot(Device(), path.c_str())) ? path : std::string();
}

bool Near(DWORD a, DWORD b, int tolerance) {
  return std::abs(Red(a) - Red(b)) <= tolerance && std::abs(Green(a) - Green(b)) <= tolerance &&
         std::abs(Blue(a) - Blue(b)) <= tolerance;
}

std::string Hex(DWORD c) {
  char s[16];
  snprintf(s, sizeof s, "0x%08X", c);
  return s;
}

bool WriteTga(const std::string& path, int width, int height, const std::vector<DWORD>& argb) {
  if ((int)argb.size() != width * height) return false;
  std::vector<uint8_t> file(18 + argb.size() * 4, 0);
  file[2] = 2;  // uncompressed true colour
  file[12] = (uint8_t)width;
  file[13] = (uint8_t)(width >> 8);
  file[14] = (uint8_t)height;
  file[15] = (uint8_t)(height >> 8);
  file[16] = 32;
  file[17] = 0x28;  // 8 alpha bits, first row at the top
  for (size_t i = 0; i < argb.size(); ++i) {
    DWORD c = argb[i];
    file[18 + i * 4] = (uint8_t)c;
    file[19 + i * 4] = (uint8_t)(c >> 8);
    file[20 + i * 4] = (uint8_t)(c >> 16);
    file[21 + i * 4] = (uint8_t)(c >> 24);
  }
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(file.data(), 1, file.size(), f) == file.size();
  return fclose(f) == 0 && ok;
}

}  // namespace vrxtest
