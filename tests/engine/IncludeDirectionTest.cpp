#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "IncludeLayers.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

using test::LayerOf;
using test::ScanIncludes;

TEST(IncludeDirection, NoFileOfTheTreeIncludesALayerAboveItsOwn) {
  const test::IncludeScan scan = ScanIncludes(VX_SOURCE_DIR);
  // A scan that found nothing would pass whatever the tree holds.
  ASSERT_GT(scan.filesRead, 500);
  ASSERT_GT(scan.includesChecked, 1000);
  for (const test::UpwardInclude& include : scan.upward) ADD_FAILURE() << Describe(include);
  for (const std::string& file : scan.withoutLayer) ADD_FAILURE() << file << " lies in no layer";
}

TEST(IncludeDirection, EachFolderHasItsLayer) {
  const auto rank = [](const char* path) { return LayerOf(path).value().rank; };
  EXPECT_LT(rank("common/DataStream.h"), rank("engine/hostlink/HostTable.h"));
  EXPECT_LT(rank("engine/hostlink/HostTable.h"), rank("engine/math/Vec.h"));
  EXPECT_LT(rank("engine/math/Vec.h"), rank("engine/scene/Node.h"));
  EXPECT_LT(rank("engine/scene/GroupNode.h"), rank("engine/render/GeometryStage.h")) << "the root node is the scene's";
  EXPECT_LT(rank("engine/render/GeometryStage.h"), rank("engine/world/ViewContext.h"));
  EXPECT_EQ(rank("engine/world/chat/IrcClient.h"), rank("engine/world/ViewContext.h"));
  EXPECT_LT(rank("engine/world/ViewContext.h"), rank("engine/nodes/FogNode.h"));
  for (const char* path : {"engine/world/nodes/ScriptNode.h", "engine/world/behaviours/LinkBehaviour.h"}) {
    EXPECT_EQ(rank(path), rank("engine/nodes/FogNode.h")) << path;
  }
  EXPECT_LT(rank("engine/nodes/FogNode.h"), rank("engine/media/MediaObject.h"));
  EXPECT_LT(rank("engine/media/MediaObject.h"), rank("engine/media/nodes/TextNode.h"));
  EXPECT_LT(rank("engine/media/nodes/TextNode.h"), rank("engine/pano/PanoView.h"));
  EXPECT_LT(rank("engine/pano/PanoView.h"), rank("engine/pano/nodes/VistaNode.h"));
  EXPECT_LT(rank("engine/pano/nodes/VistaNode.h"), rank("engine/interface/EngineInstance.h"));
  EXPECT_LT(rank("engine/interface/EngineInstance.h"), rank("host/ComponentManager.h"));
  EXPECT_LT(rank("host/ComponentManager.h"), rank("viewer/MainFrame.h"));
  EXPECT_EQ(rank("plugin/Browser.h"), rank("viewer/MainFrame.h"));
  EXPECT_FALSE(LayerOf("engine/Loose.h")) << "the engine's top folder holds no layer";
  EXPECT_FALSE(LayerOf("tests/scene/TestNodes.h"));
}

// The scan itself, on a small tree: a downward include, one beside the file,
// one to a layer above and one from a file that lies in no layer.
TEST(IncludeDirection, TheScanFindsAnUpwardIncludeWhereverItIsWritten) {
  test::TemporaryFolder tree("vx-layers-");
  const std::filesystem::path root = tree.Path();
  for (const char* folder : {"engine/world", "engine/render", "engine/stray"}) {
    std::filesystem::create_directories(root / folder);
  }
  tree.Write("engine/render/Stage.h", "#pragma once\n");
  tree.Write("engine/world/View.h", "#include \"engine/render/Stage.h\"\n");
  tree.Write("engine/world/View.cpp", "#include \"View.h\"\n");
  tree.Write("engine/render/Stage.cpp",
             "#include \"engine/render/Stage.h\"\n#include <vector>\n  #  include \"engine/world/View.h\"\n");
  tree.Write("engine/stray/Stray.cpp", "#include \"engine/world/View.h\"\n");

  const test::IncludeScan scan = ScanIncludes(root);
  EXPECT_EQ(scan.filesRead, 4);
  EXPECT_EQ(scan.includesChecked, 4);
  ASSERT_EQ(scan.upward.size(), 1u);
  EXPECT_EQ(Describe(scan.upward[0]),
            "engine/render/Stage.cpp:3 (render) includes engine/world/View.h (world runtime)");
  ASSERT_EQ(scan.withoutLayer.size(), 1u);
  EXPECT_EQ(scan.withoutLayer[0], "engine/stray/Stray.cpp");
}

}  // namespace
}  // namespace vx
