// Race frames on the generated tracks, drawn as the race draws them: the sky
// with fog, the car's shadow into its 128 x 128 render target (the game's
// cRaceCar::DrawShadowCaster), the road with that shadow projected on stage 1
// and the road shadow map on stage 2, the terrain, scenery and skid marks,
// the car as the game draws it (cRaceCar::Draw with reflections on: the
// cube map every second frame, road shadow, plate, wheels, brake lights,
// smoke), the closing ground pass, then the flip and the clear that opens
// the next frame. 800 x 600, full screen, 32 bits, view distance 400.
// The car pass is also split by whether it renders the cube map ("cube" is
// the extra time of those frames, spread over all frames).
//
// Each track is looked at from the chase camera behind a car standing at four
// places round the lap (the start and a quarter, half and three quarters of
// the road). BM_RaceFrame times whole frames as the race runs them (the
// driver may overlap one frame's drawing with the next frame's commands);
// BM_RaceFramePasses finishes the device's work after every pass, so that
// each pass's time is its own (the sum is a little above the frame time).
//
// Run from anywhere: the DATA built beside this program (bin/DATA) is used.
// Under a display (xvfb-run with Mesa's software renderer will do).
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cCar.h"
#include "cGround.h"
#include "cMoObject.h"
#include "cScreen.h"
#include "cTexture.h"
#include "car/cRaceCar.h"
#include "sound/cListener.h"
#include "mathkit/mathkit.h"
#include "screen_fixture.h"

