// Cost of the race car's frame update, cRaceCar::Step(1/60), on every
// shipped track while the car drives: full throttle with the gears going up,
// from the start and from a quarter, a half and three quarters of the lap,
// steered along the road. Prints per track the median and 99th percentile in
// microseconds, the share spent in the engine's cCar::DoStep, and the heap
// allocations made inside Step. Steps that follow a body contact with a wall
// (they dent the mesh) are also shown on their own; the allocations left in
// the other steps come from the drawing driver when the ground's skid-mark
// buffer is written (cGround::AddSkid).
//
// The DoStep share is measured by interposing cCar::DoStep: this program
// defines it, so the game's call lands here, is timed, and goes on to the
// engine library's own definition. Allocations are counted by interposing
// malloc, calloc and realloc the same way.
//
// Run from anywhere: the DATA built beside this program (bin/DATA) is used.
// Under a display (xvfb-run with Mesa's software renderer will do).
#include <SDL.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cCar.h"
#include "cGround.h"
#include "cInput.h"
#include "cMoObject.h"
#include "car/cRaceCar.h"
#include "mathkit/mathkit.h"
#include "platform/dinput.h"
#include "platform/testing.h"
#include "race_setup.h"
#include "screen_fixture.h"
#include "sound/cListener.h"

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);

namespace {

using Clock = std::chrono::steady_clock;

bool g_counting = false;
bool g_inDoStep = false;
long g_allocations = 0;
long g_doStepAllocations = 0;
double g_doStepSeconds = 0.0;

}  // namespace

extern "C" {
void* malloc(size_t n) {
  if (g_counting) ++(g_inDoStep ? g_doStepAllocations : g_allocations);
  return __libc_malloc(n);
}
void* calloc(size_t n, size_t s) {
  if (g_counting) ++(g_inDoStep ? g_doStepAllocations : g_allocations);
  return __libc_calloc(n, s);
}
void* realloc(void* p, size_t n) {
  if (g_counting) ++(g_inDoStep ? g_doStepAllocations : g_allocations);
  return __libc_realloc(p, n);
}
}

void cCar::DoStep(float dt) {
  typedef void (*Real)(cCar*, float);
  static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "_ZN4cCar6DoStepEf"));
  if (!real) {
    std::fprintf(stderr, "bench_race_car: no cCar::DoStep in the engine library\n");
    std::abort();
  }
  const Clock::time_point t0 = Clock::now();
  g_inDoStep = true;
  real(this, dt);
  g_inDoStep = false;
  g_doStepSeconds += std::chrono::duration<double>(Clock::now() - t0).count();
}

namespace {

using vrxbench::kCar;
using vrxbench::kTracks;
constexpr int kStepsPerPlace = 60 * 6;

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, (size_t)(p * (v.size() - 1) + 0.5))];
}

}  // namespace

