// The demo in the program: the chosen car and track, one drive with the
// autopilot at the wheel, the figures written afterwards.
#include <cstdio>

#include "demo/demo.h"
#include "shell/drive.h"
#include "shell/program.h"

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
  return gDemo.DriveOver(LastComponent(gTrackList[gPlayer.TrackIndex]), LastComponent(gCarList[gPlayer.CarIndex]))
             ? kExitOk
             : 1;
}
