// cAutopilot: a driver for any track and car. It learns the lap from what
// every track has - the road objects' surface, the start position and
// heading, the half gate - by walking the road from the start and keeping to
// the middle of the drivable surface until it is back at the start. It then
// lays a smoother line through the bends inside the road's edges and a speed
// for every point of it from the car's grip and brakes.
//
// Each frame Drive() writes throttle, brake, steering, handbrake and gear into
// the car's control block: look-ahead steering onto the line, braking before
// bends, gear changes by engine speed for a manual gearbox, and a way back
// when the car is stuck or faces the wrong way (reverse with the wheels
// turned, then on). Drive allocates nothing.
#pragma once

#include <vector>

#include "CarTypes.h"
#include "platform/d3dx9math.h"

class cCar;
class cGround;

class cAutopilot {
 public:
  // Learns the lap of the ground's track. The ground must outlive the driver.
  explicit cAutopilot(cGround* ground);

  // False when no lap could be found (one line on stderr said why); Drive
  // then does nothing.
  bool IsReady() const { return ready; }

  // Writes the car's controls for the coming step of dt seconds.
  void Drive(cCar* car, float dt);

  // The lap line, for tests and tools: points 2 m apart in driving order,
  // starting at the start position.
  int GetPointCount() const { return static_cast<int>(line.size()); }
  D3DXVECTOR3 GetPoint(int i) const;
  float GetLapLength() const { return lapLength; }
  // The road's half width (to its walls) at a point of the line, and the
  // line's offset from the road's middle there (> 0: to the right).
  float GetHalfWidth(int i) const;
  float GetOffset(int i) const;
  D3DXVECTOR3 GetMiddle(int i) const;
  // The line point the car was nearest to at the last Drive.
  int GetCurrentPoint() const { return current; }
  // The speed aimed for at a point, m/s (0 until the first Drive).
  float GetTargetSpeed(int i) const;
  // True while backing out of a spin or away from a wall.
  bool IsRecovering() const { return mode == kReverse; }

 private:
  struct LinePoint {
    float cx, cy, cz;  // the road's middle
    float nx, nz;      // unit normal across the road (to the driving direction's right-hand side in x, z)
    float half;        // distance from the middle to the walls
    float offset;      // the driven line: middle + normal x offset
    float x, y, z;     // the driven line's point
    float curvature;   // of the driven line, 1/m, unsigned
    float speed;       // target, m/s
  };
  enum Mode { kForward, kReverse };

  bool Learn(cGround* ground);
  void LayRacingLine();
  void PlanSpeeds(const _CARDATA& data);
  int Locate(const D3DXVECTOR3& pos);
  int Wrap(int i) const;
  void ChooseGear(cCar* car, const _CARDATA& data, float speed, float dt);

  bool ready = false;
  std::vector<LinePoint> line;
  float spacing = 2.0f;
  float lapLength = 0.0f;

  // The car the speeds were planned for.
  bool planned = false;
  float plannedMass = 0.0f, plannedFriction = 0.0f, plannedBrake = 0.0f;

  int current = -1;
  Mode mode = kForward;
  float modeTime = 0.0f;     // seconds in the current mode
  float stuckTime = 0.0f;    // seconds of pushing without moving
  float reverseCooldown = 0.0f;
  float shiftTime = 0.0f;    // seconds since the last manual gear change
  // The nose and right-hand side at the last Drive, and how fast the car
  // turned then (rad/s, > 0 to the right).
  float lastFx = 0.0f, lastFz = 0.0f, lastRx = 0.0f, lastRz = 0.0f;
  float yawRate = 0.0f;
};
