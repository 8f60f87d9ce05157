// The autopilot on the built tracks (run from the bin folder, beside DATA):
// - learning a lap (walking the road, laying the line), once per drive, part
//   of the load time;
// - one Drive call, every race frame.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "autopilot/cAutopilot.h"
#include "cCar.h"
#include "cGround.h"
#include "mathkit/mathkit.h"
#include "reference_car.h"
#include "screen_fixture.h"

namespace {

vrxtest::ScreenFixture* g_screen = nullptr;

std::unique_ptr<cGround> LoadTrack(const std::string& name) {
  const std::string path = "DATA/TRACKS/" + name + "/" + name;
  if (!std::filesystem::exists(path + ".mo")) return nullptr;
  return std::make_unique<cGround>(path.c_str(), &g_screen->Screen(), nullptr);
}

void BM_LearnLap(benchmark::State& state, const char* track) {
  auto ground = LoadTrack(track);
  if (!ground) {
    state.SkipWithError("no built track (build the game-data target)");
    return;
  }
  for (auto _ : state) {
    cAutopilot pilot(ground.get());
    benchmark::DoNotOptimize(pilot.GetPointCount());
  }
  cAutopilot pilot(ground.get());
  state.SetLabel(std::to_string(static_cast<int>(pilot.GetLapLength())) + " m lap");
}

// Drive with the reference car going round Hillcrest; the step is not timed.
void BM_Drive(benchmark::State& state) {
  auto ground = LoadTrack("Hillcrest");
  if (!ground) {
    state.SkipWithError("no built track (build the game-data target)");
    return;
  }
  cAutopilot pilot(ground.get());
  _CARDATA data = vrxtest::ReferenceCarData();
  _CARSTATE s = vrxtest::RestState(ground->GetStartX(), ground->GetStartY() + 0.5f, ground->GetStartZ());
  RotationY(&s.RotPos, ground->GetStartRadY());
  cCar car(&data, &s, ground.get(), vrxtest::ReferenceTorque, nullptr);
  for (auto _ : state) {
    pilot.Drive(&car, 1.0f / 60.0f);
    state.PauseTiming();
    car.DoStep(1.0f / 60.0f);
    state.ResumeTiming();
  }
}

BENCHMARK_CAPTURE(BM_LearnLap, Docklands, "Docklands")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LearnLap, Hillcrest, "Hillcrest")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LearnLap, Riverside, "Riverside")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Drive)->Iterations(3000);

}  // namespace

int main(int argc, char** argv) {
  g_screen = new vrxtest::ScreenFixture();
  if (!g_screen->Open(320, 240)) {
    std::fprintf(stderr, "bench_autopilot: no display or device\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete g_screen;
  return 0;
}
