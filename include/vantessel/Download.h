/* The built-in component "Vx_Download": the host's download manager and
 * cache, as the engine and the host's own updaters reach it.
 *
 * The component is a table of VxDownloadSlotCount functions, in the order of
 * the VxDownloadSlot constants; fetch a slot through the host table and cast
 * it to the slot's signature below. Every text buffer handed to these
 * functions (URLs, local paths, output texts) holds VX_DOWNLOAD_TEXT_SIZE
 * characters, terminator included; longer URLs and paths are refused.
 *
 * Ownership: the download manager allocates every DownloadRequest and frees
 * it right after the callback that reports its end (event
 * VX_DOWNLOAD_EVENT), so a requester must not keep the pointer beyond that
 * call. A body kept in memory (flags != 0) belongs to the manager; read it
 * through VxDownloadGetSlotBuffer and give it back through
 * VxDownloadFreeSlotBuffer. */
#ifndef VANTESSEL_DOWNLOAD_H
#define VANTESSEL_DOWNLOAD_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VX_DOWNLOAD_TEXT_SIZE 256
#define VX_DOWNLOAD_EVENT 7
#define VX_DOWNLOAD_SLOTS 12

/* States of a download slot and of a DownloadRequest. */
enum DownloadState {
  DownloadFree = 0,
  DownloadRunning = 1,
  DownloadCancelled = 2,
  DownloadFailed = 3,
  DownloadDone = 4
};

typedef struct DownloadRequest DownloadRequest;

/* Called as fn(VX_DOWNLOAD_EVENT, request, userData) when a download ends
 * (done, failed or cancelled), from VxDownloadPoll or VxDownloadCancel. */
typedef void (*DownloadCallbackFn)(int32_t event, DownloadRequest* request, void* userData);

typedef struct DownloadCallback {
  void* userData;
  DownloadCallbackFn fn;
} DownloadCallback;

struct DownloadRequest {
  int32_t state;                          /* a DownloadState */
  int32_t slot;                           /* 0 .. VX_DOWNLOAD_SLOTS - 1 */
  char url[VX_DOWNLOAD_TEXT_SIZE];        /* always begins with "http://" */
  char localPath[VX_DOWNLOAD_TEXT_SIZE];  /* the file that receives the body */
  void* userData;
  DownloadCallbackFn callback;
};

enum VxDownloadSlot {
  VxDownloadAcquireSlot = 0,
  VxDownloadReleaseSlot = 1,
  VxDownloadStartSlot = 2,
  VxDownloadStartToSlot = 3,
  VxDownloadPollSlot = 4,
  VxDownloadClearCacheSlot = 5,
  VxDownloadGetCacheLimitSlot = 6,
  VxDownloadSetCacheLimitSlot = 7,
  VxDownloadWriteConfigSlot = 8,
  VxDownloadGetProgressTextSlot = 9,
  VxDownloadCancelSlot = 10,
  VxDownloadGetSlotBufferSlot = 11,
  VxDownloadGetStatusSlot = 12,
  VxDownloadFreeSlotBufferSlot = 13,
  VxDownloadGetHomeUrlSlot = 14,
  VxDownloadGetCacheDirSlot = 15,
  VxDownloadGetProductsRegistryPathSlot = 16,
  VxDownloadGetProductRegistryUrlSlot = 17,
  VxDownloadSlotCount = 18
};

/* Signatures of the slots, in slot order. */
typedef void (*VxDownloadAcquireFn)(void);
typedef void (*VxDownloadReleaseFn)(void);
/* A URL without "http://" is fetched with it put in front; the caller's text
 * is not changed. flags != 0 keeps a memory copy of the body. outLocalPath
 * (optional) receives the cached file's path on a cache hit. Returns the
 * slot, or -1 (12 downloads running, the same URL already running, no free
 * slot, a URL or path too long). */
typedef int32_t (*VxDownloadStartFn)(const char* url, const DownloadCallback* callback, int32_t flags,
                                     char* outLocalPath);
typedef int32_t (*VxDownloadStartToFn)(const char* url, const char* localPath,
                                       const DownloadCallback* callback, int32_t flags);
typedef void (*VxDownloadPollFn)(void);
typedef void (*VxDownloadClearCacheFn)(void);
typedef int32_t (*VxDownloadGetCacheLimitFn)(void);
typedef int32_t (*VxDownloadSetCacheLimitFn)(int32_t bytes);
typedef void (*VxDownloadWriteConfigFn)(void);
typedef void (*VxDownloadGetProgressTextFn)(char* out);
typedef void (*VxDownloadCancelFn)(int32_t slot);
typedef void* (*VxDownloadGetSlotBufferFn)(int32_t slot);
/* total and received may be null. Returns the slot's DownloadState. */
typedef int32_t (*VxDownloadGetStatusFn)(int32_t slot, int32_t* total, int32_t* received);
typedef void (*VxDownloadFreeSlotBufferFn)(int32_t slot);
/* Slots 14-16 copy a text into out and return its length + 1; slot 17
 * returns the number of characters written. */
typedef int32_t (*VxDownloadGetTextFn)(char* out);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(DownloadRequest) == 2 * sizeof(int32_t) + 2 * VX_DOWNLOAD_TEXT_SIZE + 2 * sizeof(void*),
              "DownloadRequest: state, slot, url, localPath, userData, callback");
static_assert(offsetof(DownloadRequest, userData) == 8 + 2 * VX_DOWNLOAD_TEXT_SIZE, "userData after the texts");
static_assert(sizeof(DownloadCallback) == 2 * sizeof(void*), "DownloadCallback is {userData, fn}");
#else
_Static_assert(offsetof(DownloadRequest, userData) == 8 + 2 * VX_DOWNLOAD_TEXT_SIZE, "userData after the texts");
_Static_assert(sizeof(DownloadCallback) == 2 * sizeof(void*), "DownloadCallback is {userData, fn}");
#endif

#endif
