// The start, end and loop rules of a played medium (a sound clip or a
// movie texture). It starts once startTime has passed while stopTime lies
// ahead (or not after startTime), ends when it runs out or stopTime passes,
// and runs again at once while it loops. A run that ended without looping
// stays ended until it is restarted, so that it plays once however the
// format reports the position of a finished medium.
#pragma once

#include <functional>

namespace vx {

class CPlaybackHandle;

struct PlaybackTimes {
  double now = 0.0;
  double startTime = 0.0;
  double stopTime = 0.0;
  bool loop = false;
};

class CPlaybackRun {
 public:
  // Told true when a run starts and false when one ends.
  using ActiveSink = std::function<void(bool active)>;

  // One frame with a handle that has its media; rate is the handle's
  // playing rate as it was read at the start of the frame.
  void Step(CPlaybackHandle& handle, float rate, const PlaybackTimes& times, const ActiveSink& sendActive);
  // Stops and rewinds the medium: a run in progress ends, and the start rule
  // may begin a new one.
  void Restart(CPlaybackHandle& handle, const ActiveSink& sendActive);
  // The handle is gone.
  void Detach() { playing_ = false; }
  bool IsPlaying() const { return playing_; }

 private:
  bool playing_ = false;
  bool finished_ = false;
};

}  // namespace vx
