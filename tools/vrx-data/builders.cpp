#include "builders.h"

namespace vrxdata {

// Each builder is declared here and listed in the table below.
bool BuildCars(const BuildContext& ctx);    // cars.cpp
bool BuildTracks(const BuildContext& ctx);  // tracks.cpp
bool BuildLists(const BuildContext& ctx);   // lists.cpp: after cars and tracks
bool BuildMenuArt(const BuildContext& ctx);  // menu_art.cpp
bool BuildHudArt(const BuildContext& ctx);   // hud_art.cpp
bool BuildFont(const BuildContext& ctx);     // font.cpp
bool BuildLanguage(const BuildContext& ctx); // language.cpp: after the font
bool BuildSounds(const BuildContext& ctx);   // sounds.cpp: after the car list
bool BuildMusic(const BuildContext& ctx);    // music.cpp

const std::vector<BuilderEntry>& AllBuilders() {
  static const std::vector<BuilderEntry> builders = {
      {"cars", BuildCars},
      {"tracks", BuildTracks},
      {"lists", BuildLists},
      {"menu art", BuildMenuArt},
      {"hud art", BuildHudArt},
      {"font", BuildFont},
      {"language", BuildLanguage},
      {"sounds", BuildSounds},
      {"music", BuildMusic},
  };
  return builders;
}

}  // namespace vrxdata
