// The generated menu and race pictures drawn by the engine the way the game
// lays them out, on a 1000 x 750 client area (so relative units are
// thousandths of the width): the needles' tips on the dial's marks, the
// damage bar filling its frame, the background filling the screen, captions
// inside their buttons. Each case saves a screenshot to look at.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "cButton.h"
#include "cFont.h"
#include "cScreen.h"
#include "cSprite.h"
#include "hud_art.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "screen_fixture.h"

namespace {

using namespace vrxdata::hud;

constexpr int kW = 1000, kH = 750;

int Brightness(DWORD c) { return std::max(vrxtest::Red(c), std::max(vrxtest::Green(c), vrxtest::Blue(c))); }

class ArtScreens : public ::testing::Test {
protected:
  void SetUp() override {
    // The game opens its data relative to its own directory.
    ASSERT_EQ(chdir(VRX_BIN_DIR), 0);
    ASSERT_TRUE(f.Open(kW, kH));
    f.Screen().ClearScreen(0xFF000000);
  }

  void Draw(cSprite* s, float sx, float sy, float cx, float cy, float angle, float x, float y, DWORD colour) {
    D3DXVECTOR2 scale(sx, sy), centre(cx, cy), at(x, y);
    s->DrawRelative(&scale, &centre, angle, &at, colour);
  }

  // The needle pixel farthest from the pivot: its distance and screen angle.
  void Tip(float px, float py, float* radius, float* angle) {
    std::vector<DWORD> img = f.ReadPixels();
    float best = -1;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        if (Brightness(img[size_t(y) * kW + x]) < 25) continue;
        const float dx = x + 0.5f - px, dy = y + 0.5f - py, d = std::hypot(dx, dy);
        if (d > best) {
          best = d;
          *angle = std::atan2(dy, dx);
        }
      }
    *radius = best;
  }

  // Mean brightness of the dial along a short radial line at `angle`.
  float Along(const std::vector<DWORD>& img, float px, float py, float angle, float r0, float r1) {
    float sum = 0;
    int n = 0;
    for (float r = r0; r <= r1; r += 0.5f, ++n) {
      const int x = int(std::floor(px + std::cos(angle) * r)), y = int(std::floor(py + std::sin(angle) * r));
      sum += Brightness(img[size_t(y) * kW + x]);
    }
    return sum / n;
  }

  // Draws the needle alone at `angle` and checks that its tip lies where the
  // dial (drawn alone before) has its mark for that value.
  void CheckNeedle(cSprite* dial, cSprite* needle, float needleScale, float px, float py, float angle,
                   float tipPixels, const char* what) {
    f.Screen().ClearScreen(0xFF000000);
    Draw(dial, 0.4f, 0.4f, 0, 0, 0, 0.8f, 0.7f, 0x88FFFFFF);
    const std::vector<DWORD> dialOnly = f.ReadPixels();
    f.Screen().ClearScreen(0xFF000000);
    Draw(needle, needleScale, needleScale, 7, 7, angle, px / kW, py / kH, 0xCCFFFFFF);
    float r = 0, a = 0;
    Tip(px, py, &r, &a);
    const float phi = std::remainder(angle, 2.0f * float(M_PI));
    EXPECT_NEAR(r, tipPixels, 1.5f) << what;
    EXPECT_NEAR(std::remainder(a - phi, 2.0f * float(M_PI)), 0.0f, 1.5f / r) << what;
    // The mark runs under the tip; three pixels to either side is the dial's face.
    const float side = 3.0f / tipPixels;
    const float on = Along(dialOnly, px, py, phi, tipPixels - 2.5f, tipPixels);
    const float left = Along(dialOnly, px, py, phi - side, tipPixels - 2.5f, tipPixels);
    const float right = Along(dialOnly, px, py, phi + side, tipPixels - 2.5f, tipPixels);
    EXPECT_GT(on, 90) << what;
    EXPECT_GT(on, left + 40) << what;
    EXPECT_GT(on, right + 40) << what;
  }

  vrxtest::ScreenFixture f;
};

