// The reference small car and a flat test track builder, shared by the car
// tests, the car benchmark and the content tools that start their cars from
// this data.
#pragma once

#include <string>

#include "CarTypes.h"

namespace vrxtest {

// A small rear-wheel-drive car of 800 kg: wheels 1.4 m apart across, axles
// 1.1 m ahead of and 1.3 m behind the centre of mass (a little understeer),
// five forward gears, automatic gearbox. On a flat road, driven with 0.01 s
// steps: 0 to 100 km/h in 8.6 s, 176 km/h after 60 s (top speed about
// 180 km/h), a stop from 100 km/h in 38 m, and a 60 m circle at 50 km/h held
// with about 0.05 rad of body slip (front wheels at 0.049 rad).
_CARDATA ReferenceCarData();

// Its full-throttle torque curve, as the game's torque table would give it:
// points in RPM and N m, linear in between, 0 outside the table.
const int kReferenceTorquePoints = 8;
extern const float kReferenceTorqueRpm[kReferenceTorquePoints];
extern const float kReferenceTorqueNm[kReferenceTorquePoints];
// Torque callback over that table (engine speed in rad/s; context unused).
float ReferenceTorque(float engineSpeed, void* context);

// At rest at (x, y, z), unturned.
_CARSTATE RestState(float x, float y, float z);

// A flat road of square tiles (two triangles each), optionally with a wall
// across it and the two timing gates. Gates that are not asked for are
// placed far off the road, where no car meets them.
struct FlatTrackLayout {
  float xMin = -100.0f, xMax = 100.0f;
  float zMin = -100.0f, zMax = 100.0f;
  float tile = 10.0f;
  float height = 0.0f;
  bool wall = false;  // facing -z, at z = wallZ, across x = -wallHalfWidth .. wallHalfWidth
  float wallZ = 30.0f;
  float wallHalfWidth = 20.0f;
  float wallHeight = 3.0f;
  bool startGate = false;  // vertical quads across the road at these z
  float startGateZ = 0.0f;
  bool halfGate = false;
  float halfGateZ = 0.0f;
  float gateHalfWidth = 20.0f;
};

// Writes trackPath + ".mo" (objects "g_road", "b_wall" when asked, "ts",
// "tm"), its texture, and "Start.ini" with start (0, 0) and heading 0.
// trackPath is a directory plus base name, the form cGround takes.
bool WriteFlatTrack(const std::string& trackPath, const FlatTrackLayout& layout, std::string* error);

}  // namespace vrxtest
