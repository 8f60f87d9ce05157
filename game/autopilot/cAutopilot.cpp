#include "autopilot/cAutopilot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "cCar.h"
#include "cGround.h"
#include "cMoObject.h"
#include "mathkit/mathkit.h"

namespace {

const float kPi = 3.14159265f;
const float kWalkStep = 2.0f;      // m between the walker's samples
const float kProbeStep = 0.5f;     // m between samples across the road
const float kMaxReach = 60.0f;     // m; wider than any road the walker follows
const float kMaxClimb = 1.0f;      // m of height change between neighbouring samples of one surface
const int kMaxWalkSteps = 30000;   // 60 km of road
const float kWallMargin = 4.5f;    // m the line keeps from the walls
const float kMaxSteer = 0.6f;      // rad, the keyboard's lock
// Positive steering turns the car to the left, towards its -x side.
const float kSteerRight = -1.0f;
const float kGripUse = 0.62f;      // share of the tyres' lateral limit planned for bends
const float kBrakeUse = 0.55f;     // share of the braking limit planned before bends
const float kTopSpeed = 90.0f;     // m/s
const float kYawGain = 0.3f;       // rad of lock per rad/s the car turns too slowly

float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

// The road's surface as plain triangles in a grid over x and z, for height
// probes that pick the surface nearest a given height (a bridge over a road
// is a different surface).
class RoadSurface {
 public:
  bool Build(cGround* ground) {
    cMoObject* mesh = ground->GetMesh();
    if (!mesh) return false;
    std::vector<_MOFACE> faces;
    for (DWORD r = 0; r < ground->GetRoadCount(); ++r) {
      const DWORD obj = ground->GetRoadObj(r);
      const DWORD n = mesh->GetObjFaceCount(obj);
      if (n == 0) continue;
      faces.resize(n);
      mesh->GetObjFaces(obj, faces.data());
      for (DWORD f = 0; f < n; ++f) Add(faces[f]);
    }
    if (tris.empty()) return false;
    float minX = 1e30f, minZ = 1e30f, maxX = -1e30f, maxZ = -1e30f;
    for (const Tri& t : tris) {
      minX = std::min(minX, t.minX);
      minZ = std::min(minZ, t.minZ);
      maxX = std::max(maxX, t.maxX);
      maxZ = std::max(maxZ, t.maxZ);
    }
    cell = 8.0f;
    while (((maxX - minX) / cell + 1) * ((maxZ - minZ) / cell + 1) > 262144.0f) cell *= 2;
    originX = minX;
    originZ = minZ;
    cellsX = static_cast<int>((maxX - minX) / cell) + 1;
    cellsZ = static_cast<int>((maxZ - minZ) / cell) + 1;
    start.assign(static_cast<size_t>(cellsX) * cellsZ + 1, 0);
    for (int pass = 0; pass < 2; ++pass) {
      std::vector<int> fill;
      if (pass == 1) {
        for (size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
        items.resize(start.back());
        fill.assign(start.begin(), start.end() - 1);
      }
      for (size_t i = 0; i < tris.size(); ++i) {
        const Tri& t = tris[i];
        const int x0 = CellX(t.minX), x1 = CellX(t.maxX), z0 = CellZ(t.minZ), z1 = CellZ(t.maxZ);
        for (int z = z0; z <= z1; ++z)
          for (int x = x0; x <= x1; ++x) {
            const size_t c = static_cast<size_t>(z) * cellsX + x;
            if (pass == 0) ++start[c + 1];
            else items[fill[c]++] = static_cast<int>(i);
          }
      }
    }
    return true;
  }

  // The height of the surface under (x, z) nearest to yRef, if one lies
  // within maxDy of it.
  bool Height(float x, float z, float yRef, float maxDy, float* y) const {
    const float fx = (x - originX) / cell, fz = (z - originZ) / cell;
    if (!(fx >= 0 && fz >= 0 && fx < cellsX && fz < cellsZ)) return false;
    const size_t c = static_cast<size_t>(fz) * cellsX + static_cast<size_t>(fx);
    float best = maxDy;
    bool found = false;
    for (int k = start[c]; k < start[c + 1]; ++k) {
      const Tri& t = tris[items[k]];
      if (x < t.minX || x > t.maxX || z < t.minZ || z > t.maxZ || !Inside(t, x, z)) continue;
      const float h = (-t.a * x - t.c * z - t.d) / t.b;
      if (std::fabs(h - yRef) <= best) {
        best = std::fabs(h - yRef);
        *y = h;
        found = true;
      }
    }
    return found;
  }

 private:
  struct Tri {
    float x[3], z[3];
    float a, b, c, d;  // plane
    float minX, maxX, minZ, maxZ;
  };

  void Add(const _MOFACE& f) {
    Tri t;
    const D3DXVECTOR3 p0(f.v[0].x, f.v[0].y, f.v[0].z), p1(f.v[1].x, f.v[1].y, f.v[1].z),
        p2(f.v[2].x, f.v[2].y, f.v[2].z);
    D3DXVECTOR3 n, e1 = p1 - p0, e2 = p2 - p0;
    D3DXVec3Cross(&n, &e1, &e2);
    const float len = D3DXVec3Length(&n);
    // Walls and slivers carry nothing.
    if (!(len > 1e-6f) || std::fabs(n.y) < 0.25f * len) return;
    t.a = n.x;
    t.b = n.y;
    t.c = n.z;
    t.d = -D3DXVec3Dot(&n, &p0);
    const D3DXVECTOR3* p[3] = {&p0, &p1, &p2};
    t.minX = t.minZ = 1e30f;
    t.maxX = t.maxZ = -1e30f;
    for (int i = 0; i < 3; ++i) {
      t.x[i] = p[i]->x;
      t.z[i] = p[i]->z;
      t.minX = std::min(t.minX, t.x[i]);
      t.maxX = std::max(t.maxX, t.x[i]);
      t.minZ = std::min(t.minZ, t.z[i]);
      t.maxZ = std::max(t.maxZ, t.z[i]);
    }
    tris.push_back(t);
  }

  static bool Inside(const Tri& t, float x, float z) {
    bool neg = false, pos = false;
    for (int i = 0; i < 3; ++i) {
      const int j = (i + 1) % 3;
      const float s = (t.x[j] - t.x[i]) * (z - t.z[i]) - (t.z[j] - t.z[i]) * (x - t.x[i]);
      neg |= s < -1e-5f;
      pos |= s > 1e-5f;
    }
    return !(neg && pos);
  }

  int CellX(float x) const { return std::min(cellsX - 1, std::max(0, static_cast<int>((x - originX) / cell))); }
  int CellZ(float z) const { return std::min(cellsZ - 1, std::max(0, static_cast<int>((z - originZ) / cell))); }

  std::vector<Tri> tris;
  std::vector<int> start, items;
  float originX = 0, originZ = 0, cell = 8;
  int cellsX = 0, cellsZ = 0;
};

// How far the surface reaches from (x, z) along (nx, nz) before it ends or
// steps to another level.
float Reach(const RoadSurface& road, float x, float y, float z, float nx, float nz) {
  float good = 0.0f, h = y;
  for (float t = kProbeStep; t <= kMaxReach; t += kProbeStep) {
    float next;
    if (!road.Height(x + nx * t, z + nz * t, h, kMaxClimb, &next)) break;
    good = t;
    h = next;
  }
  if (good >= kMaxReach - kProbeStep) return good;
  float bad = good + kProbeStep;
  for (int i = 0; i < 6; ++i) {
    const float mid = 0.5f * (good + bad);
    float next;
    if (road.Height(x + nx * mid, z + nz * mid, h, kMaxClimb, &next)) good = mid;
    else bad = mid;
  }
  return good;
}

struct Sample {
  float x, y, z, half;
};

// Moves (x, z) across the road (normal to the direction dx, dz) to the
// middle between its edges.
bool Centre(const RoadSurface& road, float dx, float dz, Sample* s) {
  const float nx = dz, nz = -dx;
  const float right = Reach(road, s->x, s->y, s->z, nx, nz);
  const float left = Reach(road, s->x, s->y, s->z, -nx, -nz);
  const float shift = 0.5f * (right - left);
  float y;
  if (!road.Height(s->x + nx * shift, s->z + nz * shift, s->y, kMaxClimb + std::fabs(shift) * 0.5f, &y))
    return false;
  s->x += nx * shift;
  s->z += nz * shift;
  s->y = y;
  s->half = 0.5f * (right + left);
  return true;
}

}  // namespace

cAutopilot::cAutopilot(cGround* ground) {
  ready = ground && Learn(ground);
}

D3DXVECTOR3 cAutopilot::GetPoint(int i) const {
  if (line.empty()) return D3DXVECTOR3(0, 0, 0);
  const LinePoint& p = line[Wrap(i)];
  return D3DXVECTOR3(p.x, p.y, p.z);
}

float cAutopilot::GetHalfWidth(int i) const { return line.empty() ? 0.0f : line[Wrap(i)].half; }

float cAutopilot::GetOffset(int i) const { return line.empty() ? 0.0f : line[Wrap(i)].offset; }

D3DXVECTOR3 cAutopilot::GetMiddle(int i) const {
  if (line.empty()) return D3DXVECTOR3(0, 0, 0);
  const LinePoint& p = line[Wrap(i)];
  return D3DXVECTOR3(p.cx, p.cy, p.cz);
}

float cAutopilot::GetTargetSpeed(int i) const { return line.empty() || !planned ? 0.0f : line[Wrap(i)].speed; }

int cAutopilot::Wrap(int i) const {
  const int n = static_cast<int>(line.size());
  i %= n;
  return i < 0 ? i + n : i;
}

// Walks the road from the start along the start heading, keeping to the
// middle between the edges, until it is back at the start.
bool cAutopilot::Learn(cGround* ground) {
  RoadSurface road;
  if (!road.Build(ground)) {
    std::fprintf(stderr, "vrx: autopilot: the track has no road surface\n");
    return false;
  }
  // The race turns its car by RotationY(heading), and the car's body takes
  // that matrix transposed: the nose points along its third column.
  D3DXMATRIX turn;
  RotationY(&turn, ground->GetStartRadY());
  float dx = turn._13, dz = turn._33;
  const float dl = std::sqrt(dx * dx + dz * dz);
  dx /= dl;
  dz /= dl;
  Sample s = {ground->GetStartX(), 0.0f, ground->GetStartZ(), 0.0f};
  // The start's own road: the highest surface under it (the car is dropped onto it from above).
  if (!road.Height(s.x, s.z, 1e4f, 2e4f, &s.y) || !Centre(road, dx, dz, &s)) {
    std::fprintf(stderr, "vrx: autopilot: no road under the start position\n");
    return false;
  }
  std::vector<Sample> walk;
  walk.push_back(s);
  float walked = 0.0f;
  bool closed = false;
  for (int k = 0; k < kMaxWalkSteps && !closed; ++k) {
    const Sample& last = walk.back();
    Sample next = {last.x + dx * kWalkStep, last.y, last.z + dz * kWalkStep, 0.0f};
    if (!road.Height(next.x, next.z, last.y, kMaxClimb * 2, &next.y) || !Centre(road, dx, dz, &next)) break;
    const float mx = next.x - last.x, mz = next.z - last.z, len = std::sqrt(mx * mx + mz * mz);
    // A jump sideways means the road forked or ended under the walker.
    if (len < 0.5f * kWalkStep || (mx * dx + mz * dz) < 0.7f * len) break;
    dx = mx / len;
    dz = mz / len;
    walked += len;
    walk.push_back(next);
    const float bx = next.x - walk[0].x, bz = next.z - walk[0].z;
    closed = walked > 30.0f * kWalkStep && bx * bx + bz * bz < 2.25f * kWalkStep * kWalkStep &&
             std::fabs(next.y - walk[0].y) < 3.0f;
  }
  if (!closed) {
    std::fprintf(stderr, "vrx: autopilot: the road from the start does not lead back to it (%.0f m followed)\n",
                 walked);
    return false;
  }
  // The last sample stands just before or beside the first: drop it when
  // closer than half a step, the closing segment joins the loop.
  {
    const Sample& a = walk.back();
    const float bx = a.x - walk[0].x, bz = a.z - walk[0].z;
    if (bx * bx + bz * bz < 0.25f * kWalkStep * kWalkStep) walk.pop_back();
  }

  // Even spacing round the loop.
  const size_t m = walk.size();
  std::vector<float> at(m + 1, 0.0f);
  for (size_t i = 0; i < m; ++i) {
    const Sample &a = walk[i], &b = walk[(i + 1) % m];
    at[i + 1] = at[i] + std::sqrt((b.x - a.x) * (b.x - a.x) + (b.z - a.z) * (b.z - a.z));
  }
  lapLength = at[m];
  const int n = std::max(8, static_cast<int>(lapLength / kWalkStep + 0.5f));
  spacing = lapLength / n;
  line.assign(n, LinePoint());
  size_t seg = 0;
  for (int i = 0; i < n; ++i) {
    const float d = i * spacing;
    while (seg + 1 < m && at[seg + 1] <= d) ++seg;
    const Sample &a = walk[seg], &b = walk[(seg + 1) % m];
    const float f = at[seg + 1] > at[seg] ? (d - at[seg]) / (at[seg + 1] - at[seg]) : 0.0f;
    LinePoint& p = line[i];
    p.cx = a.x + (b.x - a.x) * f;
    p.cy = a.y + (b.y - a.y) * f;
    p.cz = a.z + (b.z - a.z) * f;
    p.half = a.half + (b.half - a.half) * f;
  }
  // Light smoothing of the middle line (the edges are polygons), then the
  // normals across it.
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<LinePoint> prev = line;
    for (int i = 0; i < n; ++i) {
      const LinePoint &a = prev[Wrap(i - 1)], &b = prev[Wrap(i + 1)];
      line[i].cx = 0.5f * prev[i].cx + 0.25f * (a.cx + b.cx);
      line[i].cz = 0.5f * prev[i].cz + 0.25f * (a.cz + b.cz);
    }
  }
  for (int i = 0; i < n; ++i) {
    const LinePoint &a = line[Wrap(i - 1)], &b = line[Wrap(i + 1)];
    float tx = b.cx - a.cx, tz = b.cz - a.cz;
    const float tl = std::sqrt(tx * tx + tz * tz);
    tx /= tl;
    tz /= tl;
    line[i].nx = tz;
    line[i].nz = -tx;
  }

