// What the best lap's ghost costs a race frame: on each generated track a
// race car stands at the start, seen from the chase camera, and the ghost's
// car (Hatch Rally) stands 8 m ahead of it, well in view. BM_GhostFrame
// times whole frames (sky, road, land, the car with reflections, the
// closing ground pass, flip, clear) without and with the ghost (arg 1),
// finished by the device each frame; BM_GhostPass times the ghost's drawing
// alone, the device's work finished before and after it. The share of a
// frame is ghost / frame.
//
// Run from anywhere: the DATA built beside this program is used. Under a
// display (xvfb-run with Mesa's software renderer will do).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "cCar.h"
#include "cGround.h"
#include "cScreen.h"
#include "cTexture.h"
#include "car/cGhostCar.h"
#include "car/cRaceCar.h"
#include "mathkit/mathkit.h"
#include "race_setup.h"
#include "screen_fixture.h"
#include "sound/cListener.h"

namespace {

typedef void (*FinishFn)();

using vrxbench::kCar;
using vrxbench::kTrackCount;
using vrxbench::kTracks;
const char* const kGhostCar = "DATA\\CARS\\HatchRally\\HatchRally";
uint8_t g_keyMap[7] = {0xC8, 0xD0, 0xCB, 0xCD, 0x1E, 0x2C, 0x39};

double WallMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

class Scene {
 public:
  std::string Open(const std::string& track) {
    const std::string path = vrxbench::TrackPath(track);
    if (!vrxbench::Exists(vrxbench::Slashed(path) + ".mo"))
      return "no DATA/TRACKS/" + track + " (build the game-data target)";
    if (!fixture_.Open(800, 600, true)) return "no display or device";
    screen_ = &fixture_.Screen();
    screen_->SetGamma(1.1f);
    D3DXVECTOR3 light(0, -1, 1);
    screen_->AddDirectionalLight(&light, 1.0f);
    ground_.reset(new cGround(path.c_str(), screen_, nullptr));
    ground_->LoadShadowMaps();
    env_.reset(new cTexture("DATA\\TRACKS\\COMMON\\Refmap.tga", screen_));
    plate_.reset(new cTexture("DATA\\CARS\\COMMON\\Tablica.bmp", screen_, 0));
    listener_.reset(new cListener(fixture_.Window()));
    _CARSTATE s;
    std::memset(&s, 0, sizeof s);
    s.LinPos = D3DXVECTOR3(ground_->GetStartX(), 0, ground_->GetStartZ());
    RotationY(&s.RotPos, ground_->GetStartRadY());
    car_.reset(new cRaceCar(kCar, s, screen_, ground_.get(), nullptr, listener_.get(), g_keyMap, 1, 1));
    if (!car_->IsRaceable()) return "the car is incomplete";
    car_->controlMode = 3;
    car_->GetCar()->Brake = 1.0f;
    for (int i = 0; i < 200; ++i) car_->Step(0.01f);
    const D3DXMATRIX w = car_->GetWorldMatrix();
    D3DXVECTOR3 nose(w._31, 0, w._33);
    nose /= std::sqrt(nose.x * nose.x + nose.z * nose.z);
    position_ = car_->GetPosition();
    target_ = position_ + D3DXVECTOR3(0, 1, 0);
    eye_ = position_ - nose * 5.69f + D3DXVECTOR3(0, 2, 0);
    ghostAt_ = position_ + nose * 8.0f;
    ghostTurn_ = car_->GetCar()->GetRotQuat();
    ghost_.reset(new cGhostCar(kGhostCar, screen_));
    finish_ = (FinishFn)SDL_GL_GetProcAddress("glFinish");
    if (!finish_) return "no glFinish";
    ground_->SortGroundObjs(&position_);
    for (int i = 0; i < 4; ++i) Frame(i & 1, nullptr);
    return "";
  }
  ~Scene() {
    ghost_.reset();
    car_.reset();
    ground_.reset();
    listener_.reset();
    env_.reset();
    plate_.reset();
    fixture_.Close();
  }

