#include "car/cTrackInfo.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "cSprite.h"
#include "platform/files.h"
#include "platform/user_files.h"
#include "platform/win32.h"

cTrackInfo::cTrackInfo(const char* trackPath, cScreen* screen) : bestTime(0xFFFFFFFFu), preview(nullptr) {
  snprintf(directory, sizeof directory, "%s", trackPath ? trackPath : "");
  PathUnquoteSpacesA(directory);
  PathRemoveFileSpecA(directory);

  // A name too long for the buffer would name another file: treat it as missing.
  const bool fits = snprintf(fileName, sizeof fileName, "%s\\%s", directory, "BestTime.dat") < (int)sizeof fileName;
  // The player's own best time once there is one, else the shipped one.
  const std::string best = fits ? vrx::PlayerFileToRead(fileName, vrx::PlayerFile::kRecord) : std::string();
  if (FILE* f = fits ? vrx::OpenFile(best.c_str(), "rb") : nullptr) {
    uint32_t value;
    // A file too short to hold a time counts as no time.
    if (fread(&value, 1, sizeof value, f) == sizeof value) bestTime = value;
    fclose(f);
  }

  if (snprintf(fileName, sizeof fileName, "%s\\%s", directory, "Screen.tga") >= (int)sizeof fileName) fileName[0] = 0;
  preview = new cSprite(fileName, screen);
}

cTrackInfo::~cTrackInfo() { delete preview; }
