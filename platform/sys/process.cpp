// Our own executable's path, the working directory, and starting the
// settings program beside us.
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/testing.h"
#include "platform/win32.h"

extern char** environ;

namespace {

// Windows names of our programs and what they are called here.
struct ProgramName {
  const char* windows;
  const char* here;
};
const ProgramName kPrograms[] = {
    {"Config.exe", "vrx-config"},
};

std::string g_programDirOverride;
std::vector<pid_t> g_started;
// Children collected early by ReapFinished, still to be counted by
// WaitForStartedPrograms.
int g_reaped = 0;
int g_reapedStatus = 0;

std::string ExecutablePath() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<size_t>(n));
}

// Splits a command line into words; double quotes group spaces into a word.
std::vector<std::string> SplitCommandLine(const char* cmd) {
  std::vector<std::string> words;
  const char* p = cmd;
  while (*p) {
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p) break;
    std::string word;
    bool quoted = false;
    for (; *p && (quoted || (*p != ' ' && *p != '\t')); ++p) {
      if (*p == '"')
        quoted = !quoted;
      else
        word += *p;
    }
    words.push_back(word);
  }
  return words;
}

const char* LinuxProgramName(const std::string& name) {
  for (const ProgramName& p : kPrograms)
    if (strcasecmp(p.windows, name.c_str()) == 0) return p.here;
  return name.c_str();
}

// Collects finished children so they do not linger as zombies.
void ReapFinished() {
  for (auto it = g_started.begin(); it != g_started.end();) {
    int status;
    if (waitpid(*it, &status, WNOHANG) != *it) {
      ++it;
      continue;
    }
    ++g_reaped;
    g_reapedStatus = status;
    it = g_started.erase(it);
  }
}

}  // namespace

namespace vrx {

std::string ProgramDir() {
  if (!g_programDirOverride.empty()) return g_programDirOverride;
  const std::string exe = ExecutablePath();
  const size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : exe.substr(0, slash);
}

}  // namespace vrx

UINT WinExec(LPCSTR cmdLine, UINT cmdShow) {
  const std::vector<std::string> words = SplitCommandLine(cmdLine ? cmdLine : "");
  if (words.empty() || words[0].empty() || words[0] == "." || words[0] == "..") {
    std::fprintf(stderr, "vrx: cannot start a program: no program named in \"%s\"\n", cmdLine ? cmdLine : "");
    return ERROR_FILE_NOT_FOUND;
  }
  // Only programs beside us may be started, never one named by a path.
  if (words[0].find_first_of("/\\") != std::string::npos) {
    std::fprintf(stderr, "vrx: cannot start %s: only programs beside vrx are started\n", words[0].c_str());
    return ERROR_PATH_NOT_FOUND;
  }
  const std::string dir = vrx::ProgramDir();
  const std::string name = std::string(dir == "/" ? "" : dir) + "/" + LinuxProgramName(words[0]);
  const std::string path = vrx::ResolvePath(name.c_str());
  struct stat st;
  const char* why = nullptr;
  if (stat(path.c_str(), &st) != 0)
    why = std::strerror(errno);
  else if (!S_ISREG(st.st_mode))
    why = "not a program";
  else if (access(path.c_str(), X_OK) != 0)
    why = std::strerror(errno);
  if (why) {
    std::fprintf(stderr, "vrx: cannot start %s: %s\n", path.c_str(), why);
    return ERROR_FILE_NOT_FOUND;
  }

  std::vector<std::string> args = words;
  args[0] = path;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  ReapFinished();
  pid_t pid;
  const int err = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
  if (err != 0) {
    std::fprintf(stderr, "vrx: cannot start %s: %s\n", path.c_str(), std::strerror(err));
    return err == ENOEXEC ? ERROR_BAD_FORMAT : ERROR_FILE_NOT_FOUND;
  }
  g_started.push_back(pid);
  return 33;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  if (module || !fileName || size == 0) return 0;
  const std::string exe = ExecutablePath();
  if (exe.size() >= size) {
    std::memcpy(fileName, exe.data(), size - 1);
    fileName[size - 1] = 0;
    return size;
  }
  std::memcpy(fileName, exe.c_str(), exe.size() + 1);
  return static_cast<DWORD>(exe.size());
}

LPSTR GetCommandLineA() {
  static std::string line = "\"" + ExecutablePath() + "\"";
  return &line[0];
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
  if (!path || !*path) {
    std::fprintf(stderr, "vrx: cannot change to a directory without a name\n");
    return FALSE;
  }
  const std::string resolved = vrx::ResolvePath(path);
  if (chdir(resolved.c_str()) == 0) return TRUE;
  std::fprintf(stderr, "vrx: cannot change to %s: %s\n", resolved.c_str(), std::strerror(errno));
  return FALSE;
}

namespace vrxtesting {

void SetProgramDir(const char* dir) { g_programDirOverride = dir ? dir : ""; }

int WaitForStartedPrograms(int* lastStatus) {
  int count = g_reaped;
  if (g_reaped && lastStatus) *lastStatus = g_reapedStatus;
  g_reaped = 0;
  for (pid_t pid : g_started) {
    int status = 0;
    if (waitpid(pid, &status, 0) == pid) {
      ++count;
      if (lastStatus) *lastStatus = status;
    }
  }
  g_started.clear();
  return count;
}

}  // namespace vrxtesting
