// Limits of the platform's movie and sound layer, in one place. Sizes read
// from a movie are checked against these before anything is kept for them.
#pragma once

#include <cstdint>

namespace vx {

// The compressed pictures of one movie that are kept in memory at most, and
// the frames a movie may have.
inline constexpr int64_t kMaxMovieVideoBytes = 256LL * 1024 * 1024;
inline constexpr int32_t kMaxMovieFrames = 1 << 20;
// A frame's sides (the 16-bit sizes of a frame grid), and the pixels of a
// decoded frame, which bound what the decoder and the frame buffer take
// whatever size a header claims (4096 x 4096: 64 MB at 4 bytes a pixel).
inline constexpr int32_t kMaxMovieFrameSide = 16384;
inline constexpr int64_t kMaxMovieFramePixels = 4096LL * 4096;
// Frames decoded at most, on opening a movie, in search of its first picture.
inline constexpr int32_t kMaxMovieFramesTriedForSize = 16;
// Frame rates outside this range are taken as the fallback rate.
inline constexpr double kMinFrameRate = 0.01;
inline constexpr double kMaxFrameRate = 1000.0;
inline constexpr double kFallbackFrameRate = 15.0;

// The largest block FFmpeg may allocate at once: twice a frame of the
// largest size at 4 bytes a pixel.
inline constexpr int64_t kMaxFfmpegBlockBytes = 128LL * 1024 * 1024;

// A QuickTime movie's header atom is read whole only up to this size; its
// tracks and user-data items are kept up to these counts.
inline constexpr int64_t kMaxMovieHeaderBytes = 32LL * 1024 * 1024;
inline constexpr int32_t kMaxMovieTracks = 256;
inline constexpr int32_t kMaxMovieUserDataItems = 256;
// Top-level atoms walked past before the header is given up.
inline constexpr int32_t kMaxMovieTopLevelAtoms = 4096;

// Sound whose rate or channels lie outside these is refused before any
// decoder or resampler is made for it.
inline constexpr int32_t kMinSoundSampleRate = 1000;
inline constexpr int32_t kMaxSoundSampleRate = 384000;
inline constexpr int32_t kMaxSoundChannels = 8;

// Sound goes out as signed 16-bit stereo at this rate.
inline constexpr int32_t kOutputSampleRate = 44100;
inline constexpr int32_t kOutputChannels = 2;
// The largest sum of mix coefficients swresample takes as it stands (its
// option's upper bound): float sound is mixed down unscaled.
inline constexpr double kFullLevelMixLimit = 1000.0;
// Sound is decoded and handed on in blocks of this many frames.
inline constexpr int32_t kAudioBlockFrames = 4096;
// How far ahead of the clock sound is handed to the output device.
inline constexpr int32_t kOutputLeadMs = 250;

// PICT pictures: the largest file read, the sides and pixels of a frame
// (and the sides of a raster in it), and what drawing one may cost: this
// many times the frame's pixels (at least kMinPictWorkPixels) of pixels
// written and bytes unpacked, so that many overlapping rasters stay bounded.
inline constexpr int64_t kMaxPictFileBytes = 64LL * 1024 * 1024;
inline constexpr int32_t kMaxPictSide = 16384;
inline constexpr int64_t kMaxPictPixels = 32LL * 1024 * 1024;
inline constexpr int64_t kPictWorkPerPixel = 8;
inline constexpr int64_t kMinPictWorkPixels = 1024LL * 1024;

// Open devices at once; a further open is refused.
inline constexpr int32_t kMaxMediaDevices = 64;
// Device aliases keep at most this many characters.
inline constexpr int32_t kMaxMediaAliasLength = 15;
// Volumes of "setaudio" (per channel) and of the wave output word.
inline constexpr int32_t kMaxSetAudioVolume = 1000;
inline constexpr uint32_t kMaxWaveVolume = 0xFFFF;

// Commands the log keeps; the oldest are dropped first.
inline constexpr int32_t kMaxLoggedCommands = 4096;

}  // namespace vx
