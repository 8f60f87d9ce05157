// The real program with each file it reads missing, empty, cut short or
// filled with garbage: a short demo drive (start-up, menu objects, track,
// car, a few race frames, shutdown) from a folder beside the build's files.
// Whatever the damage, the program must end by itself (no signal, no hang),
// with the exit status and the messages its start-up and loaders give for
// that file, and without writing any file.
//
// Files whose damage cannot hide another's are damaged together in one run.
// The runs go two at a time, each in a program folder of its own whose DATA
// is a tree of links to the build's, the damaged files being real files, and
// on a virtual display of its own: the game draws only while its window is
// the active one, and two windows on one display would fight over that.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "programs.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

enum Damage { kMissing, kEmpty, kTruncated, kGarbage };
const char* const kDamageNames[] = {"missing", "empty", "truncated", "garbage"};

// What a run must show for one damaged file.
struct Expect {
  const char* file;  // relative to the program's folder, '/' separators
  // Whether stderr must name the file (its last part) for each damage.
  bool named[4];
};

// One run: files damaged together, and the exit status expected for each damage.
struct Group {
  std::vector<Expect> files;
  int exitCode[4];
};

const char kTrack[] = "DATA/TRACKS/Docklands/";
const char kCar[] = "DATA/CARS/Hatch/";

std::vector<Group> Groups() {
  const std::string t = kTrack, c = kCar;
  // Kept alive for the whole test: the groups point into them.
  static const std::vector<std::string> paths = {
      t + "Start.ini",       t + "BestTime.dat", t + "road_sh.dds", t + "ground_sh.dds", t + "Docklands.mo",
      t + "Screen.tga",      c + "Hatch.cdf",    c + "Hatch.trq",   c + "Hatch.txt",     c + "Hatch.mo"};
  auto p = [&](const std::string& s) {
    for (const std::string& x : paths)
      if (x == s) return x.c_str();
    return "";
  };
  return {
      // The screen settings: without them the settings program starts; a
      // damaged one is refused with the error box and a line saying why.
      {{{"vrx.cfg", {false, true, true, true}}}, {1, 1, 1, 1}},
      // The lists: nothing to drive without them. A list cut short still
      // holds its first entries; in a garbage one the demo finds no such name.
      {{{"DATA/Cars.txt", {true, true, false, false}}}, {1, 1, 0, 2}},
      {{{"DATA/Tracks.txt", {true, true, false, false}}}, {1, 1, 0, 2}},
      // What the start-up and the menu's previews read: each keeps its
      // defaults, and the drive goes on. The player's settings and the
      // description may be anything; a best time file of 4 bytes or more
      // gives a time.
      {{{"vrx.ini", {false, false, false, false}},
        {"lang.txt", {true, true, false, true}},
        {"DATA/MENU/Font1.dat", {true, true, true, false}},
        {"DATA/MENU/Menu.bmp", {true, true, true, true}},
        {"DATA/MENU/Cursor.tga", {true, true, true, true}},
        {"DATA/CARS/COMMON/g_R.dds", {true, true, true, true}},
        {"DATA/CARS/COMMON/Tablica.bmp", {true, true, true, true}},
        {p(c + "Hatch.txt"), {false, false, false, false}},
        {p(t + "Screen.tga"), {true, true, true, true}},
        {p(t + "BestTime.dat"), {false, true, true, false}}},
       {0, 0, 0, 0}},
      // The track's shadow maps.
      {{{p(t + "road_sh.dds"), {true, true, true, true}}, {p(t + "ground_sh.dds"), {true, true, true, true}}},
       {0, 0, 0, 0}},
      // The start position: 0 where it cannot be read, where the autopilot
      // finds no road to follow, so the demo ends with 1.
      {{{p(t + "Start.ini"), {true, true, true, true}}}, {1, 1, 1, 1}},
      // The track's mesh: no road, no lap.
      {{{p(t + "Docklands.mo"), {true, true, true, true}}}, {1, 1, 1, 1}},
      // The car: without its data, torque table or mesh it cannot race;
      // values beyond any car are mended and it drives.
      {{{p(c + "Hatch.cdf"), {true, true, true, true}}}, {1, 1, 1, 0}},
      {{{p(c + "Hatch.trq"), {true, true, true, true}}}, {1, 1, 1, 1}},
      {{{p(c + "Hatch.mo"), {true, true, true, true}}}, {1, 1, 1, 1}},
  };
}

std::string Damaged(const std::string& original, Damage d, const std::string& seed) {
  switch (d) {
    case kEmpty: return "";
    case kTruncated: return original.substr(0, original.size() / 2);
    case kGarbage: {
      std::mt19937 random(static_cast<unsigned>(std::hash<std::string>()(seed)));
      std::string g(std::max<size_t>(original.size(), 64), '\0');
      for (char& ch : g) ch = static_cast<char>(random());
      return g;
    }
    default: return "";
  }
}

