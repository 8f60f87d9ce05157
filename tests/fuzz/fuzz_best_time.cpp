// The track's record file "BestTime.dat": read by the menu's track panel
// and shown as a time, read while the track loads, a new lap time offered,
// and written back when the track goes.
#include <cstring>

#include "cGround.h"
#include "car/cTrackInfo.h"
#include "fuzz_track_common.h"
#include "shell/program.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vrxfuzz::Screen();
  vrxfuzz::TrackPath();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput("track/Test/BestTime.dat", data, size);
  {
    cTrackInfo info(vrxfuzz::TrackPath().c_str(), vrxfuzz::Screen());
    (void)FormatLapTime(info.GetBestTime());
  }
  {
    cGround ground(vrxfuzz::TrackPath().c_str(), vrxfuzz::Screen(), nullptr);
    (void)ground.GetBestTime();
    ground.SetBestTime(61234);
  }
  return 0;
}
