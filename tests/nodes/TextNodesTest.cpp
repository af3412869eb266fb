// Text, FontStyle and TextTexture: lines laid out from the FontStyle, the
// keyed colours, the listener registrations that must never outlive a node,
// and text read from a world and drawn (with the fixed-cell rasteriser,
// whose pixels are known).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "NodeTestSupport.h"
#include "RenderedWorld.h"
#include "engine/media/MediaLimits.h"
#include "engine/media/nodes/FontStyleNode.h"
#include "engine/media/nodes/TextNode.h"
#include "engine/media/nodes/TextTextureNode.h"
#include "engine/render/GeometryStage.h"
#include "engine/nodes/AppearanceNodes.h"
#include "tests/media/CellFont.h"

namespace vx {
namespace {

using test::As;

SFString Text(const char* text) {
  SFString value{};
  std::strncpy(value.text, text, sizeof(value.text) - 1);
  return value;
}

// Changes a field as a ROUTE would.
template <typename T>
void Send(CNode& node, const char* field, const T& value) {
  ASSERT_GE(node.ReceiveEvent(field, &value), 0) << field;
}

void SetStrings(CNode& node, std::vector<SFString> lines) {
  Send(node, "string", MFString{static_cast<int32_t>(lines.size()), lines.data()});
}

void SetNode(CNode& node, const char* field, const CNodeRef& value) { Send(node, field, value); }

class TextWorld : public test::RenderedWorld {
 protected:
  CTextNode& TextNamed(const char* name) { return static_cast<CTextNode&>(Named(name)); }
  test::ScopedCellFont cells;
};

TEST_F(TextWorld, LinesStepByTheRuleOfTheWorldsConventionAtTwelvePixelsAUnit) {
  constexpr const char* kTwoLines =
      "Shape { geometry DEF T Text { string [ \"ab\" \"cde\" ] fontStyle FontStyle { size 1 spacing 1.5 } } }";
  for (auto [rule, top] : {std::pair{WorldConvention::kStandard, -0.5f}, std::pair{WorldConvention::kSystem, -1.5f}}) {
    convention = rule;
    Load(kTwoLines);
    CTextNode& text = TextNamed("T");
    ASSERT_EQ(text.LineCount(), 2);
    EXPECT_EQ(test::ScopedCellFont::LastAsked().pixelHeight, 12) << "the height in pixels reaches the font";
    // "cde": 3 cells of 6 pixels, plus a tenth, up to 20; 12 + 1 high.
    EXPECT_EQ(text.LineBitmap(1).GetWidth(), 20);
    EXPECT_EQ(text.LineBitmap(1).GetHeight(), 13);
    const CMeshBuffer& second = text.LineMesh(1);
    EXPECT_FLOAT_EQ(second.GetVertex(0).y, top) << "1 x 1.5 or 1 + 1.5 below the first line's top";
    EXPECT_FLOAT_EQ(second.GetVertex(3).y, top - 1.0f) << "bottom";
    EXPECT_FLOAT_EQ(second.GetVertex(1).x, 20.0f / 13.0f);
    EXPECT_FLOAT_EQ(second.GetTexCoord(0).x, 0.0f);
    EXPECT_FLOAT_EQ(second.GetTexCoord(2).y, 1.0f);
  }
}

TEST_F(TextWorld, VerticalColumnsAndRightToLeftLines) {
  Load(
      "Shape { geometry DEF V Text { string [ \"abc\" \"de\" ] fontStyle FontStyle { horizontal FALSE spacing 2 } } }"
      " Shape { geometry DEF R Text { string \"ab\" length [ 4 ] fontStyle FontStyle { leftToRight FALSE } } }");
  CTextNode& vertical = TextNamed("V");
  EXPECT_EQ(vertical.LineBitmap(0).GetText(), "a\nb\nc");
  // One cell of 6, up to 8 wide; three lines of 12 + 1.
  ASSERT_EQ(vertical.LineBitmap(0).GetWidth(), 8);
  ASSERT_EQ(vertical.LineBitmap(0).GetHeight(), 39);
  EXPECT_FLOAT_EQ(vertical.LineMesh(0).GetVertex(1).x, 8.0f / 39.0f * 3.0f);
  EXPECT_FLOAT_EQ(vertical.LineMesh(0).GetVertex(1).y, 0.0f);
  EXPECT_FLOAT_EQ(vertical.LineMesh(0).GetVertex(3).y, -3.0f);
  EXPECT_FLOAT_EQ(vertical.LineMesh(1).GetVertex(3).x, 2.0f) << "the next column, size x spacing to the right";
  EXPECT_FLOAT_EQ(vertical.LineMesh(1).GetVertex(3).y, -2.0f);
  CTextNode& rightToLeft = TextNamed("R");
  EXPECT_TRUE(rightToLeft.LineBitmap(0).GetRightToLeft()) << "the picture holds the characters from right to left";
  const CMeshBuffer& mirrored = rightToLeft.LineMesh(0);
  EXPECT_FLOAT_EQ(mirrored.GetVertex(0).x, -4.0f);
  EXPECT_FLOAT_EQ(mirrored.GetVertex(1).x, 0.0f);
  EXPECT_FLOAT_EQ(mirrored.GetTexCoord(0).x, 0.0f) << "and is not mirrored";
  EXPECT_FLOAT_EQ(mirrored.GetTexCoord(1).x, 1.0f);
}

TEST_F(TextWorld, TheFontHeightIsTheWholeSizeTimesTwelvePixels) {
  Load("Shape { geometry Text { string \"a\" fontStyle FontStyle { size 2.5 } } }");
  EXPECT_EQ(test::ScopedCellFont::LastAsked().pixelHeight, 24);
  Load("Shape { geometry DEF T Text { string \"a\" fontStyle FontStyle { size 0.9 } } }");
  EXPECT_EQ(test::ScopedCellFont::LastAsked().pixelHeight, 0) << "no whole unit: the default height";
  EXPECT_GT(TextNamed("T").LineBitmap(0).GetHeight(), 0);
}

TEST_F(TextWorld, AnEmptyStringDrawsNothingAndMakesNoBrokenVertex) {
  Load("Shape { geometry DEF T Text { string [ \"\" \"x\" ] } }");
  CTextNode& text = TextNamed("T");
  ASSERT_EQ(text.LineCount(), 2);
  PixelMap image;
  EXPECT_EQ(text.LineBitmap(0).GetImage(&image), 9);
  for (int32_t k = 0; k < 2; ++k) {
    for (int32_t v = 0; v < 4; ++v) {
      const CVec3f p = text.LineMesh(k).GetVertex(v);
      EXPECT_FALSE(std::isnan(p.x) || std::isnan(p.y)) << k << " " << v;
    }
  }
  Frame();
}

TEST_F(TextWorld, FontStyleWordsAreReadAsListsOrSingleWords) {
  Load(
      "Shape { geometry DEF A Text { string \"a\" fontStyle FontStyle { family [ \"SANS\" \"SERIF\" ]"
      " style \"BOLD\" justify [ \"END\" \"BEGIN\" ] } } }"
      " Shape { geometry DEF B Text { string \"a\" fontStyle FontStyle { family \"TYPEWRITER\" justify \"MIDDLE\" } } }"
      " Shape { geometry DEF C Text { string \"a\" fontStyle FontStyle { family \"sans\" justify [ ] } } }");
  const FontLayout a = TextNamed("A").Layout();
  EXPECT_EQ(a.family, kFamilySans);
  EXPECT_EQ(a.style, kStyleBold);
  EXPECT_EQ(a.justify, kJustifyEnd);
  const FontLayout b = TextNamed("B").Layout();
  EXPECT_EQ(b.family, kFamilyTypewriter);
  EXPECT_EQ(b.justify, kJustifyMiddle);
  const FontLayout c = TextNamed("C").Layout();
  EXPECT_EQ(c.family, kFamilySerif) << "words are exact";
  EXPECT_EQ(c.justify, kJustifyFirst) << "an empty list is no word";
  EXPECT_FLOAT_EQ(TextNamed("A").LineMesh(0).GetVertex(1).x, 0.0f) << "END ends at the origin";
}

TEST_F(TextWorld, AFontStyleFieldHoldingAnotherNodeIsIgnored) {
  Load("Shape { geometry DEF T Text { string \"ab\" fontStyle Material { } } }");
  CTextNode& text = TextNamed("T");
  EXPECT_EQ(text.FontStyleLink().Followed(), nullptr);
  EXPECT_FLOAT_EQ(text.Layout().size, 1.0f);
  EXPECT_FLOAT_EQ(text.LineMesh(0).GetVertex(0).y, 1.0f);
}

TEST_F(TextWorld, ChangingTheFontStyleRebuildsEveryTextThatUsesIt) {
  Load(
      "Group { children [ Shape { geometry DEF A Text { string \"a\" fontStyle DEF F FontStyle { } } }"
      " Shape { geometry DEF B Text { string \"b\" fontStyle USE F } } ] }");
  Send(Named("F"), "size", 2.0f);
  EXPECT_TRUE(Named("A").IsDirty());
  EXPECT_TRUE(Named("B").IsDirty());
  Frame();
  EXPECT_FLOAT_EQ(TextNamed("A").LineMesh(0).GetVertex(0).y, 2.0f);
  EXPECT_FLOAT_EQ(TextNamed("B").LineMesh(0).GetVertex(0).y, 2.0f);
  EXPECT_EQ(test::ScopedCellFont::LastAsked().pixelHeight, 24);
}

TEST_F(TextWorld, WhiteTextIsKeyedOnBlackAndAnyOtherColourOnWhite) {
  Load(
      "Shape { appearance Appearance { material Material { diffuseColor 1 1 1 } }"
      " geometry DEF W Text { string \"a\" } }"
      " Shape { appearance Appearance { material Material { diffuseColor 0 0.5 0 } }"
      " geometry DEF G Text { string \"a\" } }");
  CTextBitmap& white = TextNamed("W").LineBitmap(0);
  EXPECT_TRUE(SameColor(white.GetTextColor(), {1, 1, 1}));
  EXPECT_TRUE(SameColor(white.GetBackgroundColor(), {0, 0, 0}));
  CTextBitmap& green = TextNamed("G").LineBitmap(0);
  EXPECT_TRUE(SameColor(green.GetTextColor(), {0, 0.5f, 0}));
  EXPECT_TRUE(SameColor(green.GetBackgroundColor(), {1, 1, 1}));
}

// The text on screen: a line of cells keyed out between them, so the frame's
// background shows through the gaps.
TEST_F(TextWorld, DrawnTextShowsOnlyItsGlyphs) {
  Read(
      "Transform { translation -1.5 -0.5 -4 children Shape { appearance Appearance { material Material"
      " { diffuseColor 1 1 1 } } geometry Text { string \"MMM\" fontStyle FontStyle { size 3 } } } }",
      96, 96);
  Show();
  // A white material's glyphs (lit by the headlight) among black gaps.
  int lit = 0;
  for (int x = 0; x < 96; ++x) lit += Pixel(x, 48) != 0u;
  EXPECT_GT(lit, 20);
  EXPECT_LT(lit, 80) << "the gaps between cells are keyed out";
}

// ---- What a Text costs ------------------------------------------------------

// `count` copies of the text as entries of a string list in a world.
std::string Quoted(int count, const std::string& text) {
  std::string entries;
  for (int k = 0; k < count; ++k) entries += " \"" + text + "\"";
  return entries;
}

std::string Strings(int count, const std::string& text) { return "[" + Quoted(count, text) + " ]"; }

TEST_F(TextWorld, ATextDrawsItsLinesUpToTheBoundAndNamesTheFirstItRefuses) {
  Load("Shape { geometry DEF T Text { string " + Strings(kMaxTextLines, "a") + " } }");
  EXPECT_EQ(TextNamed("T").LineCount(), kMaxTextLines);
  EXPECT_EQ(world->GetScene().GetEventErrorText(), "");

  Load("Shape { geometry DEF T Text { string " + Strings(kMaxTextLines + 1, "a") + " } }");
  EXPECT_EQ(TextNamed("T").LineCount(), kMaxTextLines);
  EXPECT_EQ(world->GetScene().GetEventErrorText(),
            "Text 'T': lines from 1025 on are not drawn: a Text draws at most 1024 lines.");

  // As many lines by one event: the same bound.
  SetStrings(Named("T"), std::vector<SFString>(65536, Text("x")));
  Frame();
  EXPECT_EQ(TextNamed("T").LineCount(), kMaxTextLines);
  EXPECT_EQ(TextNamed("T").LineBitmap(kMaxTextLines - 1).GetText(), "x");
}

TEST_F(TextWorld, LinesOfOneFontShareItAndEmptyLinesOpenNone) {
  Load("Shape { geometry DEF T Text { string " + Strings(500, "") + " } }");
  EXPECT_EQ(test::ScopedCellFont::FontsMade(), 0);
  SetStrings(Named("T"), {Text(""), Text("a"), Text(""), Text("bc"), Text("")});
  Frame();
  EXPECT_EQ(test::ScopedCellFont::FontsMade(), 1);
  PixelMap image;
  EXPECT_EQ(TextNamed("T").LineBitmap(3).GetImage(&image), 0);
}

// At size 8 a line of 255 characters is a picture of 13,464 x 97 pixels:
// twelve of them fit within the bound, a thirteenth does not, and a short
// line after it fits again.
TEST_F(TextWorld, ALinePastThePixelBoundIsNotDrawnAndTheLinesThatFitAre) {
  constexpr int64_t kWideLine = 13464 * 97;
  static_assert(12 * kWideLine <= kMaxTextPixels && 13 * kWideLine > kMaxTextPixels);
  const std::string wide(255, 'w');
  Load("Shape { geometry DEF T Text { string [" + Quoted(13, wide) + " \"a\" ] fontStyle FontStyle { size 8 } } }");
  CTextNode& text = TextNamed("T");
  ASSERT_EQ(text.LineCount(), 14);
  PixelMap image;
  for (int32_t k = 0; k < 12; ++k) {
    ASSERT_EQ(text.LineBitmap(k).GetImage(&image), 0) << k;
    EXPECT_EQ(static_cast<int64_t>(image.width) * image.height, kWideLine);
  }
  EXPECT_EQ(text.LineBitmap(12).GetImage(&image), 9);
  EXPECT_TRUE(text.LineBitmap(12).IsTooLarge());
  EXPECT_EQ(text.LineBitmap(13).GetImage(&image), 0);
  EXPECT_EQ(world->GetScene().GetEventErrorText(),
            "Text 'T': line 13 is not drawn: its picture would take the lines past 16777216 pixels.");
  Frame();
}

TEST_F(TextWorld, ATextTextureJoinsItsLinesUpToTheBound) {
  Load("Shape { appearance Appearance { texture DEF X TextTexture { string " + Strings(kMaxTextLines + 1, "a") +
       " } } geometry Box { } }");
  CTextTextureNode& texture = static_cast<CTextTextureNode&>(Named("X"));
  ASSERT_NE(texture.Bitmap(), nullptr);
  EXPECT_EQ(texture.Bitmap()->GetLineCount(), kMaxTextLines);
  EXPECT_EQ(world->GetScene().GetEventErrorText(),
            "TextTexture 'X': lines from 1025 on are not drawn: a TextTexture joins at most 1024 lines.");
}

// ---- Listener lifetime ----------------------------------------------------

class TextListeners : public ::testing::Test {
 protected:
  test::ScopedCellFont cells;
  CViewContext view{WindowHandle::None, 0};
};

template <typename T>
void ExpectNoListenerOutlivesTheNode(CViewContext& view) {
  CNodeRef a = MakeNode<CFontStyleNode>();
  CNodeRef b = MakeNode<CFontStyleNode>();
  CNodeRef text = MakeNode<T>();
  SetStrings(*text.Get(), {Text("ab")});
  SetNode(*text.Get(), "fontStyle", a);
  text->Traverse(RenderPass::Activate, &view);
  EXPECT_EQ(As<CFontStyleNode>(a).Listeners().Count(), 1);
  SetNode(*text.Get(), "fontStyle", b);
  text->Traverse(RenderPass::Frame, &view);
  EXPECT_EQ(As<CFontStyleNode>(a).Listeners().Count(), 0) << "the old style is left";
  EXPECT_EQ(As<CFontStyleNode>(b).Listeners().Count(), 1);
  text = CNodeRef();
  EXPECT_EQ(As<CFontStyleNode>(b).Listeners().Count(), 0);
  // Under the address sanitizer a call into the freed node would fail here.
  Send(*a.Get(), "size", 3.0f);
  Send(*b.Get(), "size", 3.0f);
}

template <typename T>
void ExpectAStyleGoingFirstIsForgotten(CViewContext& view) {
  CNodeRef text = MakeNode<T>();
  {
    CNodeRef style = MakeNode<CFontStyleNode>();
    SetStrings(*text.Get(), {Text("ab")});
    SetNode(*text.Get(), "fontStyle", style);
    text->Traverse(RenderPass::Activate, &view);
  }
  // The field holds the last reference: replacing it frees the style.
  SetNode(*text.Get(), "fontStyle", CNodeRef());
  text = CNodeRef();
}

TEST_F(TextListeners, NoTextStaysOnAStyleAfterItMovesOnOrGoes) {
  ExpectNoListenerOutlivesTheNode<CTextNode>(view);
  ExpectAStyleGoingFirstIsForgotten<CTextNode>(view);
}

TEST_F(TextListeners, NoTextTextureStaysOnAStyleAfterItMovesOnOrGoes) {
  ExpectNoListenerOutlivesTheNode<CTextTextureNode>(view);
  ExpectAStyleGoingFirstIsForgotten<CTextTextureNode>(view);
}

// ---- TextTexture ------------------------------------------------------------

class TextTexture : public ::testing::Test {
 protected:
  void SetUp() override {
    view.SetFrameBuffer(test::FrameOver(pixels, 8, 8));
    texture = MakeNode<CTextTextureNode>();
  }
  CTextTextureNode& Node() { return As<CTextTextureNode>(texture); }
  // Draws one frame with the colour the stage had before the texture.
  void Frame(const FloatColor& before) {
    MaterialRecord record;
    record.diffuse = before;
    view.GetStage()->SetMaterial(&record);
    texture->Traverse(RenderPass::Frame, &view);
  }
  static CNodeRef ColoredAppearance(const SFColor& color) {
    CNodeRef material = MakeNode<CMaterialNode>();
    Send(*material.Get(), "diffuseColor", color);
    CNodeRef appearance = MakeNode<CAppearanceNode>();
    SetNode(*appearance.Get(), "material", material);
    return appearance;
  }

