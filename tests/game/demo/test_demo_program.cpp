// The real program in demo mode, as a player or a script starts it: a copy of
// the build's bin folder, settings written by the settings program, the game
// drawn on the test's display with sound off. One lap on the shortest built
// track, booked and written to the stats file; the command line's mistakes
// and a missing DATA folder end with their messages and exit codes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "autopilot/cAutopilot.h"
#include "cGround.h"
#include "programs.h"
#include "shell/record_file.h"
#include "screen_fixture.h"
#include "test_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Result {
  int code = -1;  // exit status; 128 + signal; -1 when it had to be stopped
  std::string out, err;
};

// Starts a program of the copy with its output in dir/run.out and run.err; the pid or -1.
pid_t Start(const std::string& dir, std::vector<std::string> args) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  for (const char* x : {"SDL_AUDIODRIVER=dummy", "VRX_NO_DIALOGS=1", "LIBGL_ALWAYS_SOFTWARE=1", "GALLIUM_DRIVER=llvmpipe"})
    env.push_back(x);
  std::vector<char*> envp, argv;
  for (std::string& s : env) envp.push_back(&s[0]);
  envp.push_back(nullptr);
  for (std::string& s : args) argv.push_back(&s[0]);
  argv.push_back(nullptr);
  const std::string out = dir + "/run.out", err = dir + "/run.err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Waits for a started program, stopping it after timeoutS.
Result Wait(const std::string& dir, pid_t pid, int timeoutS) {
  Result r;
  if (pid <= 0) return r;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutS);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      r.err = vrxtest::ReadFile(dir + "/run.err");
      return r;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = vrxtest::ReadFile(dir + "/run.out");
  r.err = vrxtest::ReadFile(dir + "/run.err");
  return r;
}

Result RunProgram(const std::string& dir, std::vector<std::string> args, int timeoutS) {
  return Wait(dir, Start(dir, std::move(args)), timeoutS);
}

// The number after `key` on its line of the stats text; -1 when missing.
double Figure(const std::string& text, const std::string& key) {
  const size_t at = text.find("\n" + key + " ");
  if (at == std::string::npos) return -1;
  return std::strtod(text.c_str() + at + key.size() + 2, nullptr);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

// The line of stderr that starts with "vrx: " and is not about sound.
std::string Said(const std::string& err) {
  for (const std::string& l : Lines(err))
    if (l.rfind("vrx: ", 0) == 0 && l.find("audio") == std::string::npos) return l;
  return "";
}

class DemoProgram : public ::testing::Test {
 protected:
  // One copy of bin for the program, with 800 x 600 settings.
  static void SetUpTestSuite() {
    if (!fs::exists(std::string(VRX_BIN_DIR) + "/vrx") || !fs::exists(std::string(VRX_BIN_DIR) + "/DATA/Tracks.txt"))
      return;
    // The game draws only while its window is the active one: a display of
    // its own keeps other tests' windows from taking the focus mid-lap.
    static vrxtest::VirtualDisplay display;
    if (display.Start()) setenv("DISPLAY", display.Name().c_str(), 1);
    dir = vrxtest::MakeTempDir("demo_program");
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(VRX_BIN_DIR)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("bench_", 0) == 0 || name == "vrx.cfg" || name == "vrx.ini") continue;
      fs::copy(e.path(), dir + "/" + name, fs::copy_options::recursive, ec);
    }
    const Result cfg = RunProgram(dir, {dir + "/vrx-config", "--width", "800", "--height", "600", "--depth", "32", "--view",
                                 "5", "--file", dir + "/vrx.cfg"},
                           60);
    ready = cfg.code == 0;
  }

  void SetUp() override {
    if (dir.empty()) GTEST_SKIP() << "no vrx or no DATA beside it (build vrx and the game-data target)";
    ASSERT_TRUE(ready) << "vrx-config could not write the settings";
  }

  static inline std::string dir;
  static inline bool ready = false;
};

// "a, b, c": the last parts of a list's entries.
std::string Names(const std::string& dir, const char* list) {
  std::string out;
  for (std::string entry : Lines(vrxtest::ReadFile(dir + "/DATA/" + list))) {
    while (!entry.empty() && (entry.back() == '\r' || entry.back() == ' ')) entry.pop_back();
    if (!entry.empty()) out += (out.empty() ? "" : ", ") + entry.substr(entry.rfind('\\') + 1);
  }
  return out;
}