  // The lap must pass the half gate, or no lap would ever count.
  cMoObject* mesh = ground->GetMesh();
  const DWORD gate = ground->GetHalfGate();
  if (gate < mesh->ObjCount() && std::strcmp(mesh->GetName(gate), "tm") == 0) {
    const D3DXVECTOR3 lo = mesh->GetMinBBox(gate), hi = mesh->GetMaxBBox(gate);
    const float gx = 0.5f * (lo.x + hi.x), gz = 0.5f * (lo.z + hi.z);
    bool passes = false;
    for (const LinePoint& p : line) {
      const float ex = p.cx - gx, ez = p.cz - gz;
      if (ex * ex + ez * ez < (p.half + spacing) * (p.half + spacing)) passes = true;
    }
    if (!passes) {
      std::fprintf(stderr, "vrx: autopilot: the road from the start does not pass the half gate\n");
      line.clear();
      return false;
    }
  }
  // Heights of the driven line are taken from the surface once it is laid.
  for (LinePoint& p : line) {
    p.offset = 0.0f;
    p.x = p.cx;
    p.y = p.cy;
    p.z = p.cz;
  }
  LayRacingLine();
  for (LinePoint& p : line) {
    float y;
    if (road.Height(p.x, p.z, p.cy, 3.0f, &y)) p.y = y;
  }
  return true;
}

