// The small track the track-file harnesses load their files into.
#pragma once

#include <string>

#include "fuzz_support.h"

namespace vrxfuzz {
// "track\Test\Test": written once; the folder is track/Test.
inline const std::string& TrackPath() {
  static const std::string path = WriteSmallTrack("track");
  return path;
}
}  // namespace vrxfuzz