// The built track with the shortest lap, by the autopilot's own measure.
std::string ShortestTrack(const std::string& dir) {
  vrxtest::ScreenFixture screen;
  if (!screen.Open(320, 240)) return "";
  const fs::path previous = fs::current_path();
  fs::current_path(dir);
  std::string best;
  float shortest = 1e30f;
  std::ifstream list("DATA/Tracks.txt");
  std::string entry;
  while (std::getline(list, entry)) {
    while (!entry.empty() && (entry.back() == '\r' || entry.back() == ' ')) entry.pop_back();
    if (entry.empty()) continue;
    cGround ground(entry.c_str(), &screen.Screen(), nullptr);
    cAutopilot pilot(&ground);
    if (pilot.IsReady() && pilot.GetLapLength() < shortest) {
      shortest = pilot.GetLapLength();
      best = entry.substr(entry.rfind('\\') + 1);
    }
  }
  fs::current_path(previous);
  return best;
}

TEST_F(DemoProgram, DrivesOneLapOfTheShortestTrackAndWritesItsFigures) {
  const std::string track = ShortestTrack(dir);
  ASSERT_FALSE(track.empty());
  const std::string best = dir + "/DATA/TRACKS/" + track + "/BestTime.dat";
  const std::string bestBefore = vrxtest::ReadFile(best);
  fs::remove(dir + "/stats.txt");

  // Run from another folder: the program finds its files itself.
  const Result r = RunProgram(vrxtest::MakeTempDir("demo_program_cwd"),
                       {dir + "/vrx", "--demo", "--track", track, "--car", "hatchrally", "--laps", "1", "--stats",
                        dir + "/stats.txt"},
                       240);
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string stats = vrxtest::ReadFile(dir + "/stats.txt");
  ASSERT_FALSE(stats.empty()) << r.err;
  EXPECT_EQ(stats.rfind("track " + track + "\ncar HatchRally\n", 0), 0u) << stats;
  EXPECT_EQ(Figure(stats, "laps"), 1.0) << stats;
  // The lap as the race booked it: "lap 1 mm:ss:hh seconds s".
  const size_t lap = stats.find("\nlap 1 ");
  ASSERT_NE(lap, std::string::npos) << stats;
  const double seconds = std::strtod(stats.c_str() + lap + 16, nullptr);
  EXPECT_GT(seconds, 20.0) << stats;
  EXPECT_LT(seconds, 150.0) << stats;
  const double frames = Figure(stats, "frames drawn");
  EXPECT_GT(frames, 200.0) << stats;
  const double median = Figure(stats, "frame time median"), p99 = Figure(stats, "frame time 99th percentile"),
               worst = Figure(stats, "frame time worst");
  EXPECT_GT(median, 0.0);
  EXPECT_LE(median, p99);
  EXPECT_LE(p99, worst);
  EXPECT_GT(Figure(stats, "load time"), 0.0);
  EXPECT_GT(Figure(stats, "peak resident memory"), 10.0);
  EXPECT_GE(Figure(stats, "heap allocations per race frame"), 0.0);
  // A machine's lap is no player's record.
  EXPECT_EQ(vrxtest::ReadFile(best), bestBefore);
  std::printf("demo: %s\n", stats.c_str());
}

TEST_F(DemoProgram, CommandLineMistakesEndWithTheirExitCodes) {
  const Result help = RunProgram(dir, {dir + "/vrx", "--help"}, 30);
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("usage: vrx"), std::string::npos);
  const Result version = RunProgram(dir, {dir + "/vrx", "--version"}, 30);
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out, "vrx v0.7.5.0\n");

  const Result zero = RunProgram(dir, {dir + "/vrx", "--demo", "--laps", "0"}, 30);
  EXPECT_EQ(zero.code, 2);
  EXPECT_EQ(Said(zero.err), "vrx: --laps needs a whole number from 1, not 0");
  const Result unknown = RunProgram(dir, {dir + "/vrx", "--fullscreen"}, 30);
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.err.find("usage: vrx"), std::string::npos);

  const Result track = RunProgram(dir, {dir + "/vrx", "--demo", "--track", "Moonbase"}, 60);
  EXPECT_EQ(track.code, 2);
  EXPECT_EQ(Said(track.err), "vrx: no track 'Moonbase'; the tracks are: " + Names(dir, "Tracks.txt"));
  const Result car = RunProgram(dir, {dir + "/vrx", "--demo", "--car", "Hatch2"}, 60);
  EXPECT_EQ(car.code, 2);
  EXPECT_EQ(Said(car.err), "vrx: no car 'Hatch2'; the cars are: " + Names(dir, "Cars.txt"));
}

