// The window mode the settings ask for, and the names screenshots get.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "shell/window_mode.h"
#include "test_support.h"

namespace {

TEST(WindowMode, OnlyBitZeroOfTheReservedWordAsksForAWindow) {
  _SCREENCFG cfg{};
  cfg.Colour32 = 1;
  EXPECT_EQ(WantsWindow(cfg), 0);
  EXPECT_EQ(ScreenModeFlags(cfg), 7u);  // full screen, 32-bit, depth buffer
  cfg.Colour32 = 0;
  EXPECT_EQ(ScreenModeFlags(cfg), 6u);
  cfg.Reserved = 0xFFFFFFFEu;  // every other bit: still full screen
  EXPECT_EQ(WantsWindow(cfg), 0);
  EXPECT_EQ(ScreenModeFlags(cfg), 6u);
  // A window: no full-screen bit, and bit 0 is then the depth buffer,
  // whatever the colour depth.
  cfg.Reserved = kScreenCfgWindowed;
  EXPECT_EQ(WantsWindow(cfg), 1);
  EXPECT_EQ(ScreenModeFlags(cfg), 1u);
  cfg.Colour32 = 1;
  EXPECT_EQ(ScreenModeFlags(cfg), 1u);
}

TEST(Screenshots, EachGetsANewFileNamedByItsTime) {
  const std::string dir = vrxtest::MakeTempDir("screenshot_names") + "/Pictures/vrx";  // made on the way
  setenv("TZ", "UTC", 1);
  tzset();
  const std::time_t when = 1765197296;  // 2025-12-08 12:34:56 UTC
  const std::string first = ReserveScreenshotFile(dir, when);
  EXPECT_EQ(first, dir + "/vrx-20251208-123456.png");
  struct stat st;
  ASSERT_EQ(stat(first.c_str(), &st), 0);  // claimed at once
  // Within the same second nothing is overwritten.
  EXPECT_EQ(ReserveScreenshotFile(dir, when), dir + "/vrx-20251208-123456-2.png");
  EXPECT_EQ(ReserveScreenshotFile(dir, when), dir + "/vrx-20251208-123456-3.png");
  EXPECT_EQ(ReserveScreenshotFile(dir, when + 1), dir + "/vrx-20251208-123457.png");
}

TEST(Screenshots, AFolderThatCannotBeWrittenIsSaidOnce) {
  const std::string base = vrxtest::MakeTempDir("screenshot_refused");
  vrxtest::WriteTextFile(base + "/file", "not a folder");
  testing::internal::CaptureStderr();
  EXPECT_EQ(ReserveScreenshotFile(base + "/file/vrx", std::time(nullptr)), "");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("vrx: cannot save a screenshot in " + base + "/file/vrx"), std::string::npos) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
}

}  // namespace
