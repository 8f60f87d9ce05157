#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "test_support.h"

namespace {

std::string Unquoted(const char* in, BOOL* changed = nullptr) {
  char buf[256];
  std::strcpy(buf, in);
  const BOOL r = PathUnquoteSpacesA(buf);
  if (changed) *changed = r;
  return buf;
}

std::string WithoutFileSpec(const char* in, BOOL* changed = nullptr) {
  char buf[256];
  std::strcpy(buf, in);
  const BOOL r = PathRemoveFileSpecA(buf);
  if (changed) *changed = r;
  return buf;
}

TEST(ShellPath, UnquoteRemovesOnePairOfSurroundingQuotes) {
  BOOL changed;
  EXPECT_EQ(Unquoted("\"C:\\Program Files\\vrx.exe\"", &changed), "C:\\Program Files\\vrx.exe");
  EXPECT_TRUE(changed);
  EXPECT_EQ(Unquoted("\"\"x\"\""), "\"x\"");
  EXPECT_EQ(Unquoted("\"\""), "");
  EXPECT_EQ(Unquoted("/usr/bin/vrx", &changed), "/usr/bin/vrx");
  EXPECT_FALSE(changed);
  EXPECT_EQ(Unquoted("\"half"), "\"half");
  EXPECT_EQ(Unquoted("\""), "\"");
  EXPECT_FALSE(PathUnquoteSpacesA(nullptr));
}

TEST(ShellPath, RemoveFileSpecDropsTheLastComponentAndKeepsRoots) {
  BOOL changed;
  EXPECT_EQ(WithoutFileSpec("C:\\Games\\VRX\\vrx.exe", &changed), "C:\\Games\\VRX");
  EXPECT_TRUE(changed);
  EXPECT_EQ(WithoutFileSpec("/home/p/vrx/vrx"), "/home/p/vrx");
  EXPECT_EQ(WithoutFileSpec("build\\bin/vrx"), "build\\bin");
  EXPECT_EQ(WithoutFileSpec("dir\\"), "dir");
  EXPECT_EQ(WithoutFileSpec("C:\\vrx.exe"), "C:\\");
  EXPECT_EQ(WithoutFileSpec("/vrx"), "/");
  EXPECT_EQ(WithoutFileSpec("\\vrx"), "\\");
  EXPECT_EQ(WithoutFileSpec("C:vrx.exe"), "C:");
  EXPECT_EQ(WithoutFileSpec("vrx.exe", &changed), "");
  EXPECT_TRUE(changed);
  EXPECT_EQ(WithoutFileSpec("C:\\", &changed), "C:\\");
  EXPECT_FALSE(changed);
  EXPECT_EQ(WithoutFileSpec("/", &changed), "/");
  EXPECT_FALSE(changed);
  EXPECT_EQ(WithoutFileSpec("", &changed), "");
  EXPECT_FALSE(changed);
}

TEST(ShellPath, StartUpSequenceFindsTheProgramDirectory) {
  char exe[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  ASSERT_GT(n, 0);
  exe[n] = 0;

  char line[PATH_MAX + 3];
  std::strcpy(line, GetCommandLineA());
  EXPECT_EQ(std::string(line), "\"" + std::string(exe) + "\"");
  EXPECT_TRUE(PathUnquoteSpacesA(line));
  EXPECT_TRUE(PathRemoveFileSpecA(line));
  EXPECT_EQ(std::string(line), vrx::ProgramDir());

  char old[PATH_MAX];
  ASSERT_TRUE(getcwd(old, sizeof(old)));
  ASSERT_TRUE(SetCurrentDirectoryA(line));
  char now[PATH_MAX];
  ASSERT_TRUE(getcwd(now, sizeof(now)));
  EXPECT_EQ(std::string(now), std::string(line));
  ASSERT_EQ(chdir(old), 0);
  for (const char* bad : {"", "no\\such\\dir"}) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(SetCurrentDirectoryA(bad));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("vrx: cannot change to ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
  testing::internal::CaptureStderr();
  EXPECT_FALSE(SetCurrentDirectoryA("no\\such\\dir"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "vrx: cannot change to no/such/dir: No such file or directory\n");
  ASSERT_TRUE(getcwd(now, sizeof(now)));
  EXPECT_EQ(std::string(now), std::string(old));
}

TEST(ShellPath, ModuleFileNameIsTheExecutableAndIsCut) {
  char exe[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  ASSERT_GT(n, 5);
  exe[n] = 0;
  char buf[PATH_MAX];
  EXPECT_EQ(GetModuleFileNameA(nullptr, buf, sizeof(buf)), static_cast<DWORD>(n));
  EXPECT_STREQ(buf, exe);
  char small[5];
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof(small)), 5u);
  EXPECT_EQ(std::string(small), std::string(exe, 4));
}

class WinExecTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = vrxtest::MakeTempDir("winexec");
    vrxtesting::SetProgramDir(dir.c_str());
  }
  void TearDown() override { vrxtesting::SetProgramDir(nullptr); }

  // A program that writes its arguments, one a line, into a marker file.
  void WriteProgram(const std::string& name, const std::string& marker, mode_t mode = 0755) {
    const std::string path = dir + "/" + name;
    ASSERT_TRUE(vrxtest::WriteTextFile(
        path, "#!/bin/sh\nprintf '%s\\n' started \"$@\" > '" + dir + "/" + marker + "'\n"));
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
  }

  std::string dir;
};

TEST_F(WinExecTest, StartsAProgramBesideUsWithItsArguments) {
  WriteProgram("marker-prog", "marker.txt");
  EXPECT_GT(WinExec("marker-prog one \"two words\"", SW_SHOWDEFAULT), 31u);
  int status = -1;
  EXPECT_EQ(vrxtesting::WaitForStartedPrograms(&status), 1);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(vrxtest::ReadFile(dir + "/marker.txt"), "started\none\ntwo words\n");
}

TEST_F(WinExecTest, TheSettingsProgramIsFoundByItsWindowsName) {
  WriteProgram("vrx-config", "config-ran.txt");
  EXPECT_GT(WinExec("Config.exe", SW_SHOWDEFAULT), 31u);
  // The first one has surely ended before the second start collects it.
  for (int i = 0; i < 500 && vrxtest::ReadFile(dir + "/config-ran.txt").empty(); ++i) usleep(10000);
  usleep(100000);
  EXPECT_GT(WinExec("\"CONFIG.EXE\"", SW_SHOWDEFAULT), 31u);
  EXPECT_EQ(vrxtesting::WaitForStartedPrograms(nullptr), 2);
  EXPECT_EQ(vrxtest::ReadFile(dir + "/config-ran.txt"), "started\n");
}

TEST_F(WinExecTest, RefusesPathsMissingProgramsAndNonPrograms) {
  WriteProgram("sub/prog", "never.txt");
  WriteProgram("not-executable", "never.txt", 0644);
  ASSERT_EQ(mkdir((dir + "/adir").c_str(), 0755), 0);
  const struct {
    const char* cmd;
    UINT result;
    const char* message;
  } cases[] = {
      {"sub/prog", ERROR_PATH_NOT_FOUND, "vrx: cannot start sub/prog: only programs beside vrx are started"},
      {"sub\\prog", ERROR_PATH_NOT_FOUND, nullptr},
      {"/bin/sh -c true", ERROR_PATH_NOT_FOUND, nullptr},
      {"absent-prog", ERROR_FILE_NOT_FOUND, "/absent-prog: No such file or directory"},
      {"sh -c true", ERROR_FILE_NOT_FOUND, "/sh: No such file or directory"},  // no PATH search
      {"not-executable", ERROR_FILE_NOT_FOUND, "/not-executable: Permission denied"},
      {"adir", ERROR_FILE_NOT_FOUND, "/adir: not a program"},
      {"..", ERROR_FILE_NOT_FOUND, nullptr},
      {"", ERROR_FILE_NOT_FOUND, nullptr},
      {nullptr, ERROR_FILE_NOT_FOUND, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cmd ? c.cmd : "(null)");
    testing::internal::CaptureStderr();
    EXPECT_EQ(WinExec(c.cmd, SW_SHOWDEFAULT), c.result);
    const std::string err = testing::internal::GetCapturedStderr();
    // One line, saying what could not be started and why.
    EXPECT_EQ(err.rfind("vrx: cannot start ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    if (c.message) {
      EXPECT_NE(err.find(std::string(c.message) + "\n"), std::string::npos) << err;
    }
  }
  EXPECT_EQ(vrxtesting::WaitForStartedPrograms(nullptr), 0);
  EXPECT_EQ(vrxtest::ReadFile(dir + "/never.txt"), "");
}

}  // namespace
