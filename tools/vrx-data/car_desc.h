// The text descriptions of a car variant (content/cars/*.car) and of the body
// shape it names (content/cars/*.body); formats in the README ("Adding a
// track or a car").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vrxdata {

// One cross-section of the body, car frame (x across, y up, z forward).
struct BodyStation {
  int line = 0;
  float z = 0;
  float bottom = 0;     // underside
  float belt = 0;       // shoulder line, where the glass (or bonnet) starts
  float top = 0;        // roof, bonnet or boot at the centre
  float width = 0;      // half width at the sides
  float topWidth = 0;   // half width where the top begins
  std::string zone;     // what the body is from here to the next station
};

struct BodyDesc {
  std::string file;
  std::vector<BodyStation> stations;  // front to back
};

struct CarDesc {
  std::string file;
  std::string name;   // DATA/CARS/<name>/<name>.*
  std::string title;  // description line 1
  std::string text;   // description line 2
  std::string body;   // the shape file, beside the description
  uint32_t paint = 0xFFC8C8C0u;
  uint32_t stripeColour = 0xFFFFFFFFu;
  std::string livery = "plain";  // plain, stripes, rally
  uint32_t trim = 0xFF2A2A2Cu;
  std::string rim = "steel";  // steel, alloy, rally
  uint32_t rimColour = 0xFFB8B8B8u;
  int spoiler = 0, roofLights = 0, mudFlaps = 0;
  int number = 0;  // door number (0 = none)

  // Wheels, car frame: x of the right-hand wheels (the left ones are at -x),
  // axle positions along z, height of the wheel's lowest point.
  float wheelX = 0.70f, frontAxle = 1.15f, rearAxle = -1.30f;
  float wheelBottom = -0.40f, wheelRadius = 0.30f, wheelWidth = 0.19f;

  // The rest of the car data file.
  float springFront = 40000, springRear = 40000, dampingFront = 3000, dampingRear = 3000;
  float friction = 2500, sideSlip = 10000, mass = 800, brake = 3000, drag = 0.4f;
  float maxRpm = 6500, upshiftRpm = 6000, downshiftRpm = 3000;
  std::vector<float> gears;  // reverse, neutral, then the forward gears
  float finalDrive = 4.0f;
  int frontDrive = 0;
  std::vector<float> torqueRpm, torqueNm;
};

bool ReadBodyDesc(const std::string& path, BodyDesc* body);
// Reads and checks a car; the body it names is read as well.
bool ReadCarDesc(const std::string& path, CarDesc* car, BodyDesc* body);

// The 144-byte car data file for a description.
std::vector<uint8_t> CarDataFile(const CarDesc& car);
// The torque file: "rpm<TAB>torque" lines.
std::string TorqueFile(const CarDesc& car);

}  // namespace vrxdata