// A line of least bending inside the road: each point is pulled towards the
// middle of its neighbours, sideways only and within the walls' margin, first
// over long spans (the shape of whole bends), then over short ones.
void cAutopilot::LayRacingLine() {
  const int n = static_cast<int>(line.size());
  if (n < 8) return;
  static const int kSpans[] = {24, 12, 6, 3, 1};
  for (int span : kSpans) {
    if (span * 4 > n) continue;
    for (int iter = 0; iter < 120; ++iter)
      for (int i = 0; i < n; ++i) {
        LinePoint& p = line[i];
        const LinePoint &a = line[Wrap(i - span)], &b = line[Wrap(i + span)];
        const float qx = 0.5f * (a.x + b.x), qz = 0.5f * (a.z + b.z);
        const float limit = std::max(p.half - kWallMargin, 0.25f * p.half);
        p.offset = Clamp((qx - p.cx) * p.nx + (qz - p.cz) * p.nz, -limit, limit);
        p.x = p.cx + p.nx * p.offset;
        p.z = p.cz + p.nz * p.offset;
      }
  }
  // Curvature through points 3 apart, averaged over a few points.
  std::vector<float> k(n);
  for (int i = 0; i < n; ++i) {
    const LinePoint &a = line[Wrap(i - 3)], &b = line[i], &c = line[Wrap(i + 3)];
    const float abx = b.x - a.x, abz = b.z - a.z, acx = c.x - a.x, acz = c.z - a.z, bcx = c.x - b.x,
                bcz = c.z - b.z;
    const float cross = abx * acz - abz * acx;
    const float l = std::sqrt((abx * abx + abz * abz) * (acx * acx + acz * acz) * (bcx * bcx + bcz * bcz));
    k[i] = l > 1e-9f ? 2.0f * cross / l : 0.0f;
  }
  for (int i = 0; i < n; ++i) {
    float sum = 0.0f;
    for (int d = -2; d <= 2; ++d) sum += k[Wrap(i + d)];
    line[i].curvature = std::fabs(sum / 5.0f);
  }
}