TEST_F(ArtScreens, NeedleTipsPointAtTheDialsMarks) {
  cSprite dial("DATA\\CARS\\COMMON\\Licznik.tga", &f.Screen());
  cSprite needle("DATA\\CARS\\COMMON\\Strzalka.tga", &f.Screen());
  ASSERT_EQ(dial.GetTextureInfo().Width, unsigned(kDialSize));
  ASSERT_EQ(needle.GetTextureInfo().Width, unsigned(kNeedleWidth));
  const float speedX = 0.902f * kW, speedY = 0.814f * kH, revX = 0.902f * kW, revY = 0.921f * kH;
  // The HUD's own angles: speed value = m/s x 0.07058823, engine value = rpm / 1800.
  struct Reading {
    float kmh, rpm;
  } readings[] = {{0, 1000}, {100, 3500}, {200, 6000}};
  for (const Reading& rd : readings) {
    const float speedAngle = 3.9f - rd.kmh / 3.6f * 0.07058823f;
    const float revAngle = 3.7f - rd.rpm * 0.1047092f * 9.55026f * 0.00055555557f;
    CheckNeedle(&dial, &needle, 1.0f, speedX, speedY, speedAngle, (kNeedleTip - 7.0f) * 1.0f,
                ("speed " + std::to_string(int(rd.kmh)) + " km/h").c_str());
    CheckNeedle(&dial, &needle, 0.4f, revX, revY, revAngle, (kNeedleTip - 7.0f) * 0.4f,
                ("engine " + std::to_string(int(rd.rpm)) + " rpm").c_str());
  }

  // The whole gauge as the HUD draws it, at each reading, for a look.
  for (const Reading& rd : readings) {
    f.Screen().ClearScreen(0xFF303A48);
    Draw(&dial, 0.4f, 0.4f, 0, 0, 0, 0.8f, 0.7f, 0x88FFFFFF);
    Draw(&needle, 1, 1, 7, 7, 3.9f - rd.kmh / 3.6f * 0.07058823f, 0.902f, 0.814f, 0xCCFFFFFF);
    Draw(&needle, 0.4f, 0.4f, 7, 7, 3.7f - rd.rpm * 0.00055555557f, 0.902f, 0.921f, 0xCCFFFFFF);
    f.SaveScreenshot("hud_dial_" + std::to_string(int(rd.kmh)) + "kmh");
  }
}

