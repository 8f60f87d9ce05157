// The menu's previews: the car on its turntable with its wheels on their
// springs, and the track's picture and best time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include <unistd.h>

#include "car/cCarPreview.h"
#include "car/cTrackInfo.h"
#include "cFont.h"
#include "cSprite.h"
#include "cTexture.h"
#include "vrxmesh/mo_writer.h"
#include "platform/testing.h"
#include "screen_fixture.h"
#include "shell/program.h"
#include "test_support.h"

namespace {

using vrxtest::ScreenFixture;

// A small car: a body box, one wheel 0.5 high (radius 0.25), a light and a plate.
void WriteCarMesh(const std::string& path, bool withWheel) {
  vrxmesh::MoWriter w;
  const int tex = w.AddTexture("none.tga");
  auto box = [&](const char* name, float x0, float y0, float z0, float x1, float y1, float z1) {
    const int o = w.AddObject(name);
    auto v = [](float x, float y, float z) { return vrxmesh::MoVertex(x, y, z, 0, 1, 0); };
    w.AddQuad(o, tex, v(x0, y1, z0), v(x0, y1, z1), v(x1, y1, z1), v(x1, y1, z0));
    w.AddQuad(o, tex, v(x0, y0, z0), v(x1, y0, z0), v(x1, y0, z1), v(x0, y0, z1));
  };
  box("b_body", -0.8f, 0.2f, -2.0f, 0.8f, 1.4f, 2.0f);
  if (withWheel) box("w_wheel", -0.1f, -0.25f, -0.25f, 0.1f, 0.25f, 0.25f);
  box("ls_light", -0.1f, 0.5f, 2.0f, 0.1f, 0.6f, 2.1f);
  box("m_rear", -0.26f, 0.4f, -2.05f, 0.26f, 0.53f, -2.0f);
  std::string error;
  ASSERT_TRUE(w.Write(path, &error)) << error;
}

cCarPreview::CarFile ExampleCar() {
  cCarPreview::CarFile f;
  memset(&f, 0, sizeof f);
  f.WheelPos[0] = D3DXVECTOR3(-0.7f, 0, 1.2f);
  f.WheelPos[1] = D3DXVECTOR3(0.7f, 0, 1.2f);
  f.WheelPos[2] = D3DXVECTOR3(-0.7f, 0, -1.2f);
  f.WheelPos[3] = D3DXVECTOR3(0.7f, 0, -1.2f);
  f.FrontSpring = 30000;
  f.RearSpring = 30000;
  f.BodyMass = 600;
  return f;
}

class Previews : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(screen.Open(800, 600, true, true));
    dir = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  std::string Car(const cCarPreview::CarFile& data, bool withWheel = true, const char* text = nullptr) {
    const std::string base = dir + "/car";
    WriteCarMesh(base + ".mo", withWheel);
    vrxtest::WriteFile(base + ".cdf", &data, sizeof data);
    if (text) vrxtest::WriteTextFile(base + ".txt", text);
    return base;
  }
  ScreenFixture screen;
  std::string dir;
};

TEST_F(Previews, WheelsStandOnTheirSpringsUnderTheCarsWeight) {
  cCarPreview::CarFile data = ExampleCar();
  data.WheelPos[1].y = 0.1f;  // only wheel 0's height counts for the front axle
  cCarPreview preview(Car(data).c_str(), &screen.Screen());
  for (int w = 0; w < 4; ++w) EXPECT_NEAR(preview.GetCarData().WheelPos[w].y, 0.29905f, 1e-5f) << "wheel " << w;
  EXPECT_FLOAT_EQ(preview.GetCarData().WheelPos[2].z, -1.2f);
  EXPECT_FLOAT_EQ(preview.GetCarData().BodyMass, 600.0f);

  // An axle nearer the centre of mass carries more of the weight.
  data = ExampleCar();
  data.WheelPos[2].z = data.WheelPos[3].z = -2.4f;  // a = 1.2, b = 2.4
  cCarPreview longer(Car(data).c_str(), &screen.Screen());
  EXPECT_NEAR(longer.GetCarData().WheelPos[0].y, 0.25f + 600 * 9.81f * 2.4f / 3.6f * 0.5f / 30000, 1e-5f);
  EXPECT_NEAR(longer.GetCarData().WheelPos[2].y, 0.25f + 600 * 9.81f * 1.2f / 3.6f * 0.5f / 30000, 1e-5f);
}

