// TGA images, through the game's texture loading.
#include "fuzz_image.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vrxfuzz::Screen();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::LoadImageAsTheGameDoes("image/Test.tga", data, size);
  return 0;
}
