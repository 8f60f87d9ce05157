// The settings file "vrx.cfg" that the game reads at start: screen size,
// colour depth, the graphics adapter the settings were made for, and the
// view distance.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

#pragma pack(push, 1)
struct _SCREENCFG {
  uint32_t width;
  uint32_t height;
  uint32_t colour32;  // nonzero: 32-bit colour, 0: 16-bit
  uint32_t reserved;  // switches, below
  GUID adapter;       // DeviceIdentifier of adapter 0
  uint32_t viewLevel; // far plane = level x 80
};
#pragma pack(pop)
static_assert(sizeof(_SCREENCFG) == 36, "vrx.cfg is 36 bytes");

namespace vrxconfig {

constexpr int kMinViewLevel = 1, kMaxViewLevel = 10, kDefaultViewLevel = 5;
constexpr uint32_t kMinSize = 320, kMaxSize = 16384;
// Switches in the reserved word; a clear bit keeps the game as it always was.
constexpr uint32_t kController = 2;  // races use the game controller when one is plugged in
constexpr uint32_t kWindowedBit = 1;  // the game plays in a window; clear (every older file): full screen
inline uint32_t WithWindowed(uint32_t reserved, bool windowed) {
  return windowed ? (reserved | kWindowedBit) : (reserved & ~kWindowedBit);
}

// What the command line asks for.
struct Request {
  bool window = true;     // no settings given: ask in a window
  bool defaults = false;  // --defaults: the desktop's mode
  uint32_t width = 0, height = 0;
  int depth = 32;
  int view = kDefaultViewLevel;
  bool controller = false;  // --controller
  int windowed = -1;        // --windowed 1, --fullscreen 0, neither -1 (as the file has it)
  std::string file;       // --file, else where the game reads it (user_files.h)
};

// Parses argv; false with the reason for anything it does not understand.
bool ParseArguments(int argc, char** argv, Request* request, std::string* error);
const char* UsageLine();

// The identifier the game compares with: Direct3D's adapter 0. False when
// there is no usable graphics adapter.
bool AdapterGuid(GUID* guid);

// Writes the file whole: to "<path>.tmp", then renamed over the path, so a
// failure never leaves a half-written settings file. False with the reason.
bool WriteSettings(const std::string& path, const _SCREENCFG& cfg, std::string* error);
// Reads a settings file; false if it is missing or shorter than 36 bytes.
bool ReadSettings(const std::string& path, _SCREENCFG* cfg);

std::string DefaultSettingsPath();

// A screen mode of the display.
struct Mode {
  uint32_t width, height;
};
// The display's distinct sizes, largest first; empty without a display.
std::vector<Mode> DisplayModes();
// The desktop's current size; false without a display.
bool DesktopMode(Mode* mode);

// The settings window: returns 0 after Save (the file written), 1 after a
// failure, 3 after Cancel (nothing written).
int RunWindow(const std::string& path, const GUID& adapter);

}  // namespace vrxconfig
