// Opening the share sheet for a place: the activities that suit a text, a
// URL and an object are chosen, the sheet's rows made and laid out, and the
// first frame with the sheet drawn at phone size and scale 2.
#include <benchmark/benchmark.h>

#include "Host/HostRenderer.h"
#include "Net/NSURL.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIActivityViewController.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"

namespace {

void BM_OpenShareSheet(benchmark::State& state) {
    CAFrameClock::shared().setManual(true);
    UIScreen::mainScreen()->setBoundsSize({320, 568});
    UIScreen::mainScreen()->setScale(2);
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->setBackgroundColor(UIColor::whiteColor());
    window->makeKeyAndVisible();
    auto root = std::make_shared<UIViewController>();
    window->setRootViewController(root);
    HostRenderer renderer(window, 2);
    const UIActivityItems items{std::string("Fish market:\n\nhttps://example.org/p/53.54,9.98"),
                                *NSURL::URLWithString("geo:53.54,9.98"), 7};
    for (auto _ : state) {
        auto sheet = std::make_shared<UIActivityViewController>(
            items, std::vector<std::shared_ptr<UIActivity>>{});
        root->presentViewControllerAnimatedCompletion(sheet, false, nullptr);
        benchmark::DoNotOptimize(renderer.renderFrame(true));
        root->dismissViewControllerAnimatedCompletion(false, nullptr);
    }
}
BENCHMARK(BM_OpenShareSheet)->Unit(benchmark::kMillisecond);

}  // namespace
