// Race frames on the built tracks, drawn by the game itself: the program's
// start-up (800 x 600, 32 bits, view distance 5, reflections on, gamma 1.1,
// the start-up's 256 x 256 shadow target), the track and car loaded as a
// drive loads them, then per frame the game's DrawRaceFrame (sky, shadow,
// road, land, car with its cube map every second frame, the ground's closing
// pass, HUD), the frame-rate text, the flip and the clear that opens the next
// frame, as the race loop runs them.
//
// Each track is looked at from the chase camera behind a car standing at four
// places round the lap (the start and a quarter, half and three quarters of
// the road), brakes on, in runs of 50 frames at each place in turn (the car
// is moved between runs, untimed). BM_RaceFrame times whole frames as the race runs
// them (the driver may overlap one frame's drawing with the next frame's
// commands); BM_RaceFramePasses finishes the device's work after every pass,
// so that each pass's time is its own (the sum is a little above the frame
// time). The car pass is also split by whether it renders the cube map
// ("cube" is the extra time of those frames, spread over all frames).
// Each figure comes as wall time and as CPU time of all threads (_cpu): the
// drawing driver works on threads of its own, and on a busy machine the CPU
// time stays near the work done while the wall time grows. BM_RaceFrame also
// counts C++ heap allocations per frame (the race should make none) and
// gives the resident memory with the track loaded (rss_mb).
//
// Run from anywhere: the DATA built beside this program (bin/DATA) is used,
// and the settings file beside it is set for the run and put back after.
// Under a display (xvfb-run with Mesa's software renderer will do).
// --screenshots DIR: a picture of every place of every track, then stop.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cCar.h"
#include "cFont.h"
#include "cGround.h"
#include "car/cRaceCar.h"
#include "demo/demo.h"
#include "mathkit/mathkit.h"
#include "platform/d3d9.h"
#include "race_setup.h"
#include "shell/drive.h"
#include "shell/program.h"
#include "shell/race_frame.h"
#include "shell/startup.h"

