/* The movie and sound library, libvxmedia.so: the part of the platform layer
 * that reads movies and sound with FFmpeg and plays sound through SDL2. No
 * program links it, so that none loads FFmpeg or SDL2 before it needs them:
 * libvxplatform.so loads it from its own folder the first time a movie or a
 * sound is opened, calls its one export VX_MEDIA_ENTRY_NAME with a
 * VxMediaHost, and reaches it from then on only through the VxMediaLayer
 * table the entry returns (null when the host is of another version).
 *
 * Ownership: the library makes every VxMediaVideo, VxMediaSound and
 * VxMediaOutput in the open function of its kind and frees it in the close
 * function of the same kind, which the caller calls exactly once. A picture
 * that videoFrame hands out belongs to the video and stays valid until the
 * next call on that video. Structures passed for output are the caller's;
 * the library fills them and keeps no pointer to them. Paths and format
 * names are the caller's and are read during the call only. The host and
 * the table live until the process ends: the library is never unloaded.
 *
 * Threads: every function is called from the engine's thread. The library's
 * own threads (the audio device's) never call the host; the host's clock is
 * read on the caller's thread only. */
#ifndef VANTESSEL_MEDIA_LAYER_H
#define VANTESSEL_MEDIA_LAYER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VX_MEDIA_LIBRARY_FILE "libvxmedia.so"
#define VX_MEDIA_ENTRY_NAME "VxMediaEntry"
/* Raised whenever a layout or a function of this header changes. */
#define VX_MEDIA_LAYER_VERSION 1

/* Streams of a movie described at most; a movie may have more. */
#define VX_MEDIA_MAX_STREAMS 256
/* Characters of an output's name, terminator included. */
#define VX_MEDIA_NAME_SIZE 64

typedef struct VxMediaVideo VxMediaVideo;
typedef struct VxMediaSound VxMediaSound;
typedef struct VxMediaOutput VxMediaOutput;

/* Results of openVideo. */
enum VxMediaVideoResult {
  VxMediaVideoOpened = 0,
  VxMediaVideoCannotOpen = 1, /* no such file, or not of the format named */
  VxMediaVideoNoVideo = 2,    /* no video stream, or one of no size */
  VxMediaVideoNoDecoder = 3,  /* no decoder for the codec, or no first picture decoded */
  VxMediaVideoTooLarge = 4    /* more frames, bytes or pixels than a movie may have */
};

enum VxMediaStreamKind {
  VxMediaStreamOther = 0,
  VxMediaStreamVideo = 1,
  VxMediaStreamSound = 2,
  VxMediaStreamText = 3
};

/* The first video stream of a file: the size of its decoded pictures (0 from
 * probeVideo, which decodes none), the file's stream count, and its frames:
 * the first one's number, how many, and how many a second. */
typedef struct VxMediaVideoInfo {
  int32_t width;
  int32_t height;
  int32_t streamCount;
  int32_t start;
  int32_t length;
  double rate;
} VxMediaVideoInfo;

typedef struct VxMediaStreamFacts {
  int32_t kind; /* a VxMediaStreamKind */
  double frameRate; /* of a video stream: frames a second, a fallback when none is plausible */
} VxMediaStreamFacts;

/* What the container says of a movie, before anything is decoded. */
typedef struct VxMediaMovieFacts {
  int64_t durationUs;  /* microseconds; 0 or less when unknown */
  int32_t streamCount; /* all of them; the first VX_MEDIA_MAX_STREAMS are described */
  int32_t videoWidth;  /* as the best video stream declares it; 0 without one */
  int32_t videoHeight;
  VxMediaStreamFacts streams[VX_MEDIA_MAX_STREAMS];
} VxMediaMovieFacts;

typedef struct VxMediaSoundInfo {
  int64_t lengthMs;
  int32_t sampleRate; /* the sound's own, before it is resampled for the output */
} VxMediaSoundInfo;

/* An output stream as the host may see it. */
typedef struct VxMediaOutputState {
  int32_t isNull;       /* non-zero while the sound goes to the null output */
  int32_t loudestLeft;  /* the loudest sample handed over so far, 0..32768 */
  int32_t loudestRight;
} VxMediaOutputState;

