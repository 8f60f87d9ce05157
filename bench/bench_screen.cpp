// What the Direct3D stand-in costs: frames of many draws of one mesh through
// cScreen and the device, against the same frames made with the OpenGL calls
// that remain once the state is set (a modelview load and an indexed draw per
// mesh). Prints the time ratio of the two.
//
// Run under a display (xvfb-run with Mesa's software renderer will do).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cScreen.h"
#include "cTexture.h"
#include "screen_fixture.h"

namespace {

typedef void (*ClearFn)(unsigned);
typedef void (*FinishFn)();
typedef void (*LoadMatrixFn)(const float*);
typedef void (*DrawElementsBaseVertexFn)(unsigned, int, unsigned, const void*, int);
constexpr unsigned kGlTriangles = 0x0004, kGlUnsignedShort = 0x1403;
constexpr unsigned kGlColourAndDepth = 0x4000 | 0x0100;

struct Vertex {
  float x, y, z, nx, ny, nz;
  DWORD colour;
  float u, v, u2, v2;
};

// One window, one screen and one mesh for every benchmark.
struct Scene {
  vrxtest::ScreenFixture fixture;
  std::unique_ptr<cTexture> texture;
  DWORD triangles = 0;
  std::vector<D3DXMATRIX> worlds;
  ClearFn clear = nullptr;
  FinishFn finish = nullptr;
  LoadMatrixFn loadMatrix = nullptr;
  DrawElementsBaseVertexFn drawElements = nullptr;
  bool ok = false;

  // A grid of side x side quads, a plain texture, and `draws` placements in view.
  bool Build(int side, int draws) {
    if (!fixture.Open(800, 600)) return false;
    cScreen& s = fixture.Screen();
    std::vector<Vertex> v;
    std::vector<WORD> idx;
    for (int y = 0; y <= side; ++y)
      for (int x = 0; x <= side; ++x)
        v.push_back(Vertex{(float)x / side - 0.5f, 0.5f - (float)y / side, 0, 0, 0, -1, 0xFFFFFFFF,
                           (float)x / side, (float)y / side, 0, 0});
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        WORD a = (WORD)(y * (side + 1) + x), b = (WORD)(a + 1), c = (WORD)(a + side + 1), d = (WORD)(c + 1);
        idx.insert(idx.end(), {a, b, d, a, d, c});
      }
    triangles = (DWORD)idx.size() / 3;
    if (!s.CreateVertexBuffer(0, 0x252, v.data(), (DWORD)(v.size() * sizeof(Vertex)), sizeof(Vertex)) ||
        !s.CreateIndexBuffer(0, D3DFMT_INDEX16, idx.data(), (DWORD)(idx.size() * 2), (DWORD)idx.size()))
      return false;
    texture.reset(new cTexture(64, 0, D3DFMT_A8R8G8B8, &s));
    D3DLOCKED_RECT lr;
    IDirect3DTexture9* t = texture->GetTexturePointer();
    if (!t || FAILED(t->LockRect(0, &lr, nullptr, 0))) return false;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        static_cast<DWORD*>(lr.pBits)[y * lr.Pitch / 4 + x] = ((x ^ y) & 8) ? 0xFFFFFFFF : 0xFF808080;
    t->UnlockRect(0);
    for (int i = 0; i < draws; ++i) {
      D3DXMATRIX m;
      D3DXMatrixTranslation(&m, (float)(i % 17) - 8.0f, (float)((i / 17) % 11) - 5.0f, 20.0f + (float)(i % 7));
      worlds.push_back(m);
    }
    clear = (ClearFn)SDL_GL_GetProcAddress("glClear");
    finish = (FinishFn)SDL_GL_GetProcAddress("glFinish");
    loadMatrix = (LoadMatrixFn)SDL_GL_GetProcAddress("glLoadMatrixf");
    drawElements = (DrawElementsBaseVertexFn)SDL_GL_GetProcAddress("glDrawElementsBaseVertex");
    ok = clear && finish && loadMatrix && drawElements;
    // The driver builds its shaders for this state on the first frames; keep
    // that out of both measurements.
    if (ok)
      for (int i = 0; i < 3; ++i) {
        StandInFrame();
        DirectFrame();
      }
    return ok;
  }

