// Track queries and loading on generated tracks:
// - GetH along a driven path on a road of 5000 faces in 50 objects, with the
//   nearness sort the car runs every substep;
// - SortGroundObjs on 200 road objects as the car moves;
// - building a track of 100 000 faces (mesh, lighting, coordinates, collision meshes).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "cGround.h"
#include "screen_fixture.h"
#include "test_support.h"
#include "vrxmesh/mo_writer.h"

namespace {

vrxtest::ScreenFixture* g_screen = nullptr;

// A straight road along +z: `objects` pieces, each `rows` x `cols` quads of
// 2 x 2 metres, gently rising so that heights are not all equal.
std::string WriteRoad(const std::string& name, int objects, int rows, int cols) {
  const std::string dir = vrxtest::MakeTempDir(name);
  vrxmesh::MoWriter w;
  const int t = w.AddTexture("road.tga");
  for (int o = 0; o < objects; ++o) {
    const int obj = w.AddObject("g" + std::to_string(o));
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c) {
        const float x0 = -cols + 2.0f * c, z0 = 2.0f * (o * rows + r);
        auto v = [](float x, float z) { return vrxmesh::MoVertex(x, z * 0.01f, z, 0, 1, 0); };
        w.AddQuad(obj, t, v(x0, z0), v(x0, z0 + 2), v(x0 + 2, z0 + 2), v(x0 + 2, z0));
      }
  }
  std::string error;
  if (!w.Write(dir + "/track.mo", &error)) std::fprintf(stderr, "bench_track: %s\n", error.c_str());
  vrxtest::WriteTga(dir + "/road.tga", 4, 4, std::vector<DWORD>(16, 0xFF808080));
  return dir + "/track";
}

std::unique_ptr<cGround> Load(const std::string& track) {
  return std::make_unique<cGround>(track.c_str(), &g_screen->Screen(), nullptr);
}

// The car's per-substep pattern at 30 m/s: sort, then four wheel heights.
void BM_GetHDrivenPath(benchmark::State& state) {
  const std::string track = WriteRoad("bench_geth", 50, 10, 5);  // 50 x 100 faces, 1000 m
  auto ground = Load(track);
  float z = 1.0f;
  for (auto _ : state) {
    D3DXVECTOR3 pos(0.3f, 0.0f, z);
    ground->SortGroundObjs(&pos);
    float sum = 0.0f;
    sum += ground->GetH(-0.7f, z + 1.2f);
    sum += ground->GetH(0.7f, z + 1.2f);
    sum += ground->GetH(-0.7f, z - 1.3f);
    sum += ground->GetH(0.7f, z - 1.3f);
    benchmark::DoNotOptimize(sum);
    z += 0.3f;
    if (z > 995.0f) z = 1.0f;
  }
  state.SetItemsProcessed(state.iterations() * 4);
  state.counters["faces"] = 5000;
}
BENCHMARK(BM_GetHDrivenPath);

void BM_SortGroundObjs200(benchmark::State& state) {
  const std::string track = WriteRoad("bench_sort", 200, 1, 1);
  auto ground = Load(track);
  float z = 0.0f;
  for (auto _ : state) {
    D3DXVECTOR3 pos(0.0f, 0.0f, z);
    ground->SortGroundObjs(&pos);
    z += 0.3f;
    if (z > 400.0f) z = 0.0f;
  }
  state.counters["objects"] = (double)ground->GetRoadCount();
}
BENCHMARK(BM_SortGroundObjs200);

void BM_LoadTrack100kFaces(benchmark::State& state) {
  const std::string track = WriteRoad("bench_load", 100, 50, 10);  // 100 x 1000 faces
  for (auto _ : state) {
    auto ground = Load(track);
    benchmark::DoNotOptimize(ground.get());
  }
  state.counters["faces"] = 100000;
}
BENCHMARK(BM_LoadTrack100kFaces)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  vrxtest::ScreenFixture screen;
  if (!screen.Open(640, 480)) {
    std::fprintf(stderr, "bench_track: no window or device\n");
    return 1;
  }
  g_screen = &screen;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
