// cTrackInfo: what the menu shows of the selected track: its picture and
// its best lap time as it was when the entry was selected.
#pragma once

#include <cstdint>

class cScreen;
class cSprite;

class cTrackInfo {
 public:
  // trackPath: a track list entry (a path whose directory holds the track).
  cTrackInfo(const char* trackPath, cScreen* screen);
  ~cTrackInfo();
  cTrackInfo(const cTrackInfo&) = delete;
  cTrackInfo& operator=(const cTrackInfo&) = delete;

  // Milliseconds; 0xFFFFFFFF when the track has no best time yet.
  uint32_t GetBestTime() const { return bestTime; }
  // The track's "Screen.tga"; never null (empty when the file is missing).
  cSprite* GetPreview() const { return preview; }
  const char* GetDirectory() const { return directory; }

 private:
  uint32_t bestTime;
  cSprite* preview;
  char fileName[128];
  char directory[128];
};
