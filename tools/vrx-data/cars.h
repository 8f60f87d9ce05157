// The cars builder: every content/cars/*.car becomes a directory
// DATA/CARS/<name>/ with "<name>.mo", ".cdf", ".trq", ".txt" and the textures.
#pragma once

#include <string>

#include "builders.h"

namespace vrxdata {

// Faces a car may put on screen at most: body and parts once, the wheel four times.
const size_t kMaxCarFaces = 4000;

struct CarStats {
  size_t faces = 0;       // in the file
  size_t drawnFaces = 0;  // per frame: the wheel four times, markers never
  size_t bodyFaces = 0, wheelFaces = 0;
};

bool BuildCar(const std::string& descPath, const std::string& carsDir, CarStats* stats = nullptr);

bool BuildCars(const BuildContext& ctx);

}  // namespace vrxdata