// Runs a program with its stderr in dir/run.err, on the given display.
vrxtest::Finished RunIn(const std::string& dir, const std::vector<std::string>& args, int timeoutS,
                        const std::string& display = "") {
  std::vector<std::string> env;
  if (!display.empty()) env.push_back("DISPLAY=" + display);
  return vrxtest::RunProgram(args, env, "", dir + "/run.err", timeoutS);
}

// Every regular file below dir (links are the build's, not the program's
// output) with its content, but the run's own stderr.
std::map<std::string, std::string> RealFiles(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
    if (it->is_symlink() || !it->is_regular_file()) continue;
    const std::string rel = fs::relative(it->path(), dir).string();
    if (rel == "run.err" || rel == "vrx") continue;
    files[rel] = vrxtest::ReadFile(it->path().string());
  }
  return files;
}

std::string LastPart(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The lines of stderr that name a file, for messages.
std::string Summary(const std::string& err) {
  std::istringstream in(err);
  std::string line, out;
  int n = 0;
  while (std::getline(in, line) && n < 12) {
    if (line.find("ALSA") != std::string::npos) continue;
    out += "    " + line.substr(0, 160) + "\n";
    ++n;
  }
  return out;
}

class BadFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string bin = VRX_BIN_DIR;
    if (!fs::exists(bin + "/vrx") || !fs::exists(bin + "/DATA/Tracks.txt")) return;
    root = vrxtest::MakeTempDir("bad_files");
    // The settings for this machine, as the settings program writes them.
    const vrxtest::Finished cfg = RunIn(root, {bin + "/vrx-config", "--width", "640", "--height", "480", "--depth", "32", "--view",
                                  "3", "--file", root + "/vrx.cfg"},
                           60);
    if (cfg.code == 0) settings = vrxtest::ReadFile(root + "/vrx.cfg");
  }

  void SetUp() override {
    if (root.empty()) GTEST_SKIP() << "no vrx or no DATA beside it (build vrx and the game-data target)";
    ASSERT_EQ(settings.size(), 36u) << "vrx-config could not write the settings";
  }

  // A program folder: a copy of vrx (it finds its files beside its own
  // path), links to the libraries, the language file and every DATA file,
  // the settings, and a stand-in for the settings program that only says
  // it was started.
  static bool MakeProgramFolder(const std::string& dir) {
    const std::string bin = VRX_BIN_DIR;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::copy_file(bin + "/vrx", dir + "/vrx", ec)) return false;
    for (const fs::directory_entry& e : fs::directory_iterator(bin)) {
      const std::string name = e.path().filename().string();
      if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0) fs::create_symlink(e.path(), dir + "/" + name, ec);
    }
    fs::create_symlink(bin + "/lang.txt", dir + "/lang.txt", ec);
    fs::create_directories(dir + "/DATA", ec);
    for (auto it = fs::recursive_directory_iterator(bin + "/DATA"); it != fs::recursive_directory_iterator(); ++it) {
      const fs::path to = fs::path(dir) / "DATA" / fs::relative(it->path(), bin + "/DATA");
      if (it->is_directory()) fs::create_directories(to, ec);
      else fs::create_symlink(it->path(), to, ec);
    }
    if (!vrxtest::WriteFile(dir + "/vrx.cfg", settings.data(), settings.size())) return false;
    const std::string config = "#!/bin/sh\necho started > \"$(dirname \"$0\")/config-started\"\n";
    if (!vrxtest::WriteTextFile(dir + "/vrx-config", config)) return false;
    fs::permissions(dir + "/vrx-config", fs::perms::owner_all, ec);
    return !ec;
  }

  static inline std::string root, settings;
};

// The build's own bytes of a file the program folder links to (or the settings).
std::string Original(const std::string& file, const std::string& settings) {
  if (file == "vrx.cfg") return settings;
  if (file == "vrx.ini") {
    // The player's settings: a name, the second car and track, manual gears.
    std::string ini(48, '\0');
    ini.replace(0, 5, "Racer");
    ini[16] = 1;
    ini[20] = 1;
    const unsigned char keys[7] = {0xC8, 0xD0, 0xCB, 0xCD, 0x1E, 0x2C, 0x39};
    for (int i = 0; i < 7; ++i) ini[32 + i] = static_cast<char>(keys[i]);
    ini[40] = 1;
    ini[44] = 1;
    return ini;
  }
  if (LastPart(file) == "BestTime.dat") return std::string("\x10\x27\x01\x00", 4);
  return vrxtest::ReadFile(std::string(VRX_BIN_DIR) + "/" + file);
}

