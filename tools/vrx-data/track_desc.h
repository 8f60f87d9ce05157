// The text description of one track (content/tracks/*.track); the format is
// documented in the README ("Adding a track or a car").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vrxdata {

struct TrackPoint {
  int line = 0;  // in the description, for messages
  float x = 0, z = 0;
  float height = 0;  // m
  float bank = 0;    // degrees, positive raises the left edge (seen driving)
};

struct TrackDesc {
  std::string file;  // the description's path
  std::string name;  // DATA/TRACKS/<name>/<name>.*
  int seed = 1;
  float roadWidth = 11.0f;    // asphalt, edge line to edge line
  float kerbWidth = 1.0f;     // on each side
  float vergeWidth = 4.0f;    // drivable grass between kerb and wall
  float barrierHeight = 1.0f;
  float startOffset = 12.0f;  // start position behind the start line
  float terrainMargin = 150.0f;
  float terrainCell = 8.0f;
  float terrainRelief = 8.0f;   // hills, m top to bottom
  float terrainScale = 250.0f;  // hill size, m
  float trees = 1.0f;           // trees per 10 m of lap and side
  int grandstands = 2;
  int buildings = 4;
  std::string buildingStyle = "houses";  // houses or warehouses
  std::string sky = "day";  // day, evening, overcast
  uint32_t grass = 0xFF4F8A37u;
  uint32_t asphalt = 0xFF5A5A5Eu;
  int shadowSize = 1024;  // road shadow map edge; the terrain map is half of it
  float shadowDarkness = 0.6f;
  std::vector<TrackPoint> points;  // the centreline in driving order, closed

  // Half the drivable width: asphalt, kerb and verge up to the wall.
  float CorridorHalf() const { return roadWidth * 0.5f + kerbWidth + vergeWidth; }
};

// Reads and checks one description; false after printing "file:line: what".
bool ReadTrackDesc(const std::string& path, TrackDesc* desc);

}  // namespace vrxdata
