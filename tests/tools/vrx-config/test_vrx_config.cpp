// The settings program from the command line, as scripts and packages use
// it: the 36-byte file it writes (with the adapter identifier the game
// compares with), the desktop's mode for --defaults, and bad arguments that
// give the usage line and exit code 2 without touching any file.
#include <gtest/gtest.h>
#include <SDL.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d9.h"
#include "test_support.h"

extern char** environ;

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs bin/vrx-config with the arguments, collecting its output.
Outcome Config(const std::vector<std::string>& args, const std::string& dir) {
  const std::string out = dir + "/out.txt", err = dir + "/err.txt";
  std::vector<std::string> all = {VRX_BIN_DIR "/vrx-config"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  Outcome r;
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int st = 0;
    waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  r.out = vrxtest::ReadFile(out);
  r.err = vrxtest::ReadFile(err);
  return r;
}

uint32_t U32(const std::string& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

std::string AdapterBytes() {
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!d3d) return "";
  D3DADAPTER_IDENTIFIER9 id;
  std::memset(&id, 0, sizeof id);
  d3d->GetAdapterIdentifier(0, 0, &id);
  d3d->Release();
  return std::string(reinterpret_cast<const char*>(&id.DeviceIdentifier), 16);
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

TEST(VrxConfig, WritesTheSettingsTheGameReads) {
  const std::string dir = vrxtest::MakeTempDir("vrx_config_write");
  const std::string cfg = dir + "/vrx.cfg";
  Outcome r = Config({"--width", "800", "--height", "600", "--depth", "32", "--view", "5", "--file", cfg}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  std::string b = vrxtest::ReadFile(cfg);
  ASSERT_EQ(b.size(), 36u);
  EXPECT_EQ(U32(b, 0), 800u);
  EXPECT_EQ(U32(b, 4), 600u);
  EXPECT_NE(U32(b, 8), 0u);  // 32-bit colour
  EXPECT_EQ(U32(b, 12), 0u);
  const std::string adapter = AdapterBytes();
  ASSERT_EQ(adapter.size(), 16u);
  EXPECT_EQ(b.substr(16, 16), adapter);
  EXPECT_EQ(U32(b, 32), 5u);
  EXPECT_FALSE(Exists(cfg + ".tmp"));

  // 16-bit colour, another view distance: the file is replaced whole.
  r = Config({"--width", "1024", "--height", "768", "--depth", "16", "--view", "10", "--file", cfg}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  b = vrxtest::ReadFile(cfg);
  ASSERT_EQ(b.size(), 36u);
  EXPECT_EQ(U32(b, 0), 1024u);
  EXPECT_EQ(U32(b, 8), 0u);
  EXPECT_EQ(U32(b, 32), 10u);
}

TEST(VrxConfig, TheControllerSwitchIsBitOneOfTheReservedWord) {
  const std::string dir = vrxtest::MakeTempDir("vrx_config_controller");
  const std::string cfg = dir + "/vrx.cfg";
  Outcome r = Config({"--width", "800", "--height", "600", "--controller", "--file", cfg}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("game controller"), std::string::npos) << r.out;
  std::string b = vrxtest::ReadFile(cfg);
  ASSERT_EQ(b.size(), 36u);
  EXPECT_EQ(U32(b, 12), 2u);  // only bit 1: the other switches keep the game's old behaviour
  EXPECT_EQ(U32(b, 0), 800u);
  EXPECT_EQ(U32(b, 32), 5u);

  // The command line writes the whole file: without the flag the switch is off.
  r = Config({"--defaults", "--file", cfg}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  b = vrxtest::ReadFile(cfg);
  ASSERT_EQ(b.size(), 36u);
  EXPECT_EQ(U32(b, 12), 0u);
  EXPECT_EQ(r.out.find("game controller"), std::string::npos) << r.out;

  // The switch alone is no screen mode.
  r = Config({"--controller", "--file", cfg}, dir);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("usage: vrx-config"), std::string::npos) << r.err;
}

TEST(VrxConfig, DefaultsAreTheDesktopsMode) {
  const std::string dir = vrxtest::MakeTempDir("vrx_config_defaults");
  const std::string cfg = dir + "/vrx.cfg";
  const Outcome r = Config({"--defaults", "--file", cfg}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
  SDL_DisplayMode desktop;
  ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
  const std::string b = vrxtest::ReadFile(cfg);
  ASSERT_EQ(b.size(), 36u);
  EXPECT_EQ(U32(b, 0), uint32_t(desktop.w));
  EXPECT_EQ(U32(b, 4), uint32_t(desktop.h));
  EXPECT_NE(U32(b, 8), 0u);
  EXPECT_EQ(U32(b, 32), 5u);
  EXPECT_EQ(b.substr(16, 16), AdapterBytes());
}

TEST(VrxConfig, BadArgumentsGiveTheUsageAndLeaveFilesAlone) {
  const std::string dir = vrxtest::MakeTempDir("vrx_config_bad");
  const std::string cfg = dir + "/vrx.cfg";
  const std::string before = "an existing settings file";
  ASSERT_TRUE(vrxtest::WriteTextFile(cfg, before));
  const std::vector<std::vector<std::string>> bad = {
      {"--width", "800"},                                   // no height
      {"--width", "800", "--height"},                      // a value missing
      {"--width", "800x", "--height", "600"},              // not a number
      {"--width", "100", "--height", "600"},               // too small
      {"--width", "800", "--height", "600", "--depth", "24"},
      {"--width", "800", "--height", "600", "--view", "0"},
      {"--width", "800", "--height", "600", "--view", "11"},
      {"--view", "5"},                                      // no size, no --defaults
      {"--fullscreen", "--windowed"},
      {"--full-screen"},
  };
  for (std::vector<std::string> args : bad) {
    args.push_back("--file");
    args.push_back(cfg);
    const Outcome r = Config(args, dir);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_NE(r.err.find("usage: vrx-config"), std::string::npos) << r.err;
    EXPECT_EQ(vrxtest::ReadFile(cfg), before);
    EXPECT_FALSE(Exists(cfg + ".tmp"));
  }
}

// Bit 0 of the reserved word is the window mode; the word's other bits
// belong to other settings and survive every rewrite.
TEST(VrxConfig, WindowedAndFullScreenSwitchBitZeroAndKeepTheRest) {
  const std::string dir = vrxtest::MakeTempDir("vrx_config_windowed");
  const std::string cfg = dir + "/vrx.cfg";
  // Alone, either switch needs settings to change.
  Outcome r = Config({"--windowed", "--file", cfg}, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no settings in " + cfg), std::string::npos) << r.err;
  EXPECT_FALSE(Exists(cfg));

  r = Config({"--width", "800", "--height", "600", "--windowed", "--file", cfg}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("window"), std::string::npos) << r.out;
  std::string b = vrxtest::ReadFile(cfg);
  ASSERT_EQ(b.size(), 36u);
  EXPECT_EQ(U32(b, 12), 1u);

  // Another setting's bits in the word, then full screen: only bit 0 goes.
  const uint32_t others = 0xA5A5A5A4u;
  const uint32_t withWindow = others | 1u;
  b.replace(12, 4, reinterpret_cast<const char*>(&withWindow), 4);
  vrxtest::WriteFile(cfg, b.data(), b.size());
  r = Config({"--fullscreen", "--file", cfg}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("full screen"), std::string::npos) << r.out;
  b = vrxtest::ReadFile(cfg);
  EXPECT_EQ(U32(b, 12), others);
  EXPECT_EQ(U32(b, 0), 800u);  // the rest as it was
  EXPECT_EQ(U32(b, 4), 600u);
  EXPECT_EQ(U32(b, 32), 5u);

  // A new size without either switch keeps the mode and the other bits.
  r = Config({"--windowed", "--file", cfg}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  r = Config({"--width", "1024", "--height", "768", "--view", "3", "--file", cfg}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  b = vrxtest::ReadFile(cfg);
  EXPECT_EQ(U32(b, 12), withWindow);
  EXPECT_EQ(U32(b, 0), 1024u);
  EXPECT_EQ(U32(b, 32), 3u);
  EXPECT_EQ(b.substr(16, 16), AdapterBytes());
}

TEST(VrxConfig, AFileThatCannotBeWrittenFailsWithoutTrace) {
  const std::string dir = vrxtest::MakeTempDir("vrx_config_unwritable");
  const Outcome r = Config({"--defaults", "--file", dir + "/no/such/folder/vrx.cfg"}, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("vrx-config: cannot write"), std::string::npos) << r.err;
  EXPECT_FALSE(Exists(dir + "/no"));
}

}  // namespace
