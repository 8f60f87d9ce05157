// A music stream (MP3, Ogg Vorbis, WAV or any other format libsndfile reads).
// The file is decoded piece by piece into a short queue of buffers; the queue
// is topped up whenever the game calls into the object, so the game must call
// one of its methods (GetRelativePos every frame does) at least about once a
// second while the music plays. Single-threaded: no call may run concurrently
// with another call on any sound object.
#pragma once

class cMP3 {
public:
  // Touches no audio device, so that players may be global objects.
  cMP3();
  ~cMP3();

  cMP3(const cMP3&) = delete;
  cMP3& operator=(const cMP3&) = delete;

  // Opens a music file (replacing any loaded one). On failure the object
  // stays usable and silent.
  void Load(const char* file);
  // Plays from the start (also while playing or paused).
  void Play();
  // Stops and rewinds; GetRelativePos reads 0 afterwards.
  void Stop();
  // Holds the position; Resume continues from it. Resume does nothing unless paused.
  void Pause();
  void Resume();
  // 0.0 at the start, below 1.0 while playing or paused, exactly 1.0 once the
  // piece has played to its end (until the next Play or Stop). 0.0 when
  // nothing is loaded or there is no audio device.
  float GetRelativePos();
  // Releases the stream and its share of the audio device; Load may follow.
  void Cleanup();

private:
  struct Stream;
  Stream* stream;
};
