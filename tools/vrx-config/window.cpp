// The settings window: a row per setting (screen mode, colour depth, view
// distance, game controller, full screen or window), each stepped with its arrows or the arrow
// keys, and Save and Cancel. It
// draws with the game's own font and button pictures from DATA/MENU, so it
// looks like the game.
#include <SDL.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "settings.h"

namespace vrxconfig {

namespace {

// Rows are kRowPitch apart from kFirstRow; Save and Cancel below the last.
constexpr int kRows = 5, kFirstRow = 62, kRowPitch = 60;
constexpr int kWidth = 460, kHeight = kFirstRow + kRows * kRowPitch + 88;

struct Font {
  SDL_Texture* texture = nullptr;
  int row = 0;
  uint8_t widths[256] = {};

  // Advance of a character, as the game's font spaces them.
  int Advance(unsigned char c) const { return row - 2 * uint8_t((row - widths[c]) / 2); }
  float Width(const std::string& s, float scale) const {
    float w = 0;
    for (unsigned char c : s) w += Advance(c) * scale;
    return w;
  }
  void Draw(SDL_Renderer* r, float x, float y, float scale, const std::string& s) const {
    for (unsigned char c : s) {
      const int e = uint8_t((row - widths[c]) / 2);
      const SDL_Rect src{row * (c % 16) + e, row * (c / 16) + 1, row - 2 * e, row - 2};
      const SDL_Rect dst{int(x), int(y), int(src.w * scale + 0.5f), int(src.h * scale + 0.5f)};
      if (src.w > 0) SDL_RenderCopy(r, texture, &src, &dst);
      x += src.w * scale;
    }
  }
};

std::string DataFile(const char* name) { return vrx::ResolvePath((vrx::ProgramDir() + "/" + name).c_str()); }

SDL_Texture* LoadPicture(SDL_Renderer* r, const char* name) {
  const std::string path = DataFile(name);
  int w = 0, h = 0, n = 0;
  unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
  if (!pixels) {
    std::fprintf(stderr, "vrx-config: cannot open %s\n", path.c_str());
    return nullptr;
  }
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(pixels, w, h, 32, w * 4, SDL_PIXELFORMAT_RGBA32);
  SDL_Texture* t = s ? SDL_CreateTextureFromSurface(r, s) : nullptr;
  if (s) SDL_FreeSurface(s);
  stbi_image_free(pixels);
  if (t) SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
  return t;
}

bool LoadFont(SDL_Renderer* r, Font* font) {
  const std::string image = DataFile("DATA/MENU/Font1.bmp"), widths = DataFile("DATA/MENU/Font1.dat");
  SDL_Surface* s = SDL_LoadBMP(image.c_str());
  std::ifstream dat(widths, std::ios::binary);
  if (!s || !dat.read(reinterpret_cast<char*>(font->widths), 256)) {
    std::fprintf(stderr, "vrx-config: cannot open the font %s\n", s ? widths.c_str() : image.c_str());
    if (s) SDL_FreeSurface(s);
    return false;
  }
  SDL_SetColorKey(s, SDL_TRUE, SDL_MapRGB(s->format, 0, 0, 0));  // the font's colour key
  font->row = s->h / 16;
  font->texture = SDL_CreateTextureFromSurface(r, s);
  SDL_FreeSurface(s);
  return font->texture != nullptr;
}

bool Inside(const SDL_Rect& r, int x, int y) { return x > r.x && y > r.y && x < r.x + r.w && y < r.y + r.h; }

class Window {
public:
  Window(const std::string& path, const GUID& adapter) : path(path), adapter(adapter) {}

  int Run() {
    if (!Open()) return 1;
    Preselect();
    int result = -1;
    while (result < 0) {
      SDL_Event e;
      while (result < 0 && SDL_PollEvent(&e)) result = Handle(e);
      if (result < 0) {
        Draw();
        SDL_Delay(15);
      }
    }
    return result;
  }

  ~Window() {
    for (SDL_Texture* t : {font.texture, out, over, frame})
      if (t) SDL_DestroyTexture(t);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
  }

private:
  bool Open() {
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      std::fprintf(stderr, "vrx-config: cannot open the display: %s\n%s\n", SDL_GetError(), UsageLine());
      return false;
    }
    window = SDL_CreateWindow("VRX settings", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWidth, kHeight, 0);
    renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
    if (!renderer) {
      std::fprintf(stderr, "vrx-config: cannot open a window: %s\n", SDL_GetError());
      return false;
    }
    out = LoadPicture(renderer, "DATA/MENU/ButtonOut.tga");
    over = LoadPicture(renderer, "DATA/MENU/ButtonOver.tga");
    frame = LoadPicture(renderer, "DATA/MENU/FrameOver.tga");
    return LoadFont(renderer, &font) && out && over && frame;
  }

  // The saved settings if there are any, else the desktop's mode.
  void Preselect() {
    modes = DisplayModes();
    Mode want{0, 0};
    _SCREENCFG old{};
    if (ReadSettings(path, &old)) {
      want = Mode{old.width, old.height};
      depth32 = old.colour32 != 0;
      controller = (old.reserved & kController) != 0;
      keptBits = old.reserved & ~kController;
      windowed = (old.reserved & kWindowedBit) != 0;
      if (old.viewLevel >= uint32_t(kMinViewLevel) && old.viewLevel <= uint32_t(kMaxViewLevel)) view = int(old.viewLevel);
    } else {
      DesktopMode(&want);
    }
    // A saved size the display does not list stays choosable.
    const bool listed = std::any_of(modes.begin(), modes.end(),
                                    [&](const Mode& m) { return m.width == want.width && m.height == want.height; });
    if (!listed && want.width) modes.insert(modes.begin(), want);
    if (modes.empty()) modes.push_back(Mode{800, 600});
    mode = 0;
    for (size_t i = 0; i < modes.size(); ++i)
      if (modes[i].width == want.width && modes[i].height == want.height) mode = int(i);
  }

