// Frame costs of the view layer: a pad-sized window of 500 views, each with
// a label, composited (the per-frame cost), redrawn from scratch, and hit
// tested.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "Host/HostRenderer.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"

namespace {

struct Scene {
    std::shared_ptr<UIWindow> window;
    std::vector<std::shared_ptr<UILabel>> labels;
};

// 20 columns x 25 rows of tiles; each tile holds a label; every fifth tile
// is rounded with a border.
Scene makeScene() {
    CAFrameClock::shared().setManual(true);
    UIScreen::mainScreen()->setBoundsSize({768, 1024});
    UIScreen::mainScreen()->setScale(2);
    Scene scene;
    scene.window = std::make_shared<UIWindow>(CGRectMake(0, 0, 768, 1024));
    scene.window->setBackgroundColor(UIColor::whiteColor());
    const CGFloat w = 768.0 / 20, h = 1024.0 / 25;
    for (int i = 0; i < 500; ++i) {
        const int c = i % 20, r = i / 20;
        auto tile = std::make_shared<UIView>(CGRectMake(c * w + 1, r * h + 1, w - 2, h - 2));
        tile->setBackgroundColor(
            UIColor::colorWithRedGreenBlueAlpha(0.2 + 0.03 * c, 0.4, 0.9 - 0.02 * r, 1));
        if (i % 5 == 0) {
            tile->layer()->setCornerRadius(6);
            tile->layer()->setBorderWidth(1);
        }
        auto label = std::make_shared<UILabel>(CGRectMake(2, 2, w - 6, h - 6));
        label->setText("Item " + std::to_string(i));
        label->setFont(UIFont::systemFontOfSize(9));
        label->setTextAlignment(NSTextAlignmentCenter);
        tile->addSubview(label);
        scene.window->addSubview(tile);
        scene.labels.push_back(label);
    }
    return scene;
}

Scene& scene() {
    static Scene s = makeScene();
    return s;
}

// Layout, display of what changed (nothing) and compositing into the
// window's pixels: the cost of a frame during scrolling or animation.
void BM_ComposeFrame(benchmark::State& state) {
    HostRenderer renderer(scene().window, 2);
    renderer.renderFrame(false);
    for (auto _ : state) {
        benchmark::DoNotOptimize(renderer.renderFrame(false));
    }
    state.SetLabel("500 views + 500 labels, 1536x2048 px");
}
BENCHMARK(BM_ComposeFrame)->Unit(benchmark::kMillisecond);

// Every label drawn again (text laid out and rasterised), then composited.
void BM_FullRedraw(benchmark::State& state) {
    HostRenderer renderer(scene().window, 2);
    for (auto _ : state) {
        for (const auto& label : scene().labels) {
            label->setNeedsDisplay();
        }
        benchmark::DoNotOptimize(renderer.renderFrame(false));
    }
}
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMillisecond);

void BM_HitTest(benchmark::State& state) {
    std::mt19937 random(7);
    std::uniform_real_distribution<CGFloat> x(0, 768), y(0, 1024);
    std::vector<CGPoint> points(1024);
    for (auto& p : points) {
        p = {x(random), y(random)};
    }
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(scene().window->hitTest(points[i++ % points.size()], nullptr));
    }
}
BENCHMARK(BM_HitTest)->Unit(benchmark::kMicrosecond);

}  // namespace