TEST_F(ArtScreens, HudWithGearsAndTheDamageBarFillingItsFrame) {
  cSprite dial("DATA\\CARS\\COMMON\\Licznik.tga", &f.Screen());
  cSprite needle("DATA\\CARS\\COMMON\\Strzalka.tga", &f.Screen());
  cSprite frame("DATA\\CARS\\COMMON\\Frame.dds", &f.Screen());
  cSprite dot("DATA\\CARS\\COMMON\\Dot.dds", &f.Screen());
  cSprite logo("DATA\\MENU\\vrxd.tga", &f.Screen());
  cFont font("DATA\\MENU\\Font1.bmp", "DATA\\MENU\\Font1.dat", 0xFF000000, &f.Screen());
  const char* gearFiles[7] = {"g_R.dds", "g_N.dds", "g_1.dds", "g_2.dds", "g_3.dds", "g_4.dds", "g_5.dds"};
  std::vector<std::unique_ptr<cSprite>> gears;
  for (const char* g : gearFiles)
    gears.emplace_back(new cSprite((std::string("DATA\\CARS\\COMMON\\") + g).c_str(), &f.Screen()));

  auto bar = [&](float damage, float dy) {
    Draw(&frame, 0.8f, 1, 0, 0, 0, 0.01f, 0.95f + dy, 0x88FFFFFF);
    const DWORD b = DWORD(int(damage * 2.55f)) % 256;
    Draw(&dot, damage * 0.5f, 2.3f, 0, 0, 0, 0.013f, 0.955f + dy, 0x88000000 + b * 0x10000 + (255 - b) * 0x100);
  };
  // Where the bar ends: the last column of its row that is mostly red or green.
  auto barEnd = [&](float dy) {
    const int y = int((0.955f + dy) * kH + 4.6f);
    const std::vector<DWORD> img = f.ReadPixels();
    int end = -1;
    for (int x = 0; x < 400; ++x) {
      const DWORD c = img[size_t(y) * kW + x];
      if (std::max(vrxtest::Red(c), vrxtest::Green(c)) > vrxtest::Blue(c) + 50) end = x;
    }
    return end;
  };

  f.Screen().ClearScreen(0xFF000000);
  bar(100, 0);
  // 13 + 4 texels x 50 = 213 pixels, and the frame's window ends there too.
  EXPECT_NEAR(barEnd(0), 212, 1);
  const int y = int(0.955f * kH + 4.6f);
  const std::vector<DWORD> full = f.ReadPixels();
  const DWORD inBar = full[size_t(y) * kW + 205], rim = full[size_t(y) * kW + 214];
  EXPECT_GT(vrxtest::Red(inBar), 100);
  EXPECT_LT(vrxtest::Green(inBar), 40);
  // Past the bar: the frame's rim, grey, not the bar's red.
  EXPECT_LT(std::abs(vrxtest::Red(rim) - vrxtest::Blue(rim)), 60);
  EXPECT_GT(Brightness(rim), 30);

  f.Screen().ClearScreen(0xFF000000);
  bar(50, 0);
  EXPECT_NEAR(barEnd(0), 112, 1);
  f.Screen().ClearScreen(0xFF000000);
  bar(0, 0);
  EXPECT_EQ(barEnd(0), -1);

  // The race display for a look: the three bars stacked, every gear, the logo and labels.
  f.Screen().ClearScreen(0xFF5A7894);
  bar(0, -0.1f);
  bar(50, -0.05f);
  bar(100, 0);
  font.PutTextRelative(0.01f, 0.915f, 0.8f, 0.8f, "Damage");
  Draw(&dial, 0.4f, 0.4f, 0, 0, 0, 0.8f, 0.7f, 0x88FFFFFF);
  Draw(&needle, 1, 1, 7, 7, 3.9f - 100 / 3.6f * 0.07058823f, 0.902f, 0.814f, 0xCCFFFFFF);
  Draw(&needle, 0.4f, 0.4f, 7, 7, 3.7f - 4000 * 0.00055555557f, 0.902f, 0.921f, 0xCCFFFFFF);
  Draw(gears[4].get(), 0.5f, 0.6f, 0, 0, 0, 0.935f, 0.9f, 0xCCFFFFFF);
  for (int g = 0; g < 7; ++g) Draw(gears[size_t(g)].get(), 0.5f, 0.6f, 0, 0, 0, 0.3f + g * 0.05f, 0.6f, 0xCCFFFFFF);
  Draw(&logo, 0.15f, 0.15f, 0, 0, 0, 0, 0, 0xFFFFFFFF);
  font.PutTextRelative(0.89f, 0.0f, 0.9f, 0.9f, "01:23:45");
  font.PutTextRelative(0.89f, 0.04f, 0.9f, 0.9f, "--:--:--");
  font.PutTextRelative(0.77f, 0.005f, 0.7f, 0.7f, "Lap");
  font.PutTextRelative(0.77f, 0.045f, 0.7f, 0.7f, "Last");
  font.PutTextRelative(0.005f, 0.05f, 0.8f, 0.8f, "60 fps");
  f.SaveScreenshot("hud");
  // Each gear sprite shows its letter: bright pixels in its box.
  const std::vector<DWORD> hud = f.ReadPixels();
  for (int g = 0; g < 7; ++g) {
    int lit = 0;
    for (int yy = 450; yy < 488; ++yy)
      for (int xx = 300 + g * 50; xx < 332 + g * 50; ++xx) lit += Brightness(hud[size_t(yy) * kW + xx]) > 200;
    EXPECT_GT(lit, 40) << gearFiles[g];
  }
}

