// The race HUD drawn over a black screen with the shipped pictures, for a
// real car standing on a generated flat track. Each part is found as the
// pixels that change when it is drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "../car/race_car_fixture.h"
#include "shell/cGhost.h"
#include "shell/drive.h"
#include "shell/hud.h"
#include "shell/program.h"

namespace {

constexpr int kW = 800, kH = 600;

int Brightness(DWORD c) { return std::max(vrxtest::Red(c), std::max(vrxtest::Green(c), vrxtest::Blue(c))); }

class Hud : public cartest::CarWorld {
 protected:
  void SetUp() override {
    CarWorld::SetUp();
    LoadGround(cartest::WriteTrack(dir, "Flat"));
    MakeCar("DATA\\CARS\\Hatch\\Hatch", cartest::StartAt(0, 0, 0));
    ASSERT_TRUE(car->IsRaceable());
    car->controlMode = 3;
    for (int i = 0; i < 60; ++i) car->Step(1.0f / 60);  // settled, idling in neutral
    font.reset(new cFont("DATA\\MENU\\Font1.bmp", "DATA\\MENU\\Font1.dat", 0xFF000000, screen));
    gFont = font.get();
    const char* files[] = {"Licznik.tga", "Strzalka.tga", "Frame.dds", "Dot.dds", "g_R.dds", "g_N.dds",
                           "g_1.dds",     "g_2.dds",      "g_3.dds",   "g_4.dds", "g_5.dds", "g_6.dds"};
    for (int i = 0; i < 12; ++i) sprites[i].reset(new cSprite((std::string("DATA\\CARS\\COMMON\\") + files[i]).c_str(), screen));
    logo.reset(new cSprite("DATA\\MENU\\vrxd.tga", screen));
    Show(true, true, true, true);
    strcpy(gLangText[27], "Lap");
    strcpy(gLangText[28], "Last");
    strcpy(gLangText[32], "Damage");
    strcpy(gLangText[33], "WRECKED");
    gReplayMode = 0;
    gLastLapTime = 0;
  }
  void TearDown() override {
    Show(false, false, false, false);
    gLogo = nullptr;
    for (cSprite*& g : gGears) g = nullptr;
    gFont = nullptr;
    CarWorld::TearDown();
  }
  void Show(bool dial, bool needle, bool bar, bool gears) {
    gDial = dial ? sprites[0].get() : nullptr;
    gNeedle = needle ? sprites[1].get() : nullptr;
    gBarFrame = bar ? sprites[2].get() : nullptr;
    gBar = bar ? sprites[3].get() : nullptr;
    for (int i = 0; i < kGearSprites; ++i) gGears[i] = gears ? sprites[4 + i].get() : nullptr;
    gLogo = logo.get();
  }
  std::vector<DWORD> Frame() {
    screen->ClearScreen(0xFF000000);
    DrawHud(car.get());
    return fixture.ReadPixels();
  }
  // Where the needle drawn in `with` and missing in `without` points from
  // the pivot (screen angle, y down) and how long it is.
  void Needle(const std::vector<DWORD>& with, const std::vector<DWORD>& without, float px, float py, float reach,
              float* angle, float* length) {
    *length = -1;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const size_t i = size_t(y) * kW + x;
        if (Brightness(with[i]) < Brightness(without[i]) + 30) continue;
        const float dx = x + 0.5f - px, dy = y + 0.5f - py, d = std::hypot(dx, dy);
        if (d > reach || d <= *length) continue;
        *length = d;
        *angle = std::atan2(dy, dx);
      }
  }
  // Columns where `with` differs from `without` in the row y.
  int Extent(const std::vector<DWORD>& with, const std::vector<DWORD>& without, int y, DWORD* colour) {
    int last = -1;
    for (int x = 0; x < kW; ++x)
      if (with[size_t(y) * kW + x] != without[size_t(y) * kW + x]) {
        last = x;
        *colour = with[size_t(y) * kW + x];
      }
    return last;
  }
  float Angle(float a) { return std::remainder(a, 2.0f * float(M_PI)); }

  std::unique_ptr<cFont> font;
  std::unique_ptr<cSprite> sprites[12];
  std::unique_ptr<cSprite> logo;
};

