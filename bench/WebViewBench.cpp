// Costs of showing an article in a web view at phone width and scale 2: a
// 30 KB page with 10 images (600 x 400 PNGs) parsed, styled, laid out and its
// first screen drawn; then a scrolling frame of the web view.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "CoreGraphics/CGContext.h"
#include "Dispatch/NSRunLoop.h"
#include "Host/HostRenderer.h"
#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIWebView.h"
#include "UIKit/UIWindow.h"
#include "UIKit/WebDocument.h"
#include "UIKit/WebResourceLoader.h"

namespace {

constexpr CGFloat kWidth = 320, kHeight = 568, kScale = 2;

struct Article {
    std::string folder;
    std::string html;
};

void writeImage(const std::string& path, int seed) {
    auto context = CGContext::createBitmapContext(600, 400);
    for (int band = 0; band < 40; ++band) {
        context->setRGBFillColor((band * 7 + seed * 31) % 255 / 255.0, (band * 13) % 255 / 255.0,
                                 (seed * 57 + band) % 255 / 255.0, 1);
        context->fillEllipseInRect(CGRectMake(band * 15, (band * 37 + seed * 11) % 300, 80, 90));
    }
    auto destination = CGImageDestination::createWithURL(path, kUTTypePNG);
    destination->addImage(context->createImage());
    destination->finalize();
}

const Article& article() {
    static const Article made = [] {
        Article a;
        a.folder = (std::filesystem::temp_directory_path() / "kelvara-webbench").string();
        std::filesystem::create_directories(a.folder);
        const std::string paragraph =
            "<p>The old harbour grew around the fish market in the fourteenth century; its "
            "<a href=\"quay.html\">stone quays</a> were rebuilt after the great storm, and the "
            "customs house, now a museum, still shows the <em>tolls</em> paid by every ship "
            "that came in from the northern sea.</p>\n";
        a.html =
            "<html><head><title>Harbour</title><style>body{font-family:serif;"
            "line-height:1.4} img{width:100%;height:auto} h2{color:#345}</style></head>"
            "<body><h1>The harbour</h1>";
        for (int i = 0; a.html.size() < 30000; ++i) {
            if (i % 4 == 0 && i / 4 < 10) {
                const std::string name = "image" + std::to_string(i / 4) + ".png";
                writeImage(a.folder + "/" + name, i);
                a.html += "<h2>Section " + std::to_string(i / 4 + 1) + "</h2><img src=\"" + name +
                          "\" alt=\"\">";
            }
            a.html += paragraph;
        }
        a.html += "</body></html>";
        return a;
    }();
    return made;
}

WebDocument::Layout phoneLayout() {
    WebDocument::Layout layout;
    layout.width = kWidth;
    layout.viewport = {kWidth, kHeight};
    layout.scale = kScale;
    return layout;
}

// Parse, load the images, style, lay out and draw the first screen.
void BM_WebArticleFirstDraw(benchmark::State& state) {
    const WebResourceLoader loader(NSURL::URLWithString("file://" + article().folder + "/a.html"));
    auto context =
        CGContext::createBitmapContext(size_t(kWidth * kScale), size_t(kHeight * kScale));
    for (auto _ : state) {
        auto document = WebDocument::create(article().html, loader, phoneLayout());
        context->saveGState();
        context->translateCTM(0, kHeight * kScale);
        context->scaleCTM(kScale, -kScale);
        document->draw(*context, CGRectMake(0, 0, kWidth, kHeight));
        context->restoreGState();
        benchmark::DoNotOptimize(context->data());
    }
    state.SetLabel(std::to_string(article().html.size() / 1024) + " KB, 10 images, 640x1136 px");
}
BENCHMARK(BM_WebArticleFirstDraw)->Unit(benchmark::kMillisecond);

// A frame while the finger scrolls 6 points per frame down the article:
// tiles already drawn are composited, tiles coming into view are drawn.
void BM_WebArticleScrollFrame(benchmark::State& state) {
    CAFrameClock::shared().setManual(true);
    UIScreen::mainScreen()->setBoundsSize({kWidth, kHeight});
    UIScreen::mainScreen()->setScale(kScale);
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, kWidth, kHeight));
    auto webView = std::make_shared<UIWebView>(CGRectMake(0, 0, kWidth, kHeight));
    window->addSubview(webView);
    window->makeKeyAndVisible();
    webView->loadHTMLStringBaseURL(article().html,
                                   NSURL::URLWithString("file://" + article().folder + "/a.html"));
    NSRunLoop::mainRunLoop()->runUntil([&] { return !webView->isLoading(); }, 30);
    HostRenderer renderer(window, kScale);
    renderer.renderFrame(true);
    const CGFloat bottom = webView->scrollView()->maximumContentOffset().y;
    CGFloat y = 0;
    for (auto _ : state) {
        y = y + 6 > bottom ? 0 : y + 6;
        webView->scrollView()->setContentOffset({0, y});
        benchmark::DoNotOptimize(renderer.renderFrame(true));
    }
    state.SetLabel("page " + std::to_string(int(webView->contentHeight())) + " pt high");
}
BENCHMARK(BM_WebArticleScrollFrame)->Unit(benchmark::kMillisecond);

}  // namespace