// Waits up to 20 s for the game's window to appear; true once it has.
bool GameWindowOpens() {
  for (int i = 0; i < 200; ++i) {
    if (system("xdotool search --name '^VRX$' >/dev/null 2>&1") == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

TEST_F(DemoProgram, EscEndsADemoWithoutLapsInOrder) {
  if (system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
  fs::remove(dir + "/stats.txt");
  const pid_t pid = Start(dir, {dir + "/vrx", "--demo", "--track", "hillcrest", "--stats", dir + "/stats.txt"});
  ASSERT_GT(pid, 0);
  // The track loads and the race runs a few seconds, then Esc goes to the game's window.
  EXPECT_TRUE(GameWindowOpens());
  std::this_thread::sleep_for(std::chrono::seconds(15 * vrxtest::kSlowdown));
  const int sent = system(
      "xdotool search --name '^VRX$' windowfocus --sync >/dev/null 2>&1; xdotool keydown Escape; sleep 0.3; "
      "xdotool keyup Escape");
  EXPECT_EQ(sent, 0);
  const Result r = Wait(dir, pid, 60);
  EXPECT_EQ(r.code, 0) << r.err;
  const std::string stats = vrxtest::ReadFile(dir + "/stats.txt");
  EXPECT_EQ(Figure(stats, "laps"), 0.0) << stats;
  EXPECT_GT(Figure(stats, "frames drawn"), 20.0) << stats;
}

// The seconds of lap n (from 1) in "lap N mm:ss:hh seconds s" lines; -1 when missing.
double LapSeconds(const std::string& text, int n) {
  const std::string key = "\nlap " + std::to_string(n) + " ", padded = "\n" + text;
  const size_t at = padded.find(key);
  if (at == std::string::npos) return -1;
  return std::strtod(padded.c_str() + at + key.size() + 9, nullptr);
}

TEST_F(DemoProgram, ASavedRunPlaysBackInTheProgramToTheSameLap) {
  const std::string track = ShortestTrack(dir);
  ASSERT_FALSE(track.empty());
  const std::string run = dir + "/run.vrxreplay";
  fs::remove(run);
  const Result demo = RunProgram(dir, {dir + "/vrx", "--demo", "--track", track, "--car", "hatchrally", "--laps", "1",
                                       "--stats", dir + "/stats.txt", "--save-replay", run},
                                 240);
  ASSERT_EQ(demo.code, 0) << demo.err;
  const std::string stats = vrxtest::ReadFile(dir + "/stats.txt");
  const double raced = LapSeconds(stats, 1);
  ASSERT_GT(raced, 10.0);
  // Each run books the lap on the frame that reaches the gate, so the two
  // agree to within a frame, and a sanitized build's frames are long.
  const double frame = Figure(stats, "frame time worst") / 1000.0;
  ASSERT_GT(frame, 0.0) << stats;

  // Played from another folder, it ends by itself and books the same lap.
  const Result replay = RunProgram(vrxtest::MakeTempDir("saved_replay_cwd"), {dir + "/vrx", "--replay", run}, 240);
  ASSERT_EQ(replay.code, 0) << replay.err;
  const double replayed = LapSeconds(replay.out, 1);
  EXPECT_NEAR(replayed, raced, std::max(0.1, frame)) << replay.out;
  EXPECT_EQ(LapSeconds(replay.out, 2), -1.0) << replay.out;
  std::printf("raced %.3f s, replayed %.3f s\n", raced, replayed);

  // Damaged or missing: one line, no window, exit status 1.
  std::string bytes = vrxtest::ReadFile(run);
  bytes[bytes.size() / 2] ^= 0x01;
  const std::string bad = dir + "/bad.vrxreplay";
  vrxtest::WriteFile(bad, bytes.data(), bytes.size());
  const Result damaged = RunProgram(dir, {dir + "/vrx", "--replay", bad}, 30);
  EXPECT_EQ(damaged.code, 1);
  EXPECT_EQ(damaged.err, "vrx: cannot play " + bad + ": checksum mismatch\n");
  const Result missing = RunProgram(dir, {dir + "/vrx", "--replay", dir + "/none.vrxreplay"}, 30);
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(missing.err, "vrx: cannot play " + dir + "/none.vrxreplay: No such file or directory\n");

  // Paused with Space, ended with Esc: no lap, exit status 0.
  if (system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
  const pid_t pid = Start(dir, {dir + "/vrx", "--replay", run});
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(GameWindowOpens());
  std::this_thread::sleep_for(std::chrono::seconds(6));
  const int sent = system(
      "xdotool search --name '^VRX$' windowfocus --sync >/dev/null 2>&1; xdotool keydown space; sleep 0.3; "
      "xdotool keyup space; sleep 1; xdotool keydown Escape; sleep 0.3; xdotool keyup Escape");
  EXPECT_EQ(sent, 0);
  const Result esc = Wait(dir, pid, 30);
  EXPECT_EQ(esc.code, 0) << esc.err;
  EXPECT_EQ(esc.out.find("lap "), std::string::npos) << esc.out;
}

TEST_F(DemoProgram, MissingGameDataEndsTheStart) {
  // The programs and settings without their DATA folder.
  const std::string bare = vrxtest::MakeTempDir("demo_program_bare");
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(dir))
    if (e.path().filename() != "DATA") fs::copy(e.path(), bare + "/" + e.path().filename().string(), ec);
  const Result r = RunProgram(bare, {bare + "/vrx", "--demo", "--laps", "1"}, 60);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("Cars.txt"), std::string::npos) << r.err;
}

// A race that counts, driven by the autopilot through the normal race path:
// its lap becomes the track's best time and the ghost beside it, and the
// next race has that ghost standing at the start line.
TEST_F(DemoProgram, ACountedLapLeavesTheBestTimeAndAGhostThatTheNextRaceShows) {
  const std::string track = ShortestTrack(dir);
  ASSERT_FALSE(track.empty());
  const std::string folder = dir + "/DATA/TRACKS/" + track;
  fs::remove(folder + "/BestTime.dat");
  fs::remove(folder + "/BestLap.vrxghost");
  const Result first = RunProgram(dir, {dir + "/vrx", "--demo", "--count-laps", "--track", track, "--car", "hatchrally",
                                        "--laps", "1", "--stats", dir + "/first.txt"},
                                  300);
  ASSERT_EQ(first.code, 0) << first.err;
  const std::string stats = vrxtest::ReadFile(dir + "/first.txt");
  EXPECT_NE(stats.find("\nghost none\n"), std::string::npos) << stats;
  const size_t lap = stats.find("\nlap 1 ");
  ASSERT_NE(lap, std::string::npos) << stats;
  const uint32_t booked = (uint32_t)std::lround(std::strtod(stats.c_str() + lap + 16, nullptr) * 1000);

  const std::string best = vrxtest::ReadFile(folder + "/BestTime.dat");
  ASSERT_EQ(best.size(), 4u);
  uint32_t bestTime = 0;
  memcpy(&bestTime, best.data(), 4);
  EXPECT_EQ(bestTime, booked);
  vrx::Recording ghost;
  ASSERT_EQ(vrx::ReadRecordFile((folder + "/BestLap.vrxghost").c_str(), vrx::RecordKind::kGhost, &ghost),
            vrx::RecordRead::kOk);
  EXPECT_EQ(ghost.time, bestTime);
  EXPECT_STREQ(ghost.car, "DATA\\CARS\\HatchRally\\HatchRally");
  EXPECT_EQ(std::string(ghost.track), "DATA\\TRACKS\\" + track + "\\" + track);
  // Samples every 100 ms or so over the whole lap.
  EXPECT_GE(ghost.states.size(), bestTime / 400);
  EXPECT_GE(ghost.stateStamps.back(), ghost.lapStart + bestTime - 200);

  const Result second = RunProgram(dir, {dir + "/vrx", "--demo", "--track", track, "--car", "hatch", "--laps", "1",
                                         "--stats", dir + "/second.txt"},
                                   300);
  ASSERT_EQ(second.code, 0) << second.err;
  const std::string again = vrxtest::ReadFile(dir + "/second.txt");
  EXPECT_NE(again.find("\nghost lap "), std::string::npos) << again;
  // Where its lap began: in the start gate, a few metres ahead of the car.
  const double apart = Figure(again, "ghost start distance");
  EXPECT_GE(apart, 0.0) << again;
  EXPECT_LT(apart, 30.0) << again;
  // A demo lap without --count-laps leaves both files as they were.
  EXPECT_EQ(vrxtest::ReadFile(folder + "/BestTime.dat"), best);
  vrx::Recording kept;
  ASSERT_EQ(vrx::ReadRecordFile((folder + "/BestLap.vrxghost").c_str(), vrx::RecordKind::kGhost, &kept),
            vrx::RecordRead::kOk);
  EXPECT_EQ(kept.time, ghost.time);
  fs::remove(folder + "/BestTime.dat");
  fs::remove(folder + "/BestLap.vrxghost");
}

}  // namespace
