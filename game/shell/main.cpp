// vrx: the game. Everything happens in the game library; see shell/startup.h.
#include "demo/demo.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
  DemoOptions options;
  const int result = ParseCommandLine(argc, argv, &options);
  if (result != kRunProgram) return result;
  gDemo.Configure(options);
  return RunProgram(nullptr);
}
