// The safe file writer: whole replacement, symlinks, modes, in-place writes in
// directories that take no new files, and the failures it reports.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <grp.h>

#include <algorithm>
#include <ctime>
#include <cstdlib>
#include <string>
#include <vector>

#include "SafeWrite.h"
#include "test_support.h"

namespace {

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

bool IsLink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool Write(const std::string& path, const std::string& bytes) {
  return vrx::WriteFileSafely(path.c_str(), bytes.data(), bytes.size());
}

class SafeWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  std::string dir;
};

TEST_F(SafeWriteTest, CreatesAndReplacesWholeLeavingNothingBeside) {
  const std::string f = dir + "/BestTime.dat";
  ASSERT_TRUE(Write(f, "first content, longer"));
  EXPECT_EQ(vrxtest::ReadFile(f), "first content, longer");
  ASSERT_TRUE(Write(f, "abcd"));
  EXPECT_EQ(vrxtest::ReadFile(f), "abcd");  // no tail of the longer content
  ASSERT_TRUE(Write(f, ""));
  EXPECT_EQ(vrxtest::ReadFile(f), "");
  EXPECT_EQ(Entries(dir), std::vector<std::string>{"BestTime.dat"});
}

TEST_F(SafeWriteTest, NewFileTakesTheUmaskAndAnOldFileKeepsItsMode) {
  const mode_t old = umask(027);
  const std::string fresh = dir + "/fresh";
  EXPECT_TRUE(Write(fresh, "x"));
  umask(old);
  EXPECT_EQ(ModeOf(fresh), 0640u);

  const std::string f = dir + "/kept";
  vrxtest::WriteFile(f, "old", 3);
  ASSERT_EQ(chmod(f.c_str(), 0604), 0);
  ASSERT_TRUE(Write(f, "new"));
  EXPECT_EQ(ModeOf(f), 0604u);
  ASSERT_EQ(chmod(f.c_str(), 0755), 0);
  ASSERT_TRUE(Write(f, "newer"));
  EXPECT_EQ(ModeOf(f), 0755u);
  EXPECT_EQ(vrxtest::ReadFile(f), "newer");
}

TEST_F(SafeWriteTest, WritesThroughSymlinksToTheirTargets) {
  // A relative link into another directory, through a second link.
  const std::string store = dir + "/store";
  vrxtest::WriteFile(store + "/real.dat", "old", 3);
  ASSERT_EQ(chmod((store + "/real.dat").c_str(), 0600), 0);
  ASSERT_EQ(symlink("store/real.dat", (dir + "/middle").c_str()), 0);
  ASSERT_EQ(symlink("middle", (dir + "/BestTime.dat").c_str()), 0);
  ASSERT_TRUE(Write(dir + "/BestTime.dat", "1234"));
  EXPECT_TRUE(IsLink(dir + "/BestTime.dat"));
  EXPECT_TRUE(IsLink(dir + "/middle"));
  EXPECT_EQ(vrxtest::ReadFile(store + "/real.dat"), "1234");
  EXPECT_EQ(ModeOf(store + "/real.dat"), 0600u);
  EXPECT_EQ(Entries(store), std::vector<std::string>{"real.dat"});

  // A dangling link: its target is created, the link stays.
  ASSERT_EQ(symlink((store + "/later.dat").c_str(), (dir + "/later").c_str()), 0);
  ASSERT_TRUE(Write(dir + "/later", "made"));
  EXPECT_TRUE(IsLink(dir + "/later"));
  EXPECT_EQ(vrxtest::ReadFile(store + "/later.dat"), "made");
}

TEST_F(SafeWriteTest, FailuresSayWhichFileAndWhyAndChangeNothing) {
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(Write(dir + "/missing/dir/file", "x"));
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(dir + "/missing/dir/file"), std::string::npos) << err;
  EXPECT_NE(err.find("No such file"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

  // A directory in the file's place is left alone.
  ASSERT_EQ(mkdir((dir + "/adir").c_str(), 0755), 0);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(Write(dir + "/adir", "x"));
  err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("adir"), std::string::npos) << err;

  // A symlink loop.
  ASSERT_EQ(symlink("loop2", (dir + "/loop1").c_str()), 0);
  ASSERT_EQ(symlink("loop1", (dir + "/loop2").c_str()), 0);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(Write(dir + "/loop1", "x"));
  err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  std::vector<std::string> names = Entries(dir);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"adir", "loop1", "loop2"}));
}