int main() {
  if (!vrxbench::EnterProgramDirectory("bench_race_car")) return 1;
  if (!vrxbench::Exists("DATA/Tracks.txt")) {
    std::fprintf(stderr, "bench_race_car: no DATA beside the program; build the game-data target first\n");
    return 1;
  }
  vrxtest::ScreenFixture fixture;
  if (!fixture.Open(800, 600, true)) {
    std::fprintf(stderr, "bench_race_car: no display or device\n");
    return 1;
  }
  cScreen* screen = &fixture.Screen();
  vrxtesting::SetFakeInput(true);
  cInput input;
  input.Init(nullptr);
  input.CreateKeyboard(fixture.Window());
  cListener listener(fixture.Window());
  uint8_t keyMap[7] = {DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT, DIK_A, DIK_Z, DIK_SPACE};

  std::printf("cRaceCar::Step(1/60) while driving the %s, %d steps from each of 4 places\n", kCar,
              kStepsPerPlace);
  std::printf("Whole steps; then the steps after a body contact with a wall (they dent the car) on their own;\n"
              "allocations in steps without contact (game side / inside DoStep) and in contact steps.\n");
  std::printf("%-10s %9s %9s %9s %9s %7s | %10s %10s | %6s %12s %10s | %11s %13s %11s\n", "track", "median_us",
              "p99_us", "mean_us", "doStep_%", "game_%", "open_med_us", "open_game%", "walls", "wall_mean_us",
              "wall_game%", "allocs_game", "allocs_doStep", "allocs_wall");
  for (const char* track : kTracks) {
    std::unique_ptr<cGround> ground(new cGround(vrxbench::TrackPath(track).c_str(), screen, nullptr));
    const std::vector<D3DXVECTOR3> line = vrxbench::CentreLine(ground.get());
    const std::vector<vrxbench::Place> places = vrxbench::LapPlaces(ground.get(), 4);
    std::vector<double> steps;
    double total = 0, doStep = 0;
    long allocations = 0, doStepAllocations = 0, dentAllocations = 0;
    int dentSteps = 0;
    double dentSeconds = 0, dentDoStep = 0, plainSeconds = 0, plainDoStep = 0;
    std::vector<double> plain;
    for (const vrxbench::Place& place : places) {
      _CARSTATE s;
      std::memset(&s, 0, sizeof s);
      s.LinPos = place.at + D3DXVECTOR3(0, 1, 0);
      RotationY(&s.RotPos, place.heading);
      cRaceCar car(kCar, s, screen, ground.get(), &input, &listener, keyMap, 1, 1);
      car.deformation = 1;
      if (!car.IsRaceable()) return 1;
      car.GetCar()->Gear = 2;
      vrxtesting::SetFakeScancode(SDL_SCANCODE_UP, true);
      for (int i = 0; i < kStepsPerPlace; ++i) {
        // Steer toward the centre line point some 15 m ahead.
        const D3DXVECTOR3 p = car.GetPosition();
        const D3DXMATRIX w = car.GetWorldMatrix();
        size_t nearest = 0;
        float best = 1e30f;
        for (size_t k = 0; k < line.size(); ++k) {
          const D3DXVECTOR3 d = line[k] - p;
          const float dd = d.x * d.x + d.z * d.z;
          if (dd < best) best = dd, nearest = k;
        }
        const D3DXVECTOR3 aim = line.empty() ? p : line[std::min(line.size() - 1, nearest + 3)] - p;
        const float side = aim.x * w._11 + aim.z * w._13;  // + right of the nose
        vrxtesting::SetFakeScancode(SDL_SCANCODE_LEFT, side < -1.0f);
        vrxtesting::SetFakeScancode(SDL_SCANCODE_RIGHT, side > 1.0f);

        bool contact = false;
        for (const _CARCOLLISION& r : car.GetCar()->Collisions) contact = contact || r.Valid;
        g_doStepSeconds = 0;
        g_allocations = 0;
        g_doStepAllocations = 0;
        g_counting = true;
        const Clock::time_point t0 = Clock::now();
        car.Step(1.0f / 60.0f);
        const double t = std::chrono::duration<double>(Clock::now() - t0).count();
        g_counting = false;
        if (i < 30) continue;  // the first steps settle the car and warm the caches
        steps.push_back(t * 1e6);
        total += t;
        doStep += g_doStepSeconds;
        doStepAllocations += g_doStepAllocations;
        if (contact) {
          ++dentSteps;
          dentAllocations += g_allocations;
          dentSeconds += t;
          dentDoStep += g_doStepSeconds;
        } else {
          allocations += g_allocations;
          plain.push_back(t * 1e6);
          plainSeconds += t;
          plainDoStep += g_doStepSeconds;
        }
      }
      vrxtesting::SetFakeScancode(SDL_SCANCODE_UP, false);
      vrxtesting::SetFakeScancode(SDL_SCANCODE_LEFT, false);
      vrxtesting::SetFakeScancode(SDL_SCANCODE_RIGHT, false);
    }
    double mean = 0;
    for (double x : steps) mean += x;
    mean /= (double)std::max<size_t>(1, steps.size());
    std::printf("%-10s %9.1f %9.1f %9.1f %9.1f %7.1f | %10.1f %10.1f | %6d %12.1f %10.1f | %11ld %13ld %11ld\n",
                track, Percentile(steps, 0.5), Percentile(steps, 0.99), mean, 100.0 * doStep / total,
                100.0 * (total - doStep) / total, Percentile(plain, 0.5),
                plainSeconds > 0 ? 100.0 * (plainSeconds - plainDoStep) / plainSeconds : 0.0, dentSteps, dentSteps ? dentSeconds * 1e6 / dentSteps : 0.0,
                dentSeconds > 0 ? 100.0 * (dentSeconds - dentDoStep) / dentSeconds : 0.0, allocations,
                doStepAllocations, dentAllocations);
  }
  input.CleanUp();
  vrxtesting::SetFakeInput(false);
  fixture.Close();
  return 0;
}