// A speed for every point: what the tyres hold in the bend, then lowered
// where the brakes could not get down to the next bend's speed.
void cAutopilot::PlanSpeeds(const _CARDATA& data) {
  const float mass = std::max(data.BodyMass, 1.0f);
  const float grip = Clamp(4.0f * data.TyreFriction / mass, 1.0f, 2.0f * 9.81f);
  const float lateral = kGripUse * grip;
  const float braking = kBrakeUse * std::min(grip, 3.0f * data.BrakeForce / mass);
  float top = kTopSpeed;
  const int topGear = data.GearCount - 1;
  const float radius = data.FrontDrive ? data.FrontRadius : data.RearRadius;
  if (topGear >= 2 && topGear < CAR_MAX_GEARS && data.GearRatio[topGear] * data.FinalDrive > 0.0f)
    top = std::min(top, data.MaxRPM * CAR_RPM_TO_RADS / (data.GearRatio[topGear] * data.FinalDrive) * radius);
  top = std::max(top, 10.0f);
  const int n = static_cast<int>(line.size());
  for (LinePoint& p : line) p.speed = std::min(top, std::sqrt(lateral / std::max(p.curvature, 1e-4f)));
  const float step = 2.0f * std::max(braking, 0.5f) * spacing;
  for (int pass = 0; pass < 2; ++pass)
    for (int i = n - 1; i >= 0; --i) {
      const float next = line[Wrap(i + 1)].speed;
      line[i].speed = std::min(line[i].speed, std::sqrt(next * next + step));
    }
  planned = true;
  plannedMass = data.BodyMass;
  plannedFriction = data.TyreFriction;
  plannedBrake = data.BrakeForce;
}

