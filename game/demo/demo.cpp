#include "demo/demo.h"

#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "autopilot/cAutopilot.h"
#include "cCar.h"

cDemo gDemo;

const char* const kVersionText = "v0.7.5.0";

namespace {

// Frames recorded for the percentiles: an hour at 70 frames a second.
const size_t kFrameStore = 1 << 18;
const size_t kLapStore = 4096;

unsigned long (*gHeapCounter)() = nullptr;

double NowSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool SameName(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  return *a == *b;
}

}  // namespace

const char* LastComponent(const char* entry) {
  const char* leaf = entry;
  for (const char* p = entry; *p; ++p)
    if (*p == '\\' || *p == '/') leaf = p + 1;
  return leaf;
}

namespace {

int BadUsage(const char* what, const char* arg) {
  std::fprintf(stderr, "vrx: %s%s%s\n", what, arg ? " " : "", arg ? arg : "");
  PrintUsage(stderr);
  return kExitBadUsage;
}

}  // namespace

void PrintUsage(FILE* to) {
  std::fprintf(to,
               "usage: vrx                     the game: name screen, menus, races\n"
               "       vrx --demo [--track NAME] [--car NAME] [--laps N] [--frames N] [--stats FILE]\n"
               "                  [--save-replay FILE] [--count-laps]\n"
               "       vrx --replay FILE       play a saved replay, then end\n"
               "       vrx --help | --version\n"
               "\n"
               "  --demo        the autopilot drives the real race, with drawing, HUD and sound\n"
               "  --track NAME  a track of DATA\\Tracks.txt by the last part of its entry, any case\n"
               "                (default: the track last chosen in the menu)\n"
               "  --car NAME    a car of DATA\\Cars.txt, the same way\n"
               "  --laps N      end after N laps (N from 1) with exit status 0;\n"
               "                without it the demo runs until Esc or the window closes\n"
               "  --frames N    end after N race frames (N from 1), whatever the laps: a short\n"
               "                run that loads everything and draws a little\n"
               "  --stats FILE  write each lap time, the frames drawn, median, 99th percentile and\n"
               "                worst frame time, load time, peak memory and heap allocations per\n"
               "                race frame to FILE\n"
               "  --save-replay FILE  keep the demo's run as a saved replay in FILE\n"
               "  --count-laps  the laps count as the player's: a better lap becomes the track's\n"
               "                best time and its ghost\n"
               "  --replay FILE play a saved replay (F5 in the menu after a race saves one) and\n"
               "                end with it: Space pauses, Left/Right move 5 s, Down/Up set the\n"
               "                speed, '.' steps one sample while paused, Esc ends\n"
               "\n"
               "Exit status: 0 done, 1 the game could not start (or the replay file is damaged),\n"
               "2 a bad command line or name.\n"
               "Without --count-laps, best times set in demo mode are not stored.\n");
}

int ParseCommandLine(int argc, char** argv, DemoOptions* out) {
  *out = DemoOptions();
  bool demoOnly = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    auto value = [&](const char** into) {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') return false;
      *into = argv[++i];
      return true;
    };
    if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      PrintUsage(stdout);
      return kExitOk;
    } else if (std::strcmp(a, "--version") == 0) {
      std::printf("vrx %s\n", kVersionText);
      return kExitOk;
    } else if (std::strcmp(a, "--demo") == 0) {
      out->demo = true;
    } else if (std::strcmp(a, "--track") == 0) {
      if (!value(&out->track)) return BadUsage("--track needs a track name", nullptr);
      demoOnly = true;
    } else if (std::strcmp(a, "--car") == 0) {
      if (!value(&out->car)) return BadUsage("--car needs a car name", nullptr);
      demoOnly = true;
    } else if (std::strcmp(a, "--save-replay") == 0) {
      if (!value(&out->saveReplay)) return BadUsage("--save-replay needs a file name", nullptr);
    } else if (std::strcmp(a, "--replay") == 0) {
      if (!value(&out->replay)) return BadUsage("--replay needs a saved replay's file name", nullptr);
    } else if (std::strcmp(a, "--stats") == 0) {
      if (!value(&out->stats)) return BadUsage("--stats needs a file name", nullptr);
      demoOnly = true;
    } else if (std::strcmp(a, "--count-laps") == 0) {
      out->countLaps = true;
    } else if (std::strcmp(a, "--laps") == 0) {
      const char* n = nullptr;
      if (!value(&n)) return BadUsage("--laps needs a number of laps", nullptr);
      char* end = nullptr;
      const long laps = std::strtol(n, &end, 10);
      if (*end != '\0' || laps < 1 || laps > 100000) return BadUsage("--laps needs a whole number from 1, not", n);
      out->laps = static_cast<int>(laps);
      demoOnly = true;
    } else if (std::strcmp(a, "--frames") == 0) {
      const char* n = nullptr;
      if (!value(&n)) return BadUsage("--frames needs a number of frames", nullptr);
      char* end = nullptr;
      const long frames = std::strtol(n, &end, 10);
      if (*end != '\0' || frames < 1 || frames > 100000000)
        return BadUsage("--frames needs a whole number from 1, not", n);
      out->frames = static_cast<int>(frames);
      demoOnly = true;
    } else {
      return BadUsage("unknown option", a);
    }
  }
  if (demoOnly && !out->demo) return BadUsage("--track, --car, --laps, --frames and --stats go with --demo", nullptr);
  if (out->saveReplay && !out->demo) return BadUsage("--save-replay goes with --demo", nullptr);
  if (out->replay && out->demo) return BadUsage("--replay plays a saved replay; it does not go with --demo", nullptr);
  if (out->countLaps && !out->demo) return BadUsage("--count-laps goes with --demo", nullptr);
  return kRunProgram;
}

