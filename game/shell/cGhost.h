// cGhost: the best lap of a track, kept as a recording beside the track's
// best time, raced against in the next races. It answers where the lap's car
// was at a time of the lap (interpolated like the replay) and how far the
// player is behind or ahead of it at the player's place on the lap. Taking a
// new best lap from the recorder and the frame's questions allocate nothing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/d3dx9math.h"
#include "platform/types.h"
#include "shell/cReplay.h"
#include "shell/record_file.h"

class cGhost {
 public:
  // Beside the track's BestTime.dat.
  static constexpr const char* kFileName = "BestLap.vrxghost";

  cGhost();
  cGhost(const cGhost&) = delete;
  cGhost& operator=(const cGhost&) = delete;

  // The player's ghost file of a track (by its list entry) for reading or
  // writing, through the player-file rules; empty when the name is too long.
  static std::string FileToRead(const char* trackEntry);
  static std::string FileToWrite(const char* trackEntry);

  // Reads the track's ghost. A missing file leaves no lap and says nothing;
  // a damaged one, one of another track or one whose car is not in the car
  // list (count entries of kEntryChars) is ignored with one stderr line.
  bool Load(const char* trackEntry, const char (*carList)[64], int carCount);
  // Takes a lap as the ghost: a recording of one lap (kind ghost) whose
  // stamps run on its own clock, the lap beginning at r.lapStart.
  bool Take(const vrx::Recording& r);
  // Takes the lap that just ended from the recorder: `lapTime` ms long,
  // ending at the recorder's clock now. Marks the ghost as unsaved.
  void TakeFromRecorder(const cReplay& recorder, DWORD lapTime, const char* carEntry, const char* trackEntry,
                        int damage, int automatic);
  // Writes the ghost when a lap was taken since it was loaded; true when
  // written (or nothing to write).
  bool SaveIfNew(const char* trackEntry);

  bool HasLap() const { return hasLap; }
  bool Unsaved() const { return unsaved; }
  const vrx::Recording& Lap() const { return lap; }
  DWORD LapTime() const { return hasLap ? lap.time : 0; }
  const char* CarEntry() const { return lap.car; }

  // The ghost's body at `lapTime` ms into its lap; before the lap's start
  // its first state, after its end its last.
  ReplayState StateAt(DWORD lapTime);

  // The gap in seconds between a car at `position` with `lapTime` ms on its
  // lap clock and the ghost: the car's lap time minus the ghost's time at
  // the point of its lap nearest to the car. Positive: behind the ghost.
  // The search follows the car from its last match; it starts from the
  // lap's beginning whenever the lap clock goes back (a new lap).
  float Gap(const D3DXVECTOR3& position, DWORD lapTime);

 private:
  friend struct cGhostProbe;  // tests

  void Prepare();
  // Ghost lap time (ms, may be fractional) at the point of segment k
  // nearest to p, and the squared distance to it.
  void Nearest(int k, const D3DXVECTOR3& p, float* lapMs, float* distance2) const;

  vrx::Recording lap;
  vrx::Recording scratch;  // a file being read, so a bad one never replaces the lap
  bool hasLap = false;
  bool unsaved = false;
  int firstSegment = 0;    // the segment holding the lap's start
  int stateAt = 1;         // StateAt's last position in the samples
  int match = 0;           // Gap's last segment
  DWORD lastLapTime = 0;
};
