// One positional sound sample, loaded whole into memory (WAV or any other
// format libsndfile reads; multi-channel files are mixed down to mono so that
// they can be placed in the scene). A file that cannot be read leaves a
// silent object whose calls do nothing.
#pragma once

#include "platform/d3dx9math.h"

class cListener;

class cSound3D {
public:
  cSound3D(cListener* listener, const char* file);
  ~cSound3D();

  cSound3D(const cSound3D&) = delete;
  cSound3D& operator=(const cSound3D&) = delete;

  // Playback rate in samples per second; the file's own rate is normal pitch.
  // Takes effect at once, also while the sound plays.
  void SetSampleFreq(unsigned long hertz);
  // Playback speed over the sample rate (2: twice as fast, an octave up), for
  // a scene that runs faster or slower than real time; 1 by default. Kept
  // across SetSampleFreq calls; takes effect at once.
  void SetSpeed(float factor);
  // World position of the source (left-handed, y up, z forward).
  void SetPos(const D3DXVECTOR3* position);
  // Plays once from the start (restarts a sound that is playing).
  void Play();
  // Plays repeatedly until Stop; a sound that already plays goes on where it is.
  void PlayLooping();
  void Stop();

private:
  cListener* listener;
  unsigned int source;  // 0 while silent
  unsigned int buffer;
  unsigned long fileRate;
  unsigned long rate;  // the last sample rate asked for (the file's own at first)
  float speed;
};