namespace {

typedef void (*FinishFn)();

const char* const kTracks[] = {"Riverside", "Hillcrest", "Docklands"};
const char* const kCar = "DATA\\CARS\\Hatch\\Hatch";
constexpr int kViews = 4;
constexpr float kViewDistance = 5 * 80.0f;  // the settings' default level
constexpr DWORD kFog = 0xFF648080;

bool Exists(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

std::string Slashed(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

// The passes of a frame, in drawing order.
enum Pass { kSky, kShadow, kRoad, kLand, kCarPass, kLast, kPresent, kClear, kPasses };
const char* const kPassNames[kPasses] = {"sky", "shadow", "road", "land", "car", "last", "present", "clear"};
uint8_t g_keyMap[7] = {0xC8, 0xD0, 0xCB, 0xCD, 0x1E, 0x2C, 0x39};

double WallMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

// All threads: the driver draws on threads of its own. On a busy machine
// this stays near the work done while the wall time grows.
double ProcessCpuMs() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

struct PassTimes {
  double wall[kPasses] = {0};
  double cpu[kPasses] = {0};
  // The car pass of frames that render the reflection cube map, and of the others.
  double carWithCube = 0, carWithoutCube = 0;
  int framesWithCube = 0, framesWithoutCube = 0;
};

// A race car standing at one place on the lap, settled on the physics
// world, brakes on (so its brake lights show), with the chase camera behind.
struct Pose {
  std::unique_ptr<cRaceCar> car;
  D3DXVECTOR3 position, eye, target;
};

// One track with the car at its four places, on one full-screen device.
class Race {
 public:
  ~Race() { Close(); }

  // Empty on success, else why not.
  std::string Open(const std::string& track) {
    const std::string path = "DATA\\TRACKS\\" + track + "\\" + track;
    if (!Exists(Slashed(path + ".mo"))) return "no " + Slashed(path) + ".mo (build the game-data target)";
    if (!Exists(Slashed(std::string(kCar) + ".mo"))) return "no car " + Slashed(kCar) + ".mo";
    if (!fixture_.Open(800, 600, true)) return "no display or device";
    screen_ = &fixture_.Screen();
    IDirect3DDevice9* dev = screen_->GetDevicePointer();
    screen_->SetGamma(1.1f);
    D3DXVECTOR3 light(0, -1, 1);
    screen_->AddDirectionalLight(&light, 1.0f);
    const D3DFORMAT format =
        screen_->IsRenderTargetFormatExisting(D3DFMT_A4R4G4B4) ? D3DFMT_A4R4G4B4 : D3DFMT_A8R8G8B8;
    shadowTarget_.reset(new cTexture(128, D3DUSAGE_RENDERTARGET, format, screen_));
    if (FAILED(dev->CreateDepthStencilSurface(128, 128, screen_->GetDepthFormat(), D3DMULTISAMPLE_NONE, 0, TRUE,
                                              &shadowDepth_, nullptr)))
      return "no shadow depth surface";
    GetAdjustMtx(&adjust_, 128, 24);

    ground_.reset(new cGround(path.c_str(), screen_, nullptr));
    ground_->LoadShadowMaps();
    shape_.reset(new cTexture("DATA\\CARS\\COMMON\\Sh.tga", screen_));
    skid_.reset(new cTexture("DATA\\CARS\\COMMON\\Skid.tga", screen_));
    env_.reset(new cTexture("DATA\\TRACKS\\COMMON\\Refmap.tga", screen_));
    plate_.reset(new cTexture("DATA\\CARS\\COMMON\\Tablica.bmp", screen_, 0));
    ground_->SkidTexture = skid_.get();
    listener_.reset(new cListener(fixture_.Window()));

    // The start, then the rows where a quarter, a half and three quarters of
    // the road objects (named in lap order) meet their successors.
    cMoObject* mesh = ground_->GetMesh();
    std::map<std::string, DWORD> road;
    for (DWORD i = 0; i < mesh->ObjCount(); ++i)
      if (mesh->GetName(i)[0] == 'g') road[mesh->GetName(i)] = i;
    std::vector<DWORD> order;
    for (auto& entry : road) order.push_back(entry.second);
    if (!Settle(ground_->GetStartX(), ground_->GetStartZ(), ground_->GetStartRadY()))
      return "the car " + Slashed(kCar) + " is incomplete";
    for (int k = 1; k < kViews && order.size() >= 8; ++k) {
      const size_t i = order.size() * k / kViews;
      D3DXVECTOR3 a, b;
      if (!SharedRow(mesh, order[i - 1], order[i], &a) || !SharedRow(mesh, order[i], order[i + 1], &b)) continue;
      Settle(a.x, a.z, std::atan2(-(b.x - a.x), b.z - a.z));
    }
    finish_ = (FinishFn)SDL_GL_GetProcAddress("glFinish");
    if (!finish_) return "no glFinish";
    // The driver builds its programs for each state on first use.
    for (int i = 0; i < 2 * (int)poses_.size(); ++i) Frame(i % poses_.size(), nullptr);
    return "";
  }

  void Close() {
    poses_.clear();
    ground_.reset();
    listener_.reset();
    shadowTarget_.reset();
    if (shadowDepth_) shadowDepth_->Release();
    shadowDepth_ = nullptr;
    shape_.reset();
    skid_.reset();
    env_.reset();
    plate_.reset();
    fixture_.Close();
  }

  size_t Views() const { return poses_.size(); }

  // One frame from place `view`; with `times`, the device's work is finished
  // after every pass and each pass's milliseconds are added to it. Without
  // `flip` the frame stays in the back buffer.
  void Frame(size_t view, PassTimes* times, bool flip = true) {
    Pose& p = poses_[view];
    cRaceCar* car = p.car.get();
    if (view != lastView_) {
      // The car keeps the road list in nearness order as it drives.
      D3DXVECTOR3 at = p.position;
      ground_->SortGroundObjs(&at);
      lastView_ = view;
    }
    IDirect3DDevice9* dev = screen_->GetDevicePointer();
    double wall = WallMs(), cpu = ProcessCpuMs();
    auto mark = [&](Pass pass) {
      if (!times) return;
      finish_();
      const double w = WallMs(), c = ProcessCpuMs();
      times->wall[pass] += w - wall;
      times->cpu[pass] += c - cpu;
      wall = w;
      cpu = c;
    };
    const D3DXVECTOR3 up(0, 1, 0);
    screen_->SetCamera(p.eye, p.target, up);
    car->viewDir = p.position + up - p.eye;
    const D3DXMATRIX inverseCamera = screen_->GetInverseCameraMtx();

    screen_->SetLinearFog(kFog, 0, 400);
    ground_->Draw(GROUND_DRAW_SKY);
    screen_->FogDisable();
    screen_->OffStage(1);
    mark(kSky);

    dev->SetDepthStencilSurface(shadowDepth_);
    shadowTarget_->SetAsTarget();
    screen_->ClearScreen();
    D3DXVECTOR3 lightOffset(0, -3, 3);
    car->DrawShadowCaster(&lightOffset, shape_.get());
    const D3DXMATRIX shadowView = screen_->GetCameraMtx(), shadowProjection = screen_->GetTransformMtx();
    screen_->RestoreTarget();
    screen_->RestoreDepthStencil();
    mark(kShadow);

    screen_->SetLight(FALSE);
    screen_->SetTransformMatrix(1.33f, 0, 0.01f, kViewDistance, FALSE);
    screen_->SetCamera(p.eye, p.target, up);
    screen_->SetLinearFog(kFog, 0, 400);
    dev->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    const D3DXMATRIX projected = inverseCamera * shadowView * shadowProjection * adjust_;
    dev->SetTransform(D3DTS_TEXTURE1, &projected);
    dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION);
    shadowTarget_->Set(1);
    D3DXMATRIX identity;
    screen_->SetWorldMatrix(MatrixIdentity(&identity));
    ground_->Draw(GROUND_DRAW_ROAD);
    screen_->OffStage(1);
    mark(kRoad);
    ground_->Draw(GROUND_DRAW_TERRAIN | GROUND_DRAW_SKIDS);
    mark(kLand);
    screen_->SetLight(TRUE);
    const bool cube = car->RefreshesReflectionNextDraw();
    const double carStart = wall;
    car->Draw(env_.get(), plate_.get());
    screen_->SetLight(FALSE);
    mark(kCarPass);
    if (times) {
      (cube ? times->carWithCube : times->carWithoutCube) += wall - carStart;
      ++(cube ? times->framesWithCube : times->framesWithoutCube);
    }
    ground_->Draw(32);
    mark(kLast);
    if (!flip) return;

    screen_->Flip();
    mark(kPresent);
    screen_->ClearScreen();
    mark(kClear);
  }

  // A picture of the frame from `view`, for looking at.
  std::string Screenshot(size_t view, const std::string& name) {
    Frame(view, nullptr, false);
    std::string path = fixture_.SaveScreenshot(name);
    screen_->Flip();
    screen_->ClearScreen();
    return path;
  }

 private:
  // A race car at (x, z), nose along heading, settled with its brakes on,
  // and the chase camera 5.69 m behind and 2 m above it.
  bool Settle(float x, float z, float heading) {
    _CARSTATE s;
    std::memset(&s, 0, sizeof s);
    s.LinPos = D3DXVECTOR3(x, 0, z);
    RotationY(&s.RotPos, heading);
    Pose p;
    p.car.reset(new cRaceCar(kCar, s, screen_, ground_.get(), nullptr, listener_.get(), g_keyMap, 1, 1));
    if (!p.car->IsRaceable()) return false;
    p.car->controlMode = 3;
    p.car->GetCar()->Brake = 1.0f;
    for (int i = 0; i < 200; ++i) p.car->Step(0.01f);
    p.position = p.car->GetPosition();
    const D3DXMATRIX w = p.car->GetWorldMatrix();
    D3DXVECTOR3 nose(w._31, 0, w._33);
    nose /= std::sqrt(nose.x * nose.x + nose.z * nose.z);
    p.target = p.position + D3DXVECTOR3(0, 1, 0);
    p.eye = p.position - nose * 5.69f + D3DXVECTOR3(0, 2, 0);
    poses_.push_back(std::move(p));
    return true;
  }

  // The centre of the row of road points that objects a and b share.
  static bool SharedRow(cMoObject* mesh, DWORD a, DWORD b, D3DXVECTOR3* centre) {
    auto points = [&](DWORD o) {
      std::vector<D3DXVECTOR3> v;
      for (DWORD k = 0; k < 3 * mesh->GetObjFaceCount(o); ++k) {
        const _MOVERTEX x = mesh->GetObjVertex(o, k);
        v.push_back(D3DXVECTOR3(x.x, x.y, x.z));
      }
      return v;
    };
    const std::vector<D3DXVECTOR3> pa = points(a), pb = points(b);
    D3DXVECTOR3 sum(0, 0, 0);
    int n = 0;
    std::vector<D3DXVECTOR3> seen;
    for (const D3DXVECTOR3& p : pa) {
      bool shared = false, again = false;
      for (const D3DXVECTOR3& q : pb) shared = shared || (p.x == q.x && p.y == q.y && p.z == q.z);
      for (const D3DXVECTOR3& q : seen) again = again || (p.x == q.x && p.y == q.y && p.z == q.z);
      if (!shared || again) continue;
      seen.push_back(p);
      sum += p;
      ++n;
    }
    if (n == 0) return false;
    *centre = sum / (float)n;
    return true;
  }

  vrxtest::ScreenFixture fixture_;
  cScreen* screen_ = nullptr;
  std::unique_ptr<cGround> ground_;
  std::unique_ptr<cListener> listener_;
  std::unique_ptr<cTexture> shadowTarget_, shape_, skid_, env_, plate_;
  IDirect3DSurface9* shadowDepth_ = nullptr;
  D3DXMATRIX adjust_;
  std::vector<Pose> poses_;
  size_t lastView_ = ~(size_t)0;
  FinishFn finish_ = nullptr;
};

void Tracks(benchmark::internal::Benchmark* b) {
  for (int t = 0; t < (int)(sizeof kTracks / sizeof kTracks[0]); ++t) b->Arg(t);
}

// One device at a time: the race of the track last asked for.
std::unique_ptr<Race> g_race;
std::string g_track, g_error;

Race* RaceOn(const std::string& track) {
  if (g_track != track) {
    g_race.reset();
    g_race.reset(new Race);
    g_error = g_race->Open(track);
    g_track = track;
  }
  return g_error.empty() ? g_race.get() : nullptr;
}

void BM_RaceFrame(benchmark::State& state) {
  Race* race = RaceOn(kTracks[state.range(0)]);
  if (!race) {
    state.SkipWithError(g_error.c_str());
    return;
  }
  size_t frame = 0;
  const double cpu = ProcessCpuMs();
  std::vector<double> frames;
  frames.reserve(4096);
  for (auto _ : state) {
    const double t0 = WallMs();
    race->Frame(frame++ % race->Views(), nullptr);
    frames.push_back(WallMs() - t0);
  }
  state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
  state.counters["cpu_ms"] = (ProcessCpuMs() - cpu) / (double)state.iterations();
  std::sort(frames.begin(), frames.end());
  if (!frames.empty()) {
    state.counters["median_ms"] = frames[frames.size() / 2];
    state.counters["p99_ms"] = frames[std::min(frames.size() - 1, frames.size() * 99 / 100)];
  }
  state.SetLabel(kTracks[state.range(0)]);
}

void BM_RaceFramePasses(benchmark::State& state) {
  Race* race = RaceOn(kTracks[state.range(0)]);
  if (!race) {
    state.SkipWithError(g_error.c_str());
    return;
  }
  PassTimes times;
  size_t frame = 0;
  for (auto _ : state) race->Frame(frame++ % race->Views(), &times);
  const double n = (double)state.iterations();
  for (int p = 0; p < kPasses; ++p) {
    state.counters[kPassNames[p]] = times.wall[p] / n;
    state.counters[std::string(kPassNames[p]) + "_cpu"] = times.cpu[p] / n;
  }
  // The cube map's share: what frames that render it spend beyond the others, per frame.
  if (times.framesWithCube && times.framesWithoutCube) {
    const double extra = times.carWithCube / times.framesWithCube - times.carWithoutCube / times.framesWithoutCube;
    state.counters["cube"] = extra * times.framesWithCube / n;
  }
  state.SetLabel(std::string(kTracks[state.range(0)]) + ", ms per pass (wall, CPU of all threads)");
}

// Whole frames at each place of one track, to see where a track is slow.
void BM_RaceFrameAt(benchmark::State& state) {
  Race* race = RaceOn(kTracks[state.range(0)]);
  if (!race || (size_t)state.range(1) >= race->Views()) {
    state.SkipWithError(race ? "no such place" : g_error.c_str());
    return;
  }
  const double cpu = ProcessCpuMs();
  for (auto _ : state) race->Frame((size_t)state.range(1), nullptr);
  state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
  state.counters["cpu_ms"] = (ProcessCpuMs() - cpu) / (double)state.iterations();
  state.SetLabel(std::string(kTracks[state.range(0)]) + " place " + std::to_string(state.range(1)));
}

void TracksAndPlaces(benchmark::internal::Benchmark* b) {
  for (int t = 0; t < (int)(sizeof kTracks / sizeof kTracks[0]); ++t)
    for (int v = 0; v < kViews; ++v) b->Args({t, v});
}

BENCHMARK(BM_RaceFrame)->Apply(Tracks)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_RaceFramePasses)->Apply(Tracks)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_RaceFrameAt)->Apply(TracksAndPlaces)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

// The data beside the program, as the game finds it.
bool EnterProgramDirectory() {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return false;
  self[n] = 0;
  std::string dir(self);
  dir.erase(dir.rfind('/'));
  return chdir(dir.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!EnterProgramDirectory()) std::fprintf(stderr, "bench_race_frame: cannot enter the program's directory\n");
  if (!Exists("DATA/Tracks.txt"))
    std::fprintf(stderr, "bench_race_frame: no DATA beside the program; build the game-data target first\n");
  // --screenshots DIR: pictures of every place of every track, then stop.
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--screenshots") == 0) {
      setenv("VRX_TEST_TMP", argv[i + 1], 1);
      for (const char* track : kTracks) {
        Race* race = RaceOn(track);
        if (!race) {
          std::fprintf(stderr, "bench_race_frame: %s: %s\n", track, g_error.c_str());
          continue;
        }
        for (size_t v = 0; v < race->Views(); ++v)
          std::printf("%s\n", race->Screenshot(v, std::string(track) + "_" + std::to_string(v)).c_str());
      }
      g_race.reset();
      return 0;
    }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  g_race.reset();
  benchmark::Shutdown();
  return 0;
}
