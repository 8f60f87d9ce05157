// The font width file ("DATA\MENU\Font1.dat"), loaded with its font image
// as the game's start-up does, then text measured and drawn with it.
#include <string>

#include "cFont.h"
#include "cScreen.h"
#include "fuzz_support.h"

namespace {
std::string g_everyCharacter;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vrxfuzz::Screen();
  vrxfuzz::WriteImage("font/Font1.tga", 64, 64, 0xFFFFFFFF);
  for (int c = 1; c < 256; ++c) g_everyCharacter += (char)c;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput("font/Font1.dat", data, size);
  cFont font("font\\Font1.tga", "font\\Font1.dat", 0xFF000000, vrxfuzz::Screen());
  (void)font.GetPixelLength(g_everyCharacter.c_str());
  font.PutText(10.0f, 10.0f, 1.0f, 1.0f, g_everyCharacter.c_str());
  font.PutTextRelative(0.5f, 0.5f, 1.0f, 1.0f, "Lap 1:02.34");
  font.PutText(0.0f, 0.0f, 2.0f, 2.0f, -2147483647);
  font.PutText(0.0f, 0.0f, 2.0f, 2.0f, 1e30f);
  return 0;
}
