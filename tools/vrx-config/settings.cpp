#include "settings.h"

#include <SDL.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/d3d9.h"
#include "platform/files.h"
#include "platform/user_files.h"

namespace vrxconfig {

namespace {

// A whole number in [lo, hi], nothing else on the word.
bool ParseNumber(const char* text, long lo, long hi, long* out) {
  if (!text || !*text) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  *out = v;
  return true;
}

}  // namespace

const char* UsageLine() {
  return "usage: vrx-config [--width W --height H] [--depth 16|32] [--view 1-10] [--controller] [--defaults] "
         "[--windowed|--fullscreen] [--file PATH]";
}

bool ParseArguments(int argc, char** argv, Request* r, std::string* error) {
  bool sized[2] = {false, false}, chose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    long v = 0;
    if (arg == "--defaults") {
      r->defaults = true;
      chose = true;
      continue;
    }
    if (arg == "--controller") {
      r->controller = true;
      chose = true;
      continue;
    }
    if (arg == "--windowed" || arg == "--fullscreen") {
      const int windowed = arg == "--windowed" ? 1 : 0;
      if (r->windowed >= 0 && r->windowed != windowed) {
        *error = "--windowed and --fullscreen exclude each other";
        return false;
      }
      r->windowed = windowed;
      continue;
    }
    if (arg != "--width" && arg != "--height" && arg != "--depth" && arg != "--view" && arg != "--file") {
      *error = "unknown argument " + arg;
      return false;
    }
    if (!value) {
      *error = arg + " needs a value";
      return false;
    }
    ++i;
    if (arg == "--file") {
      if (!*value) {
        *error = "--file needs a path";
        return false;
      }
      r->file = value;
      continue;
    }
    chose = true;
    if (arg == "--width" || arg == "--height") {
      if (!ParseNumber(value, kMinSize, kMaxSize, &v)) {
        *error = arg + " wants a number of pixels from 320 to 16384, not " + value;
        return false;
      }
      (arg == "--width" ? r->width : r->height) = uint32_t(v);
      sized[arg == "--width" ? 0 : 1] = true;
    } else if (arg == "--depth") {
      if (!ParseNumber(value, 16, 32, &v) || (v != 16 && v != 32)) {
        *error = std::string("--depth wants 16 or 32, not ") + value;
        return false;
      }
      r->depth = int(v);
    } else {
      if (!ParseNumber(value, kMinViewLevel, kMaxViewLevel, &v)) {
        *error = std::string("--view wants a level from 1 to 10, not ") + value;
        return false;
      }
      r->view = int(v);
    }
  }
  if (sized[0] != sized[1]) {
    *error = "--width and --height go together";
    return false;
  }
  if (chose && !r->defaults && !sized[0]) {
    *error = "give the screen size (--width and --height) or --defaults";
    return false;
  }
  // --windowed or --fullscreen alone switches the mode of the saved settings.
  r->window = !chose && r->windowed < 0;
  return true;
}

bool AdapterGuid(GUID* guid) {
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!d3d) return false;
  D3DADAPTER_IDENTIFIER9 id;
  std::memset(&id, 0, sizeof id);
  const bool ok = d3d->GetAdapterIdentifier(0, 0, &id) == D3D_OK;
  d3d->Release();
  if (ok) *guid = id.DeviceIdentifier;
  return ok;
}

bool WriteSettings(const std::string& path, const _SCREENCFG& cfg, std::string* error) {
  const std::string temp = path + ".tmp";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    *error = "cannot write " + temp + ": " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(&cfg, sizeof cfg, 1, f) == 1 && std::fflush(f) == 0;
  int reason = ok ? 0 : errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    reason = errno;
  }
  if (!ok) {
    *error = "cannot write " + temp + ": " + std::strerror(reason);
    std::remove(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    *error = "cannot replace " + path + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

bool ReadSettings(const std::string& path, _SCREENCFG* cfg) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  const bool ok = std::fread(cfg, sizeof *cfg, 1, f) == 1;
  std::fclose(f);
  return ok;
}

// Where the game reads it: beside the programs, or the player's settings
// folder for an installed game.
std::string DefaultSettingsPath() {
  if (vrx::PlayerFilesBesideProgram()) return vrx::ProgramDir() + "/vrx.cfg";
  return vrx::PlayerFileToWrite("vrx.cfg", vrx::PlayerFile::kSettings);
}

std::vector<Mode> DisplayModes() {
  std::vector<Mode> modes;
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return modes;
  const int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(0, i, &m) != 0 || m.w < int(kMinSize) || m.h < int(kMinSize)) continue;
    const Mode mode{uint32_t(m.w), uint32_t(m.h)};
    const bool seen = std::any_of(modes.begin(), modes.end(),
                                  [&](const Mode& o) { return o.width == mode.width && o.height == mode.height; });
    if (!seen) modes.push_back(mode);
  }
  std::sort(modes.begin(), modes.end(), [](const Mode& a, const Mode& b) {
    return a.width != b.width ? a.width > b.width : a.height > b.height;
  });
  return modes;
}

bool DesktopMode(Mode* mode) {
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  SDL_DisplayMode m;
  if (SDL_GetDesktopDisplayMode(0, &m) != 0 || m.w <= 0 || m.h <= 0) return false;
  *mode = Mode{uint32_t(m.w), uint32_t(m.h)};
  return true;
}

}  // namespace vrxconfig
