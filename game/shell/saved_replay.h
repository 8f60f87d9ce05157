// Saved replays: F5 in the menu keeps the recorder's last run as a file in
// the player's data folder (replays\TRACK-YYYYMMDD-HHMMSS.vrxreplay, the
// recording file layout of shell/record_file.h, kind replay), and
// `vrx --replay FILE` plays such a file in the real program.
#pragma once

#include <ctime>
#include <string>

#include "platform/types.h"
#include "shell/record_file.h"

class cReplay;

// "replays\Hillcrest-20261208-141502.vrxreplay" for a run on the track of
// that list entry, recorded at `when` (local time).
std::string SavedReplayName(const char* trackEntry, std::time_t when);

// The recorder's whole run as a saved replay of that car and track; false
// when nothing has been recorded.
bool RecordingFromRecorder(const cReplay& recorder, const char* carEntry, const char* trackEntry,
                           vrx::Recording* out);

// F5: writes the recorder's run (car and track from its indexes) into the
// player's data folder and prints the file's path on stdout; the same run
// is written once, a second F5 names the file again. False, with one stderr
// line, when no race has been recorded or the file cannot be written.
bool SaveLastReplay();
// A new race replaces the recording: the next F5 writes a new file.
void RecordingReplaced();
// The menu's line about the last F5, for a few seconds after it.
void DrawSavedReplayNote();

// A lap booked in a replay; while `vrx --replay` plays, every lap after the
// first start-gate touch is printed on stdout ("lap 1 01:02:34 62.340 s").
void SavedReplayLapBooked(DWORD ms);

// Reads a saved replay for playing; false with "vrx: cannot play PATH:
// REASON" on stderr when it is missing, unreadable or damaged.
bool ReadSavedReplay(const char* path, vrx::Recording* out);

// `vrx --replay`: the program plays this replay (kept by the caller) instead
// of the name screen and the menu.
void PlayAtStart(const vrx::Recording* r, const char* path);
// The replay asked for, or null.
const vrx::Recording* ReplayAtStart();
const char* ReplayAtStartPath();

// Plays a read replay once the program has started (lists read): finds its
// car and track in the lists, loads it into the recorder and runs the
// replay drive until its end or Esc. The exit status: 0, or 1 when its car
// or track is not in the lists.
int PlaySavedReplay(const vrx::Recording& r, const char* path);