  // One frame the way the engine draws: the screen's calls for every mesh.
  void StandInFrame() {
    cScreen& s = fixture.Screen();
    s.ClearScreen(0xFF000000);
    texture->Set(0);
    s.SetVertexFormat(0x252);
    for (D3DXMATRIX& m : worlds) {
      s.SetWorldMatrix(&m);
      s.DrawIndexedVertexBuffer(0, 0, 0, D3DPT_TRIANGLELIST, triangles);
    }
    finish();
  }

  // The same frame with only the OpenGL calls a hand-written renderer would
  // make per mesh, on the state the stand-in has set up.
  void DirectFrame() {
    D3DXMATRIX view = fixture.Screen().GetCameraMtx();
    clear(kGlColourAndDepth);
    for (const D3DXMATRIX& m : worlds) {
      D3DXMATRIX mv;
      D3DXMatrixMultiply(&mv, &m, &view);
      loadMatrix(&mv._11);
      drawElements(kGlTriangles, (int)triangles * 3, kGlUnsignedShort, nullptr, 0);
    }
    finish();
  }
};

// One device at a time: the scene of the last arguments asked for.
std::unique_ptr<Scene> g_scene;
std::string g_sceneKey;

Scene* SceneFor(int side, int draws) {
  std::string key = std::to_string(side) + "x" + std::to_string(draws);
  if (!g_scene || g_sceneKey != key) {
    g_scene.reset();
    g_scene.reset(new Scene);
    g_scene->Build(side, draws);
    g_sceneKey = key;
  }
  return g_scene.get();
}

double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

double WallSeconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// Frames of the two kinds taken in turn, so that a busy machine slows both
// alike; each iteration is one frame of each.
void BM_StandInAgainstDirectGl(benchmark::State& state) {
  Scene* scene = SceneFor((int)state.range(0), (int)state.range(1));
  if (!scene->ok) {
    state.SkipWithError("no display or device");
    return;
  }
  double wall[2] = {0, 0}, cpu[2] = {0, 0};
  for (auto _ : state) {
    for (int kind = 0; kind < 2; ++kind) {
      double w = WallSeconds(), c = ThreadSeconds();
      if (kind == 0)
        scene->StandInFrame();
      else
        scene->DirectFrame();
      wall[kind] += WallSeconds() - w;
      cpu[kind] += ThreadSeconds() - c;
    }
  }
  double frames = (double)state.iterations();
  state.counters["standin_ms"] = wall[0] / frames * 1e3;
  state.counters["direct_ms"] = wall[1] / frames * 1e3;
  state.counters["wall_ratio"] = wall[0] / wall[1];
  state.counters["cpu_ratio"] = cpu[0] / cpu[1];
  state.counters["draws"] = (double)scene->worlds.size();
  state.counters["tris/draw"] = (double)scene->triangles;
}

// Small meshes many times (where per-call costs show), larger meshes fewer times.
BENCHMARK(BM_StandInAgainstDirectGl)->Args({1, 2000})->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_StandInAgainstDirectGl)->Args({10, 300})->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Prints the ratios once more in words at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
      auto get = [&](const char* name) {
        auto it = r.counters.find(name);
        return it == r.counters.end() ? 0.0 : (double)it->second;
      };
      lines[r.run_name.args] = std::make_pair(get("wall_ratio"), get("cpu_ratio"));
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (auto& [args, ratio] : lines)
      printf("stand-in / direct OpenGL, grid side / draws per frame %s: time %.3f (%+.1f %%), "
             "CPU time of the drawing thread %.3f (%+.1f %%)\n",
             args.c_str(), ratio.first, (ratio.first - 1.0) * 100.0, ratio.second, (ratio.second - 1.0) * 100.0);
  }

 private:
  std::map<std::string, std::pair<double, double>> lines;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  g_scene.reset();
  benchmark::Shutdown();
  return 0;
}