int FindListEntry(const char* list, int stride, int count, const char* name) {
  if (!name) return -1;
  for (int i = 0; i < count; ++i)
    if (SameName(LastComponent(list + static_cast<size_t>(i) * stride), name)) return i;
  return -1;
}

void PrintListChoices(FILE* to, const char* what, const char* name, const char* list, int stride, int count) {
  std::fprintf(to, "vrx: no %s '%s'; the %ss are:", what, name ? name : "", what);
  for (int i = 0; i < count; ++i) std::fprintf(to, "%s %s", i ? "," : "", LastComponent(list + static_cast<size_t>(i) * stride));
  if (count == 0) std::fprintf(to, " (none)");
  std::fprintf(to, "\n");
}

cDemoStats::cDemoStats() {
  times.reserve(kFrameStore);
  laps.reserve(kLapStore);
}

void cDemoStats::Reset() {
  times.clear();
  laps.clear();
  frames = 0;
  allocations = 0;
  allocatingFrames = 0;
  lastAllocatingFrame = 0;
  loadStart = loadMs = 0.0;
  loading = false;
  worst = 0.0f;
  ghostLap = 0;
  ghostStartDistance = -1.0f;
}

void cDemoStats::Ghost(uint32_t lapMilliseconds, float startDistance) {
  ghostLap = lapMilliseconds;
  ghostStartDistance = lapMilliseconds ? startDistance : -1.0f;
}

void cDemoStats::LoadStarted(double seconds) {
  loadStart = seconds;
  loading = true;
}

void cDemoStats::FirstFrame(double seconds) {
  if (!loading) return;
  loadMs = (seconds - loadStart) * 1000.0;
  loading = false;
}

void cDemoStats::Frame(double milliseconds, unsigned long allocs) {
  ++frames;
  allocations += allocs;
  if (allocs) {
    ++allocatingFrames;
    lastAllocatingFrame = frames;
  }
  worst = std::max(worst, static_cast<float>(milliseconds));
  if (times.size() < times.capacity()) times.push_back(static_cast<float>(milliseconds));
}

void cDemoStats::Lap(uint32_t milliseconds) {
  if (laps.size() < laps.capacity()) laps.push_back(milliseconds);
}

double cDemoStats::MedianMs() const {
  if (times.empty()) return 0.0;
  std::vector<float> s(times);
  std::sort(s.begin(), s.end());
  const size_t n = s.size();
  return n % 2 ? s[n / 2] : 0.5 * (static_cast<double>(s[n / 2 - 1]) + s[n / 2]);
}

double cDemoStats::Percentile99Ms() const {
  if (times.empty()) return 0.0;
  std::vector<float> s(times);
  std::sort(s.begin(), s.end());
  const size_t rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(s.size())));
  return s[std::max<size_t>(rank, 1) - 1];
}

double cDemoStats::WorstMs() const { return worst; }