TEST_F(ArtScreens, MenuBackgroundFillsTheScreenAndCaptionsFitTheirButtons) {
  f.Screen().ClearScreen(0xFFFF00FF);
  cSprite menu("DATA\\Menu\\Menu.bmp", &f.Screen());
  cFont font("DATA\\MENU\\Font1.bmp", "DATA\\MENU\\Font1.dat", 0xFF000000, &f.Screen());
  Draw(&menu, 0.98f, 0.732f, 0, 0, 0, 0, 0, 0xFFFFFFFF);
  std::vector<DWORD> img = f.ReadPixels();
  int uncovered = 0;
  for (DWORD c : img) uncovered += (c & 0xFFFFFF) == 0xFF00FF;
  EXPECT_EQ(uncovered, 0);

  vrxtesting::SetProgramDir(VRX_BIN_DIR);
  HMODULE lang = LoadLibraryA("Lang.dll");
  vrxtesting::SetProgramDir(nullptr);
  ASSERT_NE(lang, nullptr);
  auto text = [&](UINT id) {
    char buf[64];
    LoadStringA(lang, id, buf, 64);
    return std::string(buf);
  };
  struct Place {
    UINT caption;
    float x, y, sx, sy;
  } buttons[] = {{1, 0.02f, 0.03f, 0.85f, 0.7f},  {2, 0.02f, 0.18f, 0.77f, 0.7f}, {37, 0.02f, 0.33f, 0.74f, 0.7f},
                 {3, 0.02f, 0.48f, 0.72f, 0.7f},  {13, 0.02f, 0.8f, 0.79f, 0.4f}, {10, 0.3f, 0.4f, 1.1f, 0.5f},
                 {9, 0.7f, 0.4f, 1.1f, 0.5f},     {7, 0.3f, 0.85f, 1.1f, 0.5f},  {6, 0.7f, 0.85f, 1.1f, 0.5f},
                 {34, 0.47f, 0.715f, 0.4f, 0.5f}, {35, 0.47f, 0.765f, 0.4f, 0.5f}};
  std::vector<std::unique_ptr<cButton>> made;
  for (const Place& p : buttons) {
    made.emplace_back(new cButton("DATA\\MENU\\ButtonOut.tga", "DATA\\MENU\\ButtonOver.tga", &f.Screen(), &font));
    cButton& b = *made.back();
    b.Position = D3DXVECTOR2(p.x, p.y);
    b.Scale = D3DXVECTOR2(p.sx, p.sy);
    snprintf(b.Caption, sizeof b.Caption, "%s", text(p.caption).c_str());
  }

  // Each caption alone on black: its white lies inside its button.
  for (size_t i = 0; i < made.size(); ++i) {
    f.Screen().ClearScreen(0xFF000000);
    cButton& b = *made[i];
    D3DXVECTOR2 pos = b.Position;
    std::string caption = b.Caption;
    b.Draw();
    const float left = pos.x * kW, right = left + 256 * b.Scale.x, top = pos.y * kH, bottom = top + 64 * b.Scale.y;
    std::vector<DWORD> px = f.ReadPixels();
    int white = 0, outside = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const DWORD c = px[size_t(y) * kW + x];
        if (vrxtest::Red(c) < 235 || vrxtest::Green(c) < 235 || vrxtest::Blue(c) < 235) continue;
        ++white;
        if (x < left + 2 || x > right - 2 || y < top || y > bottom) ++outside;
      }
    EXPECT_GT(white, 20) << caption;
    EXPECT_EQ(outside, 0) << caption;
  }

  // The main page for a look: background, buttons, texts where the menu puts them.
  Draw(&menu, 0.98f, 0.732f, 0, 0, 0, 0, 0, 0xFFFFFFFF);
  for (auto& b : made) b->Draw();
  font.PutTextRelative(0.3f, 0.1f, 1, 1, text(29).c_str());
  font.PutTextRelative(0.35f, 0.15f, 1, 1, "01:23:45");
  font.PutTextRelative(0.3f, 0.6f, 1, 1, "HATCH 1.3");
  font.PutTextRelative(0.35f, 0.65f, 1, 1, "55 KW, FIVE GEARS, REAR-WHEEL DRIVE");
  font.PutTextRelative(0.3f, 0.72f, 0.8f, 0.8f, text(36).c_str());
  font.PutTextRelative(0.3f, 0.77f, 0.8f, 0.8f, text(32).c_str());
  font.PutTextRelative(0.3f, 0.93f, 1, 1, "v0.7.5.0");
  f.SaveScreenshot("menu_main");

  // The exit hint with its table, and the options page's labels and fields.
  Draw(&menu, 0.98f, 0.732f, 0, 0, 0, 0, 0, 0xFFFFFFFF);
  for (size_t i = 0; i < 5; ++i) made[i]->Draw();
  font.PutTextRelative(0.4f, 0.5f, 1, 1, text(15).c_str());
  const float rows[5] = {0.05f, 0.15f, 0.2f, 0.25f, 0.3f};
  for (int r = 0; r < 5; ++r) {
    font.PutTextRelative(0.3f, rows[r], 1, 1, text(16 + 2 * r).c_str());
    font.PutTextRelative(0.7f, rows[r], 1, 1, text(17 + 2 * r).c_str());
  }
  f.SaveScreenshot("menu_exit_hint");

  Draw(&menu, 0.98f, 0.732f, 0, 0, 0, 0, 0, 0xFFFFFFFF);
  font.PutTextRelative(0.3f, 0.03f, 1, 1, text(40).c_str());
  const UINT labels[7] = {41, 44, 42, 43, 45, 46, 47};
  const char* keys[7] = {"Up", "Down", "Left", "Right", "A", "Z", "Space"};
  std::vector<std::unique_ptr<cButton>> fields;
  for (int i = 0; i < 7; ++i) {
    font.PutTextRelative(0.32f, 0.1f + 0.05f * i, 0.7f, 0.7f, text(labels[i]).c_str());
    fields.emplace_back(new cButton("DATA\\MENU\\FrameOut.tga", "DATA\\MENU\\FrameOver.tga", &f.Screen(), &font));
    fields.back()->Position = D3DXVECTOR2(0.6f, 0.1f + 0.05f * i);
    fields.back()->Scale = D3DXVECTOR2(0.1f, 0.2f);
    snprintf(fields.back()->Caption, 32, "%s", keys[i]);
    fields.back()->Draw();
  }
  font.PutTextRelative(0.3f, 0.53f, 1, 1, text(51).c_str());
  font.PutTextRelative(0.32f, 0.6f, 0.7f, 0.7f, text(53).c_str());
  font.PutTextRelative(0.32f, 0.65f, 0.7f, 0.7f, text(52).c_str());
  f.SaveScreenshot("menu_options");
  FreeLibrary(lang);
}

