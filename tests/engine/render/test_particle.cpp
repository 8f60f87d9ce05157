// The particle emitter: birth cadence, lifetime, birth spread, the shared
// random sequence, stopping, motion, and drawing as camera-facing sprites
// whose alpha follows the age.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cParticle.h"
#include "cScreen.h"
#include "screen_fixture.h"
#include "test_support.h"

#include "count_allocations.h"

namespace {

using vrxtest::Near;

class Particles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.Open(800, 600));
    dir = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    // 16x16: top half red, bottom half blue.
    std::vector<DWORD> px(256);
    for (int i = 0; i < 256; ++i) px[i] = i < 128 ? 0xFFFF0000 : 0xFF0000FF;
    image = dir + "/smoke.tga";
    ASSERT_TRUE(vrxtest::WriteTga(image, 16, 16, px));
  }

  // An emitter tuned as the game tunes its smoke, at (0, 0, 10).
  std::unique_ptr<cParticle> Emitter(unsigned long count) {
    auto p = std::make_unique<cParticle>(count, image.c_str(), &f.Screen());
    p->position = D3DXVECTOR3(0, 0, 10);
    p->direction = D3DXVECTOR3(0, 1, 0);
    p->acceleration = D3DXVECTOR3(0, -5, 0);
    p->lifetime = 1.0f;
    p->emissionSpeed = 0.25f;
    p->spawnInterval = 0.02f;
    p->positionSpread = 0.15f;
    p->startSize = 0.001f;
    p->endSize = 0.006f;
    p->stopped = 0;
    p->fade = 1;
    p->grow = 1;
    return p;
  }

  static int Alive(const cParticle& p) {
    int n = 0;
    for (uint32_t i = 0; i < p.GetCount(); ++i) n += p.GetParticles()[i].alive ? 1 : 0;
    return n;
  }

  vrxtest::ScreenFixture f;
  std::string dir, image;
};

TEST_F(Particles, ConstructionSetsDefaultsAndAnEmptyPool) {
  cParticle p(50, image.c_str(), &f.Screen());
  EXPECT_EQ(p.GetCount(), 50u);
  for (uint32_t i = 0; i < 50; ++i) {
    const _PARTICLE& r = p.GetParticles()[i];
    EXPECT_EQ(r.alive, 0);
    EXPECT_EQ(r.age, 0.0f);
    EXPECT_EQ(r.position.x, 0.0f);
    EXPECT_EQ(r.velocity.y, 0.0f);
  }
  EXPECT_EQ(p.spawnInterval, 0.0f);
  EXPECT_EQ(p.positionSpread, 0.1f);
  EXPECT_EQ(p.speedSpread, 0.1f);
  EXPECT_EQ(p.startSize, 1.0f);
  EXPECT_EQ(p.fade, 0);
  EXPECT_EQ(p.grow, 0);
}

TEST_F(Particles, BirthEveryThirdStepWithTwiceTheStepAsInterval) {
  auto p = Emitter(50);
  p->lifetime = 100.0f;
  std::vector<int> alive;
  for (int step = 1; step <= 9; ++step) {
    p->DoStep(0.01f);
    alive.push_back(Alive(*p));
  }
  // The timer reads 0.01, then exactly 0.02 (not above the interval), then 0.03.
  EXPECT_EQ(alive, (std::vector<int>{0, 0, 1, 1, 1, 2, 2, 2, 3}));

  // Only one birth per step however many records are free...
  auto q = Emitter(5);
  q->spawnInterval = 0.0f;
  q->DoStep(0.01f);
  EXPECT_EQ(Alive(*q), 1);
  // ...unless the interval is negative.
  q->spawnInterval = -1.0f;
  q->DoStep(0.01f);
  EXPECT_EQ(Alive(*q), 5);
}

TEST_F(Particles, ParticleIsUpdatedFiveTimesOverALifetimeOfFourSteps) {
  auto p = Emitter(1);
  p->spawnInterval = 0.0f;
  p->DoStep(0.25f);  // birth
  ASSERT_EQ(Alive(*p), 1);
  EXPECT_EQ(p->GetParticles()[0].age, 0.0f);
  for (int i = 1; i <= 5; ++i) {
    p->DoStep(0.25f);
    ASSERT_EQ(Alive(*p), 1) << "update " << i;
    EXPECT_FLOAT_EQ(p->GetParticles()[0].age, 0.25f * i);
  }
  p->DoStep(0.25f);  // finds 1.25 > 1.0: dies, and is not reborn in the same step
  EXPECT_EQ(Alive(*p), 0);
  p->DoStep(0.25f);
  EXPECT_EQ(Alive(*p), 1);
  EXPECT_EQ(p->GetParticles()[0].age, 0.0f);
}

