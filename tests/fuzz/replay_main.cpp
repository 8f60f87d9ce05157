// Runs a fuzz harness over files and folders of inputs without libFuzzer:
// the test suite replays the committed seeds and every input that once made
// a harness fail, with whatever compiler and sanitizers the build uses.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    const fs::path p = fs::absolute(argv[i]);
    if (fs::is_directory(p, ec)) {
      for (const auto& e : fs::directory_iterator(p))
        if (e.is_regular_file()) files.push_back(e.path().string());
    } else if (fs::is_regular_file(p, ec)) {
      files.push_back(p.string());
    } else {
      std::fprintf(stderr, "replay: no such input %s\n", argv[i]);
      return 2;
    }
  }
  std::sort(files.begin(), files.end());
  // The harness may change the working directory: inputs are read first.
  std::vector<std::string> inputs;
  for (const std::string& f : files) {
    std::ifstream in(f, std::ios::binary);
    inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  LLVMFuzzerInitialize(&argc, &argv);
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::fprintf(stderr, "replay: %s (%zu bytes)\n", files[i].c_str(), inputs[i].size());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(inputs[i].data()), inputs[i].size());
  }
  std::printf("replay: %zu inputs, no failure\n", inputs.size());
  return 0;
}
