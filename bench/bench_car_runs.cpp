// Straight-line figures of the cars: how often a wheel meets the road with
// more than one contact, and what that does to a car's run.
//
//  - The small reference car with a constant 45 N m, 20 s of full throttle
//    and no steering on flat roads of different tilings: sideways drift and
//    end speed. A road of one quad is the smooth reference.
//  - Every shipped car (DATA/Cars.txt) on every shipped track's longest
//    straight (from the track's description), started at rest at its
//    beginning with a driver following the centreline: 0 to 100 km/h and
//    the speed at the end of the straight; and on a long flat road of 4 m
//    tiles: 0 to 100 km/h and the speed after 60 s.
//
// Run from build/bin (it finds DATA beside itself) under a display; it takes
// about a minute. Options: --flat, --tracks, --cars (only those parts).
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cCar.h"
#include "cGround.h"
#include "cMoObject.h"
#include "mathkit/mathkit.h"
#include "platform/files.h"
#include "reference_car.h"
#include "screen_fixture.h"
#include "test_support.h"
#include "track_desc.h"
#include "track_path.h"

namespace {

// Wheel collisions seen: calls of the sphere against the road, and those
// that gave two or more contacts.
long g_wheelCalls = 0, g_wheelMulti = 0, g_wheelBent = 0;

}  // namespace

extern "C" int dCollide(dGeomID o1, dGeomID o2, int flags, dContactGeom* contact, int skip) {
  static auto real =
      reinterpret_cast<int (*)(dGeomID, dGeomID, int, dContactGeom*, int)>(dlsym(RTLD_NEXT, "dCollide"));
  const int n = real(o1, o2, flags, contact, skip);
  if (dGeomGetClass(o1) == dSphereClass && n > 0) {
    ++g_wheelCalls;
    if (n > 1) ++g_wheelMulti;
    // Contacts whose normals differ by more than 0.1 rad: a wheel in a crease.
    bool bent = false;
    for (int a = 0; a < n && !bent; ++a)
      for (int b = a + 1; b < n && !bent; ++b) {
        const dContactGeom* ca = reinterpret_cast<const dContactGeom*>(reinterpret_cast<const char*>(contact) + a * skip);
        const dContactGeom* cb = reinterpret_cast<const dContactGeom*>(reinterpret_cast<const char*>(contact) + b * skip);
        bent = ca->normal[0] * cb->normal[0] + ca->normal[1] * cb->normal[1] + ca->normal[2] * cb->normal[2] < 0.995;
      }
    if (bent) ++g_wheelBent;
  }
  return n;
}

namespace {

const float kKmh100 = 100.0f / 3.6f;

float Constant45(float, void*) { return 45.0f; }

struct Torque {
  std::vector<float> rpm, nm;
};

float TableTorque(float engineSpeed, void* context) {
  const Torque* t = static_cast<const Torque*>(context);
  const float rpm = engineSpeed * 9.55026f;
  for (size_t i = 0; i + 1 < t->rpm.size(); ++i)
    if (t->rpm[i] <= rpm && rpm < t->rpm[i + 1])
      return t->nm[i] + (rpm - t->rpm[i]) / (t->rpm[i + 1] - t->rpm[i]) * (t->nm[i + 1] - t->nm[i]);
  return 0.0f;
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (!line.empty()) out.push_back(line);
  }
  return out;
}

std::string Leaf(const std::string& entry) { return entry.substr(entry.rfind('\\') + 1); }

// A shipped car as the game assembles it: the data file, the body's box and
// the wheel's radius from the mesh, the torque table; automatic gearbox.
struct ShippedCar {
  std::string name;
  _CARDATA data;
  Torque torque;
};