// The nearest line point: near the last one while the car follows the line,
// anywhere when it has lost it.
int cAutopilot::Locate(const D3DXVECTOR3& pos) {
  const int n = static_cast<int>(line.size());
  auto dist = [&](int i) {
    const LinePoint& p = line[i];
    const float dx = p.x - pos.x, dy = p.y - pos.y, dz = p.z - pos.z;
    return dx * dx + dy * dy + dz * dz;
  };
  int best = -1;
  float bestD = 1e30f;
  if (current >= 0) {
    for (int d = -10; d <= 40; ++d) {
      const int i = Wrap(current + d);
      const float e = dist(i);
      if (e < bestD) {
        bestD = e;
        best = i;
      }
    }
    const float far = line[best].half + 6.0f;
    if (bestD <= far * far) return best;
  }
  for (int i = 0; i < n; ++i) {
    const float e = dist(i);
    if (e < bestD) {
      bestD = e;
      best = i;
    }
  }
  return best;
}

void cAutopilot::ChooseGear(cCar* car, const _CARDATA& data, float speed, float dt) {
  shiftTime += dt;
  const int count = std::min<int>(data.GearCount, CAR_MAX_GEARS);
  if (count < 3) {
    car->Gear = count - 1;
    return;
  }
  if (car->Gear < 2) {
    // Into the gear that suits the speed (the gearbox drops to neutral when
    // the wheels over-rev the engine).
    const float radius = data.FrontDrive ? data.FrontRadius : data.RearRadius;
    const float wheel = std::fabs(speed) / std::max(radius, 0.05f);
    int g = 2;
    while (g + 1 < count && wheel * data.GearRatio[g] * data.FinalDrive * CAR_RADS_TO_RPM > 0.9f * data.UpshiftRPM)
      ++g;
    car->Gear = g;
    shiftTime = 0.0f;
    return;
  }
  if (data.Automatic || shiftTime < 0.3f) return;
  const float rpm = car->GetEngineRot() * CAR_RADS_TO_RPM;
  if (rpm > data.UpshiftRPM && car->Gear + 1 < count) {
    ++car->Gear;
    shiftTime = 0.0f;
  } else if (rpm < data.DownshiftRPM && car->Gear > 2) {
    --car->Gear;
    shiftTime = 0.0f;
  }
}