  test::ScopedCellFont cells;
  std::vector<uint32_t> pixels = std::vector<uint32_t>(64, 0);
  CViewContext view{WindowHandle::None, 0};
  CNodeRef texture;
};

TEST_F(TextTexture, JoinsItsLinesAtTenPointsAUnit) {
  SetStrings(Node(), {Text("ab"), Text("cde")});
  Frame({1, 1, 1});
  ASSERT_NE(Node().Bitmap(), nullptr);
  EXPECT_EQ(Node().Bitmap()->GetText(), "ab\ncde");
  EXPECT_EQ(Node().Bitmap()->GetFontSize(), 10);
  EXPECT_EQ(Node().Bitmap()->GetLineCount(), 2);
  EXPECT_NE(Node().Image().bits, nullptr);
}

TEST_F(TextTexture, StyleWordsAreExactAndVerticalTextIsOneCharacterALine) {
  CNodeRef style = MakeNode<CFontStyleNode>();
  SFString bold = Text("bold");
  Send(*style.Get(), "style", bold);
  int16_t no = 0;
  Send(*style.Get(), "horizontal", no);
  Send(*style.Get(), "topToBottom", no);
  SetStrings(Node(), {Text("abc")});
  SetNode(Node(), "fontStyle", style);
  Frame({1, 1, 1});
  EXPECT_EQ(Node().Bitmap()->GetFontStyle(), kStylePlain) << "lower case is no word";
  EXPECT_EQ(Node().Bitmap()->GetText(), "c\nb\na");
  SFString boldItalic = Text("BOLDITALIC");
  Send(*style.Get(), "style", boldItalic);
  Frame({1, 1, 1});
  EXPECT_EQ(Node().Bitmap()->GetFontStyle(), kStyleBoldItalic);
}

TEST_F(TextTexture, TextTakesTheAppearanceColourOverTheColourBefore) {
  SetStrings(Node(), {Text("a")});
  SetNode(Node(), "appearance", ColoredAppearance({1, 0, 0}));
  Frame({0, 0, 1});
  CTextBitmap& bitmap = *Node().Bitmap();
  EXPECT_TRUE(SameColor(bitmap.GetTextColor(), {1, 0, 0}));
  EXPECT_TRUE(SameColor(bitmap.GetBackgroundColor(), {0, 0, 1}));
  const PixelMap& image = Node().Image();
  int red = 0, blue = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      uint32_t pixel = 0;
      std::memcpy(&pixel, image.Row(y) + 4 * x, 4);
      red += pixel == 0x00FF0000u;
      blue += pixel == 0x000000FFu;
    }
  }
  EXPECT_EQ(red + blue, image.width * image.height) << "no third colour";
  // Ten points are 13 pixels: one cell of 6 x 13 in an image 8 wide, less
  // the cell's border.
  EXPECT_EQ(red, 4 * 11);
}

