// The player's settings file "vrx.ini": read over the defaults and mended as
// the start-up does, the name painted on the number plate and shown, the
// record written back at exit through the safe writer and read again.
#include <cstring>

#include "cFont.h"
#include "cTexture.h"
#include "fuzz_support.h"
#include "shell/player_files.h"
#include "shell/program.h"
#include "shell/startup.h"

namespace {
cTexture* g_plate = nullptr;
cFont* g_font = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cScreen* screen = vrxfuzz::Screen();
  vrxfuzz::WriteImage("plate/Tablica.tga", 256, 64, 0xFFFFFFFF);
  vrxfuzz::WriteImage("font/Font1.tga", 64, 64, 0xFFFFFFFF);
  g_plate = new cTexture("plate/Tablica.tga", screen);
  g_font = new cFont("font\\Font1.tga", nullptr, 0xFF000000, screen);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput("vrx.ini", data, size);
  _PLAYERCFG player;
  SetPlayerDefaults(&player);
  ReadPlayerConfig("vrx.ini", &player);
  if (!memchr(player.Name, 0, sizeof player.Name)) player.Name[sizeof player.Name - 1] = 0;
  ClampPlayerConfig(&player, 3, 3);
  // The name must now end inside its field, and the indexes name list entries.
  if (!memchr(player.Name, 0, sizeof player.Name) || player.CarIndex < 0 || player.CarIndex >= 3 ||
      player.TrackIndex < 0 || player.TrackIndex >= 3)
    __builtin_trap();

  gPlayer = player;
  gPlate = g_plate;
  PaintNumberPlate();
  g_font->PutTextRelative(0.4f, 0.5f, 1, 1, player.Name);

  if (!WritePlayerConfig("vrx.ini", &player)) __builtin_trap();
  _PLAYERCFG again;
  SetPlayerDefaults(&again);
  if (ReadPlayerConfig("vrx.ini", &again) != sizeof again || memcmp(&again, &player, sizeof again) != 0)
    __builtin_trap();
  return 0;
}