bool LoadCar(const std::string& entry, cScreen* screen, ShippedCar* car) {
  std::string path = entry;
  for (char& c : path)
    if (c == '\\') c = '/';
  const std::string cdf = vrxtest::ReadFile(vrx::ResolvePath((entry + ".cdf").c_str()));
  if (cdf.size() != 144) return false;
  cMoObject mesh((entry + ".mo").c_str(), screen, nullptr);
  int body = -1, wheel = -1;
  for (DWORD i = 0; i < mesh.ObjCount(); ++i) {
    if (mesh.GetName(i)[0] == 'b') body = static_cast<int>(i);
    if (mesh.GetName(i)[0] == 'w') wheel = static_cast<int>(i);
  }
  if (body < 0 || wheel < 0) return false;
  mesh.CalcObjBBox(body);
  _CARDATA& d = car->data;
  std::memset(&d, 0, sizeof d);
  std::memcpy(d.WheelPos, cdf.data(), 48);
  std::memcpy(&d.FrontSpring, cdf.data() + 48, 24);
  std::memcpy(&d.BodyMass, cdf.data() + 72, 48);
  std::memcpy(&d.FinalDrive, cdf.data() + 132, 4);
  std::memcpy(&d.GearCount, cdf.data() + 136, 4);
  std::memcpy(&d.FrontDrive, cdf.data() + 140, 4);
  d.BBoxMin = mesh.GetMinBBox(body);
  d.BBoxMax = mesh.GetMaxBBox(body);
  d.FrontRadius = d.RearRadius = (mesh.GetMaxBBox(wheel).y - mesh.GetMinBBox(wheel).y) * 0.5f;
  d.Automatic = 1;
  for (const std::string& line : Lines(vrx::ResolvePath((entry + ".trq").c_str()))) {
    const size_t tab = line.rfind('\t');
    car->torque.rpm.push_back(std::strtof(line.substr(0, tab).c_str(), nullptr));
    car->torque.nm.push_back(std::strtof(line.substr(tab + 1).c_str(), nullptr));
  }
  car->name = Leaf(entry);
  return true;
}

_CARSTATE StateAt(float x, float y, float z, float yaw) {
  _CARSTATE s;
  std::memset(&s, 0, sizeof s);
  s.LinPos = D3DXVECTOR3(x, y, z);
  RotationY(&s.RotPos, yaw);
  return s;
}

float Speed(cCar& car) {
  const D3DXVECTOR3 v = car.GetLinVel();
  return std::sqrt(v.x * v.x + v.z * v.z);
}

// ---------------------------------------------------------------------------
// Flat roads

struct FlatRun {
  float drift, speed, t100, top;
  double multiShare;
};

std::unique_ptr<cGround> FlatGround(cScreen* screen, float tile, float length, float width = 200.0f) {
  const std::string dir = vrxtest::MakeTempDir("car_runs_flat");
  vrxtest::FlatTrackLayout layout;
  layout.xMin = -width * 0.5f;
  layout.xMax = width * 0.5f;
  layout.zMin = -50;
  layout.zMax = length - 50;
  layout.tile = tile > 0 ? tile : length;
  std::string error;
  if (!vrxtest::WriteFlatTrack(dir + "/track", layout, &error)) {
    std::fprintf(stderr, "bench_car_runs: %s\n", error.c_str());
    return nullptr;
  }
  return std::make_unique<cGround>((dir + "/track").c_str(), screen, nullptr);
}

FlatRun RunStraight(cGround* ground, const _CARDATA& data, float (*torque)(float, void*), void* context,
                    float seconds) {
  _CARDATA d = data;
  _CARSTATE s = StateAt(0.0f, 0.5f, 0.0f, 0.0f);
  cCar car(&d, &s, ground, torque, reinterpret_cast<float (*)(float, void*)>(context));
  for (int i = 0; i < 200; ++i) car.DoStep(0.01f);
  const float x0 = car.GetLinPos().x;
  g_wheelCalls = g_wheelMulti = g_wheelBent = 0;
  car.Gear = 2;
  car.Throttle = 1.0f;
  FlatRun r{0, 0, -1, 0, 0};
  const int steps = static_cast<int>(seconds * 100 + 0.5f);
  for (int i = 0; i < steps; ++i) {
    car.DoStep(0.01f);
    const float v = Speed(car);
    if (r.t100 < 0 && v >= kKmh100) r.t100 = (i + 1) * 0.01f;
    r.top = std::max(r.top, v);
    r.drift = std::max(r.drift, std::fabs(car.GetLinPos().x - x0));
  }
  r.speed = Speed(car);
  r.multiShare = g_wheelCalls ? double(g_wheelMulti) / g_wheelCalls : 0.0;
  return r;
}

void FlatRoads(cScreen* screen) {
  std::printf("Reference car, 45 N m, 20 s full throttle, no steering, 200 m x 800 m flat road\n");
  std::printf("%-12s %10s %12s %14s\n", "tiles", "drift m", "speed m/s", "multi-contact");
  for (float tile : {0.0f, 4.0f, 10.0f, 50.0f}) {
    auto ground = FlatGround(screen, tile, 800.0f);
    if (!ground) continue;
    const FlatRun r = RunStraight(ground.get(), vrxtest::ReferenceCarData(), Constant45, nullptr, 20.0f);
    char name[32];
    if (tile > 0) std::snprintf(name, sizeof name, "%.0f m", tile);
    else std::snprintf(name, sizeof name, "one quad");
    std::printf("%-12s %10.2f %12.2f %13.1f%%\n", name, r.drift, r.speed, 100.0 * r.multiShare);
    std::fflush(stdout);
  }
}