TEST_F(Hud, AtRestInNeutralTheNeedlesShowNoSpeedAndTheIdle) {
  ASSERT_EQ(car->GetGear(), 1);
  const std::vector<DWORD> with = Frame();
  Show(true, false, true, true);
  const std::vector<DWORD> without = Frame();
  float angle = 0, length = 0;
  Needle(with, without, 0.902f * kW, 0.814f * kH, 50, &angle, &length);
  EXPECT_NEAR(length, 55 * 0.8f, 3);
  EXPECT_NEAR(Angle(angle - 3.9f), 0, 0.06f);
  const float idle = car->GetCar()->GetEngineRot() * 9.55026f / 1800;
  EXPECT_GT(idle, 0.25f);
  Needle(with, without, 0.902f * kW, 0.921f * kH, 25, &angle, &length);
  EXPECT_NEAR(length, 22 * 0.8f, 3);
  EXPECT_NEAR(Angle(angle - (3.7f - idle)), 0, 0.12f);
}

TEST_F(Hud, TheDamageBarGrowsWithDamageFromGreenToRed) {
  const int row = int(0.955f * kH) + 2;
  Show(true, true, false, true);
  const std::vector<DWORD> bare = Frame();
  Show(true, true, true, true);
  gBarFrame = nullptr;  // the bar alone
  DWORD colour = 0;
  cRaceCarProbe::Damage(*car) = 0;
  EXPECT_EQ(Extent(Frame(), bare, row, &colour), -1);
  cRaceCarProbe::Damage(*car) = 100;
  const int full = Extent(Frame(), bare, row, &colour);
  EXPECT_GT(vrxtest::Red(colour), 60);
  EXPECT_LT(vrxtest::Green(colour), 5);
  cRaceCarProbe::Damage(*car) = 50;
  const int half = Extent(Frame(), bare, row, &colour);
  const int start = int(0.013f * kW);
  EXPECT_NEAR(half - start, (full - start) / 2.0f, 2);
  EXPECT_NEAR(vrxtest::Red(colour), vrxtest::Green(colour), 3);  // 0x887F8000
  cRaceCarProbe::Damage(*car) = 10;
  Extent(Frame(), bare, row, &colour);
  EXPECT_GT(vrxtest::Green(colour), vrxtest::Red(colour) * 3);
}

TEST_F(Hud, AWreckedCarGetsTheMessage) {
  const std::vector<DWORD> fine = Frame();
  cRaceCarProbe::Damage(*car) = 100;
  Show(true, true, false, true);
  const std::vector<DWORD> wrecked = Frame();
  int changed = 0;
  for (int y = int(0.45f * kH); y < int(0.5f * kH); ++y)
    for (int x = int(0.27f * kW); x < int(0.5f * kW); ++x) changed += fine[size_t(y) * kW + x] != wrecked[size_t(y) * kW + x];
  EXPECT_GT(changed, 50);
}

TEST_F(Hud, AReplayShowsOnlyTheLogoAndTheTimes) {
  cRaceCarProbe::Damage(*car) = 100;
  gReplayMode = 1;
  const std::vector<DWORD> replay = Frame();
  int instruments = 0, bar = 0, message = 0, times = 0, logoPixels = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const bool lit = Brightness(replay[size_t(y) * kW + x]) > 10;
      if (!lit) continue;
      if (x >= 0.8f * kW && y >= 0.7f * kH) ++instruments;
      if (x < 0.3f * kW && y >= 0.9f * kH) ++bar;
      if (y >= 0.45f * kH && y < 0.5f * kH) ++message;
      if (x >= 0.77f * kW && y < 0.08f * kH) ++times;
      if (x < 0.1f * kW && y < 0.05f * kH) ++logoPixels;
    }
  EXPECT_EQ(instruments, 0);
  EXPECT_EQ(bar, 0);
  EXPECT_EQ(message, 0);
  EXPECT_GT(times, 100);
  EXPECT_GT(logoPixels, 20);
}

