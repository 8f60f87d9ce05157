// The menu driven with the mouse and keyboard as a player drives it; what it
// changed is read back from the vrx.ini it writes on the way out.
#include <cmath>

#include "game_fixture.h"

namespace e2e {
namespace {

class Menu : public GameTest {};

TEST_F(Menu, CarsAndTracksStepWithinTheirLists) {
  StartToMenu();
  ASSERT_FALSE(HasFatalFailure());
  for (int i = 0; i < 4; ++i) Click(kNextCar);  // three cars: stops at the last
  Click(kPrevCar);
  Click(kNextTrack);
  for (int i = 0; i < 3; ++i) Click(kPrevTrack);  // stops at the first
  Click(kNextTrack);
  Click(kNextTrack);
  EXPECT_EQ(ExitFromMenu(), 0) << G().Stderr();
  _PLAYERCFG p;
  ASSERT_TRUE(ReadIni(&p));
  EXPECT_EQ(p.CarIndex, 1);
  EXPECT_EQ(p.TrackIndex, 2);
}

TEST_F(Menu, OneEntryListsDoNotStep) {
  const std::string cars = vrxtest::ReadFile(Bin() + "/DATA/Cars.txt");
  const std::string tracks = vrxtest::ReadFile(Bin() + "/DATA/Tracks.txt");
  vrxtest::WriteTextFile(Bin() + "/DATA/Cars.txt", cars.substr(0, cars.find('\n') + 1));
  vrxtest::WriteTextFile(Bin() + "/DATA/Tracks.txt", tracks.substr(0, tracks.find('\n')));  // no newline at its end
  StartToMenu();
  if (!HasFatalFailure()) {
    Click(kNextCar);
    Click(kNextTrack);
    Click(kPrevCar);
    EXPECT_EQ(ExitFromMenu(), 0) << G().Stderr();
  }
  vrxtest::WriteTextFile(Bin() + "/DATA/Cars.txt", cars);
  vrxtest::WriteTextFile(Bin() + "/DATA/Tracks.txt", tracks);
  _PLAYERCFG p;
  ASSERT_TRUE(ReadIni(&p));
  EXPECT_EQ(p.CarIndex, 0);
  EXPECT_EQ(p.TrackIndex, 0);
}

TEST_F(Menu, SwitchesToggleAndTheirCaptionsFollow) {
  StartToMenu();
  ASSERT_FALSE(HasFatalFailure());
  const Place a = Centre(Bin(), false, kAutomatic.x, kAutomatic.y, kAutomatic.sx, kAutomatic.sy);
  G().MoveTo(0.5f, 0.97f);
  Picture on = G().Grab();
  Click(kAutomatic);
  G().MoveTo(0.5f, 0.97f);
  Picture off = G().Grab();
  // The caption changed ("On" to "Off"); the damage switch beside it did not.
  const int x0 = int((a.x - 0.04f) * on.width), x1 = int((a.x + 0.04f) * on.width);
  const int y0 = int((a.y - 0.015f) * on.height), y1 = int((a.y + 0.015f) * on.height);
  EXPECT_GT(on.CountDifferent(off, x0, y0, x1, y1, 60), 10);
  const int dy = int(0.05f * on.height);
  EXPECT_EQ(on.CountDifferent(off, x0, y0 + dy, x1, y1 + dy, 60), 0);
  Click(kDamage);
  Click(kDamage);
  Click(kDamage);
  EXPECT_EQ(ExitFromMenu(), 0) << G().Stderr();
  _PLAYERCFG p;
  ASSERT_TRUE(ReadIni(&p));
  EXPECT_EQ(p.Automatic, 0);
  EXPECT_EQ(p.Damage, 0);
}

TEST_F(Menu, EscInTheMenuDoesNothing) {
  StartToMenu();
  ASSERT_FALSE(HasFatalFailure());
  G().Key("Escape");
  G().Key("Escape");
  SleepMs(800);
  EXPECT_TRUE(G().Running());
  EXPECT_TRUE(G().WaitFor(MenuShown, 5000));
  EXPECT_EQ(ExitFromMenu(), 0) << G().Stderr();
}

TEST_F(Menu, AKeyChangedAndCancelledIsDroppedAcceptedIsKept) {
  StartToMenu();
  ASSERT_FALSE(HasFatalFailure());
  Click(kOptions);
  Hover(KeyField(0));
  G().Key("w");
  Click(kCancel);
  Click(kOptions);
  Hover(KeyField(6));
  G().Key("q");
  Click(kAccept);
  EXPECT_EQ(ExitFromMenu(), 0) << G().Stderr();
  _PLAYERCFG p;
  ASSERT_TRUE(ReadIni(&p));
  EXPECT_EQ(p.KeyMap[0], 0xC8);
  EXPECT_EQ(p.KeyMap[6], 0x10);  // Q
  EXPECT_EQ(p.KeyMap[5], 0x2C);
}

TEST_F(Menu, WBufferTwiceAndCancelLeavesItReflectionsWaitForAccept) {
  StartToMenu();
  ASSERT_FALSE(HasFatalFailure());
  Click(kOptions);
  Click(kWBuffer);
  Click(kWBuffer);
  Click(kReflections);
  Click(kCancel);
  Click(kOptions);
  Click(kWBuffer);
  Click(kCancel);  // once and cancel: the screen's value again
  EXPECT_EQ(ExitFromMenu(), 0) << G().Stderr();
  _PLAYERCFG p;
  ASSERT_TRUE(ReadIni(&p));
  EXPECT_EQ(p.WBuffer, 1);
  EXPECT_EQ(p.Reflections, 1);

  StartToMenu();
  ASSERT_FALSE(HasFatalFailure());
  Click(kOptions);
  Click(kReflections);
  Click(kWBuffer);
  Click(kAccept);
  EXPECT_EQ(ExitFromMenu(), 0) << G().Stderr();
  ASSERT_TRUE(ReadIni(&p));
  EXPECT_EQ(p.WBuffer, 0);
  EXPECT_EQ(p.Reflections, 0);
}

// The menu music as the sound device plays it, through OpenAL Soft's wave
// writer: loudest sample written between two moments.
float Loudest(const std::string& wav, size_t from, size_t to) {
  const std::string d = vrxtest::ReadFile(wav);
  float m = 0;
  from = std::max<size_t>(from, 128) & ~size_t(3);
  for (size_t i = from; i + 4 <= std::min(to, d.size()); i += 4) {
    float v;
    memcpy(&v, d.data() + i, 4);
    if (std::isfinite(v)) m = std::max(m, std::fabs(v));
  }
  return m;
}

TEST_F(Menu, MusicOffStopsTheMenuMusicAndOnPlaysItAgain) {
  const std::string wav = Bin() + "/music.wav", conf = Bin() + "/alsoft.conf";
  vrxtest::WriteTextFile(conf, "[general]\nchannels = stereo\nsample-type = float32\nfrequency = 44100\n[wave]\nfile = " +
                                   wav + "\n");
  StartToMenu(800, 600, {"ALSOFT_DRIVERS=wave", "ALSOFT_CONF=" + conf});
  ASSERT_FALSE(HasFatalFailure());
  auto size = [&] { return size_t(fs::file_size(wav)); };
  SleepMs(1500);
  size_t a = size();
  SleepMs(1000);
  const float playing = Loudest(wav, a, size());
  Click(kMusic);
  SleepMs(500);
  a = size();
  SleepMs(1500);
  const float stopped = Loudest(wav, a, size());
  Click(kMusic);
  SleepMs(500);
  a = size();
  SleepMs(1000);
  const float again = Loudest(wav, a, size());
  EXPECT_EQ(ExitFromMenu(), 0) << G().Stderr();
  EXPECT_GT(playing, 0.01f);
  EXPECT_EQ(stopped, 0.0f);
  EXPECT_GT(again, 0.01f);
}

TEST_F(Menu, ALostDeviceIsResetAndTheMenuDrawsAsBefore) {
  StartToMenu();
  ASSERT_FALSE(HasFatalFailure());
  G().MoveTo(0.5f, 0.97f);
  SleepMs(300);
  const Picture before = G().Grab();
  // Hiding the full-screen window loses the device; showing it again lets
  // the menu reset it.
  G().Xdo({"windowunmap", std::to_string(G().Win())});
  SleepMs(800);
  EXPECT_TRUE(G().Running());
  G().Xdo({"windowmap", std::to_string(G().Win())});
  G().Xdo({"windowactivate", std::to_string(G().Win())});
  Picture after;
  // Gamma, light, projection and camera restored: the background and the
  // track panel look as before (the car keeps turning).
  const bool same = G().WaitFor(
      [&](const Picture& p) {
        return p.width == before.width && p.CountDifferent(before, 0, 0, p.width, int(p.height * 0.55), 12) < 50;
      },
      15000, &after);
  after.SavePng(G().Dir() + "/after-reset.png");
  before.SavePng(G().Dir() + "/before-reset.png");
  EXPECT_TRUE(same);
  // and the turntable turns: frames are drawn again.
  SleepMs(500);
  const Picture later = G().Grab();
  EXPECT_GT(later.CountDifferent(after, int(later.width * 0.55), int(later.height * 0.6), later.width,
                                 int(later.height * 0.85), 30),
            100);
  EXPECT_EQ(ExitFromMenu(), 0) << G().Stderr();
}

TEST_F(Menu, TheBestTimeOfTheSelectedTrackIsShown) {
  const std::string tracks = vrxtest::ReadFile(Bin() + "/DATA/Tracks.txt");
  std::string first = tracks.substr(0, tracks.find('\n'));
  for (char& c : first)
    if (c == '\\') c = '/';
  const std::string timeFile = Bin() + "/" + first.substr(0, first.rfind('/')) + "/BestTime.dat";
  fs::remove(timeFile);
  StartToMenu();
  ASSERT_FALSE(HasFatalFailure());
  G().MoveTo(0.5f, 0.97f);
  const Picture none = G().Grab();
  EXPECT_EQ(ExitFromMenu(), 0);
  const uint32_t best = 83456;
  vrxtest::WriteFile(timeFile, &best, sizeof best);
  StartToMenu();
  ASSERT_FALSE(HasFatalFailure());
  G().MoveTo(0.5f, 0.97f);
  const Picture timed = G().Grab();
  timed.SavePng(G().Dir() + "/best-time.png");
  EXPECT_EQ(ExitFromMenu(), 0);
  fs::remove(timeFile);
  // Only the time's line differs ("--:--:--" against "01:23:45").
  const int w = none.width, h = none.height;
  EXPECT_GT(none.CountDifferent(timed, int(w * 0.34), int(h * 0.14), int(w * 0.6), int(h * 0.2), 60), 50);
  EXPECT_EQ(none.CountDifferent(timed, 0, 0, int(w * 0.25), h, 20), 0);
}

}  // namespace
}  // namespace e2e
