// The demo in the program: the chosen car and track, one drive with the
// autopilot at the wheel, the figures written afterwards.
#include <cstdio>

#include "demo/demo.h"
#include "shell/drive.h"
#include "shell/cReplay.h"
#include "shell/program.h"
#include "shell/saved_replay.h"

int RunDemo() {
  const DemoOptions& o = gDemo.Options();
  if (o.track) {
    const int i = FindListEntry(gTrackList[0], kListEntry, gTrackCount, o.track);
    if (i < 0) {
      PrintListChoices(stderr, "track", o.track, gTrackList[0], kListEntry, gTrackCount);
      return kExitBadUsage;
    }
    gPlayer.TrackIndex = i;
  }
  if (o.car) {
    const int i = FindListEntry(gCarList[0], kListEntry, gCarCount, o.car);
    if (i < 0) {
      PrintListChoices(stderr, "car", o.car, gCarList[0], kListEntry, gCarCount);
      return kExitBadUsage;
    }
    gPlayer.CarIndex = i;
  }
  gDemo.DriveStarting();
  RunDrive(0);
  bool saved = true;
  if (o.saveReplay) {
    vrx::Recording r;
    if (RecordingFromRecorder(*gReplay, gCarList[gPlayer.CarIndex], gTrackList[gPlayer.TrackIndex], &r)) {
      saved = vrx::WriteRecordFile(o.saveReplay, r);
    } else {
      fprintf(stderr, "vrx: the demo recorded nothing to save in %s\n", o.saveReplay);
      saved = false;
    }
  }
  const bool over =
      gDemo.DriveOver(LastComponent(gTrackList[gPlayer.TrackIndex]), LastComponent(gCarList[gPlayer.CarIndex]));
  return over && saved ? kExitOk : 1;
}
