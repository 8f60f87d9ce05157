// Playing in a window and full screen as a player meets it: the settings
// program's switch, a window that is resized (the picture keeps its aspect
// between black bars, and the pointer still hits the menu's buttons),
// Alt+Enter both ways in the menu and during a race (which goes on with its
// lap clock), and F12 pictures of the frame in the player's pictures folder.
// With VRX_SCREENSHOT_DIR set the window pictures are also written there.
#include "game_fixture.h"

#include <stb/stb_image.h>

#include <cstdlib>
#include <regex>

namespace e2e {
namespace {

struct Rect {
  int x, y, w, h;
};

class WindowMode : public GameTest {
 protected:
  // The sky above the race's horizon fills the upper middle.
  static bool SceneShown(const Picture& p) {
    const int x0 = p.width / 5, x1 = p.width * 4 / 5, y0 = p.height / 10, y1 = p.height * 3 / 10;
    return p.CountBright(x0, y0, x1, y1, 120) > (x1 - x0) * (y1 - y0) * 3 / 4;
  }

  // Where the X server has the window, and whether its size is fixed (a
  // resizable window has no equal minimum and maximum in its size hints).
  void Geometry(int* w, int* h) {
    XWindowAttributes a{};
    XGetWindowAttributes(X()->Dpy(), G().Win(), &a);
    *w = a.width;
    *h = a.height;
  }
  bool Resizable() {
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(X()->Dpy(), G().Win(), &hints, &supplied)) return true;
    const bool fixed = (hints.flags & PMinSize) && (hints.flags & PMaxSize) && hints.min_width == hints.max_width &&
                       hints.min_height == hints.max_height;
    return !fixed;
  }
  bool WaitForSize(int w, int h, int timeoutMs = 10000) {
    for (int waited = 0; waited <= timeoutMs; waited += 100) {
      int gw = 0, gh = 0;
      Geometry(&gw, &gh);
      if (gw == w && gh == h) return true;
      SleepMs(100);
    }
    return false;
  }
  void AltEnter() { G().Key("alt+Return"); }

  // The columns with anything lit (a bar is black from top to bottom).
  static Rect LitColumns(const Picture& p) {
    int first = -1, last = -1;
    for (int x = 0; x < p.width; ++x)
      if (p.CountBright(x, 0, x + 1, p.height, 1) > 0) {
        if (first < 0) first = x;
        last = x;
      }
    return Rect{first, 0, last - first + 1, p.height};
  }

  // A click on a control of the picture shown at `r` within the window.
  void ClickIn(const Rect& r, const Control& c) {
    int w = 0, h = 0;
    Geometry(&w, &h);
    const Place p = Centre(Bin(), c.field, c.x, c.y, c.sx, c.sy);
    G().Click((r.x + p.x * r.w) / w, (r.y + p.y * r.h) / h);
  }

  // The pictures F12 saved (the paths the game printed), waiting for `count`.
  std::vector<std::string> SavedPictures(size_t count) {
    std::vector<std::string> paths;
    for (int waited = 0; waited <= 10000; waited += 100) {
      paths.clear();
      const std::string out = G().Stdout();
      std::regex line("(/[^\n]*\\.png)\n");
      for (auto m = std::sregex_iterator(out.begin(), out.end(), line); m != std::sregex_iterator(); ++m)
        paths.push_back((*m)[1]);
      if (paths.size() >= count) break;
      SleepMs(100);
    }
    return paths;
  }
  // A PNG of the whole 800 x 600 frame with a picture in it: many colours,
  // much of it lit.
  void ExpectFramePicture(const std::string& path) {
    int w = 0, h = 0, n = 0;
    unsigned char* px = stbi_load(path.c_str(), &w, &h, &n, 3);
    ASSERT_NE(px, nullptr) << path;
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    std::vector<bool> seen(1 << 15);
    int colours = 0, lit = 0;
    for (int i = 0; i < w * h; ++i) {
      const unsigned char* c = px + i * 3;
      const int key = (c[0] >> 3) << 10 | (c[1] >> 3) << 5 | (c[2] >> 3);
      if (!seen[key]) ++colours;
      seen[key] = true;
      if (std::max({c[0], c[1], c[2]}) > 40) ++lit;
    }
    stbi_image_free(px);
    EXPECT_GT(colours, 100) << path;
    EXPECT_GT(lit, w * h / 4) << path;
  }

  // Screenshots land in a pictures folder of the test's own.
  std::vector<std::string> PlayerEnv() {
    home_ = vrxtest::MakeTempDir("window-mode-home");
    return {"HOME=" + home_, "XDG_CONFIG_HOME=" + home_ + "/.config", "XDG_PICTURES_DIR="};
  }
  void Save(const Picture& p, const std::string& name) {
    EXPECT_TRUE(p.SavePng(G().Dir() + "/" + name + ".png"));
    if (const char* out = std::getenv("VRX_SCREENSHOT_DIR")) p.SavePng(std::string(out) + "/" + name + ".png");
  }

