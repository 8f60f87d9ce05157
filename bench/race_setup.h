// What the race benchmarks share: the built tracks and car they drive, the
// data beside the program, places round a lap, and the game's settings file
// set to the figures' screen (800 x 600, 32 bits, view distance 5) for the
// length of a run.
#pragma once

#include <string>
#include <vector>

#include "platform/d3dx9math.h"

class cGround;

namespace vrxbench {

constexpr int kTrackCount = 3;
extern const char* const kTracks[kTrackCount];
extern const char* const kCar;  // "DATA\CARS\Hatch\Hatch"

bool Exists(const std::string& path);
// "DATA\TRACKS\x" as a path with slashes.
std::string Slashed(std::string path);
// The program's folder becomes the current one, so DATA beside it is found
// as the game finds it; false (and one line on stderr) when it cannot.
bool EnterProgramDirectory(const char* program);
// "DATA\TRACKS\<track>\<track>".
std::string TrackPath(const std::string& track);

// The road's centre line in lap order: the centre of the row of points each
// road object (named in lap order) shares with its successor.
std::vector<D3DXVECTOR3> CentreLine(cGround* ground);

// Where a car stands, on the road, nose along heading (radians about y).
struct Place {
  D3DXVECTOR3 at;
  float heading;
};
// The start, then the places `count` - 1 evenly spaced fractions of the
// centre line further on (fewer on a track of under 8 rows).
std::vector<Place> LapPlaces(cGround* ground, int count);

// Makes the game's settings file the figures' screen until destroyed (or
// the run is interrupted), then puts back what was there. Needs vrx-config
// beside the program.
class BenchSettings {
 public:
  BenchSettings() = default;
  ~BenchSettings() { Restore(); }
  BenchSettings(const BenchSettings&) = delete;
  BenchSettings& operator=(const BenchSettings&) = delete;
  // False (one line on stderr) when the settings cannot be written.
  bool Apply(const char* program);
  void Restore();
};

}  // namespace vrxbench
