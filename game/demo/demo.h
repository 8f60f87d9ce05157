// Demo mode: the real drive with the autopilot at the wheel, chosen from the
// command line, and the figures it measures on the way (lap times, frame
// times, load time, peak memory, heap allocations per race frame).
//
//   vrx --demo [--track NAME] [--car NAME] [--laps N] [--frames N] [--stats FILE]
//              [--save-replay FILE] [--count-laps]
//   vrx --replay FILE
//
// The shell asks this module at a few points of the drive (see cDemo); when
// demo mode is off every call does nothing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

class cAutopilot;
class cCar;
class cGround;

// The command line.
struct DemoOptions {
  bool demo = false;
  const char* track = nullptr;  // a list entry's last path component, any case; null: the menu's choice
  const char* car = nullptr;
  int laps = 0;                 // 0: until Esc or the window closes
  int frames = 0;               // race frames to show, then the drive ends; 0: no such limit
  const char* stats = nullptr;  // file for the figures; null: none
  const char* saveReplay = nullptr;  // the demo's run is saved there as a replay; null: not
  const char* replay = nullptr;      // a saved replay to play instead of the game; null: none
  bool countLaps = false;       // the laps count as the player's: best time and ghost kept
};

// What the program does after reading its command line.
enum CommandLineResult { kRunProgram = -1, kExitOk = 0, kExitBadUsage = 2 };

// Reads argv. --help and --version print to stdout and give kExitOk; a bad
// option prints one line and the usage to stderr and gives kExitBadUsage;
// otherwise kRunProgram with *out filled.
int ParseCommandLine(int argc, char** argv, DemoOptions* out);
void PrintUsage(FILE* to);
// The version the menu shows.
extern const char* const kVersionText;

// The entry of `list` (count entries of `stride` bytes) whose last path
// component ("DATA\CARS\Hatch\Hatch" -> "Hatch") is `name`, ignoring case;
// -1 when none is.
int FindListEntry(const char* list, int stride, int count, const char* name);
// The last path component of a list entry (either slash).
const char* LastComponent(const char* entry);
// "vrx: no track 'x'; the tracks are: a, b, c" as one line.
void PrintListChoices(FILE* to, const char* what, const char* name, const char* list, int stride, int count);

// Frame and lap figures of one demo drive. Recording allocates nothing: the
// frame store is reserved up front and later frames beyond it go uncounted
// in the percentiles (they still count as frames).
class cDemoStats {
 public:
  cDemoStats();
  void Reset();
  // The drive was asked for (the menu's click); its first race frame is shown.
  void LoadStarted(double seconds);
  void FirstFrame(double seconds);
  // One race frame from flip to flip, and the allocations made during it.
  void Frame(double milliseconds, unsigned long allocations);
  void Lap(uint32_t milliseconds);
  // The ghost raced in this drive (its lap time, 0: none) and how far it
  // stood from the car on the first race frame (m).
  void Ghost(uint32_t lapMilliseconds, float startDistance);

  int Frames() const { return frames; }
  int Laps() const { return static_cast<int>(laps.size()); }
  uint32_t LapTime(int i) const { return laps[i]; }
  double LoadMs() const { return loadMs; }
  // Over the recorded frames: median, 99th percentile (nearest rank), worst.
  double MedianMs() const;
  double Percentile99Ms() const;
  double WorstMs() const;
  double AllocationsPerFrame() const { return frames ? static_cast<double>(allocations) / frames : 0.0; }
  unsigned long Allocations() const { return allocations; }
  int AllocatingFrames() const { return allocatingFrames; }
  int LastAllocatingFrame() const { return lastAllocatingFrame; }

  // The figures as plain text; false (one stderr line) when the file cannot be written.
  bool Write(const char* path, const char* track, const char* car) const;

 private:
  std::vector<float> times;  // ms, in frame order
  std::vector<uint32_t> laps;
  int frames = 0;
  unsigned long allocations = 0;
  // Frames during which anything was allocated, and the last of them (from
  // 1): one-off work such as the drawing driver compiling a new state shows
  // as a few early frames.
  int allocatingFrames = 0, lastAllocatingFrame = 0;
  uint32_t ghostLap = 0;
  float ghostStartDistance = -1.0f;
  double loadStart = 0.0, loadMs = 0.0;
  bool loading = false;
  float worst = 0.0f;
};

// Peak resident memory of the process, bytes (0 when unknown).
uint64_t PeakResidentBytes();
// C++ heap allocations made by the program so far; the program counts them
// (demo/heap_count.cpp, linked into vrx only), elsewhere this is 0.
unsigned long HeapAllocations();
void SetHeapAllocationCounter(unsigned long (*counter)());

// The demo drive: the shell calls these from its drive and race loop.
class cDemo {
 public:
  // Takes the options; Active() from then on.
  void Configure(const DemoOptions& options);
  bool Active() const { return active; }
  // A demo's laps are no player's records unless asked for (--count-laps).
  bool LapsCount() const { return !active || options.countLaps; }
  const DemoOptions& Options() const { return options; }

  // The drive begins (before the track loads) / the car stands on the track.
  void DriveStarting();
  void DriveReady(cGround* ground, cCar* car);
  // Before the car's step: the autopilot writes its controls.
  void Drive(cCar* car, float dt);
  // After the frame is shown.
  void FrameShown();
  // On the first race frame: the ghost raced (lap time, 0: none) and its
  // distance from the car.
  void GhostShown(uint32_t lapMilliseconds, float distance);
  // A lap was booked by the race loop; true when the asked-for laps are
  // done. The first booking of a drive (the start line, passed from the
  // start position) only starts the clock.
  bool LapBooked(uint32_t milliseconds);
  // The drive should end: the laps are done, or no lap could be found. A
  // run kept as a replay goes on for a second after its last lap, so the
  // replay shows the car over the line.
  bool Finished() const;
  // The drive is over: writes the stats when asked for. False when the
  // demo failed (no lap line, stats not written): the program exits 1.
  bool DriveOver(const char* track, const char* car);

  const cDemoStats& Stats() const { return stats; }

 private:
  bool active = false;
  DemoOptions options;
  cAutopilot* pilot = nullptr;
  cDemoStats stats;
  bool firstShown = false;
  bool timing = false;  // the start line was passed
  bool failed = false;
  bool ready = false;   // the drive got as far as its car
  int shownFrames = 0;  // race frames shown in this drive
  double lastShown = 0.0;
  double lapsDoneAt = -1.0;  // when the asked-for laps were done
  unsigned long lastAllocations = 0;
};

extern cDemo gDemo;

// The program's demo instead of the name screen and the menu, once the
// start-up has read the lists: picks the named track and car (an unknown
// name lists the known ones and gives 2), drives, writes the figures.
// The exit status: 0, or 1 when the demo could not run or write its figures.
int RunDemo();