  // One frame; with ghostMs, the ghost's drawing alone is timed into it.
  void Frame(bool ghost, double* ghostMs) {
    const D3DXVECTOR3 up(0, 1, 0);
    screen_->SetTransformMatrix(1.33f, 0, 0.01f, 400.0f, FALSE);
    screen_->SetCamera(eye_, target_, up);
    car_->viewDir = target_ - eye_;
    screen_->SetLinearFog(0xFF648080, 0, 400);
    ground_->Draw(GROUND_DRAW_SKY);
    screen_->FogDisable();
    screen_->OffStage(1);
    screen_->SetLinearFog(0xFF648080, 0, 400);
    D3DXMATRIX identity;
    screen_->SetWorldMatrix(MatrixIdentity(&identity));
    ground_->Draw(GROUND_DRAW_ROAD);
    ground_->Draw(GROUND_DRAW_TERRAIN | GROUND_DRAW_SKIDS);
    screen_->SetLight(TRUE);
    car_->Draw(env_.get(), plate_.get());
    screen_->SetLight(FALSE);
    ground_->Draw(32);
    if (ghost) {
      if (ghostMs) finish_();
      const double t0 = WallMs();
      ghost_->Draw(ghostAt_, ghostTurn_, plate_.get());
      if (ghostMs) {
        finish_();
        *ghostMs += WallMs() - t0;
      }
    }
    screen_->Flip();
    screen_->ClearScreen();
    finish_();
  }

 private:
  vrxtest::ScreenFixture fixture_;
  cScreen* screen_ = nullptr;
  std::unique_ptr<cGround> ground_;
  std::unique_ptr<cListener> listener_;
  std::unique_ptr<cTexture> env_, plate_;
  std::unique_ptr<cRaceCar> car_;
  std::unique_ptr<cGhostCar> ghost_;
  D3DXVECTOR3 position_, target_, eye_, ghostAt_;
  D3DXQUATERNION ghostTurn_;
  FinishFn finish_ = nullptr;
};

std::unique_ptr<Scene> g_scene;
std::string g_track, g_error;

Scene* SceneOn(const std::string& track) {
  if (g_track != track) {
    g_scene.reset();
    g_scene.reset(new Scene);
    g_error = g_scene->Open(track);
    g_track = track;
  }
  return g_error.empty() ? g_scene.get() : nullptr;
}

void BM_GhostFrame(benchmark::State& state) {
  Scene* scene = SceneOn(kTracks[state.range(0)]);
  if (!scene) {
    state.SkipWithError(g_error.c_str());
    return;
  }
  const bool ghost = state.range(1) != 0;
  for (auto _ : state) scene->Frame(ghost, nullptr);
  state.SetLabel(std::string(kTracks[state.range(0)]) + (ghost ? ", with the ghost" : ", without"));
}

void BM_GhostPass(benchmark::State& state) {
  Scene* scene = SceneOn(kTracks[state.range(0)]);
  if (!scene) {
    state.SkipWithError(g_error.c_str());
    return;
  }
  double ghostMs = 0;
  const double t0 = WallMs();
  for (auto _ : state) scene->Frame(true, &ghostMs);
  const double n = (double)state.iterations();
  state.counters["ghost_ms"] = ghostMs / n;
  state.counters["frame_ms"] = (WallMs() - t0) / n;
  state.counters["ghost_share_pct"] = 100.0 * ghostMs / (WallMs() - t0);
  state.SetLabel(kTracks[state.range(0)]);
}

void TracksWithAndWithout(benchmark::internal::Benchmark* b) {
  for (int t = 0; t < kTrackCount; ++t) b->Args({t, 0})->Args({t, 1});
}

BENCHMARK(BM_GhostFrame)->Apply(TracksWithAndWithout)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_GhostPass)->DenseRange(0, kTrackCount - 1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  vrxbench::EnterProgramDirectory("bench_race_frame_ghost");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  g_scene.reset();
  benchmark::Shutdown();
  return 0;
}