bool cDemoStats::Write(const char* path, const char* track, const char* car) const {
  FILE* f = std::fopen(path, "w");
  if (!f) {
    std::fprintf(stderr, "vrx: cannot write the demo's stats to %s: %s\n", path, std::strerror(errno));
    return false;
  }
  std::fprintf(f, "track %s\ncar %s\n", track, car);
  for (size_t i = 0; i < laps.size(); ++i) {
    const uint32_t t = laps[i];
    std::fprintf(f, "lap %zu %02u:%02u:%02u %.3f s\n", i + 1, t / 60000, (t / 1000) % 60, (t / 10) % 100, t / 1000.0);
  }
  std::fprintf(f, "laps %zu\n", laps.size());
  if (ghostLap)
    std::fprintf(f, "ghost lap %02u:%02u:%02u %.3f s\nghost start distance %.2f m\n", ghostLap / 60000,
                 (ghostLap / 1000) % 60, (ghostLap / 10) % 100, ghostLap / 1000.0, ghostStartDistance);
  else
    std::fprintf(f, "ghost none\n");
  std::fprintf(f, "frames drawn %d\n", frames);
  std::fprintf(f, "frame time median %.2f ms\n", MedianMs());
  std::fprintf(f, "frame time 99th percentile %.2f ms\n", Percentile99Ms());
  std::fprintf(f, "frame time worst %.2f ms\n", WorstMs());
  std::fprintf(f, "load time %.0f ms\n", loadMs);
  std::fprintf(f, "peak resident memory %.1f MB\n", PeakResidentBytes() / 1048576.0);
  std::fprintf(f, "heap allocations per race frame %.3f (%lu in %d frames; allocating frames %d, the last %d)\n",
               AllocationsPerFrame(), allocations, frames, allocatingFrames, lastAllocatingFrame);
  const bool ok = std::ferror(f) == 0;
  if (std::fclose(f) != 0 || !ok) {
    std::fprintf(stderr, "vrx: cannot write the demo's stats to %s\n", path);
    return false;
  }
  return true;
}

uint64_t PeakResidentBytes() {
  struct rusage u;
  if (getrusage(RUSAGE_SELF, &u) != 0) return 0;
  return static_cast<uint64_t>(u.ru_maxrss) * 1024u;  // kilobytes on Linux
}

unsigned long HeapAllocations() { return gHeapCounter ? gHeapCounter() : 0; }

void SetHeapAllocationCounter(unsigned long (*counter)()) { gHeapCounter = counter; }

void cDemo::Configure(const DemoOptions& o) {
  options = o;
  active = o.demo;
}

void cDemo::DriveStarting() {
  if (!active) return;
  stats.Reset();
  firstShown = false;
  timing = false;
  failed = false;
  ready = false;
  shownFrames = 0;
  lapsDoneAt = -1.0;
  stats.LoadStarted(NowSeconds());
}

void cDemo::DriveReady(cGround* ground, cCar* car) {
  if (!active) return;
  delete pilot;
  pilot = new cAutopilot(ground);
  ready = true;
  // Without a lap line there is nothing to show: the demo ends at once.
  if (!pilot->IsReady()) failed = true;
  (void)car;
}

void cDemo::Drive(cCar* car, float dt) {
  if (active && pilot) pilot->Drive(car, dt);
}

void cDemo::FrameShown() {
  if (!active) return;
  ++shownFrames;
  const double now = NowSeconds();
  const unsigned long allocs = HeapAllocations();
  if (!firstShown) {
    stats.FirstFrame(now);
    firstShown = true;
  } else {
    stats.Frame((now - lastShown) * 1000.0, allocs - lastAllocations);
  }
  lastShown = now;
  lastAllocations = allocs;
}

void cDemo::GhostShown(uint32_t lapMilliseconds, float distance) {
  if (active) stats.Ghost(lapMilliseconds, distance);
}

bool cDemo::LapBooked(uint32_t milliseconds) {
  if (!active) return false;
  // The car starts behind the line with its half-lap flag set: the first
  // touch of the start gate only starts the clock.
  if (timing) stats.Lap(milliseconds);
  timing = true;
  if (options.laps > 0 && stats.Laps() >= options.laps && lapsDoneAt < 0) lapsDoneAt = NowSeconds();
  return options.laps > 0 && stats.Laps() >= options.laps;
}

bool cDemo::Finished() const {
  if (failed || (options.frames > 0 && shownFrames >= options.frames)) return true;
  if (options.laps <= 0 || stats.Laps() < options.laps) return false;
  return !options.saveReplay || NowSeconds() - lapsDoneAt >= 1.0;
}

bool cDemo::DriveOver(const char* track, const char* car) {
  if (!active) return true;
  delete pilot;
  pilot = nullptr;
  // No car on the track (one it could not build): nothing was shown.
  if (!ready) failed = true;
  if (options.stats && !stats.Write(options.stats, track, car)) failed = true;
  return !failed;
}
