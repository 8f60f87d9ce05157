#include "shell/player_files.h"

#include <cstdio>
#include <cstring>

#include "SafeWrite.h"
#include "platform/files.h"

int ReadScreenConfig(const char* path, _SCREENCFG* cfg) {
  FILE* f = vrx::OpenFile(path, "rb");
  if (!f) return 0;
  fread(cfg, 1, sizeof *cfg, f);
  fclose(f);
  return 1;
}

void SetPlayerDefaults(_PLAYERCFG* p) {
  memset(p, 0, sizeof *p);
  strcpy(p->Name, "Player");
  p->CarIndex = 0;
  p->TrackIndex = 0;
  p->Automatic = 1;
  p->Damage = 1;
  static const uint8_t keys[7] = {0xC8, 0xD0, 0xCB, 0xCD, 0x1E, 0x2C, 0x39};
  memcpy(p->KeyMap, keys, sizeof keys);
  p->Padding = 0;
  p->Reflections = 1;
  p->WBuffer = 1;
}

size_t ReadPlayerConfig(const char* path, _PLAYERCFG* p) {
  FILE* f = vrx::OpenFile(path, "rb");
  if (!f) return 0;
  size_t n = fread(p, 1, sizeof *p, f);
  fclose(f);
  return n;
}

void ClampPlayerConfig(_PLAYERCFG* p, int carCount, int trackCount) {
  if (!memchr(p->Name, 0, sizeof p->Name)) p->Name[sizeof p->Name - 1] = 0;
  if (p->CarIndex < 0 || p->CarIndex >= carCount) p->CarIndex = 0;
  if (p->TrackIndex < 0 || p->TrackIndex >= trackCount) p->TrackIndex = 0;
  p->Automatic = p->Automatic ? 1 : 0;
  p->Damage = p->Damage ? 1 : 0;
  p->Reflections = p->Reflections ? 1 : 0;
  p->WBuffer = p->WBuffer ? 1 : 0;
}

int WritePlayerConfig(const char* path, const _PLAYERCFG* p) {
  return vrx::WriteFileSafely(vrx::ResolvePath(path).c_str(), p, sizeof *p) ? 1 : 0;
}

void StripLineEnd(char* line) {
  size_t n = strlen(line);
  while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
}

int ReadList(const char* path, char list[][kListEntry], int maxEntries) {
  FILE* f = vrx::OpenFileReported(path, "r");
  if (!f) return -1;
  int count = 0;
  char line[kListEntry];
  while (count < maxEntries && fgets(line, sizeof line, f)) {
    const size_t n = strlen(line);
    if (n > 0 && line[n - 1] != '\n' && !feof(f)) {
      // Longer than an entry holds: keep its start, skip the rest of the line.
      int c;
      while ((c = fgetc(f)) != EOF && c != '\n') {
      }
    }
    StripLineEnd(line);
    strcpy(list[count++], line);
  }
  fclose(f);
  return count;
}
