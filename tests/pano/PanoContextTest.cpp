#include <gtest/gtest.h>

#include <bit>
#include <memory>
#include <string>
#include <vector>

#include "engine/pano/PanoContext.h"
#include "engine/pano/PanoRendererFactory.h"
#include "tests/pano/PanoTestSupport.h"

namespace vx {
namespace {

using test::RecordingRenderer;
using test::RendererLog;

MediaImageInfo Picture(uint8_t* pixels, uint16_t width, uint16_t height) {
  return test::DescribePixels(pixels, width, height, 2);
}

class PanoContextTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(context_); }

  // Attaches a recording renderer and forgets what attaching it logged.
  RecordingRenderer& AttachRecorder(const std::string& name = "r") {
    auto renderer = std::make_unique<RecordingRenderer>(log_, name);
    RecordingRenderer& attached = *renderer;
    EXPECT_EQ(PanoAttachRenderer(context_.get(), source_, std::move(renderer)), kPanoOk);
    log_->calls.clear();
    return attached;
  }
  void SetOutput(uint16_t width, uint16_t height) {
    output_.assign(static_cast<size_t>(width) * height * 2, 0);
    PanoSetOutputRect(context_.get(), Picture(output_.data(), width, height));
  }

  std::unique_ptr<PanoContext> context_ = PanoCreate();
  std::shared_ptr<RendererLog> log_ = std::make_shared<RendererLog>();
  std::vector<uint8_t> sourcePixels_ = std::vector<uint8_t>(64 * 32 * 2);
  MediaImageInfo source_ = Picture(sourcePixels_.data(), 64, 32);
  std::vector<uint8_t> output_;
};

TEST_F(PanoContextTest, ANewContextLooksAheadWithItsDefaults) {
  float fov = 0;
  PanoGetFieldOfView(context_.get(), &fov);
  EXPECT_EQ(fov, static_cast<float>(0.43633230541374995));
  PanoAngles angles{1, 1, 1};
  PanoGetViewAngles(context_.get(), &angles);
  EXPECT_EQ(angles.yaw, 0.0f);
  EXPECT_EQ(angles.pitch, 0.0f);
  EXPECT_EQ(angles.roll, 0.0f);
  EXPECT_EQ(context_->view->GetResolution(), 512);
  EXPECT_EQ(context_->renderer, nullptr);
  EXPECT_EQ(context_->workBuffer, nullptr);
  EXPECT_EQ(std::bit_cast<uint32_t>(context_->viewLimits.yawMax), 0x40490FDAu);
  EXPECT_EQ(std::bit_cast<uint32_t>(context_->imageExtent.pitchMin), 0xBFC90FDAu);
}

TEST_F(PanoContextTest, EveryCallIsSafeWithANullContext) {
  PanoContext* none = nullptr;
  EXPECT_EQ(PanoCreateRenderer(none, source_, 1), kPanoNoContext);
  EXPECT_EQ(PanoAttachRenderer(none, source_, std::make_unique<RecordingRenderer>(log_)), kPanoNoContext);
  EXPECT_EQ(PanoSetSourceImage(none, source_), kPanoNoContext);
  EXPECT_EQ(PanoSetSourcePixels(none, nullptr), kPanoNoContext);
  EXPECT_EQ(PanoSetOutputRect(none, source_), kPanoNoContext);
  EXPECT_EQ(PanoSetImageExtent(none, {}), kPanoNoContext);
  EXPECT_EQ(PanoSetViewLimits(none, {}), kPanoNoContext);
  EXPECT_EQ(PanoPrepareRender(none), kPanoNoContext);
  EXPECT_EQ(PanoSetFieldOfView(none, 0.5f), kPanoNoContext);
  EXPECT_EQ(PanoSetViewAngles(none, {}), kPanoNoContext);
  EXPECT_EQ(PanoSetResolution(none, 10), kPanoNoContext);
  EXPECT_EQ(PanoDrawFrame(none), kPanoNoContext);
  EXPECT_EQ(PanoRefreshRenderers(none), kPanoNoContext);
  PanoSetViewFlag(none, 1);
  PanoSetFrameWord(none, 1);

  float fov = 7;
  PanoGetFieldOfView(none, &fov);
  PanoAngles angles{7, 7, 7};
  PanoGetViewAngles(none, &angles);
  EXPECT_EQ(PanoScreenToAngles(none, {0.5f, 0.5f}, &angles), kPanoNoContext);
  PanoScreenPoint point{7, 7};
  EXPECT_EQ(PanoAnglesToScreen(none, {}, &point), kPanoNoContext);
  EXPECT_EQ(PanoImageToAngles(none, 0, 0, &angles), kPanoNoContext);
  ImagePoint picture{7, 7, 7};
  EXPECT_EQ(PanoAnglesToImage(none, {}, &picture), kPanoNoContext);
  PanoBounds rect{7, 7, 7, 7};
  EXPECT_EQ(PanoGetVisibleImageRect(none, 10, 10, &rect), kPanoNoContext);
  EXPECT_EQ(fov, 7);
  EXPECT_EQ(angles.yaw, 7);
  EXPECT_EQ(point.x, 7);
  EXPECT_EQ(picture.w, 7);
  EXPECT_EQ(rect.top, 7);
  // The recorder handed to the refused attach is gone again.
  EXPECT_EQ(log_->Count("r:destroyed"), 1);
}

