// Files written through the safe writer survive the writer being killed at
// any moment: a process rewrites a file over and over and is killed with
// SIGKILL at random times; the file is then always the whole old or the
// whole new content, never a mix, never missing. The same check on a plain
// truncate-and-write writer sees torn files, so it can tell the difference.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "SafeWrite.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

std::string Pattern(size_t size, char seed) {
  std::string s(size, 0);
  for (size_t i = 0; i < size; ++i) s[i] = (char)(seed + (i * 131) % 251);
  return s;
}

bool PlainWrite(const char* path, const std::string& data) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  for (size_t at = 0; at < data.size(); at += 4096) {
    const size_t n = std::min<size_t>(4096, data.size() - at);
    if (std::fwrite(data.data() + at, 1, n, f) != n) break;
    std::fflush(f);
  }
  return std::fclose(f) == 0;
}

struct Outcome {
  int oldContent = 0, newContent = 0, torn = 0, missing = 0;
};

// Forks a writer that alternates old and new content in `path` for ever,
// kills it after a random delay, and sorts what the file holds then.
Outcome KillWhileWriting(const std::string& path, const std::string& oldData, const std::string& newData,
                         int kills, bool safe, std::mt19937* random) {
  Outcome out;
  std::uniform_int_distribution<int> delay(0, 3000);  // microseconds
  for (int k = 0; k < kills; ++k) {
    const pid_t pid = fork();
    if (pid == 0) {
      for (int i = 0;; ++i) {
        const std::string& d = (i % 2) ? oldData : newData;
        if (safe) vrx::WriteFileSafely(path.c_str(), d.data(), d.size());
        else PlainWrite(path.c_str(), d);
      }
    }
    if (pid < 0) {
      ADD_FAILURE() << "fork failed";
      return out;
    }
    usleep((useconds_t)delay(*random));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    std::error_code ec;
    if (!fs::exists(path, ec)) {
      ++out.missing;
      if (!vrxtest::WriteFile(path, oldData.data(), oldData.size())) return out;
      continue;
    }
    const std::string now = vrxtest::ReadFile(path);
    if (now == oldData) ++out.oldContent;
    else if (now == newData) ++out.newContent;
    else ++out.torn;
  }
  return out;
}

// Temporary files a killed writer left beside the target.
int LeftoverTemporaries(const std::string& dir) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string()[0] == '.') ++n;
  return n;
}

TEST(SafeWriteKill, EveryKilledWriteLeavesTheOldOrTheNewWholeFile) {
  const std::string dir = vrxtest::MakeTempDir("safe_write_kill");
  std::mt19937 random(20261208);
  struct Case {
    std::string name;
    std::string oldData, newData;
  };
  std::vector<Case> cases = {
      {"vrx.ini", "[player]\nname=Old\n" + Pattern(200, 'a'), "[player]\nname=Newer\n" + Pattern(260, 'b')},
      {"BestTime.dat", std::string("\x10\x27\x00\x00", 4), std::string("\x0f\x27\x00\x00", 4)},
      {"ghost.rpl", Pattern(256 * 1024, 'c'), Pattern(192 * 1024, 'd')},
  };
  // A file kept elsewhere through a link stays whole too, and stays linked.
  fs::create_directories(dir + "/store");
  cases.push_back({"linked.cfg", Pattern(1000, 'e'), Pattern(1000, 'f')});
  fs::create_symlink("store/linked.cfg", dir + "/linked.cfg");

  int total = 0;
  for (const Case& c : cases) {
    const std::string path = dir + "/" + c.name;
    ASSERT_TRUE(vrx::WriteFileSafely(path.c_str(), c.oldData.data(), c.oldData.size()));
    const Outcome o = KillWhileWriting(path, c.oldData, c.newData, 150, true, &random);
    total += o.oldContent + o.newContent + o.torn + o.missing;
    EXPECT_EQ(o.torn, 0) << c.name;
    EXPECT_EQ(o.missing, 0) << c.name;
    // The kills fell on both sides of a replacement, so they hit every phase.
    EXPECT_GT(o.oldContent, 0) << c.name;
    EXPECT_GT(o.newContent, 0) << c.name;
    std::printf("%s: %d kills, %d old, %d new, %d torn, %d missing\n", c.name.c_str(),
                o.oldContent + o.newContent + o.torn + o.missing, o.oldContent, o.newContent, o.torn, o.missing);
  }
  EXPECT_TRUE(fs::is_symlink(dir + "/linked.cfg"));
  EXPECT_GE(total, 500);
  std::printf("%d kills in all; %d temporary files left behind by killed writers\n", total,
              LeftoverTemporaries(dir) + LeftoverTemporaries(dir + "/store"));
}

TEST(SafeWriteKill, TheSameCheckCatchesAPlainWriter) {
  const std::string dir = vrxtest::MakeTempDir("plain_write_kill");
  std::mt19937 random(7);
  const std::string oldData = Pattern(1024 * 1024, 'g'), newData = Pattern(1024 * 1024, 'h');
  const std::string path = dir + "/replay.rpl";
  ASSERT_TRUE(PlainWrite(path.c_str(), oldData));
  const Outcome o = KillWhileWriting(path, oldData, newData, 40, false, &random);
  EXPECT_GT(o.torn, 0);
}

}  // namespace
