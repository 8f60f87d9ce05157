#include "builders.h"

namespace vrxdata {

// Each builder is declared here and listed in the table below.

const std::vector<BuilderEntry>& AllBuilders() {
  static const std::vector<BuilderEntry> builders = {
  };
  return builders;
}

}  // namespace vrxdata