TEST_F(Particles, BirthsLieBetweenHalfAndOneAndAHalfSpreadsBelowTheEmitter) {
  auto p = Emitter(300);
  p->position = D3DXVECTOR3(10, 20, 30);
  p->positionSpread = 0.5f;
  p->speedSpread = 0.2f;
  p->emissionSpeed = 2.0f;
  p->spawnInterval = -1.0f;
  p->DoStep(0.01f);
  ASSERT_EQ(Alive(*p), 300);
  float lo = 1e9f, hi = -1e9f;
  for (uint32_t i = 0; i < p->GetCount(); ++i) {
    const _PARTICLE& r = p->GetParticles()[i];
    const float d[3] = {10 - r.position.x, 20 - r.position.y, 30 - r.position.z};
    for (float v : d) {
      ASSERT_GE(v, 0.5f * 0.5f - 1e-5f);
      ASSERT_LE(v, 1.5f * 0.5f + 1e-5f);
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
    // speed = 2 - (0.5 + r) * 0.4, along the direction (0, 1, 0)
    EXPECT_EQ(r.velocity.x, 0.0f);
    EXPECT_GE(r.velocity.y, 2.0f - 1.5f * 0.4f - 1e-5f);
    EXPECT_LE(r.velocity.y, 2.0f - 0.5f * 0.4f + 1e-5f);
  }
  // The offsets use the whole range, not a corner of it.
  EXPECT_LT(lo, 0.3f);
  EXPECT_GT(hi, 0.7f);
}

TEST_F(Particles, EveryNewEmitterRestartsTheOneSharedSequence) {
  auto a = Emitter(1);
  a->spawnInterval = 0.0f;
  a->DoStep(0.01f);
  const _PARTICLE first = a->GetParticles()[0];

  auto b = Emitter(2);
  b->spawnInterval = 0.0f;
  b->DoStep(0.01f);
  EXPECT_EQ(b->GetParticles()[0].position.x, first.position.x);
  EXPECT_EQ(b->GetParticles()[0].position.y, first.position.y);
  EXPECT_EQ(b->GetParticles()[0].position.z, first.position.z);
  EXPECT_EQ(b->GetParticles()[0].velocity.y, first.velocity.y);

  // Both draw from the same sequence: a's next birth is not b's next one.
  auto c = Emitter(2);
  auto d = Emitter(2);
  c->spawnInterval = d->spawnInterval = 0.0f;
  c->DoStep(0.01f);
  d->DoStep(0.01f);
  EXPECT_EQ(c->GetParticles()[0].position.x, first.position.x);
  EXPECT_NE(d->GetParticles()[0].position.x, first.position.x);
}

TEST_F(Particles, StoppedEmitterKeepsItsParticlesMovingButBearsNone) {
  auto p = Emitter(10);
  p->spawnInterval = 0.0f;
  p->speedSpread = 0.0f;
  p->DoStep(0.1f);
  ASSERT_EQ(Alive(*p), 1);
  const float y0 = p->GetParticles()[0].position.y;
  p->stopped = 1;
  p->DoStep(0.1f);
  EXPECT_EQ(Alive(*p), 1);
  // velocity 0.25 + 0.5 * -5 * 0.01 = 0.225, then position + 0.0225
  EXPECT_FLOAT_EQ(p->GetParticles()[0].velocity.y, 0.225f);
  EXPECT_FLOAT_EQ(p->GetParticles()[0].position.y, y0 + 0.0225f);
  for (int i = 0; i < 20; ++i) p->DoStep(0.1f);
  EXPECT_EQ(Alive(*p), 0);
  p->stopped = 0;
  p->DoStep(0.1f);
  EXPECT_EQ(Alive(*p), 1);
}

TEST_F(Particles, EmptyPoolsAndMissingPicturesDoNoHarm) {
  auto empty = Emitter(0);
  empty->DoStep(0.1f);
  empty->Draw();
  EXPECT_EQ(empty->GetCount(), 0u);

  testing::internal::CaptureStderr();
  cParticle missing(4, (dir + "/none.tga").c_str(), &f.Screen());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("none.tga"), std::string::npos) << err;
  missing.position = D3DXVECTOR3(0, 0, 10);
  missing.direction = D3DXVECTOR3(0, 1, 0);
  missing.acceleration = D3DXVECTOR3(0, 0, 0);
  missing.lifetime = 0.0f;  // the age ratio must not divide by zero
  missing.emissionSpeed = 1.0f;
  missing.endSize = 1.0f;
  missing.stopped = 0;
  missing.fade = missing.grow = 1;
  f.Screen().ClearScreen(0xFF000000);
  missing.DoStep(0.1f);
  missing.Draw();
  EXPECT_EQ(f.Pixel(400, 300), 0xFF000000u);
}

