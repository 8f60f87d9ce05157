// The painting primitives and the generated pictures as files, read back by
// the game's own image loader: hot spots, pivots, windows and edges where the
// game's layout needs them, pictures that repeat where they are tiled, and
// the same bytes on every build.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "art_paint.h"
#include "gl/image.h"
#include "hud_art.h"
#include "menu_art.h"
#include "test_support.h"

namespace {

using namespace vrxdata;

struct Loaded {
  unsigned width = 0, height = 0;
  std::vector<uint8_t> argb;  // B, G, R, A
  uint32_t at(int x, int y) const {
    const uint8_t* p = &argb[(size_t(y) * width + x) * 4];
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
  int alpha(int x, int y) const { return int(at(x, y) >> 24); }
  int bright(int x, int y) const {
    const uint32_t c = at(x, y);
    return std::max(int((c >> 16) & 0xFF), std::max(int((c >> 8) & 0xFF), int(c & 0xFF)));
  }
};

Loaded Load(const std::string& path) {
  Image img;
  Loaded l;
  if (!LoadImageFile(path.c_str(), &img, nullptr)) return l;
  l.width = img.width;
  l.height = img.height;
  l.argb = LevelToA8R8G8B8(img.format, img.levels[0].data(), img.width, img.height);
  return l;
}

class Art : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    dir = new std::string(vrxtest::MakeTempDir("art"));
    BuildContext ctx{"", *dir};
    built = BuildMenuArt(ctx) && BuildHudArt(ctx);
  }
  static void TearDownTestSuite() { delete dir; }
  void SetUp() override { ASSERT_TRUE(built); }
  static Loaded Menu(const char* name) { return Load(*dir + "/MENU/" + name); }
  static Loaded Car(const char* name) { return Load(*dir + "/CARS/COMMON/" + name); }
  static Loaded Track(const char* name) { return Load(*dir + "/TRACKS/COMMON/" + name); }
  static std::string* dir;
  static bool built;
};
std::string* Art::dir = nullptr;
bool Art::built = false;

TEST(Paint, ShapesCoverTheirAreaAndCompositeSourceOver) {
  Canvas c(64, 64);
  c.FillSolid(0, 0, 64, 64, [](float x, float y) { return SdCircle(x, y, 32, 32, 20); }, Rgb(0xFFFFFF));
  double area = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) area += c.Get(x, y).a;
  EXPECT_NEAR(area, M_PI * 400, M_PI * 400 * 0.01);

  // Half-transparent red over opaque blue.
  Canvas d(1, 1, Rgb(0x0000FF));
  d.Over(0, 0, Rgb(0xFF0000, 0.5f), 1.0f);
  const uint32_t p = d.ToPicture().at(0, 0);
  EXPECT_EQ(p, 0xFF800080u);
  // Onto transparent the colour stays, only the alpha is partial.
  Canvas e(1, 1);
  e.Over(0, 0, Rgb(0x00FF00, 0.25f), 1.0f);
  EXPECT_EQ(e.ToPicture().at(0, 0), 0x4000FF00u);

  const std::vector<Vec2f> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  EXPECT_LT(SdPolygon(5, 5, square), 0);
  EXPECT_NEAR(SdPolygon(5, 12, square), 2, 1e-5);
  EXPECT_NEAR(SdRoundBox(15, 5, 5, 5, 5, 5, 0), 5, 1e-5);

  Mask m(21, 21);
  m.ref(10, 10) = 1.0f;
  const Mask grown = Dilate(m, 3.0f), soft = Blur(m, 2);
  EXPECT_FLOAT_EQ(grown.at(12, 10), 1.0f);
  EXPECT_FLOAT_EQ(grown.at(13, 10), 0.5f);  // a soft edge at the radius
  EXPECT_FLOAT_EQ(grown.at(14, 10), 0.0f);
  double sum = 0;
  for (float v : soft.v) sum += v;
  EXPECT_NEAR(sum, 1.0, 1e-4);  // blurring moves coverage, it does not make any
  EXPECT_NEAR(ValueNoise(3.25f, 1.5f, 9, 4), ValueNoise(7.25f, 5.5f, 9, 4), 1e-6);  // repeats every 4 cells
}

