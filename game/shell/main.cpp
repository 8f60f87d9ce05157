// vrx: the game. Everything happens in the game library; see shell/startup.h.
#include <unistd.h>

#include <string>

#include "demo/demo.h"
#include "shell/saved_replay.h"
#include "shell/startup.h"

namespace {

// The game moves to its own folder: a file named on the command line is
// taken from where the player started it.
std::string FromHere(const char* path) {
  char cwd[4096];
  if (!path || path[0] == '/' || !getcwd(cwd, sizeof cwd)) return path ? path : "";
  return std::string(cwd) + "/" + path;
}

}  // namespace

int main(int argc, char** argv) {
  DemoOptions options;
  const int result = ParseCommandLine(argc, argv, &options);
  if (result != kRunProgram) return result;
  const std::string saveReplay = FromHere(options.saveReplay);
  if (options.saveReplay) options.saveReplay = saveReplay.c_str();
  // A damaged replay is refused before any window opens.
  vrx::Recording replay;
  if (options.replay) {
    if (!ReadSavedReplay(options.replay, &replay)) return 1;
    PlayAtStart(&replay, options.replay);
  }
  gDemo.Configure(options);
  return RunProgram(nullptr);
}
