// Parse speed in MB/s on a generated 10 MB world of IndexedFaceSets. The
// geometry classes are stand-ins with the fields the file uses, so the
// benchmark measures the reader alone.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/scene/SceneReader.h"
#include "engine/world/Browser.h"
#include "platform/Numbers.h"

namespace vx {
namespace {

class CStandInShape : public CNode {
 public:
  CStandInShape();
  CNodeRef geometry;
};

class CStandInFaceSet : public CNode {
 public:
  CStandInFaceSet();
  CNodeRef coord;
  MFInt32 coordIndex{};
  int16_t solid = 1;
};

class CStandInCoordinate : public CNode {
 public:
  CStandInCoordinate();
  MFVec3f point{};
};

constexpr FieldSpec kShapeFields[] = {Field<&CStandInShape::geometry>("geometry")};
constexpr FieldTable kShapeTable{Section(kShapeFields), {}, {}};
constexpr FieldSpec kFaceSetFields[] = {
    Field<&CStandInFaceSet::coord>("coord"),
    Field<&CStandInFaceSet::coordIndex>("coordIndex"),
    Field<&CStandInFaceSet::solid>("solid", DefaultBool(true)),
};
constexpr FieldTable kFaceSetTable{Section(kFaceSetFields), {}, {}};
constexpr FieldSpec kCoordinateFields[] = {Field<&CStandInCoordinate::point>("point")};
constexpr FieldTable kCoordinateTable{Section(kCoordinateFields), {}, {}};

CStandInShape::CStandInShape() { RegisterFields(kShapeTable); }
CStandInFaceSet::CStandInFaceSet() { RegisterFields(kFaceSetTable); }
CStandInCoordinate::CStandInCoordinate() { RegisterFields(kCoordinateTable); }

void RegisterStandIns(NodeClassTable& table) {
  table.Add<CStandInShape>("Shape");
  table.Add<CStandInFaceSet>("IndexedFaceSet");
  table.Add<CStandInCoordinate>("Coordinate");
}

// Top-level Groups of Shapes, each with a grid of quads; about size bytes,
// within the 4,096 nodes a file may hold.
constexpr int kColumns = 20;
constexpr int kRows = 15;

std::string MakeWorld(size_t size) {
  std::string text = "#VRML V2.0 utf8\n";
  int shape = 0;
  while (text.size() < size) {
    text += "Group { children [\n";
    for (int s = 0; s < 20 && text.size() < size; ++s, ++shape) {
      text += "Shape { geometry IndexedFaceSet {\n  coord Coordinate { point [\n";
      for (int v = 0; v < kColumns * kRows; ++v) {
        text += FormatString("    %.3f %.3f %.3f,\n", (v % kColumns) * 0.25f, shape * 0.5f, (v / kColumns) * 0.125f);
      }
      text += "  ] }\n  coordIndex [\n";
      for (int row = 0; row + 1 < kRows; ++row) {
        for (int column = 0; column + 1 < kColumns; ++column) {
          const int a = row * kColumns + column;
          text += FormatString("    %d, %d, %d, %d, -1,\n", a, a + 1, a + kColumns + 1, a + kColumns);
        }
      }
      text += "  ]\n  solid FALSE\n} }\n";
    }
    text += "] }\n";
  }
  return text;
}

void BM_ParseIndexedFaceSetWorld(benchmark::State& state) {
  static const NodeRegistration kStandIns[] = {RegisterStandIns};
  const NodeClassTable classes = MakeNodeClassTable(kStandIns);
  const std::string world = MakeWorld(10 * 1024 * 1024);
  for (auto _ : state) {
    auto stream = CSceneInputStream::FromText(world);
    CBrowser browser;
    CSceneReader reader(stream, classes);
    if (!reader.ReadScene(&browser.GetScene())) {
      state.SkipWithError(reader.GetMessage().c_str());
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(world.size()));
}
BENCHMARK(BM_ParseIndexedFaceSetWorld)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vx
