// The drive as a player meets it: a race started from the menu, driven with
// the keyboard, paused, continued and left; replays; the camera key; the
// window closed in a race and while paused.
#include "game_fixture.h"

namespace e2e {
namespace {

class Drive : public GameTest {
 protected:
  // The 3D scene: the sky above the horizon fills the upper middle.
  static bool SceneShown(const Picture& p) {
    const int x0 = p.width / 5, x1 = p.width * 4 / 5, y0 = p.height / 10, y1 = p.height * 3 / 10;
    return p.CountBright(x0, y0, x1, y1, 120) > (x1 - x0) * (y1 - y0) * 3 / 4;
  }
  // The instruments bottom right (the race, not a replay).
  static int Instruments(const Picture& p) {
    return p.CountBright(p.width * 85 / 100, p.height * 75 / 100, p.width, p.height, 200);
  }
  static bool RaceShown(const Picture& p) { return SceneShown(p) && Instruments(p) > 300; }
  // A replay follows the menu, so its scene alone tells it.
  static bool ReplayShown(const Picture& p) { return SceneShown(p); }
  // The menu, not a race scene (whose left edge may be as bright).
  static bool InMenu(const Picture& p) { return MenuShown(p) && !SceneShown(p); }
  // The running lap time, top right.
  static int TimeDiffers(const Picture& a, const Picture& b) {
    return a.CountDifferent(b, a.width * 88 / 100, 0, a.width, a.height * 4 / 100, 30);
  }
  void StartRace() {
    Click(kStart);
    Picture last;
    const bool shown = G().WaitFor(RaceShown, 30000, &last);
    if (!shown) last.SavePng(vrxtest::MakeTempDir("drive") + "/no-race.png");
    ASSERT_TRUE(shown) << "scene " << SceneShown(last) << " instruments " << Instruments(last) << "\n"
                       << G().Stderr();
    // The chase camera swings in from where it starts.
    SleepMs(3000);
  }
  void Hold(const std::string& key, int ms) {
    G().Xdo({"keydown", key});
    SleepMs(ms);
    G().Xdo({"keyup", key});
  }
  // Esc and waits until the pause buttons cover the middle of the frame.
  void Pause() {
    const Picture before = G().Grab();
    G().Key("Escape");
    const int x0 = before.width * 2 / 5, x1 = before.width * 3 / 5;
    const int y0 = before.height * 2 / 5, y1 = before.height * 11 / 20;
    ASSERT_TRUE(G().WaitFor([&](const Picture& p) { return p.CountDifferent(before, x0, y0, x1, y1, 40) > 2000; }))
        << G().Stderr();
  }
  void Continue() { Click(Control{false, 0.4f, 0.4f, 1.0f, 0.8f}); }
  void Back() { Click(Control{false, 0.4f, 0.5f, 1.0f, 0.8f}); }
};

TEST_F(Drive, ARaceIsDrivenPausedContinuedAndLeft) {
  StartToMenu();
  ASSERT_FALSE(HasFatalFailure());
  StartRace();
  ASSERT_FALSE(HasFatalFailure());

  const Picture still = G().Grab();
  // First gear and throttle: the car drives off and the scene moves by.
  G().Key("a");
  Hold("Up", 3000);
  const Picture moved = G().Grab();
  EXPECT_GT(moved.CountDifferent(still, 0, still.height / 10, still.width, still.height * 7 / 10, 40),
            still.width * still.height / 20);

  // Paused: the frame, the lap time included, stands still.
  Pause();
  ASSERT_FALSE(HasFatalFailure());
  const Picture paused = G().Grab();
  SleepMs(1000);
  EXPECT_EQ(TimeDiffers(G().Grab(), paused), 0);

  // Continued: the lap time runs on.
  Continue();
  ASSERT_TRUE(G().WaitFor(RaceShown)) << G().Stderr();
  const Picture running = G().Grab();
  SleepMs(700);
  EXPECT_GT(TimeDiffers(G().Grab(), running), 0);

  // Back to the menu from a second pause.
  Pause();
  ASSERT_FALSE(HasFatalFailure());
  Back();
  ASSERT_TRUE(G().WaitFor(InMenu)) << G().Stderr();

  // The run plays again, without instruments; Esc ends it at once.
  Click(kReplay);
  ASSERT_TRUE(G().WaitFor(ReplayShown, 30000)) << G().Stderr();
  const Picture firstReplay = G().Grab();
  // Logo and times only: no instruments where the race had them.
  EXPECT_GT(firstReplay.CountDifferent(still, still.width * 85 / 100, still.height * 75 / 100, still.width,
                                       still.height, 40),
            Instruments(still) / 2);
  SleepMs(1500);
  EXPECT_TRUE(ReplayShown(G().Grab()));
  G().Key("Escape");
  ASSERT_TRUE(G().WaitFor(InMenu, 5000)) << G().Stderr();

  // A second replay starts the same run from its start.
  Click(kReplay);
  ASSERT_TRUE(G().WaitFor(ReplayShown, 30000)) << G().Stderr();
  const Picture secondReplay = G().Grab();
  EXPECT_LT(secondReplay.CountDifferent(firstReplay, 0, 0, firstReplay.width, firstReplay.height, 60),
            firstReplay.width * firstReplay.height / 20);
  G().Key("Escape");
  ASSERT_TRUE(G().WaitFor(InMenu, 5000)) << G().Stderr();
  EXPECT_EQ(ExitFromMenu(), 0);
}

TEST_F(Drive, AReplayBeforeAnyRaceEndsOnItsFirstFrame) {
  StartToMenu();
  ASSERT_FALSE(HasFatalFailure());
  Click(kReplay);
  // The track loads (the loading screen replaces the menu), then the menu is back.
  ASSERT_TRUE(G().WaitFor([](const Picture& p) { return !InMenu(p); }, 10000)) << G().Stderr();
  ASSERT_TRUE(G().WaitFor(InMenu, 30000)) << G().Stderr();
  EXPECT_TRUE(G().Running());
  EXPECT_EQ(ExitFromMenu(), 0);
}

TEST_F(Drive, TheCameraKeySwitchesOncePerPress) {
  StartToMenu();
  ASSERT_FALSE(HasFatalFailure());
  StartRace();
  ASSERT_FALSE(HasFatalFailure());
  const Picture chase = G().Grab();
  G().Key("c");
  SleepMs(500);
  const Picture trackside = G().Grab();
  const int area = chase.width * chase.height;
  EXPECT_GT(trackside.CountDifferent(chase, 0, 0, chase.width, chase.height, 40), area / 5);
  // Held for many frames it still switches only once.
  Hold("c", 1500);
  SleepMs(500);
  const Picture again = G().Grab();
  if (again.CountDifferent(chase, 0, 0, chase.width, chase.height, 40) >= area / 50) {
    const std::string dir = vrxtest::MakeTempDir("camera");
    chase.SavePng(dir + "/chase.png");
    trackside.SavePng(dir + "/trackside.png");
    again.SavePng(dir + "/again.png");
  }
  EXPECT_LT(again.CountDifferent(chase, 0, 0, chase.width, chase.height, 40), area / 50);
  G().Key("Escape");
  SleepMs(500);
  Back();
  ASSERT_TRUE(G().WaitFor(InMenu)) << G().Stderr();
  EXPECT_EQ(ExitFromMenu(), 0);
}

TEST_F(Drive, ClosingTheWindowInARaceOrWhilePausedEndsTheGameInOrder) {
  for (int paused = 0; paused < 2; ++paused) {
    SetUp();
    StartToMenu();
    ASSERT_FALSE(HasFatalFailure());
    StartRace();
    ASSERT_FALSE(HasFatalFailure());
    if (paused) {
      Pause();
      ASSERT_FALSE(HasFatalFailure());
    }
    G().RequestClose();
    EXPECT_EQ(G().WaitExit(30000), 0) << (paused ? "paused" : "racing") << "\n" << G().Stderr();
    _PLAYERCFG ini;
    EXPECT_TRUE(ReadIni(&ini)) << (paused ? "paused" : "racing");
  }
}

}  // namespace
}  // namespace e2e