  std::string home_;
};

TEST_F(WindowMode, AWindowIsResizedKeepingTheAspectAndSwitchedWithAltEnter) {
  ASSERT_TRUE(WriteConfig(X(), Bin(), 800, 600, {"--windowed"}));
  ASSERT_EQ(vrxtest::ReadFile(Bin() + "/vrx.cfg")[12], 1);
  ASSERT_TRUE(G().Start(PlayerEnv()));
  ASSERT_NE(G().FindWindow(), 0u) << G().Stderr();
  ASSERT_TRUE(G().WaitFor(NameScreenShown)) << G().Stderr();
  // The window shows the chosen size and may be resized.
  int w = 0, h = 0;
  Geometry(&w, &h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  EXPECT_TRUE(Resizable());
  Click(kName);
  ASSERT_TRUE(G().WaitFor(MenuShown)) << G().Stderr();

  // Wider than 4:3: the menu in the middle, black bars left and right.
  G().Xdo({"windowsize", std::to_string(G().Win()), "1000", "500"});
  ASSERT_TRUE(WaitForSize(1000, 500));
  Picture wide;
  ASSERT_TRUE(G().WaitFor([](const Picture& p) { return p.width == 1000 && p.CountBright(0, 0, 150, 500, 1) == 0; },
                          10000, &wide));
  SleepMs(500);
  wide = G().Grab();
  Save(wide, "window-resized");
  const Rect shown = LitColumns(wide);
  EXPECT_NEAR(shown.x, 166, 3);
  EXPECT_NEAR(shown.w, 667, 4);
  EXPECT_NEAR(double(shown.w) / shown.h, 4.0 / 3.0, 0.01);
  EXPECT_EQ(wide.CountBright(0, 0, 160, 500, 1), 0);
  EXPECT_EQ(wide.CountBright(840, 0, 1000, 500, 1), 0);

  // F12 keeps the whole 800 x 600 frame, whatever the window's size.
  G().Key("F12");
  std::vector<std::string> saved = SavedPictures(1);
  ASSERT_EQ(saved.size(), 1u) << G().Stdout() << G().Stderr();
  EXPECT_EQ(saved[0].rfind(home_ + "/Pictures/vrx/vrx-", 0), 0u) << saved[0];
  ExpectFramePicture(saved[0]);

  // Alt+Enter: full screen (this display has no 800 x 600 mode, so a fixed
  // window of the picture's size), and back to the resized window.
  AltEnter();
  ASSERT_TRUE(WaitForSize(800, 600)) << G().Stderr();
  EXPECT_FALSE(Resizable());
  ASSERT_TRUE(G().WaitFor(MenuShown)) << G().Stderr();
  AltEnter();
  ASSERT_TRUE(WaitForSize(1000, 500)) << G().Stderr();
  EXPECT_TRUE(Resizable());
  ASSERT_TRUE(G().WaitFor([](const Picture& p) { return p.width == 1000 && p.CountBright(0, 0, 150, 500, 1) == 0; }))
      << G().Stderr();

  // The pointer is read through the bars: the exit button in the picture ends the game.
  ClickIn(Rect{shown.x, 0, shown.w, 500}, kExit);
  EXPECT_EQ(G().WaitExit(30000), 0) << G().Stderr();
}

TEST_F(WindowMode, AltEnterDuringARaceKeepsTheRaceAndItsLapClock) {
  // Full screen, as older settings files have it.
  ASSERT_TRUE(WriteConfig(X(), Bin(), 800, 600));
  ASSERT_EQ(vrxtest::ReadFile(Bin() + "/vrx.cfg")[12], 0);
  const std::string stats = G().Dir() + "/window-mode-stats.txt";
  fs::remove(stats);
  ASSERT_TRUE(G().Start(PlayerEnv(), {"--demo", "--track", "docklands", "--car", "hatch", "--laps", "1", "--stats",
                                      stats}));
  ASSERT_NE(G().FindWindow(), 0u) << G().Stderr();
  ASSERT_TRUE(G().WaitFor(SceneShown, 60000)) << G().Stderr();
  int w = 0, h = 0;
  Geometry(&w, &h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  EXPECT_FALSE(Resizable());

  // Well into the lap (the car has left the start gate): into a window ...
  SleepMs(12000);
  AltEnter();
  ASSERT_TRUE(WaitForSize(808, 606)) << G().Stderr();  // the window's own size before full screen
  EXPECT_TRUE(Resizable());
  ASSERT_TRUE(G().WaitFor(SceneShown)) << G().Stderr();
  const Picture windowed = G().Grab();
  Save(windowed, "race-window");
  // Two pictures within a second: two files.
  G().Key("F12");
  G().Key("F12");
  const std::vector<std::string> saved = SavedPictures(2);
  ASSERT_EQ(saved.size(), 2u) << G().Stdout() << G().Stderr();
  EXPECT_NE(saved[0], saved[1]);
  for (const std::string& path : saved) ExpectFramePicture(path);

  // ... the race goes on in it ...
  SleepMs(1500);
  EXPECT_GT(G().Grab().CountDifferent(windowed, 0, 0, 808, 606, 40), 808 * 606 / 50);

  // ... and back to full screen.
  SleepMs(4000);
  AltEnter();
  ASSERT_TRUE(WaitForSize(800, 600)) << G().Stderr();
  EXPECT_FALSE(Resizable());
  ASSERT_TRUE(G().WaitFor(SceneShown)) << G().Stderr();

  // The lap ends as a whole lap: a clock restarted by either switch would
  // have booked one shorter than the lap's own length of some 48 s.
  ASSERT_EQ(G().WaitExit(180000), 0) << G().Stderr();
  const std::string text = vrxtest::ReadFile(stats);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(text, m, std::regex("lap 1 [0-9:]+ ([0-9.]+) s"))) << text;
  EXPECT_GT(std::stod(m[1]), 40.0) << text;
  EXPECT_LT(std::stod(m[1]), 90.0) << text;
}

}  // namespace
}  // namespace e2e