TEST_F(Art, MenuPicturesHaveTheirLayoutsSizesAndShapes) {
  EXPECT_EQ(Menu("Menu.bmp").width, unsigned(kMenuSize));
  const Loaded cursor = Menu("Cursor.tga");
  // The hot spot is the top-left texel: the arrow's tip is there.
  EXPECT_GT(cursor.alpha(1, 1), 200);
  EXPECT_GT(cursor.alpha(3, 10), 200);
  EXPECT_LT(cursor.alpha(40, 4), 10);
  for (const char* name : {"ButtonOut.tga", "ButtonOver.tga"}) {
    const Loaded b = Menu(name);
    EXPECT_EQ(b.width, unsigned(kButtonWidth));
    EXPECT_EQ(b.height, unsigned(kButtonHeight));
    EXPECT_GT(b.alpha(128, 32), 200) << name;
    EXPECT_LT(b.alpha(0, 0), 10) << name;  // rounded corners
  }
  for (const char* name : {"FrameOut.tga", "FrameOver.tga"}) {
    const Loaded f = Menu(name);
    EXPECT_EQ(f.width, unsigned(kFrameWidth));
    EXPECT_EQ(f.height, unsigned(kFrameHeight));
    // A bright rim, a darker inside for the text.
    EXPECT_GT(f.bright(512, 5), f.bright(512, 64) + 60) << name;
    EXPECT_GT(f.alpha(512, 64), 150) << name;
  }
  const Loaded smoke = Menu("Smoke.tga");
  EXPECT_EQ(smoke.alpha(0, 0), 0);
  EXPECT_EQ(smoke.alpha(64, 0), 0);
  EXPECT_GT(smoke.alpha(64, 64), 100);
}

TEST_F(Art, NeedleTurnsAboutItsHubAndReachesItsTip) {
  const Loaded n = Car("Strzalka.tga");
  ASSERT_EQ(n.width, unsigned(hud::kNeedleWidth));
  ASSERT_EQ(n.height, unsigned(hud::kNeedleHeight));
  EXPECT_GT(n.alpha(7, 7), 240);
  EXPECT_GT(n.alpha(6, 6), 240);
  int last = 0;
  for (int x = 0; x < int(n.width); ++x)
    if (n.alpha(x, 7) > 128) last = x;
  EXPECT_NEAR(last + 0.5, hud::kNeedleTip, 1.0);
  // Straight along +x: the row through the hub, nothing far above or below it.
  EXPECT_EQ(n.alpha(40, 1), 0);
  EXPECT_EQ(n.alpha(40, 13), 0);
}

TEST_F(Art, DialMarksLieAtTheNeedlesAngles) {
  const Loaded d = Car("Licznik.tga");
  ASSERT_EQ(d.width, unsigned(hud::kDialSize));
  // Mean brightness along a radial stretch.
  auto along = [&](float cx, float cy, float phi, float r0, float r1) {
    float sum = 0;
    int n = 0;
    for (float r = r0; r <= r1; r += 0.5f, ++n) sum += d.bright(int(cx + std::cos(phi) * r), int(cy + std::sin(phi) * r));
    return sum / n;
  };
  for (int kmh = 0; kmh <= 240; kmh += 20) {
    const float phi = hud::SpeedAngle(float(kmh));
    const float r = hud::kSpeedTipRadius;
    const float on = along(hud::kSpeedPivotX, hud::kSpeedPivotY, phi, r - 10, r);
    const float between = along(hud::kSpeedPivotX, hud::kSpeedPivotY, phi - 0.09f, r - 10, r);
    EXPECT_GT(on, 200) << kmh << " km/h";
    EXPECT_LT(between, on - 100) << kmh << " km/h";
  }
  for (int rpm = 0; rpm <= 8000; rpm += 1000) {
    const float phi = hud::RevAngle(float(rpm));
    const float r = hud::kRevTipRadius;
    EXPECT_GT(along(hud::kRevPivotX, hud::kRevPivotY, phi, r - 6, r), 180) << rpm << " rpm";
    EXPECT_LT(along(hud::kRevPivotX, hud::kRevPivotY, phi + 0.14f, r - 6, r - 3), 150) << rpm << " rpm";
  }
  // The gear window behind the gear sprite (drawn from (337.5, 375) to (417.5, 471)).
  EXPECT_GT(d.alpha(377, 423), 200);
  EXPECT_LT(d.bright(377, 423), 60);
}