TEST(LapTimeText, MinutesSecondsAndHundredthsOrNoTime) {
  EXPECT_STREQ(FormatLapTime(61230), "01:01:23");
  EXPECT_STREQ(FormatLapTime(83456), "01:23:45");
  EXPECT_STREQ(FormatLapTime(0), "--:--:--");
  EXPECT_STREQ(FormatLapTime(0xFFFFFFFFu), "--:--:--");
  EXPECT_STREQ(FormatLapTime(99 * 60000 + 59990), "99:59:99");
}

DWORD hudClock = 0;
DWORD HudClock() { return hudClock; }

// A ghost driving straight along +z at 10 m/s, passing the car's place
// `behind` metres after its start.
vrx::Recording StraightLap(const D3DXVECTOR3& car, float behind) {
  vrx::Recording r;
  r.time = 6000;
  for (int i = 0; i <= 60; ++i) {
    r.controlStamps.push_back(100u * i);
    r.controls.push_back(ReplaySnapshot{1, 0, 0, 0, 0, 3});
    r.stateStamps.push_back(100u * i);
    ReplayState s = {};
    s.Position = D3DXVECTOR3(car.x, car.y, car.z - behind + i * 1.0f);
    s.Velocity = D3DXVECTOR3(0, 0, 10);
    s.Rotation = D3DXQUATERNION(0, 0, 0, 1);
    r.states.push_back(s);
  }
  return r;
}

TEST(HudGap, IsShownSignedToTheHundredthAndLevelWithinHalfOfOne) {
  char text[16];
  EXPECT_EQ(FormatGap(1.234f, text, sizeof text), 1);
  EXPECT_STREQ(text, "+1.23");
  EXPECT_EQ(FormatGap(-0.45f, text, sizeof text), -1);
  EXPECT_STREQ(text, "-0.45");
  EXPECT_EQ(FormatGap(0.004f, text, sizeof text), 0);
  EXPECT_STREQ(text, "+0.00");
  EXPECT_EQ(FormatGap(-0.004f, text, sizeof text), 0);
  EXPECT_STREQ(text, "+0.00");
  EXPECT_EQ(FormatGap(-75.5f, text, sizeof text), -1);
  EXPECT_STREQ(text, "-75.50");
  EXPECT_EQ(FormatGap(1e9f, text, sizeof text), 1);
  EXPECT_STREQ(text, "+5999.99");
}

TEST_F(Hud, TheGapToTheGhostShowsUnderTheTimesRedBehindGreenAhead) {
  vrxtesting::SetTickSource(HudClock);
  hudClock = 50000;
  gTimer.Stop();
  gTimer.Reset();
  // Red and green text pixels under the two times.
  auto count = [&](const std::vector<DWORD>& px, int* red, int* green) {
    *red = *green = 0;
    for (int y = int(0.075f * kH); y < int(0.125f * kH); ++y)
      for (int x = int(0.88f * kW); x < kW; ++x) {
        const DWORD c = px[size_t(y) * kW + x];
        const int r = vrxtest::Red(c), g = vrxtest::Green(c);
        if (r > 100 && g < r / 2) ++*red;
        if (g > 100 && r < g / 2) ++*green;
      }
  };
  int red = 0, green = 0;
  count(Frame(), &red, &green);
  EXPECT_EQ(red + green, 0) << "no ghost";

  cGhost ghost;
  const D3DXVECTOR3 at = car->GetCar()->GetLinPos();
  ASSERT_TRUE(ghost.Take(StraightLap(at, 10)));  // there 1 s into its lap
  gGhost = &ghost;
  count(Frame(), &red, &green);
  EXPECT_EQ(red + green, 0) << "the lap clock has not started";

  gTimer.Start();
  hudClock += 3000;  // 3 s into the lap where the ghost was after 1 s
  count(Frame(), &red, &green);
  EXPECT_GT(red, 20);
  EXPECT_EQ(green, 0);

  ASSERT_TRUE(ghost.Take(StraightLap(at, 40)));  // there after 4 s
  count(Frame(), &red, &green);
  EXPECT_GT(green, 20);
  EXPECT_EQ(red, 0);

  gReplayMode = 1;
  count(Frame(), &red, &green);
  EXPECT_EQ(red + green, 0) << "not in a replay";
  gReplayMode = 0;
  gGhost = nullptr;
  gTimer.Stop();
  gTimer.Reset();
  vrxtesting::SetTickSource(nullptr);
}

}  // namespace
