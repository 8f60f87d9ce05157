// The demo's command line, its choice of track and car by name, and the
// figures it writes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "test_support.h"

namespace {

struct Args {
  std::vector<std::string> text;
  std::vector<char*> argv;
  explicit Args(std::initializer_list<const char*> a) {
    text.push_back("vrx");
    for (const char* s : a) text.push_back(s);
    for (std::string& s : text) argv.push_back(&s[0]);
  }
  int Parse(DemoOptions* o, std::string* out = nullptr, std::string* err = nullptr) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int r = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), o);
    const std::string so = testing::internal::GetCapturedStdout(), se = testing::internal::GetCapturedStderr();
    if (out) *out = so;
    if (err) *err = se;
    return r;
  }
};

TEST(DemoCommandLine, ReadsTheDemoAndItsChoices) {
  DemoOptions o;
  Args none({});
  EXPECT_EQ(none.Parse(&o), kRunProgram);
  EXPECT_FALSE(o.demo);

  Args all({"--demo", "--track", "riverside", "--car", "HATCH", "--laps", "3", "--frames", "40", "--stats", "out.txt"});
  std::string out, err;
  EXPECT_EQ(all.Parse(&o, &out, &err), kRunProgram);
  EXPECT_TRUE(o.demo);
  EXPECT_STREQ(o.track, "riverside");
  EXPECT_STREQ(o.car, "HATCH");
  EXPECT_EQ(o.laps, 3);
  EXPECT_EQ(o.frames, 40);
  EXPECT_STREQ(o.stats, "out.txt");
  EXPECT_EQ(out + err, "");

  Args saved({"--replay", "run.vrxreplay"});
  EXPECT_EQ(saved.Parse(&o), kRunProgram);
  EXPECT_FALSE(o.demo);
  EXPECT_STREQ(o.replay, "run.vrxreplay");
  Args kept({"--demo", "--save-replay", "run.vrxreplay"});
  EXPECT_EQ(kept.Parse(&o), kRunProgram);
  EXPECT_STREQ(o.saveReplay, "run.vrxreplay");

  Args plain({"--demo"});
  EXPECT_EQ(plain.Parse(&o), kRunProgram);
  EXPECT_TRUE(o.demo);
  EXPECT_FALSE(o.countLaps);
  Args counted({"--count-laps", "--demo"});
  EXPECT_EQ(counted.Parse(&o), kRunProgram);
  EXPECT_TRUE(o.countLaps);
  EXPECT_EQ(o.track, nullptr);
  EXPECT_EQ(o.laps, 0);
}

TEST(DemoCommandLine, HelpAndVersionPrintAndEndWell) {
  DemoOptions o;
  std::string out, err;
  Args help({"--help"});
  EXPECT_EQ(help.Parse(&o, &out, &err), kExitOk);
  EXPECT_NE(out.find("usage: vrx"), std::string::npos);
  EXPECT_NE(out.find("--demo"), std::string::npos);
  EXPECT_EQ(err, "");
  Args version({"--version"});
  EXPECT_EQ(version.Parse(&o, &out, &err), kExitOk);
  EXPECT_EQ(out, "vrx v0.7.5.0\n");
}

TEST(DemoCommandLine, BadLinesSayWhyThenShowTheUsage) {
  const std::vector<std::pair<std::vector<const char*>, const char*>> bad = {
      {{"--fast"}, "vrx: unknown option --fast\n"},
      {{"--demo", "--laps", "0"}, "vrx: --laps needs a whole number from 1, not 0\n"},
      {{"--demo", "--laps", "-2"}, "vrx: --laps needs a whole number from 1, not -2\n"},
      {{"--demo", "--laps", "2x"}, "vrx: --laps needs a whole number from 1, not 2x\n"},
      {{"--demo", "--laps"}, "vrx: --laps needs a number of laps\n"},
      {{"--demo", "--track"}, "vrx: --track needs a track name\n"},
      {{"--demo", "--car", ""}, "vrx: --car needs a car name\n"},
      {{"--demo", "--stats"}, "vrx: --stats needs a file name\n"},
      {{"--demo", "--frames", "0"}, "vrx: --frames needs a whole number from 1, not 0\n"},
      {{"--demo", "--frames"}, "vrx: --frames needs a number of frames\n"},
      {{"--laps", "2"}, "vrx: --track, --car, --laps, --frames and --stats go with --demo\n"},
      {{"--frames", "2"}, "vrx: --track, --car, --laps, --frames and --stats go with --demo\n"},
      {{"--save-replay", "a.vrxreplay"}, "vrx: --save-replay goes with --demo\n"},
      {{"--replay"}, "vrx: --replay needs a saved replay's file name\n"},
      {{"--demo", "--replay", "a.vrxreplay"}, "vrx: --replay plays a saved replay; it does not go with --demo\n"},
      {{"--count-laps"}, "vrx: --count-laps goes with --demo\n"},
  };
  for (const auto& b : bad) {
    Args a({});
    a.text.resize(1);
    for (const char* s : b.first) a.text.push_back(s);
    a.argv.clear();
    for (std::string& s : a.text) a.argv.push_back(&s[0]);
    DemoOptions o;
    std::string out, err;
    EXPECT_EQ(a.Parse(&o, &out, &err), kExitBadUsage) << b.second;
    EXPECT_EQ(err.substr(0, err.find('\n') + 1), b.second);
    EXPECT_NE(err.find("usage: vrx"), std::string::npos);
    EXPECT_EQ(out, "");
  }
}

