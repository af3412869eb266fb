#include "engine/media/nodes/TextNode.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/media/MediaLimits.h"
#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/GeometryNodeSupport.h"
#include "engine/world/ViewContext.h"
#include "platform/Numbers.h"

namespace vx {
namespace {

constexpr FieldSpec kTextFields[] = {
    Field<&CTextNode::string>("string"),
    Field<&CTextNode::fontStyle>("fontStyle"),
    Field<&CTextNode::length>("length"),
    Field<&CTextNode::maxExtent>("maxExtent", DefaultFloats(0)),
};
constexpr FieldTable kTextTable{Section(kTextFields), {}, {}};

// A Text's font is 12 pixels high for each whole unit of its size.
constexpr int32_t kFontPixelsPerUnit = 12;

}  // namespace

CTextNode::CTextNode() { RegisterFields(kTextTable); }

void CTextNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!view) return;
  if (pass == RenderPass::Activate || IsDirty()) Rebuild(*view);
  if (pass == RenderPass::Frame && !meshes_.empty()) Draw(*view);
}

// A line whose picture would take the Text past its pixels is not drawn;
// the lines after it that fit still are.
void CTextNode::Rebuild(CViewContext& view) {
  SetDirty(false);
  CFontStyleNode* style = AsFontStyle(fontStyle);
  link_.Follow(style);
  meshes_.clear();
  bitmaps_.clear();
  layout_ = style ? style->Layout() : FontLayout{};
  const WorldConvention convention = ConventionOf(view.GetWorld());
  int64_t pixelsLeft = kMaxTextPixels;
  std::string refusal;
  const int32_t lines = std::min(string.count, kMaxTextLines);
  for (int32_t k = 0; k < lines; ++k) {
    std::unique_ptr<CTextBitmap> bitmap = MakeLineBitmap(view, string[k], convention, pixelsLeft);
    PixelMap image;
    if (bitmap->GetImage(&image) == 0) pixelsLeft -= static_cast<int64_t>(image.width) * image.height;
    if (bitmap->IsTooLarge() && refusal.empty()) {
      refusal = FormatString("line %d is not drawn: its picture would take the lines past %lld pixels", k + 1,
                             static_cast<long long>(kMaxTextPixels));
    }
    bitmaps_.push_back(std::move(bitmap));
  }
  if (string.count > kMaxTextLines && refusal.empty()) {
    refusal = FormatString("lines from %d on are not drawn: a Text draws at most %d lines", kMaxTextLines + 1,
                           kMaxTextLines);
  }
  if (!refusal.empty()) NoteRefusedLines(*this, view, refusal);
  for (int32_t k = 0; k < LineCount(); ++k) BuildMesh(k, convention);
}

std::unique_ptr<CTextBitmap> CTextNode::MakeLineBitmap(CViewContext& view, const SFString& line,
                                                       WorldConvention convention, int64_t maxPixels) const {
  auto bitmap = std::make_unique<CTextBitmap>();
  bitmap->SetSize(layout_.size);
  bitmap->SetFontStyle(layout_.style);
  // The font is asked for in points; the height wanted is in pixels.
  bitmap->SetFontSize(PixelsToPoints(WholeSizeTimes(layout_.size, kFontPixelsPerUnit, kMaxFontPixels)));
  bitmap->SetFontFamily(layout_.family);
  bitmap->SetHorizontal(static_cast<uint16_t>(layout_.horizontal));
  bitmap->SetRightToLeft(SetsRightToLeft(layout_, convention));
  bitmap->SetMaxPixels(maxPixels);
  const std::string_view text = TextOf(line);
  bitmap->SetText(layout_.horizontal ? std::string(text) : VerticalForm(text, layout_.topToBottom != 0));
  bitmap->SetBackgroundColor(kPaperWhite);
  bitmap->SetTextColor(kInkBlack);
  bitmap->SetPixelDepth(view.GetColorDepth());
  bitmap->SetPalette(view.GetColorTable());
  return bitmap;
}

void CTextNode::BuildMesh(int32_t k, WorldConvention convention) {
  const CTextBitmap& bitmap = *bitmaps_[static_cast<size_t>(k)];
  TextLineInput input;
  input.line = k;
  input.imageWidth = bitmap.GetWidth();
  input.imageHeight = bitmap.GetHeight();
  input.characters = CharacterCount(TextOf(string[k]));
  input.length = &length;
  input.maxExtent = maxExtent;
  const TextQuad quad = LineQuad(layout_, input, convention);
  auto mesh = std::make_unique<CMeshBuffer>();
  mesh->SetVertexCount(4);
  mesh->SetVertex(0, {quad.left, quad.top, 0.0f});
  mesh->SetVertex(1, {quad.right, quad.top, 0.0f});
  mesh->SetVertex(2, {quad.right, quad.bottom, 0.0f});
  mesh->SetVertex(3, {quad.left, quad.bottom, 0.0f});
  const float s0 = quad.mirrored ? 1.0f : 0.0f;
  const float s1 = 1.0f - s0;
  mesh->SetTexCoord(0, {s0, 0.0f});
  mesh->SetTexCoord(1, {s1, 0.0f});
  mesh->SetTexCoord(2, {s1, 1.0f});
  mesh->SetTexCoord(3, {s0, 1.0f});
  mesh->SetPolygonCount(1);
  mesh->SetPolygon(0, MeshPolygon{.materialIndex = 0, .vertexCount = 4, .vertices = {0, 1, 2, 3}, .faceNormal = {}});
  mesh->ComputeNormals();
  meshes_.push_back(std::move(mesh));
}

void CTextNode::Draw(CViewContext& view) {
  CGeometryStage& stage = *view.GetStage();
  // Text takes no part in the box test, and leaves it as it was.
  CBoxTestScope noBoxTest(stage, BoxTestMode::kOff);
  const MaterialRecord appearance = stage.Material();
  MatchColorsToMaterial(appearance.diffuse);
  const FloatColor background = bitmaps_.front()->GetBackgroundColor();
  for (size_t k = 0; k < meshes_.size(); ++k) {
    CTextBitmap& bitmap = *bitmaps_[k];
    PixelMap image;
    if (bitmap.GetImage(&image) != 0) continue;
    MaterialRecord record = appearance;
    if (record.texture.base) bitmap.PaintGlyphs(record.texture);
    record.texture = {image.bits, image.width, image.height, image.bytesPerPixel, image.rowBytes};
    record.chromaKey = 1;
    record.chromaKeyColor = background;
    stage.SetMaterial(&record);
    DrawMeshCulled(*meshes_[k], stage, 1, kCullNone);
  }
}

// The glyphs take the material's colour; the key stays apart from it: black
// behind white text, white behind any other colour.
void CTextNode::MatchColorsToMaterial(const FloatColor& material) {
  const CTextBitmap& first = *bitmaps_.front();
  FloatColor background = first.GetBackgroundColor();
  if (SameColor(background, material)) background = material.r == 1.0f ? kInkBlack : kPaperWhite;
  if (SameColor(first.GetTextColor(), material) && SameColor(first.GetBackgroundColor(), background)) return;
  for (auto& bitmap : bitmaps_) {
    bitmap->SetTextColor(material);
    bitmap->SetBackgroundColor(background);
  }
}

bool CTextNode::HandleTextInput(const PickRecord&, std::string_view) { return false; }

void RegisterTextNode(NodeClassTable& table) { table.Add<CTextNode>("Text"); }

}  // namespace vx