void CarsOnFlat(cScreen* screen, std::vector<ShippedCar>& cars) {
  std::printf("\nShipped cars, 60 s full throttle on a 40 m x 2600 m flat road\n");
  std::printf("%-12s %-10s %12s %12s %10s %14s\n", "car", "tiles", "0-100 s", "top km/h", "drift m",
              "multi-contact");
  for (float tile : {0.0f, 4.0f}) {
    auto ground = FlatGround(screen, tile, 2600.0f, 40.0f);
    if (!ground) continue;
    for (ShippedCar& c : cars) {
      const FlatRun r = RunStraight(ground.get(), c.data, TableTorque, &c.torque, 60.0f);
      std::printf("%-12s %-10s %12.2f %12.1f %10.2f %13.1f%%\n", c.name.c_str(), tile > 0 ? "4 m" : "one quad",
                  r.t100, r.top * 3.6f, r.drift, 100.0 * r.multiShare);
      std::fflush(stdout);
    }
  }
}

// ---------------------------------------------------------------------------
// Shipped tracks

// The longest run of centreline rows bending less than 1 / minRadius.
void LongestStraight(const vrxdata::TrackPath& path, float minRadius, int* first, int* count) {
  const int n = path.RowCount();
  *first = 0;
  *count = 0;
  // Start the scan at a bend so that a straight across the start line is whole.
  int start = 0;
  for (int i = 0; i < n; ++i)
    if (std::fabs(path.Row(i).curvature) >= 1.0f / minRadius) {
      start = i;
      break;
    }
  int runStart = -1;
  for (int k = 1; k <= n; ++k) {
    const int i = (start + k) % n;
    const bool straight = std::fabs(path.Row(i).curvature) < 1.0f / minRadius;
    if (straight && runStart < 0) runStart = k;
    if ((!straight || k == n) && runStart >= 0) {
      const int len = (straight ? k + 1 : k) - runStart;
      if (len > *count) {
        *count = len;
        *first = (start + runStart) % n;
      }
      runStart = -1;
    }
  }
}

struct TrackRun {
  float t100, endSpeed, worstOffset;
  double multiShare, bentShare;
};

TrackRun RunOnStraight(cGround* ground, const vrxdata::TrackPath& path, int first, int count, ShippedCar& c) {
  const vrxdata::PathRow& a = path.Row(first);
  const float length = path.Row(first + count - 1).s - a.s + (first + count - 1 >= path.RowCount() ? path.Length() : 0);
  // The car turns by its start matrix's transpose (as it does with the
  // game's start heading), so this yaw puts its nose along the road.
  const float yaw = -std::atan2(a.fwd.x, a.fwd.z);
  _CARDATA d = c.data;
  _CARSTATE s = StateAt(a.pos.x, ground->GetHeight(a.pos.x, a.pos.z) + 0.5f, a.pos.z, yaw);
  cCar car(&d, &s, ground, TableTorque, reinterpret_cast<float (*)(float, void*)>(&c.torque));
  if (car.GetRotPos()._31 * a.fwd.x + car.GetRotPos()._33 * a.fwd.z < 0.99f)
    std::fprintf(stderr, "bench_car_runs: the car does not face along the road\n");
  for (int i = 0; i < 200; ++i) car.DoStep(0.01f);
  g_wheelCalls = g_wheelMulti = g_wheelBent = 0;
  car.Gear = 2;
  car.Throttle = 1.0f;
  TrackRun r{-1, 0, 0, 0, 0};
  const float wheelBase = c.data.WheelPos[0].z - c.data.WheelPos[2].z;
  float travelled = 0;
  D3DXVECTOR3 last = car.GetLinPos();
  for (int i = 0; i < 6000 && travelled < length; ++i) {
    // Pure pursuit of a centreline point ahead.
    const D3DXVECTOR3 p = car.GetLinPos();
    const vrxdata::PathHit hit = path.Nearest(p.x, p.z, 50.0f);
    if (!hit.found) break;
    r.worstOffset = std::max(r.worstOffset, std::fabs(hit.lateral));
    const float look = std::max(8.0f, 0.6f * Speed(car));
    const int row = path.RowAt(hit.s + look);
    const vrxdata::PathRow& t = path.Row(row);
    const D3DXMATRIX m = car.GetRotPos();
    const float fx = m._31, fz = m._33;           // nose
    const float rx = fz, rz = -fx;                // to the right
    const float dx = t.pos.x - p.x, dz = t.pos.z - p.z;
    const float ahead = dx * fx + dz * fz, right = dx * rx + dz * rz;
    const float ld2 = std::max(1.0f, ahead * ahead + right * right);
    const float steer = -std::atan(2.0f * wheelBase * right / ld2);  // positive steers left
    car.Steering = std::max(-0.4f, std::min(0.4f, steer));
    car.DoStep(0.01f);
    const D3DXVECTOR3 q = car.GetLinPos();
    travelled += std::sqrt((q.x - last.x) * (q.x - last.x) + (q.z - last.z) * (q.z - last.z));
    last = q;
    const float v = Speed(car);
    if (r.t100 < 0 && v >= kKmh100) r.t100 = (i + 1) * 0.01f;
  }
  r.endSpeed = Speed(car);
  r.multiShare = g_wheelCalls ? double(g_wheelMulti) / g_wheelCalls : 0.0;
  r.bentShare = g_wheelCalls ? double(g_wheelBent) / g_wheelCalls : 0.0;
  return r;
}

