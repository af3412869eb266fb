#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "RenderedWorld.h"
#include "engine/media/nodes/ImageTextureNode.h"
#include "engine/media/nodes/MovieTextureNode.h"
#include "engine/media/nodes/PixelTextureNode.h"
#include "engine/media/nodes/SlideShowTextureNode.h"
#include "engine/media/nodes/TextureTransformNode.h"
#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/AppearanceNodes.h"
#include "engine/nodes/ShapeNode.h"
#include "engine/world/OverlayMaterial.h"
#include "platform/HeadlessBackend.h"
#include "tests/media/JpegTestPictures.h"
#include "tests/platform/TestEnvironment.h"
#include "tests/render/GeometryTestSupport.h"

namespace vx::test {
namespace {

constexpr int kMaxLoadFrames = 50;

// A quad with a textured appearance; `texture` is the node text.
std::string TexturedQuad(const std::string& texture, const std::string& extra = "") {
  return "Shape { appearance DEF Look Appearance { material Material { diffuseColor 1 1 1 } texture " + texture +
         extra +
         " } geometry IndexedFaceSet { coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0, -1 1 0 ] }"
         " coordIndex [ 0 1 2 3 -1 ] } }\n"
         "Viewpoint { position 0 0 3 }\n";
}

class TextureNodes : public RenderedWorld {
 protected:
  ~TextureNodes() override { Headless().Reset(); }
  std::string JpegFile(int width, int height) {
    return folder.Write("picture.jpg", CompressJpeg(Gradient(width, height), JpegKind::Baseline));
  }
  // Frames until the texture has a picture; false when none came.
  bool FramesUntilPicture(const CImageTextureNode& texture) {
    for (int i = 0; i < kMaxLoadFrames && !texture.Load().Image().bits; ++i) Frame();
    return texture.Load().Image().bits != nullptr;
  }
  // The texture of the appearance called Look.
  CImageTextureNode& LookTexture() {
    return static_cast<CImageTextureNode&>(*static_cast<CAppearanceNode&>(Named("Look")).texture.Get());
  }
  // The record the appearance called Look applies.
  MaterialRecord Applied() {
    MaterialRecord before = FlatMaterial({0, 1, 0});
    view.GetStage()->SetMaterial(&before);
    static_cast<CAppearanceNode&>(Named("Look")).Apply(RenderPass::Frame, &view, *view.GetStage());
    return view.GetStage()->Material();
  }

