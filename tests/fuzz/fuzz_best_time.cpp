// The track's record file "BestTime.dat": read while the track loads, then
// a new lap time is offered, and it is written back when the track goes.
#include <cstring>

#include "cGround.h"
#include "fuzz_track_common.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vrxfuzz::Screen();
  vrxfuzz::TrackPath();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput("track/Test/BestTime.dat", data, size);
  {
    cGround ground(vrxfuzz::TrackPath().c_str(), vrxfuzz::Screen(), nullptr);
    (void)ground.GetBestTime();
    ground.SetBestTime(61234);
  }
  return 0;
}