TEST_F(Previews, NoWheelOrNoSpringKeepsTheFilesHeights) {
  cCarPreview::CarFile data = ExampleCar();
  data.WheelPos[0].y = data.WheelPos[1].y = 0.1f;
  data.RearSpring = 0;
  cCarPreview noRearSpring(Car(data).c_str(), &screen.Screen());
  EXPECT_NEAR(noRearSpring.GetCarData().WheelPos[0].y, 0.1f + 0.29905f, 1e-5f);
  EXPECT_FLOAT_EQ(noRearSpring.GetCarData().WheelPos[2].y, 0.0f);
  EXPECT_TRUE(std::isfinite(noRearSpring.GetCarData().WheelPos[3].y));

  data = ExampleCar();
  cCarPreview noWheel(Car(data, false).c_str(), &screen.Screen());
  for (int w = 0; w < 4; ++w) EXPECT_FLOAT_EQ(noWheel.GetCarData().WheelPos[w].y, 0.0f);
  noWheel.Draw(nullptr, nullptr);  // the body alone draws

  // Axles on the centre of mass: no weight split to compute.
  data = ExampleCar();
  for (auto& p : data.WheelPos) p.z = 0;
  cCarPreview flat(Car(data).c_str(), &screen.Screen());
  for (int w = 0; w < 4; ++w) EXPECT_TRUE(std::isfinite(flat.GetCarData().WheelPos[w].y));
}

TEST_F(Previews, DescriptionLinesComeFromTheTextFile) {
  cCarPreview described(Car(ExampleCar(), true, "Hatch 1.3\n55 kW\nnot shown\n").c_str(), &screen.Screen());
  EXPECT_STREQ(described.GetDescription1(), "Hatch 1.3\n");
  EXPECT_STREQ(described.GetDescription2(), "55 kW\n");

  cCarPreview oneLine(Car(ExampleCar(), true, "Only line").c_str(), &screen.Screen());
  EXPECT_STREQ(oneLine.GetDescription1(), "Only line");
  EXPECT_STREQ(oneLine.GetDescription2(), "");

  cCarPreview missing((dir + "/nothing").c_str(), &screen.Screen());
  EXPECT_STREQ(missing.GetDescription1(), "");
  EXPECT_STREQ(missing.GetDescription2(), "");
  missing.Draw(nullptr, nullptr);  // an empty car draws nothing and does not fail
}

TEST_F(Previews, TurntableTurnsOneRadianASecondForEveryPreview) {
  cCarPreview a(Car(ExampleCar()).c_str(), &screen.Screen());
  cCarPreview b(Car(ExampleCar()).c_str(), &screen.Screen());
  vrxtesting::SetFakeTickCount(10000);
  a.Draw(nullptr, nullptr);
  const float start = cCarPreview::GetTurntableAngle();
  vrxtesting::SetFakeTickCount(10500);
  b.Draw(nullptr, nullptr);
  EXPECT_NEAR(cCarPreview::GetTurntableAngle() - start, 0.5f, 1e-4f);
  // A slow frame turns it further in one step.
  vrxtesting::SetFakeTickCount(12500);
  a.Draw(nullptr, nullptr);
  EXPECT_NEAR(cCarPreview::GetTurntableAngle() - start, 2.5f, 1e-4f);
  vrxtesting::SetTickSource(nullptr);
}