  SDL_Rect Arrow(int row, int side) const { return SDL_Rect{side ? 400 : 210, kFirstRow + row * kRowPitch, 36, 34}; }
  SDL_Rect Button(int which) const { return SDL_Rect{which ? 250 : 90, kFirstRow + kRows * kRowPitch + 20, 120, 42}; }

  void Step(int row, int by) {
    if (row == 0) mode = std::max(0, std::min(int(modes.size()) - 1, mode - by));
    if (row == 1) depth32 = !depth32;
    if (row == 2) view = std::max(kMinViewLevel, std::min(kMaxViewLevel, view + by));
    if (row == 3) controller = !controller;
    if (row == 4) windowed = !windowed;
  }

  // 0 saved, 1 failed, 3 cancelled; -1 to go on.
  int Handle(const SDL_Event& e) {
    if (e.type == SDL_QUIT) return 3;
    if (e.type == SDL_KEYDOWN) {
      switch (e.key.keysym.sym) {
        case SDLK_ESCAPE: return 3;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return Save();
        case SDLK_UP: focus = (focus + kRows - 1) % kRows; break;
        case SDLK_DOWN:
        case SDLK_TAB: focus = (focus + 1) % kRows; break;
        case SDLK_LEFT: Step(focus, -1); break;
        case SDLK_RIGHT: Step(focus, 1); break;
        default: break;
      }
    }
    if (e.type == SDL_MOUSEBUTTONUP && e.button.button == SDL_BUTTON_LEFT) {
      const int x = e.button.x, y = e.button.y;
      for (int row = 0; row < kRows; ++row)
        for (int side = 0; side < 2; ++side)
          if (Inside(Arrow(row, side), x, y)) {
            focus = row;
            Step(row, side ? 1 : -1);
          }
      if (Inside(Button(0), x, y)) return Save();
      if (Inside(Button(1), x, y)) return 3;
    }
    return -1;
  }

  int Save() {
    _SCREENCFG cfg{};
    cfg.width = modes[size_t(mode)].width;
    cfg.height = modes[size_t(mode)].height;
    cfg.colour32 = depth32 ? 1 : 0;
    cfg.adapter = adapter;
    cfg.viewLevel = uint32_t(view);
    // Switches this window does not show stay as they were.
    cfg.reserved = WithWindowed(keptBits | (controller ? kController : 0), windowed);
    std::string error;
    if (!WriteSettings(path, cfg, &error)) {
      std::fprintf(stderr, "vrx-config: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }

  void Skin(SDL_Texture* t, const SDL_Rect& r) { SDL_RenderCopy(renderer, t, nullptr, &r); }

  void Centred(const SDL_Rect& r, float scale, const std::string& s) {
    font.Draw(renderer, r.x + (r.w - font.Width(s, scale)) / 2, r.y + (r.h - (font.row - 2) * scale) / 2, scale, s);
  }

  void Draw() {
    int mx = 0, my = 0;
    SDL_GetMouseState(&mx, &my);
    SDL_SetRenderDrawColor(renderer, 12, 20, 34, 255);
    SDL_RenderClear(renderer);
    SDL_SetRenderDrawColor(renderer, 240, 138, 36, 255);
    const SDL_Rect rule{20, 48, kWidth - 40, 2};
    SDL_RenderFillRect(renderer, &rule);
    font.Draw(renderer, 20, 10, 1.0f, "VRX settings");
    const std::string labels[kRows] = {"Screen mode", "Colour depth", "View distance", "Game controller", "Display"};
    const std::string values[kRows] = {std::to_string(modes[size_t(mode)].width) + " x " + std::to_string(modes[size_t(mode)].height),
                                   depth32 ? "32-bit" : "16-bit",
                                   std::to_string(view) + "  (" + std::to_string(view * 80) + " m)",
                                   controller ? "On" : "Off", windowed ? "Window" : "Full screen"};
    for (int row = 0; row < kRows; ++row) {
      const int y = kFirstRow + row * kRowPitch;
      if (row == focus) Skin(frame, SDL_Rect{12, y - 6, kWidth - 24, 46});
      font.Draw(renderer, 26, float(y + 4), 0.8f, labels[row]);
      Centred(SDL_Rect{246, y, 154, 34}, 0.8f, values[row]);
      for (int side = 0; side < 2; ++side) {
        const SDL_Rect a = Arrow(row, side);
        Skin(Inside(a, mx, my) ? over : out, a);
        Centred(a, 0.8f, side ? ">" : "<");
      }
    }
    const char* names[2] = {"Save", "Cancel"};
    for (int b = 0; b < 2; ++b) {
      Skin(Inside(Button(b), mx, my) ? over : out, Button(b));
      Centred(Button(b), 0.9f, names[b]);
    }
    SDL_RenderPresent(renderer);
  }

  std::string path;
  GUID adapter;
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture *out = nullptr, *over = nullptr, *frame = nullptr;
  Font font;
  std::vector<Mode> modes;
  int mode = 0, view = kDefaultViewLevel, focus = 0;
  bool depth32 = true;
  bool controller = false;
  bool windowed = false;
  uint32_t keptBits = 0;  // the reserved word's other switches, from the file
};

}  // namespace

int RunWindow(const std::string& path, const GUID& adapter) { return Window(path, adapter).Run(); }

}  // namespace vrxconfig
