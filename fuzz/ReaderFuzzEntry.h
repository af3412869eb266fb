// The scene reader's fuzz entries, shared by the libFuzzer targets and the
// test that replays their corpora.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vx::fuzz {

// Reads the bytes as a scene file into a new world; PROTO body files go to a
// scratch folder and are removed again.
void ReadSceneBytes(const uint8_t* data, size_t size);

// Reads the bytes as a scene file and, when they read, draws a few frames of
// the world at 8, 16 and 32 bits, looking level, straight down and up.
void DrawSceneBytes(const uint8_t* data, size_t size);

// Takes the bytes as an EXTERNPROTO library file: a world declares
// EXTERNPROTOs of its PROTO "Ball" and of its first PROTO, and instantiates
// both.
void ReadProtoLibraryBytes(const uint8_t* data, size_t size);

// Reads the bytes as a scene file; when they read, writes the scene, reads
// that text and writes it again. What was lost on the way: empty when the
// two texts are the same (or the bytes do not read), else what differs.
std::string RoundTripSceneBytes(const uint8_t* data, size_t size);

// The scene text of a world shaped by a few bytes: PROTO bodies nested
// inside each other, each some levels deep, a chain of nodes each USE-ing
// the one before several times, one mesh of a size the bytes choose, and
// many nodes USE-ing what came before.
std::string SharedWorldText(const uint8_t* data, size_t size);

// Reads the world SharedWorldText makes of the bytes, draws two frames of it
// and saves it.
void DrawSharedWorldBytes(const uint8_t* data, size_t size);

}  // namespace vx::fuzz
