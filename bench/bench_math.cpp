// Throughput of the math stand-in's hot paths and of one rigid-body step.
#include <benchmark/benchmark.h>

#include "cRigidBody.h"
#include "platform/d3dx9math.h"

static void BM_MatrixMultiply(benchmark::State& state) {
  D3DXMATRIX a, b, out;
  D3DXVECTOR3 axis(0.3f, 1.0f, -0.2f);
  D3DXMatrixRotationAxis(&a, &axis, 0.7f);
  D3DXMatrixTranslation(&b, 1.0f, 2.0f, 3.0f);
  for (auto _ : state) {
    D3DXMatrixMultiply(&out, &a, &b);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MatrixMultiply);

static void BM_QuaternionFromMatrix(benchmark::State& state) {
  // Alternates between the trace branch and a largest-diagonal branch.
  D3DXMATRIX m[2];
  D3DXMatrixRotationY(&m[0], 0.5f);
  D3DXMatrixRotationY(&m[1], 3.0f);
  D3DXQUATERNION q;
  unsigned i = 0;
  for (auto _ : state) {
    D3DXQuaternionRotationMatrix(&q, &m[i++ & 1]);
    benchmark::DoNotOptimize(q);
  }
}
BENCHMARK(BM_QuaternionFromMatrix);

static void BM_RigidBodyRK4(benchmark::State& state) {
  cRigidBody body;
  D3DXVECTOR3 lo(-1.0f, -0.5f, -2.0f), hi(1.0f, 0.5f, 2.0f), zero(0, 0, 0), w(0.3f, 1.0f, -0.2f);
  body.SetBox(&lo, &hi, 1200.0f);
  body.SetGravity(9.81f);
  D3DXMATRIX id;
  D3DXMatrixIdentity(&id);
  body.Initialise(&zero, &zero, &id, &w);
  D3DXVECTOR3 f(0.0f, 0.0f, 500.0f), p(0.5f, -0.5f, 1.0f);
  for (auto _ : state) {
    body.ZeroForces();
    body.AddBodyForce(&f, &p);
    body.RK4(0.01f);
    benchmark::DoNotOptimize(body);
  }
}
BENCHMARK(BM_RigidBodyRK4);

BENCHMARK_MAIN();
