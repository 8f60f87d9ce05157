// The race loop's clock: frames are timed in windows of 10, and each
// frame's time step is the mean frame time of the last complete window
// (0 until the first window is complete), so the physics keeps pace with
// real time at any frame rate.
#pragma once

class cFrameWindow {
 public:
  // A new run of frames starting at `now` (seconds).
  void Start(float now);
  // Called before a frame is drawn; returns its time step in seconds.
  float Step(float now);
  // Called after the frame was presented.
  void FrameDone() { frames += 1; }
  // Length of the last complete window (0 before the first).
  float Window() const { return window; }

 private:
  float lastMark = 0;
  float frames = 0;
  float window = 0;
};