void cAutopilot::Drive(cCar* car, float dt) {
  if (!ready || !car) return;
  const _CARDATA data = car->GetCarData();
  if (!planned || data.BodyMass != plannedMass || data.TyreFriction != plannedFriction ||
      data.BrakeForce != plannedBrake)
    PlanSpeeds(data);

  const D3DXVECTOR3 pos = car->GetLinPos();
  // The body's own orientation (the cached one is the start matrix until the first step).
  const D3DXQUATERNION q = car->GetRotQuat();
  D3DXMATRIX rot;
  D3DXMatrixRotationQuaternion(&rot, &q);
  float fx = rot._31, fz = rot._33, rx = rot._11, rz = rot._13;
  const float fl = std::sqrt(fx * fx + fz * fz), rl = std::sqrt(rx * rx + rz * rz);
  if (fl > 1e-3f) {
    fx /= fl;
    fz /= fl;
  }
  if (rl > 1e-3f) {
    rx /= rl;
    rz /= rl;
  }
  const D3DXVECTOR3 body = car->GetBodyVel();
  const float speed = body.z;
  const float absSpeed = std::fabs(speed);
  current = Locate(pos);

  // Steering: towards a point of the line ahead, farther ahead the faster.
  const float ahead = Clamp(6.0f + 0.32f * absSpeed, 6.0f, 30.0f);
  const LinePoint& target = line[Wrap(current + static_cast<int>(ahead / spacing + 0.5f))];
  const float tx = target.x - pos.x, tz = target.z - pos.z;
  const float xl = tx * rx + tz * rz, zl = tx * fx + tz * fz;
  const float alpha = std::atan2(xl, zl);  // > 0: the point lies to the right
  float wheelbase = std::fabs(data.WheelPos[0].z - data.WheelPos[2].z);
  if (!(wheelbase > 0.5f)) wheelbase = 2.5f;
  const float reach = std::max(std::sqrt(xl * xl + zl * zl), 1.0f);
  const float bend = 2.0f * std::sin(alpha) / reach;  // curvature of the arc onto the point, > 0 to the right
  float right = std::atan(wheelbase * bend);
  // The car turns as fast as that arc asks: tyres that drift get more lock,
  // a tail that steps out gets less (or opposite) lock.
  if (dt > 0.0f) {
    const float turn = ((fx - lastFx) * lastRx + (fz - lastFz) * lastRz) / dt;
    yawRate = lastFx == 0.0f && lastFz == 0.0f ? 0.0f : turn;
  }
  lastFx = fx;
  lastFz = fz;
  lastRx = rx;
  lastRz = rz;
  if (speed > 3.0f) right += kYawGain * (speed * bend - yawRate);
  if (std::fabs(alpha) > 0.5f * kPi) right = alpha > 0 ? kMaxSteer : -kMaxSteer;
  const float slip = speed > 3.0f ? std::atan2(body.x, speed) : 0.0f;
  right = Clamp(right, -kMaxSteer, kMaxSteer);

  // Speed: the plan a moment ahead, slower while the car points away from the line.
  float aim = line[Wrap(current + static_cast<int>((2.0f + 0.4f * absSpeed) / spacing))].speed;
  if (std::fabs(alpha) > 0.8f) aim = std::min(aim, 6.0f);

  // Recovery: backing out when pushing gets nowhere or the car faces the wrong way.
  modeTime += dt;
  reverseCooldown -= dt;
  if (mode == kForward) {
    if (absSpeed < 0.7f && car->Throttle > 0.2f) stuckTime += dt;
    else stuckTime = 0.0f;
    if (stuckTime > 1.0f || (std::fabs(alpha) > 2.0f && absSpeed < 2.0f && reverseCooldown <= 0.0f)) {
      mode = kReverse;
      modeTime = 0.0f;
      stuckTime = 0.0f;
    }
  } else if (modeTime > 3.0f || (modeTime > 1.2f && std::fabs(alpha) < 0.7f) || (modeTime > 0.8f && speed > -0.4f)) {
    mode = kForward;
    modeTime = 0.0f;
    stuckTime = 0.0f;
    reverseCooldown = 2.5f;
  }

  car->Handbrake = 0;
  car->SpareControl = 0;
  if (mode == kReverse) {
    // Backing with the wheels turned away swings the nose towards the line.
    car->Steering = kSteerRight * (alpha > 0 ? -kMaxSteer : kMaxSteer);
    if (speed > 0.5f) {
      car->Throttle = 0.0f;
      car->Brake = 1.0f;
    } else {
      car->Gear = CAR_GEAR_REVERSE;
      car->Throttle = 0.7f;
      car->Brake = 0.0f;
    }
    return;
  }

  car->Steering = kSteerRight * right;
  if (speed < -1.0f) {
    // Still rolling backwards from a recovery: stop first.
    car->Throttle = 0.0f;
    car->Brake = 1.0f;
    return;
  }
  ChooseGear(car, data, speed, dt);
  const float error = aim - speed;
  float throttle = 0.0f, brake = 0.0f;
  if (error > -0.5f) throttle = Clamp(0.5f + 0.5f * error, 0.0f, 1.0f);
  else brake = Clamp(-0.3f * (error + 0.5f), 0.0f, 1.0f);
  // Driven wheels spinning or the tail stepping out: ease off.
  const _WHEELSKIDS skids = car->GetSkids();
  const int a = data.FrontDrive ? 0 : 2;
  if (throttle > 0.3f && (skids.Skid[a] || skids.Skid[a + 1])) throttle *= 0.5f;
  if (std::fabs(slip) > 0.1f) throttle *= 0.5f;
  car->Throttle = throttle;
  car->Brake = brake;
}