TEST(DemoNames, MatchTheLastPartOfAnEntryInAnyCase) {
  char list[3][64] = {"DATA\\TRACKS\\Docklands\\Docklands", "DATA\\TRACKS\\Hillcrest\\Hillcrest",
                      "DATA/TRACKS/River/Riverside"};
  EXPECT_EQ(FindListEntry(list[0], 64, 3, "docklands"), 0);
  EXPECT_EQ(FindListEntry(list[0], 64, 3, "HILLCREST"), 1);
  EXPECT_EQ(FindListEntry(list[0], 64, 3, "riverside"), 2);
  EXPECT_EQ(FindListEntry(list[0], 64, 3, "River"), -1);  // a folder, not the entry's last part
  EXPECT_EQ(FindListEntry(list[0], 64, 3, "Dock"), -1);
  EXPECT_EQ(FindListEntry(list[0], 64, 3, ""), -1);
  EXPECT_EQ(FindListEntry(list[0], 64, 0, "docklands"), -1);
  EXPECT_EQ(FindListEntry(list[0], 64, 3, nullptr), -1);

  testing::internal::CaptureStderr();
  PrintListChoices(stderr, "track", "Moon", list[0], 64, 3);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "vrx: no track 'Moon'; the tracks are: Docklands, Hillcrest, Riverside\n");
}

TEST(DemoStats, FrameFiguresAndTheirFile) {
  cDemoStats s;
  s.LoadStarted(10.0);
  s.FirstFrame(10.75);
  s.FirstFrame(99.0);  // only the first counts
  EXPECT_DOUBLE_EQ(s.LoadMs(), 750.0);
  // 200 frames: 1 .. 200 ms in a shuffled order, one allocation in one of them.
  for (int i = 0; i < 200; ++i) s.Frame((i * 73) % 200 + 1, i == 50 ? 1 : 0);
  EXPECT_EQ(s.Frames(), 200);
  EXPECT_DOUBLE_EQ(s.MedianMs(), 100.5);
  EXPECT_DOUBLE_EQ(s.Percentile99Ms(), 198.0);
  EXPECT_DOUBLE_EQ(s.WorstMs(), 200.0);
  EXPECT_DOUBLE_EQ(s.AllocationsPerFrame(), 0.005);
  s.Lap(61234);
  s.Lap(59990);

  const std::string dir = vrxtest::MakeTempDir("demo_stats");
  ASSERT_TRUE(s.Write((dir + "/stats.txt").c_str(), "Docklands", "Hatch"));
  const std::string text = vrxtest::ReadFile(dir + "/stats.txt");
  for (const char* line :
       {"track Docklands\n", "car Hatch\n", "lap 1 01:01:23 61.234 s\n", "lap 2 00:59:99 59.990 s\n", "laps 2\n",
        "frames drawn 200\n", "frame time median 100.50 ms\n", "frame time 99th percentile 198.00 ms\n",
        "frame time worst 200.00 ms\n", "load time 750 ms\n", "heap allocations per race frame 0.005 (1 in 200 frames; allocating frames 1, the last 51)\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
  EXPECT_NE(text.find("peak resident memory "), std::string::npos);

  testing::internal::CaptureStderr();
  EXPECT_FALSE(s.Write((dir + "/no/such/folder/stats.txt").c_str(), "a", "b"));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find("vrx: cannot write the demo's stats to"), std::string::npos);
}

TEST(DemoStats, EmptyRunGivesZeros) {
  cDemoStats s;
  EXPECT_EQ(s.MedianMs(), 0.0);
  EXPECT_EQ(s.Percentile99Ms(), 0.0);
  EXPECT_EQ(s.WorstMs(), 0.0);
  EXPECT_EQ(s.AllocationsPerFrame(), 0.0);
  EXPECT_GT(PeakResidentBytes(), 1000000u);
}

unsigned long gFakeCount = 0;
unsigned long FakeCount() { return gFakeCount; }

TEST(Demo, CountsLapsAfterTheStartLineAndAllocationsBetweenFrames) {
  cDemo d;
  d.DriveStarting();  // inactive: nothing
  EXPECT_FALSE(d.LapBooked(1000));
  EXPECT_EQ(d.Stats().Laps(), 0);

  DemoOptions o;
  o.demo = true;
  o.laps = 2;
  d.Configure(o);
  ASSERT_TRUE(d.Active());
  SetHeapAllocationCounter(FakeCount);
  d.DriveStarting();
  d.FrameShown();  // the first frame ends the load
  gFakeCount += 3;
  d.FrameShown();
  d.FrameShown();
  EXPECT_EQ(d.Stats().Frames(), 2);
  EXPECT_EQ(d.Stats().Allocations(), 3u);
  EXPECT_FALSE(d.LapBooked(0));      // the start line: the clock starts
  EXPECT_FALSE(d.LapBooked(50000));  // lap 1
  EXPECT_FALSE(d.Finished());
  EXPECT_TRUE(d.LapBooked(49000));  // lap 2
  EXPECT_TRUE(d.Finished());
  EXPECT_EQ(d.Stats().Laps(), 2);
  EXPECT_EQ(d.Stats().LapTime(0), 50000u);
  EXPECT_FALSE(d.DriveOver("t", "c"));  // it never had a car on a track to drive
  SetHeapAllocationCounter(nullptr);
  EXPECT_EQ(HeapAllocations(), 0u);
}

}  // namespace
