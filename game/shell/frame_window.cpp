#include "shell/frame_window.h"

void cFrameWindow::Start(float now) {
  lastMark = now;
  frames = 0;
  window = 0;
}

float cFrameWindow::Step(float now) {
  if (frames == 10.0f) {
    window = now - lastMark;
    lastMark = now;
    frames = 0;
  }
  return window * 0.1f;
}
