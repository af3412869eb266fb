// Limits of the scene graph and the scene reader.
//
// Input beyond a limit is cut or refused; nothing is ever written past a
// buffer of these sizes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace vx {

// Entries per section (fields, eventIns, eventOuts) of a node's field table.
inline constexpr int kMaxFieldsPerSection = 64;

// A string value holds at most this many characters (char[256] with its end).
inline constexpr size_t kMaxStringLength = 255;

// DEF names kept by a node (char[66] with its end).
inline constexpr size_t kMaxDefNameLength = 65;

// DEF and USE names read from a file; a longer name fails the read.
inline constexpr size_t kMaxReadNameLength = 62;

// Target eventIn names of a ROUTE (64-byte slots); longer ones are refused.
inline constexpr size_t kMaxRouteNameLength = 63;

// Each half of a deferred ROUTE, "node.event" (64-byte slots).
inline constexpr size_t kMaxRouteTextLength = 63;

// Deferred ROUTE records a scene starts with room for (the list grows).
inline constexpr int kInitialPendingRoutes = 32;

// Names declared at run time (Script, PROTO interfaces; 32-byte slots).
inline constexpr size_t kMaxDeclaredNameLength = 31;

// Nodes read from one file (every node, named or not).
inline constexpr int kMaxNodesPerFile = 4096;

// Depth of nodes inside nodes: of a world's hierarchy as it is read (PROTO
// bodies, libraries and Inlines counted in, and the levels a USE brings with
// it), and of the walks over it. Each level is a few stack frames; the limit
// keeps a hostile file from exhausting the stack.
inline constexpr int kMaxNodeNesting = 512;

// Children one pass over a world walks (drawing, picking, activating). A
// node shared by USE is walked once per path, so that a small file can ask
// for more than any machine does; real worlds stay far below this.
inline constexpr int64_t kMaxNodeVisitsPerPass = int64_t{1} << 19;

// Tabs the scene writer indents a line with, at most.
inline constexpr int kMaxWrittenIndent = 64;

// PROTO and EXTERNPROTO declarations held by one world.
inline constexpr int kMaxProtoDeclarations = 100;

// PROTO bodies read inside PROTO bodies; deeper nesting is refused, which
// also ends a body that instantiates itself through other declarations.
inline constexpr int kMaxProtoNesting = 32;

// Inline files loaded inside Inline files; deeper nesting is refused, which
// also ends a chain of files that include each other under different names.
inline constexpr int kMaxInlineNesting = 32;

// The reader's message text (char[260] with its end).
inline constexpr size_t kMaxMessageLength = 259;

// The notes of a world that are kept to be read; later ones are only
// counted.
inline constexpr size_t kMaxKeptSceneMessages = 32;

// Paths and URLs handed between the engine's parts (char[256] with its end).
inline constexpr size_t kMaxPathLength = 255;

// The largest SFImage a file may hold: each side, and all its pixels (the
// pictures the media decoders accept). A larger one fails the field before
// anything is allocated or read.
inline constexpr int32_t kMaxImageSide = 16384;
inline constexpr int64_t kMaxImagePixels = 64LL * 1024 * 1024;

// Elements of a list in property text; a larger count is refused.
inline constexpr int32_t kMaxPropertyListCount = 65536;

// A number word in property text; a longer word is refused. Every word the
// engine writes itself reads back: the longest is a time of the largest
// magnitude with two decimals, a sign, 309 digits, the point and 2 more.
inline constexpr size_t kMaxPropertyNumberLength =
    1 + static_cast<size_t>(std::numeric_limits<double>::max_exponent10 + 1) + 3;

// Points of a polygon (an extrusion cap, a face of a face set) handed to the
// polygon triangulator; larger ones are cut as a fan.
inline constexpr int32_t kMaxTriangulatedPolygonPoints = 99;

// Faces meeting at one position whose normals a creased mesh smooths
// together; where more meet, the corners there keep their own faces'
// normals (smoothing costs the square of the faces at a position, which a
// hostile fan would make unbounded).
inline constexpr int32_t kMaxSmoothedFacesAtAPoint = 256;

// The largest mesh a geometry node builds (Extrusion, ElevationGrid,
// IndexedFaceSet): its vertices, its triangles, and what building it may
// take, estimated before anything is allocated from the bytes each build
// was measured to take per triangle, its vertices' share included. A larger
// one is refused, draws nothing and is not tried again until its fields
// change.
struct MeshLimits {
  static constexpr int64_t kMaxVertices = int64_t{4} << 20;
  static constexpr int64_t kMaxTriangles = int64_t{4} << 20;
  static constexpr int64_t kMaxBuildBytes = int64_t{256} << 20;
  static constexpr int64_t kExtrusionBytesPerTriangle = 440;
  static constexpr int64_t kElevationGridBytesPerTriangle = 320;
  // An IndexedFaceSet is estimated per entry of its coordIndex.
  static constexpr int64_t kFaceSetBytesPerIndex = 110;
};

}  // namespace vx
