// Byte height maps, loaded into a track with cGround::LoadHM and sampled.
#include <memory>

#include "cGround.h"
#include "fuzz_track_common.h"

namespace {
cGround* g_ground = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_ground = new cGround(vrxfuzz::TrackPath().c_str(), vrxfuzz::Screen(), nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput("track/Test/Test.hm", data, size);
  g_ground->LoadHM("track\\Test\\Test.hm");
  const DWORD at[] = {0, 1, 7, 255, 256, 4095, 65535, 0x7FFFFFFFu, 0xFFFFFFFFu};
  for (DWORD x : at)
    for (DWORD z : at) (void)g_ground->GetByteHeight(x, z);
  return 0;
}