TEST_F(Previews, TheCarIsDrawnRightOfTheCentre) {
  cCarPreview preview(Car(ExampleCar()).c_str(), &screen.Screen());
  screen.Screen().ClearScreen(0xFF000000);
  screen.Device()->BeginScene();
  preview.Draw(nullptr, nullptr);
  screen.Device()->EndScene();
  int left = 0, right = 0, width = 0, height = 0;
  std::vector<DWORD> px = screen.ReadPixels(&width, &height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if ((px[size_t(y) * width + x] & 0xFFFFFF) != 0) (x < width / 2 ? left : right)++;
  EXPECT_GT(right, 1000);
  EXPECT_EQ(left, 0);
  screen.SaveScreenshot("preview_box_car");
}

// The game's own car as the menu shows it, frame after frame: sprites and
// text around it and a presented frame in between must not take its paint.
TEST_F(Previews, GameCarKeepsItsPaintFromFrameToFrame) {
  const std::string bin = VRX_BIN_DIR;
  if (vrxtest::ReadFile(bin + "/DATA/CARS/Hatch/Hatch.cdf").empty()) GTEST_SKIP() << "no game data in " << bin;
  ASSERT_EQ(chdir(bin.c_str()), 0);
  cTexture env("DATA\\TRACKS\\COMMON\\Refmap.tga", &screen.Screen());
  cTexture plate("DATA\\CARS\\COMMON\\Tablica.bmp", &screen.Screen(), 0);
  cFont font("DATA\\MENU\\Font1.bmp", "DATA\\MENU\\Font1.dat", 0xFF000000, &screen.Screen());
  cSprite flag("DATA\\MENU\\flag.tga", &screen.Screen());
  cCarPreview preview("DATA\\CARS\\Hatch\\Hatch", &screen.Screen());
  D3DXVECTOR3 light(0, -1, 1);
  screen.Screen().AddDirectionalLight(&light, 1.0f);
  screen.Screen().SetGamma(1.1f);
  for (int frame = 0; frame < 3; ++frame) {
    vrxtesting::SetFakeTickCount(20000 + frame * 1200);
    screen.Screen().ClearScreen(0xFF000000);
    screen.Device()->BeginScene();
    const D3DXVECTOR2 one(1, 1), zero(0, 0);
    flag.DrawRelative(&one, &zero, 0, &zero, 0xFFFFFFFF);
    font.PutTextRelative(0.3f, 0.6f, 1, 1, preview.GetDescription1());
    preview.Draw(&env, &plate);
    screen.Device()->EndScene();
    if (frame < 2) screen.Screen().Flip();
  }
  vrxtesting::SetTickSource(nullptr);
  screen.SaveScreenshot("preview_hatch");
  // The hatch is painted blue: the reflection lies over the paint, it does not replace it.
  int width = 0, height = 0, blue = 0;
  std::vector<DWORD> px = screen.ReadPixels(&width, &height);
  for (DWORD c : px)
    if (vrxtest::Blue(c) > vrxtest::Red(c) + 40) ++blue;
  EXPECT_GT(blue, 2000);
}

TEST_F(Previews, TrackInfoReadsTheBestTimeBesideTheTrack) {
  const std::string trackDir = dir + "/TRACKS/Ring";
  const uint32_t best = 83456;
  vrxtest::WriteFile(trackDir + "/BestTime.dat", &best, sizeof best);
  cTrackInfo info(("\"" + trackDir + "/Ring\"").c_str(), &screen.Screen());
  EXPECT_EQ(info.GetBestTime(), 83456u);
  EXPECT_EQ(std::string(info.GetDirectory()), trackDir);
  EXPECT_STREQ(FormatLapTime(info.GetBestTime()), "01:23:45");
  ASSERT_NE(info.GetPreview(), nullptr);

  const uint32_t zero = 0;
  vrxtest::WriteFile(trackDir + "/BestTime.dat", &zero, sizeof zero);
  cTrackInfo none((trackDir + "/Ring").c_str(), &screen.Screen());
  EXPECT_STREQ(FormatLapTime(none.GetBestTime()), "--:--:--");

  vrxtest::WriteFile(trackDir + "/BestTime.dat", "ab", 2);  // too short to hold a time
  cTrackInfo shortFile((trackDir + "/Ring").c_str(), &screen.Screen());
  EXPECT_EQ(shortFile.GetBestTime(), 0xFFFFFFFFu);

  cTrackInfo missing((dir + "/TRACKS/Nowhere/Nowhere").c_str(), &screen.Screen());
  EXPECT_EQ(missing.GetBestTime(), 0xFFFFFFFFu);
  EXPECT_STREQ(FormatLapTime(missing.GetBestTime()), "--:--:--");
  EXPECT_NE(missing.GetPreview(), nullptr);
}

}  // namespace
