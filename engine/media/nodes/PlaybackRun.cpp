#include "engine/media/nodes/PlaybackRun.h"

#include "engine/media/MediaHandle.h"

namespace vx {

void CPlaybackRun::Step(CPlaybackHandle& handle, float rate, const PlaybackTimes& times, const ActiveSink& sendActive) {
  const bool withinTimes = times.now < times.stopTime || times.stopTime <= times.startTime;
  if (!playing_ && !finished_ && handle.GetPosition() == 0 && times.startTime < times.now && withinTimes) {
    handle.Play();
    sendActive(true);
    playing_ = true;
    return;
  }
  const bool ranOut = rate == 0.0f;
  const bool stopDue = times.stopTime < times.now && times.startTime < times.stopTime;
  if (!playing_ || !(ranOut || stopDue)) return;
  sendActive(false);
  if (times.loop && withinTimes) {
    handle.Rewind();
    handle.Play();
    sendActive(true);
    return;
  }
  playing_ = false;
  finished_ = true;
  handle.Stop();
}

void CPlaybackRun::Restart(CPlaybackHandle& handle, const ActiveSink& sendActive) {
  handle.Stop();
  handle.Rewind();
  finished_ = false;
  if (!playing_) return;
  playing_ = false;
  sendActive(false);
}

}  // namespace vx
