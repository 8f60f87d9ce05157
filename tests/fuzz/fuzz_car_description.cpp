// The car's description file (".txt"): read by the menu's car preview and
// its two lines drawn with the game's font.
#include "car/cCarPreview.h"
#include "cFont.h"
#include "fuzz_car_common.h"

namespace {
cFont* g_font = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vrxfuzz::Rig();
  vrxfuzz::WriteImage("font/Font1.tga", 64, 64, 0xFFFFFFFF);
  g_font = new cFont("font\\Font1.tga", nullptr, 0xFF000000, vrxfuzz::Screen());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput(vrxfuzz::Rig().folder + "/Test.txt", data, size);
  cCarPreview preview(vrxfuzz::Rig().base.c_str(), vrxfuzz::Screen());
  g_font->PutTextRelative(0.3f, 0.6f, 1, 1, preview.GetDescription1());
  g_font->PutTextRelative(0.35f, 0.65f, 1, 1, preview.GetDescription2());
  return 0;
}