TEST_F(PanoContextTest, RendererCallsWithoutRendererAnswerTwoAndChangeNothing) {
  PanoContext* context = context_.get();
  EXPECT_EQ(PanoSetSourceImage(context, source_), kPanoNoRenderer);
  EXPECT_EQ(PanoSetSourcePixels(context, sourcePixels_.data()), kPanoNoRenderer);
  EXPECT_EQ(PanoSetViewLimits(context, {-1, 1, -0.5f, 0.5f}), kPanoNoRenderer);
  EXPECT_EQ(context->viewLimits.yawMin, -kFacadePi);
  EXPECT_EQ(PanoSetImageExtent(context, {-1, 1, -0.5f, 0.5f}), kPanoOk);
  EXPECT_EQ(context->imageExtent.yawMin, -1.0f);
  SetOutput(16, 8);
  EXPECT_EQ(PanoPrepareRender(context), kPanoNoRenderer);
  EXPECT_EQ(context->workBuffer, nullptr);
  PanoAngles angles{7, 7, 7};
  EXPECT_EQ(PanoImageToAngles(context, 0.5f, 0.5f, &angles), kPanoNoRenderer);
  ImagePoint picture{7, 7, 7};
  EXPECT_EQ(PanoAnglesToImage(context, {}, &picture), kPanoNoRenderer);
  EXPECT_EQ(angles.yaw, 7);
  EXPECT_EQ(picture.u, 7);
  PanoBounds rect{7, 7, 7, 7};
  EXPECT_EQ(PanoGetVisibleImageRect(context, 64, 32, &rect), kPanoNoRenderer);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 0);
  // Without renderer a frame is not drawn, and says so; a refresh fails nothing.
  EXPECT_EQ(PanoDrawFrame(context), kPanoNoRenderer);
  EXPECT_EQ(PanoRefreshRenderers(context), kPanoOk);
  EXPECT_EQ(PanoScreenToAngles(context, {0.5f, 0.5f}, &angles), kPanoOk);
  EXPECT_EQ(angles.roll, 0.0f);
}

TEST_F(PanoContextTest, EachProjectionMakesItsRendererAndOtherTypesNone) {
  for (int16_t type : {1, 2, 3}) {
    const auto renderer = MakePanoRenderer(type);
    ASSERT_NE(renderer, nullptr) << type;
    EXPECT_TRUE(renderer->IsWarper()) << type;
  }
  for (int16_t type : {0, 4, -1}) EXPECT_EQ(MakePanoRenderer(type), nullptr) << type;
  EXPECT_EQ(PanoCreateRenderer(context_.get(), source_, 5), kPanoNoContext);
  EXPECT_EQ(context_->renderer, nullptr);
  EXPECT_EQ(context_->view->GetRenderer(), nullptr);
}

TEST_F(PanoContextTest, AFailedCreationDropsTheOldRendererFromContextAndView) {
  AttachRecorder();
  SetOutput(8, 4);
  EXPECT_EQ(PanoPrepareRender(context_.get()), kPanoOk);
  EXPECT_EQ(PanoCreateRenderer(context_.get(), source_, 4), kPanoNoContext);
  EXPECT_EQ(log_->Count("r:destroyed"), 1);
  EXPECT_EQ(context_->renderer, nullptr);
  EXPECT_EQ(context_->view->GetRenderer(), nullptr);
  // Under ASan a view that kept the freed renderer would fail here.
  EXPECT_EQ(PanoDrawFrame(context_.get()), kPanoNoRenderer);
  EXPECT_EQ(PanoRefreshRenderers(context_.get()), kPanoOk);
  EXPECT_EQ(PanoSetSourceImage(context_.get(), source_), kPanoNoRenderer);
}

