// The lists builder: "Cars.txt" and "Tracks.txt" name every car and track the
// builders before it put into DATA, one entry a line, each ending in a
// newline (the game counts lines that way). An entry is the path prefix the
// game appends its file endings to: "DATA\CARS\Hatch\Hatch".

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "builders.h"
#include "image_files.h"

namespace vrxdata {

namespace {

namespace fs = std::filesystem;

// Directories of `dir` holding "<directory name>.<extension>", sorted.
std::vector<std::string> Entries(const fs::path& dir, const std::string& extension) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (it->is_directory(ec) && fs::is_regular_file(it->path() / (name + extension), ec)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool WriteList(const BuildContext& ctx, const char* folder, const char* extension, const char* file) {
  const std::vector<std::string> names = Entries(fs::path(ctx.outDir) / folder, extension);
  if (names.empty()) {
    std::fprintf(stderr, "vrx-data: nothing in DATA/%s for %s\n", folder, file);
    return false;
  }
  std::string text;
  for (const std::string& n : names) {
    const std::string entry = std::string("DATA\\") + folder + "\\" + n + "\\" + n;
    // The game keeps entries of at most 63 characters.
    if (entry.size() > 63) {
      std::fprintf(stderr, "vrx-data: %s: entry %s is longer than 63 characters\n", file, entry.c_str());
      return false;
    }
    text += entry + "\n";
  }
  return WriteText(ctx.outDir + "/" + file, text);
}

}  // namespace

bool BuildLists(const BuildContext& ctx) {
  return WriteList(ctx, "CARS", ".cdf", "Cars.txt") && WriteList(ctx, "TRACKS", ".mo", "Tracks.txt");
}

}  // namespace vrxdata