TEST_F(Art, DamageBarAndRaceTextures) {
  const Loaded frame = Car("Frame.dds"), dot = Car("Dot.dds");
  ASSERT_EQ(frame.width, unsigned(hud::kBarFrameWidth));
  ASSERT_EQ(frame.height, unsigned(hud::kBarFrameHeight));
  // The window (3.75 .. 253.75, 3.75 .. 12.95) is see-through dark; the rim around it is not.
  EXPECT_LT(frame.alpha(128, 8), 160);
  EXPECT_LT(frame.alpha(252, 8), 160);
  EXPECT_GT(frame.alpha(254, 8), 150);
  EXPECT_GT(frame.alpha(1, 8), 150);
  EXPECT_GT(frame.alpha(128, 1), 150);
  EXPECT_GT(frame.alpha(128, 14), 150);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dot.at(x, y), 0xFFFFFFFFu);

  const Loaded sh = Car("Sh.tga");
  EXPECT_EQ(sh.at(0, 0), 0xB0000000u);
  EXPECT_EQ(sh.at(63, 63), 0xB0000000u);

  const Loaded skid = Car("Skid.tga");
  EXPECT_LE(skid.alpha(0, 100), 2);  // soft edges across the mark
  EXPECT_GT(skid.alpha(20, 100), 60);
  int seam = 0;  // the segments join: the last row continues into the first
  for (int x = 0; x < 64; ++x) seam = std::max(seam, std::abs(skid.alpha(x, 0) - skid.alpha(x, 255)));
  EXPECT_LT(seam, 12);

  const Loaded plate = Car("Tablica.bmp");
  EXPECT_EQ(plate.width, 256u);
  EXPECT_EQ(plate.height, 64u);
  EXPECT_GT(plate.bright(140, 32), 230);  // white where the name is written from x 25 on

  for (const char* name : {"red_light.tga", "white_light.tga"}) {
    const Loaded l = Car(name);
    EXPECT_GT(l.alpha(64, 64), 230) << name;
    EXPECT_EQ(l.alpha(0, 64), 0) << name;
    EXPECT_EQ(l.alpha(127, 0), 0) << name;
  }
  const Loaded sun = Track("sun.tga");
  EXPECT_EQ(sun.width, 128u);  // turned about (64, 64)
  EXPECT_GT(sun.alpha(64, 64), 240);
  EXPECT_EQ(sun.alpha(0, 64), 0);
  const Loaded ref = Track("Refmap.tga");
  int edge = 0;  // it is sampled with wrapping in both directions
  for (int i = 0; i < 256; ++i) {
    edge = std::max(edge, std::abs(ref.bright(0, i) - ref.bright(255, i)));
    edge = std::max(edge, std::abs(ref.bright(i, 0) - ref.bright(i, 255)));
  }
  EXPECT_LT(edge, 16);
}

TEST_F(Art, AreTheSameOnEveryBuild) {
  const std::string again = vrxtest::MakeTempDir("art_again");
  BuildContext ctx{"", again};
  ASSERT_TRUE(BuildMenuArt(ctx) && BuildHudArt(ctx));
  for (const char* name : {"/MENU/Menu.bmp", "/MENU/vrxd.tga", "/CARS/COMMON/Licznik.tga", "/CARS/COMMON/g_3.dds"})
    EXPECT_EQ(vrxtest::ReadFile(*dir + name), vrxtest::ReadFile(again + name)) << name;
}

}  // namespace
