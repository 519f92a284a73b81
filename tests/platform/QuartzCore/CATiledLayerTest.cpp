#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "Dispatch/NSRunLoop.h"
#include "Dispatch/NSThread.h"
#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CAFrameClock.h"
#include "QuartzCore/CATiledLayer.h"
#include "QuartzCore/CATransaction.h"

namespace {

// Paints each tile a grey by its level and records where and how it was asked.
class TilePainter : public CALayerDelegate {
  public:
    void drawLayerInContext(CALayer&, CGContext& context) override {
        // Slow enough that several workers take part.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const CGAffineTransform ctm = context.getCTM();
        const CGRect clip = context.getClipBoundingBox();
        {
            std::lock_guard lock(mutex);
            threads.insert(std::this_thread::get_id());
            scales.push_back(ctm.a);
            clips.push_back(clip);
            if (NSThread::isMainThread()) {
                ++onMain;
            }
        }
        context.setRGBFillColor(0, ctm.a >= 1 ? 1 : 0.5, 0, 1);
        context.fillRect(clip);
    }

    std::mutex mutex;
    std::set<std::thread::id> threads;
    std::vector<CGFloat> scales;
    std::vector<CGRect> clips;
    int onMain = 0;
};

class CATiledLayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CAFrameClock::shared().setManual(true);
        painter = std::make_shared<TilePainter>();
        layer = CATiledLayer::layer();
        layer->setDelegate(painter);
        layer->setTileSize({64, 64});
        layer->setLevelsOfDetail(3);
        layer->setFrame(CGRectMake(0, 0, 256, 256));
    }
    void TearDown() override {
        // Tiles under way post to the main loop: let them land.
        NSRunLoop::mainRunLoop()->runUntil([&] { return layer->pendingTileCount() == 0; }, 5);
        CAFrameClock::shared().setManual(false);
    }

    // Composites like a window frame at a scale (pixels per point).
    void composite(CGFloat scale, CGFloat size = 256) {
        auto context = CGContext::createBitmapContext(size_t(size * scale), size_t(size * scale));
        context->translateCTM(0, size * scale);
        context->scaleCTM(scale, -scale);
        layer->compositeInContext(*context);
    }

    std::shared_ptr<TilePainter> painter;
    std::shared_ptr<CATiledLayer> layer;
};

TEST_F(CATiledLayerTest, DrawsEachVisibleTileOnWorkerThreads) {
    composite(1);
    EXPECT_EQ(layer->pendingTileCount(), 16u);
    ASSERT_TRUE(
        NSRunLoop::mainRunLoop()->runUntil([&] { return layer->pendingTileCount() == 0; }, 10));
    EXPECT_EQ(layer->cachedTileCount(), 16u);
    std::lock_guard lock(painter->mutex);
    EXPECT_EQ(painter->clips.size(), 16u);
    EXPECT_EQ(painter->onMain, 0);
    EXPECT_GE(painter->threads.size(), 2u);
    for (const CGRect& clip : painter->clips) {
        EXPECT_EQ(clip.size, CGSizeMake(64, 64));
    }
}

TEST_F(CATiledLayerTest, TilesAskedForByAPassingPresentationCopyStillArrive) {
    // An animating layer is drawn through a copy that lives for one frame;
    // its requests must not be lost with it (the tiles would never show).
    auto fade = CABasicAnimation::animationWithKeyPath("opacity");
    fade->setToValue(CGFloat(0.5));
    fade->setDuration(10);
    layer->addAnimation(fade, "fade");
    {
        auto copy = layer->presentationLayer();
        ASSERT_NE(copy, layer);
        auto context = CGContext::createBitmapContext(256, 256);
        context->translateCTM(0, 256);
        context->scaleCTM(1, -1);
        copy->compositeInContext(*context);
    }
    EXPECT_EQ(layer->pendingTileCount(), 16u);
    ASSERT_TRUE(
        NSRunLoop::mainRunLoop()->runUntil([&] { return layer->pendingTileCount() == 0; }, 10));
    EXPECT_EQ(layer->cachedTileCount(), 16u);
}

TEST_F(CATiledLayerTest, LevelOfDetailFollowsTheScreenScale) {
    EXPECT_EQ(layer->levelScaleForScreenScale(1), 1);
    EXPECT_EQ(layer->levelScaleForScreenScale(0.5), 0.5);
    EXPECT_EQ(layer->levelScaleForScreenScale(0.3), 0.5);
    EXPECT_EQ(layer->levelScaleForScreenScale(0.1), 0.25);  // the coarsest level
    EXPECT_EQ(layer->levelScaleForScreenScale(3), 1);
    layer->setLevelsOfDetailBias(1);
    EXPECT_EQ(layer->levelScaleForScreenScale(3), 2);

    layer->setLevelsOfDetailBias(0);
    composite(0.5);
    NSRunLoop::mainRunLoop()->runUntil([&] { return layer->pendingTileCount() == 0; }, 10);
    std::lock_guard lock(painter->mutex);
    // At half scale a 64-pixel tile covers 128 points: four tiles.
    ASSERT_EQ(painter->scales.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(painter->scales[i], 0.5);
        EXPECT_EQ(painter->clips[i].size, CGSizeMake(128, 128));
    }
}

TEST_F(CATiledLayerTest, InvalidationDropsTilesAndDiscardsDrawingsUnderWay) {
    composite(1);
    NSRunLoop::mainRunLoop()->runUntil([&] { return layer->pendingTileCount() == 0; }, 10);
    layer->setNeedsDisplayInRect(CGRectMake(0, 0, 10, 10));
    EXPECT_EQ(layer->cachedTileCount(), 15u);
    composite(1);
    EXPECT_EQ(layer->pendingTileCount(), 1u);
    layer->setNeedsDisplay();  // while that tile is drawing
    EXPECT_EQ(layer->cachedTileCount(), 0u);
    NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.1));
    EXPECT_EQ(layer->cachedTileCount(), 0u);  // the stale drawing was dropped
}

TEST_F(CATiledLayerTest, RenderInContextDrawsMissingTilesAtOnce) {
    auto context = CGContext::createBitmapContext(256, 256);
    context->translateCTM(0, 256);
    context->scaleCTM(1, -1);
    layer->renderInContext(*context);
    EXPECT_EQ(layer->pendingTileCount(), 0u);
    EXPECT_EQ(layer->cachedTileCount(), 16u);
    auto image = context->createImage();
    EXPECT_EQ(image->pixelAt(200, 200), 0xFF00FF00u);
    std::lock_guard lock(painter->mutex);
    EXPECT_EQ(painter->onMain, 16);
}

TEST_F(CATiledLayerTest, TilesMeetWithoutASeamAtAFractionalScale) {
    // 64-point tiles at 1.37 pixels a point end inside pixels.
    constexpr CGFloat kScale = 1.37;
    const int size = int(256 * kScale);
    auto context = CGContext::createBitmapContext(size_t(size), size_t(size));
    context->translateCTM(0, size);
    context->scaleCTM(kScale, -kScale);
    layer->renderInContext(*context);
    auto image = context->createImage();
    int seams = 0;
    for (int y = 0; y < size - 1; ++y)
        for (int x = 0; x < size - 1; ++x)
            seams += (image->pixelAt(x, y) >> 24) != 0xFF;
    EXPECT_EQ(seams, 0);
}

}  // namespace
