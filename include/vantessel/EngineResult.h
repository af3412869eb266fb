/* Results of the engine interface. */
#ifndef VANTESSEL_ENGINE_RESULT_H
#define VANTESSEL_ENGINE_RESULT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t EngineResult;

enum {
  EngineOk = 0,
  EngineNullArgument = 2,      /* a required handle or argument is null */
  EngineNodeNotFound = 4,      /* a node reference is empty, or no node was found */
  EngineLoadFailed = 5,        /* the reason is written to the caller's error text */
  EngineOpenFailed = 6,        /* the scene file could not be opened as a stream */
  EngineInstanceHasScenes = 7, /* DestroyEngineInstance while scenes remain */
  EngineSceneHasViews = 8,     /* DestroyScene while views remain */
  EngineTextCut = 9,           /* FormatFieldValue: the text did not fit; it holds the whole list
                                  elements that fit, after their count (a single value: nothing) */
  EngineValueRefused = 10      /* SetNodeField, SendNodeEvent: a node value holding the node it goes
                                  to, or a node above that one; nothing is set or sent */
};

/* Paths, URLs and error texts cross the boundary in caller-owned buffers of
 * this many characters, terminator included. */
#define VX_TEXT_BUFFER_SIZE 256

#ifdef __cplusplus
}
#endif

#endif