TEST_F(ArtScreens, LoadingScreenAndPlayerName) {
  cSprite logo("DATA\\MENU\\vrxd.tga", &f.Screen());
  cSprite badge("DATA\\MENU\\ode_logo.bmp", &f.Screen());
  cFont font("DATA\\MENU\\Font1.bmp", "DATA\\MENU\\Font1.dat", 0xFF000000, &f.Screen());
  f.Screen().ClearScreen(0xFF000000);
  Draw(&logo, 0.7f, 0.7f, 0, 0, 0, 0.3f, 0.23f, 0xC0FFFFFF);
  Draw(&badge, 0.4f, 0.4f, 0, 0, 0, 0.8f, 0.93f, 0xFFFFFFFF);
  font.PutTextRelative(0.35f, 0.45f, 1, 1, "Loading 75%");
  f.SaveScreenshot("loading");
  // The badge stays on screen: its last row and column lie inside the client area.
  EXPECT_LE(0.8f * kW + 256 * 0.4f, kW);
  EXPECT_LE(0.93f * kH + 128 * 0.4f, kH);
  const std::vector<DWORD> img = f.ReadPixels();
  EXPECT_GT(Brightness(img[size_t(0.93f * kH + 20) * kW + size_t(0.8f * kW + 60)]), 20);
  // The logo ends above the loading line.
  int lowest = 0;
  for (int y = 0; y < int(0.45f * kH); ++y)
    for (int x = 300; x < 660; ++x)
      if (Brightness(img[size_t(y) * kW + x]) > 40) lowest = y;
  EXPECT_LT(lowest, int(0.45f * kH) - 4);
}

}  // namespace
