// The fixture of the end-to-end tests: one private display and one copy of
// the bin folder per test program, a fresh vrx.cfg and no vrx.ini before each
// test, and the places of the menu's controls.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/program.h"
#include "vrx_session.h"

namespace e2e {

struct Control {
  bool field;
  float x, y, sx, sy;
};
// Main page.
constexpr Control kStart{false, 0.02f, 0.03f, 0.85f, 0.7f};
constexpr Control kReplay{false, 0.02f, 0.18f, 0.77f, 0.7f};
constexpr Control kOptions{false, 0.02f, 0.33f, 0.74f, 0.7f};
constexpr Control kExit{false, 0.02f, 0.48f, 0.72f, 0.7f};
constexpr Control kMusic{false, 0.02f, 0.8f, 0.79f, 0.4f};
constexpr Control kPrevTrack{false, 0.3f, 0.4f, 1.1f, 0.5f};
constexpr Control kNextTrack{false, 0.7f, 0.4f, 1.1f, 0.5f};
constexpr Control kPrevCar{false, 0.3f, 0.85f, 1.1f, 0.5f};
constexpr Control kNextCar{false, 0.7f, 0.85f, 1.1f, 0.5f};
constexpr Control kAutomatic{false, 0.47f, 0.715f, 0.4f, 0.5f};
constexpr Control kDamage{false, 0.47f, 0.765f, 0.4f, 0.5f};
// Options page.
constexpr Control kAccept{false, 0.02f, 0.03f, 0.85f, 0.7f};
constexpr Control kCancel{false, 0.02f, 0.18f, 0.77f, 0.7f};
constexpr Control KeyField(int i) { return Control{true, 0.6f, 0.1f + 0.05f * i, 0.1f, 0.2f}; }
constexpr Control kReflections{false, 0.6f, 0.6f, 0.4f, 0.4f};
constexpr Control kWBuffer{false, 0.6f, 0.65f, 0.4f, 0.4f};
// Name screen.
constexpr Control kName{true, 0.3f, 0.4f, 0.39f, 0.4f};

class GameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    x_ = new XServer;
    ASSERT_TRUE(x_->Start()) << "no virtual X server";
    bin_ = CopyBin(std::string(::testing::UnitTest::GetInstance()->current_test_suite()->name()) + "-bin");
  }
  static void TearDownTestSuite() {
    delete x_;
    x_ = nullptr;
  }
  void SetUp() override {
    std::error_code ec;
    fs::remove(bin_ + "/vrx.ini", ec);
    fs::remove(bin_ + "/vrx.cfg", ec);
    game_.reset(new Game(x_, bin_));
  }
  void TearDown() override { game_.reset(); }

  Game& G() { return *game_; }
  const std::string& Bin() const { return bin_; }
  XServer* X() { return x_; }

  void Click(const Control& c, int holdMs = 250) {
    const Place p = Centre(bin_, c.field, c.x, c.y, c.sx, c.sy);
    game_->Click(p.x, p.y, holdMs);
  }
  void Hover(const Control& c) {
    const Place p = Centre(bin_, c.field, c.x, c.y, c.sx, c.sy);
    game_->MoveTo(p.x, p.y);
  }

  // The name screen: black all round the field (but for the pointer), the
  // field itself drawn.
  static bool NameScreenShown(const Picture& p) {
    return p.CountBright(0, 0, p.width / 5, p.height, 40) < (p.width / 5) * p.height / 100 &&
           p.CountBright(int(p.width * 0.3), int(p.height * 0.4), int(p.width * 0.69), int(p.height * 0.47), 100) > 200;
  }
  // The menu: its background fills the left column.
  static bool MenuShown(const Picture& p) {
    return p.CountBright(0, int(p.height * 0.6), p.width / 5, int(p.height * 0.75), 40) >
           (p.width / 5) * int(p.height * 0.15) / 2;
  }

  // Starts the game at the given size and waits for the name screen.
  void StartToNameScreen(int width = 800, int height = 600, const std::vector<std::string>& env = {}) {
    ASSERT_TRUE(WriteConfig(x_, bin_, width, height));
    ASSERT_TRUE(game_->Start(env));
    ASSERT_NE(game_->FindWindow(), 0u) << game_->Stderr();
    Picture last;
    const bool shown = game_->WaitFor(NameScreenShown, 15000, &last);
    if (!shown) last.SavePng(game_->Dir() + "/no-name-screen.png");
    ASSERT_TRUE(shown) << "window " << last.width << " x " << last.height << "\n" << game_->Stderr();
  }
  // ... and on into the menu.
  void StartToMenu(int width = 800, int height = 600, const std::vector<std::string>& env = {}) {
    StartToNameScreen(width, height, env);
    if (HasFatalFailure()) return;
    // Held for a second: the name screen's first frames can be slow on a
    // busy machine, and a press that begins and ends between two of them is
    // never seen.
    Click(kName, 1000);
    ASSERT_TRUE(game_->WaitFor(MenuShown)) << game_->Stderr();
    SleepMs(300);
  }
  // Leaves through the exit button; the exit code.
  int ExitFromMenu() {
    Click(kExit);
    return game_->WaitExit(30000);
  }

  // vrx.ini as written; false unless it holds exactly 48 bytes.
  bool ReadIni(_PLAYERCFG* p) {
    const std::string d = vrxtest::ReadFile(bin_ + "/vrx.ini");
    if (d.size() != sizeof *p) return false;
    memcpy(p, d.data(), sizeof *p);
    return true;
  }

  static XServer* x_;
  static std::string bin_;
  std::unique_ptr<Game> game_;
};

inline XServer* GameTest::x_ = nullptr;
inline std::string GameTest::bin_;

}  // namespace e2e
