// The pieces of the game's DATA directory, each built by one builder from the
// text descriptions under content/.
#pragma once

#include <string>
#include <vector>

namespace vrxdata {

struct BuildContext {
  std::string sourceDir;  // content/ of the repository
  std::string outDir;     // the DATA directory being built (a fresh, empty folder)
};

// A builder returns false after printing what went wrong ("file:line: what");
// the whole build is then thrown away.
typedef bool (*Builder)(const BuildContext& ctx);

struct BuilderEntry {
  const char* name;
  Builder build;
};

// Every builder, in build order (builders.cpp).
const std::vector<BuilderEntry>& AllBuilders();

}  // namespace vrxdata
