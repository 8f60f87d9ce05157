// The ghost's car on screen: placed where the race car stands for the same
// body state, see-through over what is behind it, and leaving the device's
// blending as the rest of the frame expects it.
#include "car/cGhostCar.h"
#include "race_car_fixture.h"

namespace {

using cartest::CarWorld;
using cartest::StartAt;
using cartest::WriteTestCar;

class GhostCarDraw : public CarWorld {
 protected:
  void SetUp() override {
    CarWorld::SetUp();
    LoadGround(cartest::WriteTrack(dir, "Flat"));
    base = WriteTestCar(dir);
    MakeCar(base, StartAt(0, 0, 0, 0.7f));
    ASSERT_TRUE(car->IsRaceable());
    car->controlMode = 3;
    Steps(60);
  }
  // From behind the car and above it.
  void View() {
    const D3DXMATRIX w = car->GetWorldMatrix();
    D3DXVECTOR3 back(-w._31, 0, -w._33);
    D3DXVec3Normalize(&back, &back);
    const D3DXVECTOR3 at = car->GetPosition();
    screen->SetTransformMatrix(1.33f, 0, 0.01f, 400.0f, FALSE);
    screen->SetCamera(at + back * 5.69f + D3DXVECTOR3(0, 2, 0), at + D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 1, 0));
  }
  DWORD At(const D3DXVECTOR3& local) {
    D3DXVECTOR3 world;
    const D3DXMATRIX m = car->GetWorldMatrix();
    D3DXVec3TransformCoord(&world, &local, &m);
    D3DXMATRIX identity;
    screen->SetWorldMatrix(MatrixIdentity(&identity));
    const D3DXVECTOR3 s = screen->GetScreenCoords(&world);
    return fixture.Pixel((int)(s.x * 800), (int)(s.y * 600));
  }
  std::string base;
};

TEST_F(GhostCarDraw, StandsWhereTheRaceCarStandsAndLetsTheBackgroundThrough) {
  cCar* body = car->GetCar();
  const D3DXMATRIX ghostWorld = cGhostCar::WorldMatrix(body->GetLinPos(), body->GetRotQuat());
  const D3DXMATRIX carWorld = car->GetWorldMatrix();
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(ghostWorld.m[i / 4][i % 4], carWorld.m[i / 4][i % 4], 1e-4f) << i;

  const D3DXVECTOR3 side(0.6f, 0.4f, -1.9f);  // a cut face at the tail
  View();
  screen->ClearScreen(0xFFFF0000);
  screen->SetLight(TRUE);
  car->Draw(nullptr, nullptr);
  screen->SetLight(FALSE);
  const DWORD solid = At(side);

  cGhostCar ghost(base.c_str(), screen);
  EXPECT_EQ(ghost.GetCarEntry(), base);
  View();
  screen->ClearScreen(0xFFFF0000);
  ghost.Draw(body->GetLinPos(), body->GetRotQuat(), nullptr);
  const DWORD seeThrough = At(side);
  fixture.SaveScreenshot("ghost_car");
  // The red behind shows through, the grey car too: each channel is the
  // car's times the tint plus the background's times the rest (the red
  // background has no green or blue).
  const std::string both = vrxtest::Hex(seeThrough) + " " + vrxtest::Hex(solid);
  EXPECT_GT(vrxtest::Red(seeThrough), vrxtest::Red(solid) + 40) << both;
  const int tintGreen = vrxtest::Green(cGhostCar::kTint), tintBlue = vrxtest::Blue(cGhostCar::kTint);
  EXPECT_GT(vrxtest::Green(seeThrough), 0) << both;
  EXPECT_NEAR(vrxtest::Green(seeThrough), vrxtest::Green(solid) * tintGreen / 255, 3) << both;
  EXPECT_NEAR(vrxtest::Blue(seeThrough), vrxtest::Blue(solid) * tintBlue / 255, 3) << both;
  // Away from the car the background is untouched.
  EXPECT_TRUE(vrxtest::Near(fixture.Pixel(5, 5), 0xFFFF0000, 2));

  DWORD src = 0, dst = 0, factor = 0;
  IDirect3DDevice9* dev = screen->GetDevicePointer();
  dev->GetRenderState(D3DRS_SRCBLEND, &src);
  dev->GetRenderState(D3DRS_DESTBLEND, &dst);
  dev->GetRenderState(D3DRS_BLENDFACTOR, &factor);
  EXPECT_EQ(src, (DWORD)D3DBLEND_SRCALPHA);
  EXPECT_EQ(dst, (DWORD)D3DBLEND_INVSRCALPHA);
  EXPECT_EQ(factor, 0xFFFFFFFFu);
}

}  // namespace