TEST_F(SafeWriteTest, TemporariesOfKilledWritersGoWithTheNextWriteOnceOld) {
  const time_t hourAgo = std::time(nullptr) - 3600;
  auto age = [&](const std::string& name) {
    const timespec t[2] = {{hourAgo, 0}, {hourAgo, 0}};
    return utimensat(AT_FDCWD, (dir + "/" + name).c_str(), t, AT_SYMLINK_NOFOLLOW) == 0;
  };
  auto leave = [&](const std::string& name, bool old) {
    return vrxtest::WriteFile(dir + "/" + name, "left", 4) && (!old || age(name));
  };
  ASSERT_TRUE(leave(".vrx.ini.a1B2c3", true));   // a killed writer's, an hour ago: goes
  ASSERT_TRUE(leave(".vrx.ini.Zz9Yy8", false));  // just made: another writer may be busy with it
  // Not named as the writer names the temporaries of this file.
  for (const char* name : {".vrx.ini.abc12", ".vrx.ini.abcdefg", ".vrx.ini.ab-cde", "vrx.ini.a1b2c3",
                           ".vrx.ini.bak", ".BestTime.dat.a1b2c3"})
    ASSERT_TRUE(leave(name, true)) << name;
  // A link, even an old one named like a temporary, is the player's.
  ASSERT_TRUE(leave("kept", true));
  ASSERT_EQ(symlink("kept", (dir + "/.vrx.ini.q1w2e3").c_str()), 0);
  ASSERT_TRUE(age(".vrx.ini.q1w2e3"));

  ASSERT_TRUE(Write(dir + "/vrx.ini", "settings"));
  std::vector<std::string> names = Entries(dir);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".BestTime.dat.a1b2c3", ".vrx.ini.Zz9Yy8", ".vrx.ini.ab-cde",
                                             ".vrx.ini.abc12", ".vrx.ini.abcdefg", ".vrx.ini.bak",
                                             ".vrx.ini.q1w2e3", "kept", "vrx.ini", "vrx.ini.a1b2c3"}));
  EXPECT_EQ(vrxtest::ReadFile(dir + "/vrx.ini"), "settings");
}

// Runs body in a child process that cannot bypass file permissions (as root it
// becomes the user nobody); gives the child's exit code.
template <typename F>
int RunUnprivileged(F body) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0) {
      const passwd* nobody = getpwnam("nobody");
      const uid_t uid = nobody ? nobody->pw_uid : 65534;
      const gid_t gid = nobody ? nobody->pw_gid : 65534;
      if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(90);
    }
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

TEST(SafeWriteInPlace, ADirectoryThatTakesNoNewFilesStillGetsItsFileUpdated) {
  // Below the system temporary directory, which every user may pass through.
  char tmpl[] = "/tmp/vrx-safe-write-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  const std::string f = dir + "/BestTime.dat";
  ASSERT_TRUE(vrxtest::WriteFile(f, "old content", 11));
  ASSERT_EQ(chmod(f.c_str(), 0666), 0);
  ASSERT_EQ(chmod(dir.c_str(), 0555), 0);

  const int code = RunUnprivileged([&] {
    if (!vrx::WriteFileSafely(f.c_str(), "\x10\x27\x00\x00", 4)) return 1;
    // A file that does not exist yet cannot be made there at all.
    if (vrx::WriteFileSafely((dir + "/new.dat").c_str(), "x", 1)) return 2;
    return 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(vrxtest::ReadFile(f), std::string("\x10\x27\x00\x00", 4));
  EXPECT_EQ(ModeOf(f), 0666u);
  EXPECT_EQ(Entries(dir), std::vector<std::string>{"BestTime.dat"});

  chmod(dir.c_str(), 0755);
  unlink(f.c_str());
  rmdir(dir.c_str());
}

}  // namespace
