#include "programs.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "test_support.h"

extern char** environ;

namespace vrxtest {

pid_t StartProgram(const std::vector<std::string>& args, const std::vector<std::string>& env,
                   const std::string& outFile, const std::string& errFile) {
  std::vector<std::string> all = {"SDL_AUDIODRIVER=dummy", "VRX_NO_DIALOGS=1", "LIBGL_ALWAYS_SOFTWARE=1",
                                  "GALLIUM_DRIVER=llvmpipe"};
  all.insert(all.end(), env.begin(), env.end());
  std::vector<std::string> strings;
  for (char** e = environ; *e; ++e) {
    bool replaced = false;
    for (const std::string& x : all)
      if (std::strncmp(*e, x.c_str(), x.find('=') + 1) == 0) replaced = true;
    if (!replaced) strings.push_back(*e);
  }
  strings.insert(strings.end(), all.begin(), all.end());
  std::vector<std::string> a = args;
  std::vector<char*> envp, argv;
  for (std::string& s : strings) envp.push_back(&s[0]);
  envp.push_back(nullptr);
  for (std::string& s : a) argv.push_back(&s[0]);
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.empty() ? "/dev/null" : outFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.empty() ? "/dev/null" : errFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (argv[0] == nullptr || posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

Finished WaitProgram(pid_t pid, int timeoutS, const std::string& outFile, const std::string& errFile) {
  Finished r;
  if (pid <= 0) return r;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutS);
  int status = 0;
  bool stopped = false;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      stopped = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!stopped) r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (!outFile.empty()) r.out = ReadFile(outFile);
  if (!errFile.empty()) r.err = ReadFile(errFile);
  return r;
}

bool VirtualDisplay::Start() {
  int fds[2];
  if (pipe(fds) != 0) return false;
  std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                                   "+extension", "GLX", "-nolisten", "tcp"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  // Xvfb writes its display number once it takes connections.
  std::string number;
  pollfd p = {fds[0], POLLIN, 0};
  char c;
  while (pid > 0 && poll(&p, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) return false;
  name = ":" + number;
  return true;
}

VirtualDisplay::~VirtualDisplay() {
  if (pid > 0) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
}

}  // namespace vrxtest
