// The track's start position file "Start.ini", read while the track loads.
#include "cGround.h"
#include "fuzz_track_common.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vrxfuzz::Screen();
  vrxfuzz::TrackPath();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput("track/Test/Start.ini", data, size);
  vrxfuzz::RemoveFile("track/Test/BestTime.dat");
  cGround ground(vrxfuzz::TrackPath().c_str(), vrxfuzz::Screen(), nullptr);
  ground.LoadShadowMaps();
  // What the drive start does with the values: the car is placed there.
  const float x = ground.GetStartX(), z = ground.GetStartZ();
  (void)ground.GetStartRadY();
  (void)ground.GetStartY();
  (void)ground.GetHeight(x, z);
  return 0;
}