namespace {

// C++ heap allocations (the game's and the engine's; the C drawing driver
// keeps pools of its own) are counted while g_counting is set.
bool g_counting = false;
long g_allocations = 0;

void* Allocate(size_t n) {
  if (g_counting) __atomic_add_fetch(&g_allocations, 1, __ATOMIC_RELAXED);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(size_t n) { return Allocate(n); }
void* operator new[](size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace {

using vrxbench::kTrackCount;
using vrxbench::kTracks;

typedef void (*FinishFn)();
constexpr int kViews = 4;

// The passes of a frame: the game's own, then the race loop's.
constexpr int kPresent = kRaceFramePasses, kClear = kRaceFramePasses + 1, kPasses = kRaceFramePasses + 2;
const char* const kPassNames[kPasses] = {"sky", "shadow", "road", "land", "car", "last", "ghost", "hud", "present", "clear"};

double WallMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

// Resident memory of this process, MB.
double ResidentMb() {
  long pages = 0, resident = 0;
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  const int got = std::fscanf(f, "%ld %ld", &pages, &resident);
  std::fclose(f);
  return got == 2 ? resident * (double)sysconf(_SC_PAGESIZE) / (1024.0 * 1024.0) : 0;
}

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

// Finishes the device's work and books the time since the last mark.
struct PassClock {
  FinishFn finish;
  PassTimes* times;
  cRaceCar* car;
  double wall, cpu;
  bool cube;

  void Mark(int pass) {
    finish();
    const double w = WallMs(), c = ProcessCpuMs();
    times->wall[pass] += w - wall;
    times->cpu[pass] += c - cpu;
    if (pass == kPassCar) {
      (cube ? times->carWithCube : times->carWithoutCube) += w - wall;
      ++(cube ? times->framesWithCube : times->framesWithoutCube);
    }
    wall = w;
    cpu = c;
    // The car pass is next: note whether it renders the cube map.
    if (pass == kPassLand) cube = car->RefreshesReflectionNextDraw();
  }
  static void PassDone(void* self, RaceFramePass pass) { static_cast<PassClock*>(self)->Mark(pass); }
};

// The game, started once for the whole run.
bool g_started = false;

// One track with the car at its places, set up as a drive sets it up.
class Race {
 public:
  ~Race() { Close(); }

  // Empty on success, else why not.
  std::string Open(const std::string& track) {
    const int t = FindListEntry(gTrackList[0], kListEntry, gTrackCount, track.c_str());
    car_ = FindListEntry(gCarList[0], kListEntry, gCarCount, LastComponent(vrxbench::kCar));
    if (t < 0) return "no track " + track + " in the game's list";
    if (car_ < 0) return std::string("no car ") + vrxbench::kCar + " in the game's list";
    gGround = new cGround(gTrackList[t], &gScreen, nullptr);
    gGround->LoadShadowMaps();
    gGround->SkidTexture = gSkidTexture;
    places_ = vrxbench::LapPlaces(gGround, kViews);
    GetAdjustMtx(&adjust_, 128, 24);
    finish_ = (FinishFn)SDL_GL_GetProcAddress("glFinish");
    if (!finish_) return "no glFinish";
    // The driver builds its programs for each state on first use.
    for (size_t v = 0; v < places_.size(); ++v) {
      if (!Show(v)) return std::string("the car ") + gCarList[car_] + " cannot be raced";
      Frame(nullptr);
      Frame(nullptr);
    }
    return "";
  }

  void Close() {
    delete gRaceCar;
    gRaceCar = nullptr;
    delete gGround;
    gGround = nullptr;
  }

  size_t Views() const { return places_.size(); }

  // The car stands at place `view`, settled with its brakes on, and the
  // chase camera has come to rest behind it. One car at a time, as in a race:
  // the physics world moves only the car that steps it.
  bool Show(size_t view) {
    if (view == shown_ && gRaceCar) return true;
    delete gRaceCar;
    gRaceCar = nullptr;
    shown_ = view;
    _CARSTATE s = {};
    s.LinPos = places_[view].at + D3DXVECTOR3(0, 1, 0);
    RotationY(&s.RotPos, places_[view].heading);
    std::unique_ptr<cRaceCar> car(
        new cRaceCar(gCarList[car_], s, &gScreen, gGround, &gInput, gListener, gPlayer.KeyMap, 1, 1));
    if (!car->IsRaceable()) return false;
    car->controlMode = 3;
    car->GetCar()->Brake = 1.0f;
    for (int i = 0; i < 200; ++i) car->Step(0.01f);
    D3DXVECTOR3 offset(0, 2, -6);
    for (int i = 0; i < 1000; ++i) car->ChaseCamera(&offset);
    // The car keeps the road list in nearness order as it drives.
    D3DXVECTOR3 at = car->GetPosition();
    gGround->SortGroundObjs(&at);
    gRaceCar = car.release();
    return true;
  }

  // One frame of the shown place as the race loop draws it; with `times`,
  // the device's work is finished after every pass and each pass's
  // milliseconds are added to it. Without `flip` the frame stays in the
  // back buffer.
  void Frame(PassTimes* times, bool flip = true) {
    PassClock clock{finish_, times, gRaceCar, WallMs(), ProcessCpuMs(), false};
    const RaceFrameProbe probe{PassClock::PassDone, &clock};
    DrawRaceFrame(adjust_, times ? &probe : nullptr);
    gFont->PutTextRelative(0.005f, 0.05f, 0.8f, 0.8f, "60 fps");
    if (!flip) return;
    gScreen.Flip();
    if (times) clock.Mark(kPresent);
    gScreen.ClearScreen();
    if (times) clock.Mark(kClear);
  }

  // A picture of the frame from `view`, for looking at.
  std::string Screenshot(size_t view, const std::string& path) {
    if (!Show(view)) return "";
    Frame(nullptr);
    Frame(nullptr, false);
    const bool ok = SUCCEEDED(VrxSaveScreenshot(gScreen.GetDevicePointer(), path.c_str()));
    gScreen.Flip();
    gScreen.ClearScreen();
    return ok ? path : "";
  }

 private:
  std::vector<vrxbench::Place> places_;
  int car_ = -1;
  D3DXMATRIX adjust_;
  size_t shown_ = ~(size_t)0;
  FinishFn finish_ = nullptr;
};

// One track at a time: the race of the track last asked for.
std::unique_ptr<Race> g_race;
std::string g_track, g_error;

Race* RaceOn(const std::string& track) {
  if (!g_started) return nullptr;
  if (g_track != track) {
    g_race.reset();
    g_race.reset(new Race);
    g_error = g_race->Open(track);
    g_track = track;
  }
  return g_error.empty() ? g_race.get() : nullptr;
}

// Frames come in runs of kFramesPerPlace at each place in turn; moving the
// car is not timed.
constexpr size_t kFramesPerPlace = 50;

void NextFrame(Race* race, benchmark::State* state, size_t frame) {
  if (frame % kFramesPerPlace) return;
  state->PauseTiming();
  race->Show(frame / kFramesPerPlace % race->Views());
  state->ResumeTiming();
}

void Tracks(benchmark::internal::Benchmark* b) {
  for (int t = 0; t < kTrackCount; ++t) b->Arg(t);
}

void BM_RaceFrame(benchmark::State& state) {
  Race* race = RaceOn(kTracks[state.range(0)]);
  if (!race) {
    state.SkipWithError(g_error.c_str());
    return;
  }
  size_t frame = 0;
  double cpu = 0;
  std::vector<double> frames;
  frames.reserve(4096);
  const double rss = ResidentMb();
  long allocations = 0;
  for (auto _ : state) {
    NextFrame(race, &state, frame++);
    const long a0 = g_allocations;
    const double t0 = WallMs(), c0 = ProcessCpuMs();
    g_counting = true;
    race->Frame(nullptr);
    g_counting = false;
    frames.push_back(WallMs() - t0);
    cpu += ProcessCpuMs() - c0;
    allocations += g_allocations - a0;
  }
  state.counters["allocs_per_frame"] = (double)allocations / (double)state.iterations();
  state.counters["rss_mb"] = rss;
  state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
  state.counters["cpu_ms"] = cpu / (double)state.iterations();
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
  for (auto _ : state) {
    NextFrame(race, &state, frame++);
    race->Frame(&times);
  }
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
  state.PauseTiming();
  race->Show((size_t)state.range(1));
  state.ResumeTiming();
  const double cpu = ProcessCpuMs();
  for (auto _ : state) race->Frame(nullptr);
  state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
  state.counters["cpu_ms"] = (ProcessCpuMs() - cpu) / (double)state.iterations();
  state.SetLabel(std::string(kTracks[state.range(0)]) + " place " + std::to_string(state.range(1)));
}

void TracksAndPlaces(benchmark::internal::Benchmark* b) {
  for (int t = 0; t < kTrackCount; ++t)
    for (int v = 0; v < kViews; ++v) b->Args({t, v});
}

BENCHMARK(BM_RaceFrame)->Apply(Tracks)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_RaceFramePasses)->Apply(Tracks)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_RaceFrameAt)->Apply(TracksAndPlaces)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!vrxbench::EnterProgramDirectory("bench_race_frame")) return 1;
  if (!vrxbench::Exists("DATA/Tracks.txt")) {
    std::fprintf(stderr, "bench_race_frame: no DATA beside the program; build the game-data target first\n");
    return 1;
  }
  vrxbench::BenchSettings settings;
  if (!settings.Apply("bench_race_frame")) return 1;
  setenv("VRX_NO_DIALOGS", "1", 1);
  int exitCode = 0;
  g_started = StartProgram(nullptr, &exitCode) != 0;
  if (!g_started) {
    std::fprintf(stderr, "bench_race_frame: the game did not start (%d)\n", exitCode);
    g_error = "the game did not start";
  }

  const char* shots = nullptr;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--screenshots") == 0) shots = argv[i + 1];
  if (shots) {
    for (int t = 0; t < kTrackCount && g_started; ++t) {
      Race* race = RaceOn(kTracks[t]);
      if (!race) {
        std::fprintf(stderr, "bench_race_frame: %s: %s\n", kTracks[t], g_error.c_str());
        continue;
      }
      for (size_t v = 0; v < race->Views(); ++v)
        std::printf("%s\n", race->Screenshot(v, std::string(shots) + "/" + kTracks[t] + "_" + std::to_string(v) +
                                                  ".png").c_str());
    }
  } else {
    benchmark::RunSpecifiedBenchmarks();
  }
  g_race.reset();
  if (g_started) Shutdown(nullptr, 0);
  benchmark::Shutdown();
  return g_started ? 0 : 1;
}
