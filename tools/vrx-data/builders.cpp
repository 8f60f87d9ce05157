#include "builders.h"

namespace vrxdata {

// Each builder is declared here and listed in the table below.
bool BuildCars(const BuildContext& ctx);    // cars.cpp
bool BuildTracks(const BuildContext& ctx);  // tracks.cpp
bool BuildLists(const BuildContext& ctx);   // lists.cpp: after cars and tracks

const std::vector<BuilderEntry>& AllBuilders() {
  static const std::vector<BuilderEntry> builders = {
      {"cars", BuildCars},
      {"tracks", BuildTracks},
      {"lists", BuildLists},
  };
  return builders;
}

}  // namespace vrxdata
