// Recordings on disk: the best lap's ghost of a track and the player's saved
// replays share one file layout, told apart by a kind field. The file holds
// what the recorder keeps in memory (the two time-stamped tracks of control
// snapshots and body states) plus what is needed to drive them again: the
// car and track list entries, the switches of the run and its time.
//
// Layout, little-endian, no padding:
//   offset size
//      0    4  magic "VRXR"
//      4    2  version (1)
//      6    2  kind: 1 ghost (one lap), 2 replay (a whole run)
//      8   64  car list entry, NUL-terminated, NUL-padded
//     72   64  track list entry, the same
//    136    4  time, ms: the lap time of a ghost, the recording's length of a replay
//    140    4  lap start, ms on the samples' clock at which the lap's clock read 0
//    144    4  damage switch (0/1)
//    148    4  automatic gearbox switch (0/1)
//    152    4  control sample count C (1 .. 20000)
//    156    4  body state count S (1 .. 20000)
//    160  C*28 control samples: stamp uint32 ms, then throttle, brake, steering
//              (float), handbrake, spare, gear (int32): the car's control block
//         S*56 body states: stamp uint32 ms, then position, linear velocity
//              (3 floats each), rotation quaternion (x, y, z, w), angular
//              velocity (3 floats)
//      end  4  CRC-32 (the zlib polynomial) of every byte before it
// Stamps rise strictly within each track; every float is finite.
//
// Writing goes through the engine's safe writer, so a crash leaves the old
// file or the new one. A file that fails any check is never used: the reader
// says why in one stderr line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/cReplay.h"

namespace vrx {

enum class RecordKind : uint16_t { kGhost = 1, kReplay = 2 };

constexpr size_t kRecordEntryChars = 64;
constexpr size_t kRecordHeaderBytes = 160;
constexpr size_t kRecordControlBytes = 28;
constexpr size_t kRecordStateBytes = 56;
constexpr uint32_t kRecordMaxSamples = (uint32_t)cReplay::kEntries;

struct Recording {
  RecordKind kind = RecordKind::kGhost;
  char car[kRecordEntryChars] = {};
  char track[kRecordEntryChars] = {};
  uint32_t time = 0;
  uint32_t lapStart = 0;
  int32_t damage = 0;
  int32_t automatic = 0;
  std::vector<uint32_t> controlStamps;
  std::vector<ReplaySnapshot> controls;
  std::vector<uint32_t> stateStamps;
  std::vector<ReplayState> states;
};

// The bytes of a recording's file. Empty when the recording breaks the
// rules above (no samples, too many, stamps not rising, an entry name too
// long): such a recording is never written.
std::vector<uint8_t> EncodeRecording(const Recording& r);

// Reads a file's bytes into *out when they are a whole, intact recording of
// the expected kind; else false with the reason in *why (no newline).
// Storage in *out is reused, so a caller that reserved it allocates nothing
// further.
bool DecodeRecording(const uint8_t* data, size_t size, RecordKind expected, Recording* out, std::string* why);

// Writes the recording to path through the safe writer. False (with one
// stderr line) when it cannot be encoded or written.
bool WriteRecordFile(const char* path, const Recording& r);

enum class RecordRead { kOk, kMissing, kBad };
// Reads the file at `path` (a host path, taken as it stands) into *out when
// it is an intact recording of the expected kind. Says nothing: the reason
// it is missing or bad goes to *why (no newline).
RecordRead LoadRecordFile(const char* path, RecordKind expected, Recording* out, std::string* why);
// Reads a game path (the DATA path rules apply). A missing file is kMissing
// and says nothing; a file that cannot be read or fails a check prints
// "vrx: ignoring PATH: REASON" and is kBad; *out is then unspecified.
RecordRead ReadRecordFile(const char* path, RecordKind expected, Recording* out);

// CRC-32 as zlib computes it.
uint32_t RecordChecksum(const uint8_t* data, size_t size);

}  // namespace vrx