/* What the host gives the library: the platform's millisecond clock, which
 * a test may step by hand. */
typedef struct VxMediaHost {
  uint32_t size; /* sizeof(VxMediaHost) */
  uint32_t version; /* VX_MEDIA_LAYER_VERSION */
  uint64_t (*nowMs)(void);
} VxMediaHost;

typedef struct VxMediaLayer {
  uint32_t size; /* sizeof(VxMediaLayer) */
  uint32_t version; /* VX_MEDIA_LAYER_VERSION */

  /* Movie pictures. openVideo returns a VxMediaVideoResult and sets *out
   * (null on failure); the container is FFmpeg's short name ("avi", "mov").
   * videoFrame gives frame n (start <= n < start + length) as width x height
   * xRGB pixels, rows top-down, or null. videoFrameAt gives the frame on
   * show that many seconds after the start. probeVideo counts an AVI file's
   * frames without decoding them: non-zero when it has a video stream. */
  int32_t (*openVideo)(const char* path, const char* container, VxMediaVideo** out);
  void (*videoInfo)(const VxMediaVideo* video, VxMediaVideoInfo* out);
  const uint32_t* (*videoFrame)(VxMediaVideo* video, int32_t frame);
  int32_t (*videoFrameAt)(const VxMediaVideo* video, double seconds);
  void (*closeVideo)(VxMediaVideo* video);
  int32_t (*probeVideo)(const char* path, VxMediaVideoInfo* out);
  /* Non-zero when the file opens as that container. */
  int32_t (*describeMovie)(const char* path, const char* container, VxMediaMovieFacts* out);

  /* Sound, decoded and resampled to signed 16-bit stereo at 44,100 frames a
   * second. openSound gives null when the file has no sound that can be
   * decoded. readSound writes at most `frames` interleaved frames and
   * returns how many it wrote (0 at the end); rewindSound returns non-zero
   * when the sound starts again from the beginning. */
  VxMediaSound* (*openSound)(const char* path, const char* container);
  void (*soundInfo)(const VxMediaSound* sound, VxMediaSoundInfo* out);
  int32_t (*readSound)(VxMediaSound* sound, int16_t* samples, int32_t frames);
  int32_t (*rewindSound)(VxMediaSound* sound);
  void (*closeSound)(VxMediaSound* sound);

  /* Output streams, mixed into the machine's audio device or, without one,
   * played on the host's clock and dropped. A stream starts paused; it
   * never blocks. */
  VxMediaOutput* (*openOutput)(void);
  void (*queueOutput)(VxMediaOutput* output, const int16_t* samples, int32_t frames);
  int64_t (*queuedFrames)(VxMediaOutput* output);
  void (*pauseOutput)(VxMediaOutput* output, int32_t paused);
  void (*clearOutput)(VxMediaOutput* output);
  void (*outputState)(const VxMediaOutput* output, VxMediaOutputState* out);
  void (*closeOutput)(VxMediaOutput* output);
  /* "" before the first stream, "opening" while the device is being opened,
   * "sdl:<driver>" once it is, "null" without one; returns its length. */
  int32_t (*outputName)(char* text, int32_t size);
} VxMediaLayer;

typedef const VxMediaLayer* (*VxMediaEntryFn)(const VxMediaHost* host);
/* Exported by libvxmedia.so alone; the platform finds it with dlsym. */
const VxMediaLayer* VxMediaEntry(const VxMediaHost* host);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(VxMediaLayer) == 2 * sizeof(uint32_t) + 20 * sizeof(void (*)(void)),
              "size, version, 20 functions");
static_assert(offsetof(VxMediaMovieFacts, streams) == 24, "the streams after the counts");
static_assert(sizeof(VxMediaStreamFacts) == 16, "kind, frame rate");
#else
_Static_assert(sizeof(VxMediaLayer) == 2 * sizeof(uint32_t) + 20 * sizeof(void (*)(void)),
               "size, version, 20 functions");
_Static_assert(offsetof(VxMediaMovieFacts, streams) == 24, "the streams after the counts");
_Static_assert(sizeof(VxMediaStreamFacts) == 16, "kind, frame rate");
#endif

#endif
