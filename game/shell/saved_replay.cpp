#include "shell/saved_replay.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "demo/demo.h"
#include "platform/files.h"
#include "platform/user_files.h"
#include "shell/cReplay.h"
#include "shell/drive.h"
#include "shell/program.h"

namespace {

const DWORD kNoteMs = 4000;

// The run last written by F5, so a second press does not write it again.
std::string savedPath;
char note[160] = "";
DWORD noteTick = 0;
const vrx::Recording* atStart = nullptr;
const char* atStartPath = nullptr;
// Set while `vrx --replay` plays: its laps are printed as they are booked.
bool printLaps = false;
bool lapClockStarted = false;
int lapsPrinted = 0;

void Note(const char* text) {
  snprintf(note, sizeof note, "%s", text);
  noteTick = GetTickCount();
}

// Makes the folder of `path` and the folders above it where missing.
bool MakeFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return true;
  const std::string dir = path.substr(0, slash);
  for (size_t i = 1; i <= dir.size(); ++i) {
    if (i < dir.size() && dir[i] != '/') continue;
    const std::string part = dir.substr(0, i);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
      fprintf(stderr, "vrx: cannot create the folder %s: %s\n", part.c_str(), strerror(errno));
      return false;
    }
  }
  return true;
}

std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) return path;
  return std::string(cwd) + "/" + path;
}

}  // namespace

std::string SavedReplayName(const char* trackEntry, std::time_t when) {
  std::tm local;
  localtime_r(&when, &local);
  char stamp[32];
  strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string track = LastComponent(trackEntry ? trackEntry : "");
  // A name fit for a file whatever the list says.
  for (char& c : track)
    if (c == '/' || c == '\\' || c == ' ' || (unsigned char)c < 32) c = '_';
  if (track.empty()) track = "track";
  return "replays\\" + track + "-" + stamp + ".vrxreplay";
}

bool RecordingFromRecorder(const cReplay& recorder, const char* carEntry, const char* trackEntry,
                           vrx::Recording* out) {
  recorder.CopyRecording(0, cReplay::kEmpty - 1, out);
  if (out->controls.empty() || out->states.empty()) return false;
  out->kind = vrx::RecordKind::kReplay;
  snprintf(out->car, sizeof out->car, "%s", carEntry);
  snprintf(out->track, sizeof out->track, "%s", trackEntry);
  out->time = out->stateStamps.back();
  out->lapStart = 0;
  out->damage = recorder.damage ? 1 : 0;
  out->automatic = recorder.automatic ? 1 : 0;
  return true;
}

bool SaveLastReplay() {
  if (!savedPath.empty()) {
    printf("replay already saved: %s\n", savedPath.c_str());
    fflush(stdout);
    Note(("Replay already saved: " + savedPath.substr(savedPath.rfind('/') + 1)).c_str());
    return true;
  }
  vrx::Recording r;
  const int car = gReplay ? gReplay->carIndex : -1, track = gReplay ? gReplay->trackIndex : -1;
  if (car < 0 || car >= gCarCount || track < 0 || track >= gTrackCount ||
      !RecordingFromRecorder(*gReplay, gCarList[car], gTrackList[track], &r)) {
    fprintf(stderr, "vrx: no race recorded yet: nothing to save\n");
    Note("No race to save yet");
    return false;
  }
  const std::string name = SavedReplayName(gTrackList[track], std::time(nullptr));
  const std::string path = Absolute(vrx::PlayerFileToWrite(name.c_str(), vrx::PlayerFile::kRecord));
  if (!MakeFolderOf(path) || !vrx::WriteRecordFile(path.c_str(), r)) {
    Note("The replay could not be saved");
    return false;
  }
  savedPath = path;
  printf("replay saved: %s\n", path.c_str());
  fflush(stdout);
  Note(("Replay saved: " + path.substr(path.rfind('/') + 1)).c_str());
  return true;
}

void RecordingReplaced() { savedPath.clear(); }

void DrawSavedReplayNote() {
  if (!note[0] || !gFont || GetTickCount() - noteTick >= kNoteMs) return;
  gFont->PutTextRelative(0.3f, 0.95f, 0.6f, 0.6f, note);
}

bool ReadSavedReplay(const char* path, vrx::Recording* out) {
  std::string why;
  if (vrx::LoadRecordFile(path, vrx::RecordKind::kReplay, out, &why) == vrx::RecordRead::kOk) return true;
  fprintf(stderr, "vrx: cannot play %s: %s\n", path, why.c_str());
  return false;
}

int PlaySavedReplay(const vrx::Recording& r, const char* path) {
  int car = -1, track = -1;
  for (int i = 0; i < gCarCount && car < 0; ++i)
    if (strcasecmp(gCarList[i], r.car) == 0) car = i;
  for (int i = 0; i < gTrackCount && track < 0; ++i)
    if (strcasecmp(gTrackList[i], r.track) == 0) track = i;
  if (car < 0 || track < 0) {
    fprintf(stderr, "vrx: cannot play %s: its %s %s is not in this game's list\n", path, car < 0 ? "car" : "track",
            car < 0 ? r.car : r.track);
    return 1;
  }
  if (!gReplay->LoadRecording(r)) {
    fprintf(stderr, "vrx: cannot play %s: the recording is empty or too long\n", path);
    return 1;
  }
  gReplay->carIndex = car;
  gReplay->trackIndex = track;
  gReplay->damage = r.damage;
  gReplay->automatic = r.automatic;
  printLaps = true;
  lapClockStarted = false;
  lapsPrinted = 0;
  RunDrive(1);
  printLaps = false;
  return 0;
}

void PlayAtStart(const vrx::Recording* r, const char* path) {
  atStart = r;
  atStartPath = path;
}

const vrx::Recording* ReplayAtStart() { return atStart; }
const char* ReplayAtStartPath() { return atStartPath; }

void SavedReplayLapBooked(DWORD ms) {
  if (!printLaps) return;
  // The car starts behind the line: its first touch only starts the clock.
  if (lapClockStarted) {
    ++lapsPrinted;
    printf("lap %d %02u:%02u:%02u %.3f s\n", lapsPrinted, ms / 60000, ms / 1000 % 60, ms / 10 % 100, ms / 1000.0);
    fflush(stdout);
  }
  lapClockStarted = true;
}