TEST_F(TextTexture, WithoutAnAppearanceTheColoursStay) {
  SetStrings(Node(), {Text("a")});
  Frame({0, 1, 0});
  EXPECT_TRUE(SameColor(Node().Bitmap()->GetTextColor(), {0, 0, 0}));
  EXPECT_TRUE(SameColor(Node().Bitmap()->GetBackgroundColor(), {1, 1, 1}));
}

TEST_F(TextTexture, AChromaKeyKeysTheTextureAndTheDefaultDoesNot) {
  SetStrings(Node(), {Text("a")});
  Frame({1, 1, 1});
  MaterialRecord record;
  Node().FillTextureRecord(record);
  EXPECT_EQ(record.texture.base, Node().Image().bits);
  EXPECT_EQ(record.chromaKey, 0);
  EXPECT_EQ(record.unlitTexture, 0);
  const SFColor black{0, 0, 0};
  Send(Node(), "chromaKey", black);
  Frame({1, 1, 1});
  MaterialRecord keyed;
  Node().FillTextureRecord(keyed);
  EXPECT_EQ(keyed.chromaKey, 1);
  EXPECT_EQ(keyed.unlitTexture, 1);
  EXPECT_TRUE(SameColor(keyed.chromaKeyColor, {0, 0, 0}));
}

