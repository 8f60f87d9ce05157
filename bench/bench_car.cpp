// Cost of one 0.01 s car substep on a track of 5000 road faces, and the
// share of it spent in the physics library's collision, contact and world
// step calls.
//
// The share is measured by interposing those calls: this program defines
// them, so the engine library's calls land here, are timed, and go on to
// the physics library's own definitions. Timing them costs clock reads of
// its own, so the substep cost is measured in a run without them and the
// share in a second run with them.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "cCar.h"
#include "cGround.h"
#include "reference_car.h"
#include "screen_fixture.h"
#include "test_support.h"

namespace {

bool g_timing = false;  // whether the interposed calls are timed
double g_physicsSeconds = 0.0;
int g_depth = 0;  // the physics library may call its own entry points

class Timed {
 public:
  Timed() : outer_(g_timing && g_depth++ == 0), start_(outer_ ? Clock::now() : Clock::time_point()) {}
  ~Timed() {
    if (!g_timing) return;
    --g_depth;
    if (outer_) g_physicsSeconds += std::chrono::duration<double>(Clock::now() - start_).count();
  }

 private:
  using Clock = std::chrono::steady_clock;
  bool outer_;
  Clock::time_point start_;
};

template <typename F>
F Next(const char* name) {
  F f = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
  if (!f) {
    std::fprintf(stderr, "bench_car: no %s in the physics library\n", name);
    std::abort();
  }
  return f;
}

}  // namespace

extern "C" {

int dCollide(dGeomID o1, dGeomID o2, int flags, dContactGeom* contact, int skip) {
  static auto real = Next<int (*)(dGeomID, dGeomID, int, dContactGeom*, int)>("dCollide");
  Timed t;
  return real(o1, o2, flags, contact, skip);
}

int dWorldStep(dWorldID w, dReal stepsize) {
  static auto real = Next<int (*)(dWorldID, dReal)>("dWorldStep");
  Timed t;
  return real(w, stepsize);
}

dJointID dJointCreateContact(dWorldID w, dJointGroupID g, const dContact* c) {
  static auto real = Next<dJointID (*)(dWorldID, dJointGroupID, const dContact*)>("dJointCreateContact");
  Timed t;
  return real(w, g, c);
}

void dJointGroupEmpty(dJointGroupID g) {
  static auto real = Next<void (*)(dJointGroupID)>("dJointGroupEmpty");
  Timed t;
  real(g);
}

}  // extern "C"

// Argument 0: the substep cost; 1: the physics share (timed calls).
static void BM_CarSubstep(benchmark::State& state) {
  const bool share = state.range(0) != 0;
  vrxtest::ScreenFixture screen;
  if (!screen.Open(320, 240)) {
    state.SkipWithError("no screen");
    return;
  }
  // 50 x 50 tiles of 4 m: 5000 road faces.
  vrxtest::FlatTrackLayout layout;
  layout.xMin = layout.zMin = -100.0f;
  layout.xMax = layout.zMax = 100.0f;
  layout.tile = 4.0f;
  layout.wall = true;
  layout.wallZ = 90.0f;
  const std::string path = vrxtest::MakeTempDir("bench_car") + "/track";
  std::string error;
  if (!vrxtest::WriteFlatTrack(path, layout, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::unique_ptr<cGround> ground(new cGround(path.c_str(), &screen.Screen(), nullptr));
  _CARDATA data = vrxtest::ReferenceCarData();
  _CARSTATE start = vrxtest::RestState(0.0f, 0.5f, 0.0f);
  std::unique_ptr<cCar> car(new cCar(&data, &start, ground.get(), vrxtest::ReferenceTorque, nullptr));
  for (int i = 0; i < 200; ++i) car->DoStep(0.01f);
  // A steady circle of about 40 m radius, on the road for good.
  car->Gear = 2;
  car->Throttle = 0.25f;
  car->Steering = 0.07f;
  for (int i = 0; i < 1000; ++i) car->DoStep(0.01f);

  g_physicsSeconds = 0.0;
  g_depth = 0;
  g_timing = share;
  const auto begin = std::chrono::steady_clock::now();
  for (auto _ : state) car->DoStep(0.01f);
  const double total =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  g_timing = false;
  if (share) {
    state.counters["physics_share"] = total > 0.0 ? g_physicsSeconds / total : 0.0;
    state.counters["physics_us"] = benchmark::Counter(
        g_physicsSeconds * 1e6 / static_cast<double>(state.iterations()));
  }
  const D3DXVECTOR3 p = car->GetLinPos();
  if (p.x < layout.xMin || p.x > layout.xMax || p.z < layout.zMin || p.z > layout.zMax)
    state.SkipWithError("the car left the road");
  car.reset();
  ground.reset();
}
BENCHMARK(BM_CarSubstep)->ArgName("physics_share")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

BENCHMARK_MAIN();