TEST_F(BadFiles, EveryFileMissingEmptyCutShortOrGarbageEndsInOrderAndWritesNothing) {
  struct Job {
    const Group* group;
    Damage damage;
  };
  const std::vector<Group> groups = Groups();
  std::vector<Job> jobs;
  int cases = 0;
  for (const Group& g : groups)
    for (int d = 0; d < 4; ++d) {
      jobs.push_back({&g, static_cast<Damage>(d)});
      cases += static_cast<int>(g.files.size());
    }

  const int workers = 2;
  std::vector<std::string> folders;
  vrxtest::VirtualDisplay displays[workers];
  for (int w = 0; w < workers; ++w) {
    folders.push_back(root + "/w" + std::to_string(w));
    ASSERT_TRUE(MakeProgramFolder(folders.back())) << folders.back();
    ASSERT_TRUE(displays[w].Start()) << "no virtual display (Xvfb)";
  }

  std::atomic<size_t> next{0};
  std::mutex report;
  std::vector<std::string> failures;
  auto work = [&](const std::string& dir, const std::string& display) {
    for (size_t j; (j = next++) < jobs.size();) {
      const Job& job = jobs[j];
      std::string label = kDamageNames[job.damage];
      for (const Expect& e : job.group->files) label += std::string(" ") + e.file;
      // Damage every file of the group.
      std::map<std::string, std::string> written;
      for (const Expect& e : job.group->files) {
        const std::string path = dir + "/" + e.file;
        std::error_code ec;
        fs::remove(path, ec);
        if (job.damage == kMissing) continue;
        const std::string bytes = Damaged(Original(e.file, settings), job.damage, e.file);
        vrxtest::WriteFile(path, bytes.data(), bytes.size());
        written[e.file] = bytes;
      }
      fs::remove(dir + "/config-started");
      const std::map<std::string, std::string> before = RealFiles(dir);
      const auto started = std::chrono::steady_clock::now();
      const vrxtest::Finished r = RunIn(dir, {dir + "/vrx", "--demo", "--track", "Docklands", "--car", "Hatch", "--frames", "8"}, 180,
                                 display);
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

      std::vector<std::string> wrong;
      if (r.code < 0) wrong.push_back("did not end within 180 s");
      else if (r.code >= 128) wrong.push_back("ended by signal " + std::to_string(r.code - 128));
      else if (r.code != job.group->exitCode[job.damage])
        wrong.push_back("exit status " + std::to_string(r.code) + ", not " +
                        std::to_string(job.group->exitCode[job.damage]));
      for (const Expect& e : job.group->files)
        if (e.named[job.damage] && r.err.find(LastPart(e.file)) == std::string::npos)
          wrong.push_back(std::string("nothing on stderr names ") + e.file);
      if (r.err.find("Sanitizer") != std::string::npos || r.err.find("runtime error") != std::string::npos)
        wrong.push_back("a sanitizer report");
      // Nothing written: every real file as it was, none added, none removed.
      const std::map<std::string, std::string> after = RealFiles(dir);
      for (const auto& [name, bytes] : after) {
        auto b = before.find(name);
        const std::string old = b == before.end() ? "" : b->second;
        // The track writes its best time back when it goes: a whole record,
        // the time it read or none (a machine's lap is no record).
        if (LastPart(name) == "BestTime.dat" && bytes.size() == 4 &&
            (bytes == "\xff\xff\xff\xff" || (old.size() >= 4 && bytes == old.substr(0, 4))))
          continue;
        if (b == before.end()) {
          if (name != "config-started") wrong.push_back("wrote " + name);
        } else if (old != bytes) {
          wrong.push_back("changed " + name);
        }
      }
      for (const auto& [name, bytes] : before)
        if (!after.count(name)) wrong.push_back("removed " + name);
      if (job.group->files[0].file == std::string("vrx.cfg") && job.damage == kMissing) {
        // It runs on by itself; give it a moment to say it was started.
        for (int i = 0; i < 100 && !fs::exists(dir + "/config-started"); ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!fs::exists(dir + "/config-started")) wrong.push_back("the settings program was not started");
      }

      // Back to the build's files for the next run.
      for (const Expect& e : job.group->files) {
        const std::string path = dir + "/" + e.file;
        std::error_code ec;
        fs::remove(path, ec);
        if (std::string(e.file) == "vrx.cfg") vrxtest::WriteFile(path, settings.data(), settings.size());
        else if (std::string(e.file) != "vrx.ini" && LastPart(e.file) != "BestTime.dat")
          fs::create_symlink(std::string(VRX_BIN_DIR) + "/" + e.file, path, ec);
      }

      std::lock_guard<std::mutex> lock(report);
      std::printf("%-9s exit %3d %5.1f s %s\n", kDamageNames[job.damage], r.code, seconds,
                  label.substr(label.find(' ') + 1).c_str());
      if (!wrong.empty()) {
        std::string text = label + ":";
        for (const std::string& w : wrong) text += "\n  " + w;
        failures.push_back(text + "\n  stderr:\n" + Summary(r.err));
      }
    }
  };
  std::vector<std::thread> threads;
  for (int w = 0; w < workers; ++w) threads.emplace_back(work, folders[w], displays[w].Name());
  for (std::thread& th : threads) th.join();

  std::printf("%d damaged files in %zu runs\n", cases, jobs.size());
  for (const std::string& f : failures) ADD_FAILURE() << f;
}

}  // namespace
