// The tracks builder: every content/tracks/*.track becomes a directory
// DATA/TRACKS/<name>/ with "<name>.mo", its textures, "Start.ini",
// "road_sh.dds", "ground_sh.dds" and "Screen.tga".
#pragma once

#include <string>

#include "builders.h"

namespace vrxdata {

// Faces a track may have at most (the drawing budget).
const size_t kMaxTrackFaces = 60000;

struct TrackStats {
  size_t faces = 0, roadFaces = 0, terrainFaces = 0, sceneryFaces = 0, borderFaces = 0;
  int objects = 0, trees = 0, buildings = 0, grandstands = 0;
  float length = 0;
};

// Builds one track from its description into tracksDir/<name>/; false after
// printing what was wrong.
bool BuildTrack(const std::string& descPath, const std::string& tracksDir, TrackStats* stats = nullptr);

bool BuildTracks(const BuildContext& ctx);

}  // namespace vrxdata