TEST_F(PanoContextTest, ANewRendererReceivesTheContextsStateInOrder) {
  context_->fillColour = 0x11223344;
  context_->fillIndex = 9;
  EXPECT_EQ(PanoSetImageExtent(context_.get(), {-2, 2, -1, 1}), kPanoOk);
  auto renderer = std::make_unique<RecordingRenderer>(log_);
  RecordingRenderer& r = *renderer;
  EXPECT_EQ(PanoAttachRenderer(context_.get(), source_, std::move(renderer)), kPanoOk);
  EXPECT_EQ(log_->calls,
            (std::vector<std::string>{"r:SetSourceImage", "r:SetViewLimits", "r:SetImageExtent", "r:SetFillColour"}));
  EXPECT_EQ(r.source.bits, source_.bits);
  EXPECT_EQ(r.source.height, 32);
  EXPECT_EQ(r.viewLimits.yawMax, static_cast<double>(kFacadePi));
  EXPECT_EQ(r.extent.yawMin, -2.0);
  EXPECT_EQ(r.fillColour, 0x11223344u);
  EXPECT_EQ(r.fillIndex, 9);
  EXPECT_EQ(context_->view->GetRenderer(), &r);

  EXPECT_EQ(PanoSetViewLimits(context_.get(), {-1, 1, -0.5f, 0.5f}), kPanoOk);
  EXPECT_EQ(r.viewLimits.pitchMax, 0.5);
  EXPECT_EQ(context_->viewLimits.yawMax, 1.0f);
  std::vector<uint8_t> other(8);
  EXPECT_EQ(PanoSetSourcePixels(context_.get(), other.data()), kPanoOk);
  EXPECT_EQ(r.source.bits, other.data());
  EXPECT_EQ(r.source.width, 64);
}

TEST_F(PanoContextTest, PrepareMakesTheWorkBufferOnceAndGrowsItWhenNeeded) {
  RecordingRenderer& r = AttachRecorder();
  EXPECT_EQ(PanoPrepareRender(context_.get()), kPanoNoContext);  // no output pixels yet
  EXPECT_EQ(context_->workBuffer, nullptr);

  SetOutput(40, 20);
  r.workBufferNeed = 100;
  EXPECT_EQ(PanoPrepareRender(context_.get()), kPanoOk);
  EXPECT_EQ(log_->calls, (std::vector<std::string>{"r:GetWorkBufferSize 40x20 75 1", "r:SetWorkBuffer", "r:SetTarget",
                                                   "r:Prepare"}));
  const uint8_t* first = context_->workBuffer.get();
  EXPECT_EQ(r.workBuffer.data(), first);
  EXPECT_EQ(r.workBuffer.size(), 100u);

  log_->calls.clear();
  EXPECT_EQ(PanoPrepareRender(context_.get()), kPanoOk);
  EXPECT_EQ(log_->Count("r:SetWorkBuffer"), 0);
  EXPECT_EQ(context_->workBuffer.get(), first);

  // A smaller output keeps the buffer but tells the renderer the new size.
  SetOutput(20, 10);
  r.workBufferNeed = 50;
  EXPECT_EQ(PanoPrepareRender(context_.get()), kPanoOk);
  EXPECT_EQ(context_->workBuffer.get(), first);
  EXPECT_EQ(r.workWidth, 20);
  // A larger one gets a buffer as large as the renderer asks for (the
  // recorder writes all of it).
  SetOutput(80, 40);
  r.workBufferNeed = 400;
  EXPECT_EQ(PanoPrepareRender(context_.get()), kPanoOk);
  EXPECT_EQ(r.workBuffer.size(), 400u);
  EXPECT_EQ(r.workHeight, 40);
}

TEST_F(PanoContextTest, AReplacingRendererGetsTheBufferOnlyWhenItIsLargeEnough) {
  RecordingRenderer& first = AttachRecorder("a");
  SetOutput(40, 20);
  first.workBufferNeed = 100;
  ASSERT_EQ(PanoPrepareRender(context_.get()), kPanoOk);

  auto small = std::make_unique<RecordingRenderer>(log_, "b");
  small->workBufferNeed = 80;
  RecordingRenderer& b = *small;
  EXPECT_EQ(PanoAttachRenderer(context_.get(), source_, std::move(small)), kPanoOk);
  EXPECT_EQ(b.workBuffer.size(), 100u);
  EXPECT_EQ(b.workWidth, 40);

  auto large = std::make_unique<RecordingRenderer>(log_, "c");
  large->workBufferNeed = 1000;
  RecordingRenderer& c = *large;
  EXPECT_EQ(PanoAttachRenderer(context_.get(), source_, std::move(large)), kPanoOk);
  EXPECT_TRUE(c.workBuffer.empty());
  EXPECT_EQ(PanoPrepareRender(context_.get()), kPanoOk);
  EXPECT_EQ(c.workBuffer.size(), 1000u);
}

