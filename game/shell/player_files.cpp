#include "shell/player_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

#if __has_include("SafeWrite.h")
#include "SafeWrite.h"
#define VRX_HAVE_SAFE_WRITE 1
#endif

int WritePlayerConfig(const char* path, const _PLAYERCFG* p) {
  const std::string target = vrx::ResolvePath(path);
#ifdef VRX_HAVE_SAFE_WRITE
  if (vrx::WriteFileSafely(target.c_str(), p, sizeof *p)) return 1;
  fprintf(stderr, "vrx: cannot write %s: %s\n", target.c_str(), strerror(errno));
  return 0;
#else
  // A temporary beside the file, synced and renamed over it: the old
  // settings stay whole until the new ones are on the disk.
  const std::string temp = target + ".tmp";
  struct stat st;
  const mode_t mode = stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) {
    fprintf(stderr, "vrx: cannot write %s: %s\n", temp.c_str(), strerror(errno));
    return 0;
  }
  const char* bytes = reinterpret_cast<const char*>(p);
  size_t done = 0;
  while (done < sizeof *p) {
    ssize_t n = write(fd, bytes + done, sizeof *p - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += size_t(n);
  }
  const bool ok = done == sizeof *p && fsync(fd) == 0;
  const int err = errno;
  close(fd);
  if (!ok || rename(temp.c_str(), target.c_str()) != 0) {
    fprintf(stderr, "vrx: cannot write %s: %s\n", target.c_str(), strerror(ok ? errno : err));
    unlink(temp.c_str());
    return 0;
  }
  return 1;
#endif
}

void StripLineEnd(char* line) {
  size_t n = strlen(line);
  while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
}

int ReadList(const char* path, char list[][kListEntry], int maxEntries) {
  FILE* f = vrx::OpenFile(path, "r");
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