  TemporaryFolder folder{"vxtexture"};
};

// Every image-bearing texture keys the colour of a chromaKey with a red of
// 0 or more, unlit; a negative red switches keying off.
TEST_F(TextureNodes, ChromaKeyFlagsFollowTheRedComponent) {
  for (const char* type : {"ImageTexture", "PixelTexture", "MovieTexture", "SlideShowTexture"}) {
    CNodeRef node = NodeFactory(type, {});
    auto* texture = dynamic_cast<ITextureNode*>(node.Get());
    ASSERT_NE(texture, nullptr) << type;
    MaterialRecord unkeyed;
    texture->FillTextureRecord(unkeyed);
    EXPECT_EQ(unkeyed.chromaKey, 0) << type << ": keying is off by default";
    EXPECT_EQ(unkeyed.unlitTexture, 0) << type;

    const SFColor black{0, 0, 0};
    node->SetField("chromaKey", &black);
    MaterialRecord keyed;
    texture->FillTextureRecord(keyed);
    EXPECT_EQ(keyed.chromaKey, 1) << type;
    EXPECT_EQ(keyed.unlitTexture, 1) << type;
    EXPECT_EQ(keyed.chromaKeyColor.r, 0.0f) << type;

    const SFColor negativeRed{-1, 0, 0};
    node->SetField("chromaKey", &negativeRed);
    MaterialRecord off;
    texture->FillTextureRecord(off);
    EXPECT_EQ(off.chromaKey, 0) << type << ": a negative red turns keying off";
  }
}

// A missing file, a type without a decoder and then a JPEG: the texture
// ends up with the JPEG.
TEST_F(TextureNodes, FailedUrlsGiveWayToTheNextOne) {
  const std::string jpeg = JpegFile(16, 8);
  Load(TexturedQuad("DEF Tex ImageTexture { url [ \"" + folder.Path() + "/missing.jpg\" \"" + folder.Path() +
                    "/clip.mpg\" \"" + jpeg + "\" ] }"));
  auto& texture = static_cast<CImageTextureNode&>(Named("Tex"));
  ASSERT_TRUE(FramesUntilPicture(texture));
  EXPECT_EQ(texture.Load().Image().width, 16);
  EXPECT_EQ(texture.Load().Image().height, 8);
  EXPECT_EQ(Applied().texture.base, texture.Load().Image().bits);
}

TEST_F(TextureNodes, WithoutAnyUsableUrlTheTextureStaysWithoutPicture) {
  Load(TexturedQuad("DEF Tex ImageTexture { url [ \"" + folder.Path() + "/missing.jpg\" ] }"));
  auto& texture = static_cast<CImageTextureNode&>(Named("Tex"));
  EXPECT_FALSE(FramesUntilPicture(texture));
  EXPECT_EQ(Applied().texture.base, nullptr);
}

// Red then green, 2 x 1, drawn into a view of each depth.
TEST_F(TextureNodes, PixelTextureTexelsAtEachDepth) {
  const std::string image = "DEF Tex PixelTexture { image 2 1 3 0xFF0000 0x00FF00 }";
  for (int depth : {32, 16, 8}) {
    Headless().SetScreenDepth(depth);
    CViewContext deep{WindowHandle::None, 0};
    auto world = ReadWorld(TexturedQuad(image));
    world->RenderView(RenderPass::Activate, &deep);
    const PixelMap& texels = static_cast<CPixelTextureNode&>(*world->FindNode("Tex")).Image();
    ASSERT_NE(texels.bits, nullptr) << depth;
    EXPECT_EQ(texels.bytesPerPixel, depth / 8);
    EXPECT_EQ(texels.rowBytes, 2 * depth / 8);
    if (depth == 32) {
      EXPECT_EQ(reinterpret_cast<const uint32_t*>(texels.bits)[0], 0xFFFF0000u);
      EXPECT_EQ(reinterpret_cast<const uint32_t*>(texels.bits)[1], 0xFF00FF00u);
    } else if (depth == 16) {
      EXPECT_EQ(reinterpret_cast<const uint16_t*>(texels.bits)[0], 0x7C00u) << "bit 15 stays clear for keying";
      EXPECT_EQ(reinterpret_cast<const uint16_t*>(texels.bits)[1], 0x03E0u);
    } else {
      const auto& palette = deep.GetColorTable().entries;
      EXPECT_GT(palette[texels.bits[0]] >> 16 & 0xFF, 0xC0u) << "a red palette entry";
      EXPECT_LT(palette[texels.bits[0]] >> 8 & 0xFF, 0x40u);
      EXPECT_GT(palette[texels.bits[1]] >> 8 & 0xFF, 0xC0u) << "a green palette entry";
    }
    world->RenderView(RenderPass::Deactivate, &deep);
    EXPECT_EQ(texels.bits, nullptr) << "released with the world";
  }
}

// A red texture keyed on red leaves the cleared frame showing, at 16 bits as
// at 32.
TEST_F(TextureNodes, KeyedTexelsAreTransparentAtEachDepth) {
  constexpr int kSide = 32;
  std::string red = "PixelTexture { image 4 4 3";
  for (int i = 0; i < 16; ++i) red += " 0xFF0000";
  for (int depth : {32, 16}) {
    Headless().SetScreenDepth(depth);
    for (const char* key : {"-1 0 0", "1 0 0"}) {
      std::vector<uint8_t> pixels(static_cast<size_t>(kSide * kSide * depth / 8));
      PixelMap frame;
      frame.bits = pixels.data();
      frame.width = kSide;
      frame.height = kSide;
      frame.bytesPerPixel = static_cast<uint16_t>(depth / 8);
      frame.rowBytes = kSide * depth / 8;
      CViewContext deep{WindowHandle::None, 0};
      deep.SetFrameBuffer(frame);
      auto keyed = ReadWorld(TexturedQuad(red + " chromaKey " + key + " }"));
      keyed->RenderView(RenderPass::Activate, &deep);
      keyed->RenderFrame(&deep);
      const uint8_t* middle = frame.Row(kSide / 2) + kSide / 2 * depth / 8;
      const bool drawn = std::any_of(middle, middle + depth / 8, [](uint8_t b) { return b != 0; });
      EXPECT_EQ(drawn, key[0] == '-') << depth << " bits, key " << key;
    }
  }
}

// FALSE clamps along its own axis in the standard's worlds; the system's
// own worlds tile whatever the fields say.
TEST_F(TextureNodes, RepeatFieldsClampOnlyInTheStandardsWorlds) {
  for (const char* type : {"ImageTexture", "PixelTexture", "MovieTexture"}) {
    for (const WorldConvention convention : {WorldConvention::kStandard, WorldConvention::kSystem}) {
      const bool standard = convention == WorldConvention::kStandard;
      for (const auto& [fields, clampS, clampT] :
           {std::tuple{"", false, false}, std::tuple{"repeatS FALSE", true, false},
            std::tuple{"repeatT FALSE", false, true}}) {
        auto read = ReadWorld(std::string("DEF Tex ") + type + " { " + fields + " }", convention);
        MaterialRecord record;
        dynamic_cast<ITextureNode&>(*read->FindNode("Tex")).FillTextureRecord(record);
        EXPECT_EQ(record.repeatS, standard && clampS ? 0 : 1) << type << " " << fields << " standard " << standard;
        EXPECT_EQ(record.repeatT, standard && clampT ? 0 : 1) << type << " " << fields << " standard " << standard;
      }
    }
  }
}

// Red and green along the bottom, blue and yellow along the top, on a quad
// whose coordinates run from -0.5 to 1.5: its bottom left corner shows the
// red texel stretched out in the standard's worlds and the tiled yellow one
// in the system's.
TEST_F(TextureNodes, ADrawnPixelTextureWithoutRepeatStretchesItsEdgeTexels) {
  const std::string body =
      "Viewpoint { position 0 0 3 }\n"
      "Shape { appearance Appearance { texture PixelTexture { repeatS FALSE repeatT FALSE"
      " image 2 2 3 0xFF0000 0x00FF00 0x0000FF 0xFFFF00 } }"
      " geometry IndexedFaceSet { coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0, -1 1 0 ] }"
      " texCoord TextureCoordinate { point [ -0.5 -0.5, 1.5 -0.5, 1.5 1.5, -0.5 1.5 ] } coordIndex [ 0 1 2 3 -1 ] } }";
  for (const WorldConvention kind : {WorldConvention::kStandard, WorldConvention::kSystem}) {
    convention = kind;
    Load(body);
    const uint32_t corner = Pixel(10, 54);
    const uint32_t red = corner >> 16 & 0xFF, green = corner >> 8 & 0xFF, blue = corner & 0xFF;
    EXPECT_GT(red, 0x40u) << std::hex << corner;
    EXPECT_LT(blue, red / 4) << std::hex << corner;
    if (kind == WorldConvention::kStandard) {
      EXPECT_LT(green, red / 4) << "red, stretched: " << std::hex << corner;
    } else {
      EXPECT_GT(green, red / 2) << "yellow, tiled: " << std::hex << corner;
    }
  }
}

TEST(PixelTextureWords, ComponentsGiveGreyColourOrIgnoreAlpha) {
  EXPECT_EQ(ImageWordToRgb(0x80, 1), 0x808080u);
  EXPECT_EQ(ImageWordToRgb(0x40FF, 2), 0x404040u) << "the high byte is the grey";
  EXPECT_EQ(ImageWordToRgb(0x123456, 3), 0x123456u);
  EXPECT_EQ(ImageWordToRgb(0x12345678, 4), 0x123456u);
}

TEST_F(TextureNodes, AnImageWithoutComponentsOrPixelsConvertsNothing) {
  Load(TexturedQuad("DEF Tex PixelTexture { image 0 0 0 }"));
  EXPECT_EQ(static_cast<CPixelTextureNode&>(Named("Tex")).Image().bits, nullptr);
  EXPECT_EQ(Applied().texture.base, nullptr);
}

TEST_F(TextureNodes, TexturesAndTransformsMadeByPrototypesFillTheRecord) {
  Load(
      "PROTO Dot [ field SFImage picture 1 1 3 0xFF0000 ] { PixelTexture { image IS picture } }\n"
      "PROTO Shift [ field SFVec2f by 0 0 ] { TextureTransform { translation IS by } }\n" +
      TexturedQuad("Dot { }", " textureTransform Shift { by 0.5 0.5 }"));
  const MaterialRecord m = Applied();
  EXPECT_NE(m.texture.base, nullptr);
  EXPECT_EQ(m.textureTransform, TextureTransformRule::kVrml);
  EXPECT_FLOAT_EQ(m.translation.x, 0.5f);
}

TEST_F(TextureNodes, ATextureInTheTransformFieldOrATransformAsTextureFillsNothing) {
  Load(TexturedQuad("TextureTransform { translation 0.5 0 }", " textureTransform PixelTexture { image 1 1 1 0xFF }"));
  const MaterialRecord m = Applied();
  EXPECT_EQ(m.texture.base, nullptr);
  EXPECT_EQ(m.textureTransform, TextureTransformRule::kNone);
}

TEST_F(TextureNodes, EveryAppliedRecordIsTheOverlayMaterial) {
  Load(TexturedQuad("PixelTexture { image 1 1 3 0x00FF00 }"));
  const MaterialRecord m = Applied();
  EXPECT_EQ(GetOverlayMaterial().texture.base, m.texture.base);
  EXPECT_EQ(GetOverlayMaterial().diffuse.g, 1.0f);
}

// The pixels of a texture that is released or freed leave the overlay
// material, and the frames after it draw without them (ASan checks the
// reads).
TEST_F(TextureNodes, AFreedTextureLeavesNothingBound) {
  const std::string jpeg = JpegFile(8, 8);
  Load(TexturedQuad("ImageTexture { url \"" + jpeg + "\" }") +
       "Transform { translation 0 0 1 children Shape { appearance Appearance { } geometry IndexedFaceSet {"
       " coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0 ] } coordIndex [ 0 1 2 ] } } }");
  ASSERT_TRUE(FramesUntilPicture(LookTexture()));
  Frame();
  ASSERT_NE(GetOverlayMaterial().texture.base, nullptr);

  // The appearance's pass 2 frees the pixels; its geometry drawing next must
  // not read them.
  static_cast<CAppearanceNode&>(Named("Look")).Apply(RenderPass::Deactivate, &view, *view.GetStage());
  EXPECT_EQ(GetOverlayMaterial().texture.base, nullptr) << "released on pass 2";
  EXPECT_EQ(view.GetStage()->Material().texture.base, nullptr) << "the release came before the fill";
  TopNode<CShapeNode>(*world).geometry->Traverse(RenderPass::Frame, &view);
  world->RenderView(RenderPass::Deactivate, &view);
  world->RenderView(RenderPass::Activate, &view);
  ASSERT_TRUE(FramesUntilPicture(LookTexture()));
  Frame();

  const CNodeRef none;
  Named("Look").SetField("texture", &none);
  EXPECT_EQ(GetOverlayMaterial().texture.base, nullptr) << "freed with the node";
  Frame();
  EXPECT_EQ(view.GetStage()->Material().texture.base, nullptr);
}

TEST_F(TextureNodes, ATiledImageIsHandedToTheGeometryWithTheDefaultMaterial) {
  Load(TexturedQuad("ImageTexture { url [ \"pictures/room.FPX\" \"other.jpg\" ] }"));
  auto& shape = TopNode<CShapeNode>(*world);
  const TiledImageHandoff& handoff = shape.geometry->tiledImage;
  EXPECT_EQ(handoff.active, 1);
  EXPECT_EQ(handoff.urls, (std::vector<std::string>{"pictures/room.FPX", "other.jpg"}));
  EXPECT_NE(Center(), 0u) << "the geometry still draws";
  MaterialRecord marked = FlatMaterial({0, 1, 0});
  view.GetStage()->SetMaterial(&marked);
  shape.ApplyAppearance(RenderPass::Frame, &view, *view.GetStage());
  EXPECT_EQ(view.GetStage()->Material().diffuse.g, MaterialRecord{}.diffuse.g) << "the default material";
  EXPECT_EQ(view.GetStage()->Material().texture.base, nullptr);
}

}  // namespace
}  // namespace vx::test
