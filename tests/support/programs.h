// Starting the real programs (the game, the settings program, a copy of a
// test) from tests: with the software renderer, no sound device and no
// dialogs, their output in files, stopped when they overrun their time.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vrxtest {

struct Finished {
  int code = -1;  // exit status; 128 + signal; -1 when it had to be stopped
  std::string out, err;
};

// Starts args[0] (a path) with this environment plus the test settings and
// `env` ("NAME=value", replacing a variable of that name); stdin is
// /dev/null, stdout and stderr go to outFile and errFile (/dev/null when
// empty). The pid, or -1.
pid_t StartProgram(const std::vector<std::string>& args, const std::vector<std::string>& env,
                   const std::string& outFile, const std::string& errFile);

// Waits for a started program, killing it after timeoutS; reads the files
// it wrote to.
Finished WaitProgram(pid_t pid, int timeoutS, const std::string& outFile, const std::string& errFile);

inline Finished RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& env,
                           const std::string& outFile, const std::string& errFile, int timeoutS) {
  return WaitProgram(StartProgram(args, env, outFile, errFile), timeoutS, outFile, errFile);
}

// A virtual X display of its own (Xvfb), gone with the object: a program
// that draws only while its window is the active one needs a display no
// other test's window can take the focus on.
class VirtualDisplay {
 public:
  VirtualDisplay() = default;
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;
  // False when no Xvfb could be started.
  bool Start();
  // ":N", for DISPLAY.
  const std::string& Name() const { return name; }

 private:
  pid_t pid = -1;
  std::string name;
};

}  // namespace vrxtest
