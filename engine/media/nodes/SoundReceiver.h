// What a Sound hands its source every frame: the volume (0..1) and balance
// (-1 left .. 1 right) at which the listener hears it. AudioClip receives
// them and plays its sound with them; movie textures and image objects that
// carry sound implement the same interface and apply the values when they
// draw.
#pragma once

namespace vx {

class ISoundReceiver {
 public:
  virtual void ReceiveSound(float volume, float balance) = 0;

 protected:
  ~ISoundReceiver() = default;
};

}  // namespace vx