TEST_F(PanoContextTest, OutputRectKeepsTheVerticalAngleAndTakesTheAspect) {
  PanoSetFieldOfView(context_.get(), 0.3f);
  SetOutput(200, 100);
  const FieldOfView fov = context_->view->GetFieldOfView();
  EXPECT_EQ(fov.vertical, static_cast<double>(0.3f));
  EXPECT_EQ(context_->view->GetAspect(), 2.0f);
  EXPECT_NEAR(fov.horizontal, std::atan(2 * std::tan(static_cast<double>(0.3f))), 1e-12);
  // An empty image leaves the aspect as it was.
  PanoSetOutputRect(context_.get(), MediaImageInfo{});
  EXPECT_EQ(context_->view->GetAspect(), 2.0f);
  EXPECT_EQ(PanoSetFieldOfView(context_.get(), 0.2f), kPanoOk);
  EXPECT_EQ(context_->view->GetAspect(), 2.0f);
}

TEST_F(PanoContextTest, ViewAnglesComeBackClampedWithTheRollKept) {
  RecordingRenderer& r = AttachRecorder();
  r.angleLimits = {-1, 1, -kHalfPi, kHalfPi};
  EXPECT_EQ(PanoSetViewAngles(context_.get(), {5.0f, 2.0f, 0.75f}), kPanoOk);
  PanoAngles angles;
  PanoGetViewAngles(context_.get(), &angles);
  const double h = context_->view->GetFieldOfView().horizontal;
  EXPECT_EQ(angles.yaw, static_cast<float>(1 - (h + 0.05000000074505806)));
  EXPECT_EQ(angles.pitch, static_cast<float>(1.5706962994895));
  EXPECT_EQ(angles.roll, 0.75f);
}

TEST_F(PanoContextTest, FrameWordAndViewFlagDriveTheInterlacedRows) {
  RecordingRenderer& r = AttachRecorder();
  SetOutput(4, 6);
  ASSERT_EQ(PanoPrepareRender(context_.get()), kPanoOk);
  PanoSetViewFlag(context_.get(), 5);
  EXPECT_EQ(context_->view->GetInterlace(), 1);
  PanoSetFrameWord(context_.get(), 3);
  EXPECT_EQ(PanoDrawFrame(context_.get()), kPanoOk);
  EXPECT_EQ(log_->rows, (std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {3, 1}, {5, 1}}));
  PanoSetViewFlag(context_.get(), 0);
  log_->rows.clear();
  EXPECT_EQ(PanoDrawFrame(context_.get()), kPanoOk);
  EXPECT_EQ(log_->rows.size(), 6u);
  EXPECT_EQ(r.GetTarget(), context_->view.get());
  // A frame the renderer refuses is reported, not passed off as drawn.
  r.drawResult = 2;
  log_->rows.clear();
  EXPECT_EQ(PanoDrawFrame(context_.get()), kPanoNotDrawn);
  EXPECT_TRUE(log_->rows.empty());
}

TEST_F(PanoContextTest, PictureConversionsGoThroughTheRenderer) {
  RecordingRenderer& r = AttachRecorder();
  r.toImage = [](double yaw, double pitch) {
    return ImagePoint{static_cast<float>(yaw), static_cast<float>(pitch), 5.0f};
  };
  ImagePoint picture;
  EXPECT_EQ(PanoAnglesToImage(context_.get(), {0.25f, -0.5f, 3.0f}, &picture), kPanoOk);
  EXPECT_EQ(picture.u, 0.25f);
  EXPECT_EQ(picture.v, -0.5f);
  EXPECT_EQ(picture.w, 1.0f);
  PanoAngles angles{7, 7, 7};
  EXPECT_EQ(PanoImageToAngles(context_.get(), 0.5f, 0.25f, &angles), kPanoOk);
  EXPECT_EQ(angles.yaw, 1.0f);
  EXPECT_EQ(angles.pitch, 0.75f);
  EXPECT_EQ(angles.roll, 0.0f);
}

}  // namespace
}  // namespace vx