TEST_F(TextTexture, NoStringsMakeNoBitmapAndOfferNoTexture) {
  Frame({1, 1, 1});
  EXPECT_EQ(Node().Bitmap(), nullptr);
  MaterialRecord record;
  Node().FillTextureRecord(record);
  EXPECT_EQ(record.texture.base, nullptr);
}

TEST_F(TextTexture, AnAppearanceHoldingTheTextureItselfIsRefused) {
  SetStrings(Node(), {Text("a")});
  CNodeRef appearance = ColoredAppearance({0, 1, 0});
  SetNode(*appearance.Get(), "texture", texture);
  EXPECT_EQ(Node().ReceiveEvent("appearance", &appearance), kEventRefused) << "no frame could follow it round";
  EXPECT_FALSE(Node().appearance);
  Frame({1, 1, 1});
  EXPECT_NE(Node().Bitmap(), nullptr);
}

TEST_F(TextTexture, AnAppearanceDrawsItOnAShape) {
  std::vector<uint32_t> frame(64 * 64, 0);
  view.SetFrameBuffer(test::FrameOver(frame, 64, 64));
  std::unique_ptr<CBrowser> world = test::ReadWorld(
      "Transform { translation 0 0 -3 children Shape { appearance Appearance { material Material"
      " { diffuseColor 1 1 1 } texture TextTexture"
      " { string \"MMMM\" chromaKey 1 1 1 appearance Appearance { material Material { diffuseColor 1 0 0 } } } }"
      " geometry IndexedFaceSet { coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0, -1 1 0 ] }"
      " coordIndex [ 0 1 2 3 -1 ] } } }");
  world->RenderView(RenderPass::Activate, &view);
  world->RenderFrame(&view);
  world->RenderFrame(&view);
  // Red glyphs over the white of the material before them, which the key
  // takes out, so the black frame shows between them.
  int black = 0, red = 0;
  for (uint32_t pixel : frame) {
    black += pixel == 0u;
    red += (pixel >> 16 & 0xFF) > 0x80 && (pixel >> 8 & 0xFF) < 0x10;
  }
  EXPECT_GT(red, 32);
  EXPECT_EQ(black + red, 64 * 64);
  EXPECT_GT(black, 64 * 64 / 2);
}

}  // namespace
}  // namespace vx
