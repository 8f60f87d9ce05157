// vrx-config: writes the game's settings file vrx.cfg where the game reads it.
// Without arguments it asks in a small window; with them it is for scripts
// and packages:
//   vrx-config --width 1280 --height 720 --depth 32 --view 5
//   vrx-config --defaults            the desktop's mode, 32-bit, view 5
//   --controller                     races with the game controller
//   vrx-config --windowed            the saved settings, played in a window
//   vrx-config --fullscreen          ... or full screen again
// Bad arguments print the usage line and exit with 2, writing nothing.
#include <cstdio>
#include <string>

#include "settings.h"

using namespace vrxconfig;

int main(int argc, char** argv) {
  Request request;
  std::string error;
  if (!ParseArguments(argc, argv, &request, &error)) {
    std::fprintf(stderr, "vrx-config: %s\n%s\n", error.c_str(), UsageLine());
    return 2;
  }
  const std::string path = request.file.empty() ? DefaultSettingsPath() : request.file;

  // The game refuses settings made for another adapter, so they carry its identifier.
  GUID adapter;
  if (!AdapterGuid(&adapter)) {
    std::fprintf(stderr, "vrx-config: no usable graphics adapter; nothing was written\n");
    return 1;
  }
  if (request.window) {
    const int result = RunWindow(path, adapter);
    return result == 3 ? 0 : result;
  }

  // --windowed or --fullscreen alone changes only the window mode of the
  // saved settings; with a screen mode the file is written whole, keeping
  // the window mode unless it is given and the reserved word's unknown bits.
  _SCREENCFG old{};
  const bool hadFile = ReadSettings(path, &old);
  const bool modeOnly = request.width == 0 && !request.defaults;
  if (modeOnly) {
    if (!hadFile) {
      std::fprintf(stderr, "vrx-config: no settings in %s yet; give the screen size (--width and --height) or "
                   "--defaults with %s\n", path.c_str(), request.windowed ? "--windowed" : "--fullscreen");
      return 1;
    }
    request.width = old.width;
    request.height = old.height;
    request.depth = old.colour32 ? 32 : 16;
    if (old.viewLevel >= uint32_t(kMinViewLevel) && old.viewLevel <= uint32_t(kMaxViewLevel))
      request.view = int(old.viewLevel);
    request.controller = (old.reserved & kController) != 0;
  }
  if (request.defaults && request.width == 0) {
    Mode desktop;
    if (!DesktopMode(&desktop)) {
      std::fprintf(stderr, "vrx-config: cannot read the desktop's screen mode; nothing was written\n");
      return 1;
    }
    request.width = desktop.width;
    request.height = desktop.height;
  }
  _SCREENCFG cfg{};
  cfg.width = request.width;
  cfg.height = request.height;
  cfg.colour32 = request.depth == 32 ? 1 : 0;
  cfg.adapter = adapter;
  cfg.viewLevel = uint32_t(request.view);
  const uint32_t kept = hadFile ? old.reserved & ~kController : 0;
  cfg.reserved = kept | (request.controller ? kController : 0);
  if (request.windowed >= 0) cfg.reserved = WithWindowed(cfg.reserved, request.windowed == 1);
  if (!WriteSettings(path, cfg, &error)) {
    std::fprintf(stderr, "vrx-config: %s\n", error.c_str());
    return 1;
  }
  std::printf("vrx-config: %s: %u x %u, %d-bit colour, view distance %d, %s%s\n", path.c_str(), cfg.width,
              cfg.height, request.depth, request.view, (cfg.reserved & kWindowedBit) ? "window" : "full screen",
              request.controller ? ", game controller" : "");
  return 0;
}