void Tracks(cScreen* screen, std::vector<ShippedCar>& cars, const std::string& contentDir) {
  std::printf("\nShipped cars from rest on each track's longest straight (bends of radius over 400 m),\n"
              "full throttle, steering after the centreline\n");
  std::printf("%-10s %8s %-12s %10s %10s %10s %14s %8s\n", "track", "length", "car", "0-100 s", "end km/h",
              "offset m", "multi-contact", "crease");
  for (const std::string& entry : Lines("DATA/Tracks.txt")) {
    const std::string name = Leaf(entry);
    vrxdata::TrackDesc desc;
    std::string lower = name;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (!vrxdata::ReadTrackDesc(contentDir + "/tracks/" + lower + ".track", &desc)) continue;
    vrxdata::TrackPath path;
    if (!path.Build(desc)) continue;
    int first = 0, count = 0;
    LongestStraight(path, 400.0f, &first, &count);
    const float length = path.Row(first + count - 1).s - path.Row(first).s +
                         (first + count - 1 >= path.RowCount() ? path.Length() : 0);
    cGround ground(entry.c_str(), screen, nullptr);
    for (ShippedCar& c : cars) {
      const TrackRun r = RunOnStraight(&ground, path, first, count, c);
      char t100[16];
      if (r.t100 >= 0) std::snprintf(t100, sizeof t100, "%.2f", r.t100);
      else std::snprintf(t100, sizeof t100, "-");
      std::printf("%-10s %6.0f m %-12s %10s %10.1f %10.2f %13.1f%% %7.2f%%\n", name.c_str(), length,
                  c.name.c_str(), t100, r.endSpeed * 3.6f, r.worstOffset, 100.0 * r.multiShare,
                  100.0 * r.bentShare);
      std::fflush(stdout);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool flat = true, tracks = true, carsFlat = true;
  if (argc > 1) {
    flat = tracks = carsFlat = false;
    for (int i = 1; i < argc; ++i) {
      flat |= std::strcmp(argv[i], "--flat") == 0;
      tracks |= std::strcmp(argv[i], "--tracks") == 0;
      carsFlat |= std::strcmp(argv[i], "--cars") == 0;
    }
  }
  const std::string contentDir =
      (std::filesystem::path(__FILE__).parent_path() / ".." / "content").lexically_normal().string();
  std::filesystem::current_path(vrx::ProgramDir());
  vrxtest::ScreenFixture fixture;
  if (!fixture.Open(320, 240)) {
    std::fprintf(stderr, "bench_car_runs: no window or device\n");
    return 1;
  }
  cScreen* screen = &fixture.Screen();
  if (flat) FlatRoads(screen);
  std::vector<ShippedCar> cars;
  for (const std::string& entry : Lines("DATA/Cars.txt")) {
    ShippedCar c;
    if (LoadCar(entry, screen, &c)) cars.push_back(c);
    else std::fprintf(stderr, "bench_car_runs: cannot assemble %s\n", entry.c_str());
  }
  if (carsFlat) CarsOnFlat(screen, cars);
  if (tracks) Tracks(screen, cars, contentDir);
  return 0;
}