class ParticleDrawing : public Particles {
 protected:
  // One particle born at the emitter itself (no spread), then `steps` updates.
  std::unique_ptr<cParticle> One(int steps, float dt) {
    auto p = Emitter(1);
    p->positionSpread = 0.0f;
    p->speedSpread = 0.0f;
    p->emissionSpeed = 0.0f;
    p->acceleration = D3DXVECTOR3(0, 0, 0);
    p->grow = 0;
    p->startSize = 0.05f;  // 16 texels -> 0.8 units, about 58 pixels at distance 10
    p->spawnInterval = -1.0f;
    p->DoStep(dt);
    p->stopped = 1;
    for (int i = 0; i < steps; ++i) p->DoStep(dt);
    return p;
  }
};

TEST_F(ParticleDrawing, NewParticleIsOpaqueAndFadesWithAge) {
  auto p = One(0, 0.1f);
  f.Screen().ClearScreen(0xFF000000);
  p->Draw();
  f.SaveScreenshot("particle_age0");
  EXPECT_TRUE(Near(f.Pixel(400, 290), 0xFFFF0000, 2)) << vrxtest::Hex(f.Pixel(400, 290));
  EXPECT_TRUE(Near(f.Pixel(400, 310), 0xFF0000FF, 2)) << vrxtest::Hex(f.Pixel(400, 310));

  auto old = One(3, 0.25f);  // age 0.75: alpha (1.1 - 0.75) * 255 = 89
  f.Screen().ClearScreen(0xFF000000);
  old->Draw();
  EXPECT_NEAR(vrxtest::Red(f.Pixel(400, 290)), 89, 3);

  auto dying = One(5, 0.25f);  // age 1.25, still alive: fully transparent, not wrapped
  ASSERT_EQ(Alive(*dying), 1);
  f.Screen().ClearScreen(0xFF000000);
  dying->Draw();
  EXPECT_EQ(f.Pixel(400, 290), 0xFF000000u);
}

TEST_F(ParticleDrawing, ParticlesFaceTheCameraUprightAndGrow) {
  auto p = One(5, 0.1f);
  p->fade = 0;
  // From the side and above: the sprite still shows its face, red on top.
  f.Screen().SetCamera(D3DXVECTOR3(7, 3, 17), D3DXVECTOR3(0, 0, 10), D3DXVECTOR3(0, 1, 0));
  f.Screen().ClearScreen(0xFF000000);
  p->Draw();
  f.SaveScreenshot("particle_billboard");
  EXPECT_TRUE(Near(f.Pixel(400, 285), 0xFFFF0000, 2)) << vrxtest::Hex(f.Pixel(400, 285));
  EXPECT_TRUE(Near(f.Pixel(400, 315), 0xFF0000FF, 2)) << vrxtest::Hex(f.Pixel(400, 315));
  EXPECT_TRUE(Near(f.Pixel(380, 300), f.Pixel(420, 300), 2));  // square on, not skewed

  // Growing: at age 0.5 the size is halfway from 0.05 to 0.15, twice as large.
  f.Screen().SetCamera(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(0, 1, 0));
  p->grow = 1;
  p->endSize = 0.15f;
  f.Screen().ClearScreen(0xFF000000);
  p->Draw();
  EXPECT_TRUE(Near(f.Pixel(400, 300 - 50), 0xFFFF0000, 2));
  EXPECT_EQ(f.Pixel(400, 300 - 62), 0xFF000000u);

  // Drawing leaves depth writes on, the alpha reference at 15 and lighting off.
  DWORD v = 0;
  f.Device()->GetRenderState(D3DRS_ZWRITEENABLE, &v);
  EXPECT_EQ(v, 1u);
  f.Device()->GetRenderState(D3DRS_ALPHAREF, &v);
  EXPECT_EQ(v, 15u);
  f.Device()->GetRenderState(D3DRS_LIGHTING, &v);
  EXPECT_EQ(v, 0u);
}

// The smoke of four cars steps and draws every frame: once the pool and the
// sprite batch have their size, neither allocates.
TEST_F(ParticleDrawing, SteppingAndDrawingAllocateNothing) {
  if (!kAllocationsCounted) GTEST_SKIP() << "allocations are counted in the plain build";
  auto p = Emitter(40);
  p->spawnInterval = -1.0f;
  p->DoStep(0.01f);
  p->spawnInterval = 0.02f;
  for (int i = 0; i < 5; ++i) p->DoStep(0.01f);
  ASSERT_GT(Alive(*p), 30);
  p->Draw();
  p->Draw();
  g_allocations = 0;
  g_countAllocations = true;
  for (int frame = 0; frame < 3; ++frame) {
    p->DoStep(0.01f);
    p->Draw();
  }
  g_countAllocations = false;
  EXPECT_EQ(g_allocations, 0);
}

}  // namespace
