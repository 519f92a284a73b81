// The desktop window on a real display (ctest runs these under a virtual X
// server): it never opens larger than the display, and when the user resizes
// it the UIWindow, the screen and the layout follow.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "Host/HostWindow.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIViewController.h"
#include "UIKit/UIWindow.h"
#include "platform/QuartzCore/BreathingAnimation.h"

namespace {

// A screen that keeps a bar along its bottom edge in its own layout pass.
class BarView : public UIView {
  public:
    using UIView::UIView;
    std::shared_ptr<UIView> bar;
    int layouts = 0;
    void layoutSubviews() override {
        UIView::layoutSubviews();
        ++layouts;
        bar->setFrame(CGRectMake(0, bounds().size.height - 40, bounds().size.width, 40));
    }
};

class BarScreen : public UIViewController {
  public:
    std::shared_ptr<BarView> barView;
    void loadView() override {
        barView = std::make_shared<BarView>(UIScreen::mainScreen()->bounds());
        barView->setBackgroundColor(UIColor::whiteColor());
        barView->bar = std::make_shared<UIView>();
        barView->bar->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0, 0, 1, 1));
        barView->addSubview(barView->bar);
        setView(barView);
    }
};

SDL_Window* sdlWindowTitled(const char* title) {
    for (Uint32 id = 1; id < 256; ++id) {
        SDL_Window* window = SDL_GetWindowFromID(id);
        if (window && std::strcmp(SDL_GetWindowTitle(window), title) == 0) {
            return window;
        }
    }
    return nullptr;
}

class HostWindowResizeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) {
            GTEST_SKIP() << "no display (ctest runs this under xvfb-run)";
        }
        CAFrameClock::shared().setManual(true);
        screen = UIScreen::mainScreen();
        screenSize = screen->bounds().size;
        screenScale = screen->scale();
    }
    void TearDown() override {
        if (screen) {
            screen->setBoundsSize(screenSize);
            screen->setScale(screenScale);
        }
        CAFrameClock::shared().advance(10);
        CAFrameClock::shared().setManual(false);
    }
    std::shared_ptr<UIScreen> screen;
    CGSize screenSize{};
    CGFloat screenScale = 1;
};

TEST_F(HostWindowResizeTest, AWindowTallerThanTheDisplayOpensCutToIt) {
    const std::optional<CGRect> display = HostWindow::usableDisplayArea();
    ASSERT_TRUE(display);
    const CGFloat tall = display->size.height + 200;
    screen->setScale(1);
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, tall));
    auto screenController = std::make_shared<BarScreen>();
    window->setRootViewController(screenController);
    window->makeKeyAndVisible();
    auto host = HostWindow::open(window, 1, "Kelvara tall window test");
    ASSERT_TRUE(host);
    EXPECT_TRUE(host->pumpEvents());
    EXPECT_EQ(window->bounds().size, CGSizeMake(320, display->size.height));
    EXPECT_EQ(screen->bounds().size, window->bounds().size);
    EXPECT_TRUE(CGRectContainsRect(*display, host->frameOnDesktop()));
    host->present();
    // The bar at the bottom is on the screen.
    auto pixels = host->readPixels();
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->height(), size_t(display->size.height));
    EXPECT_EQ(pixels->pixelAt(100, pixels->height() - 10) & 0xFFFFFF, 0x0000FFu);
}

TEST_F(HostWindowResizeTest, ResizingLaysTheScreenOutAnewInWholePoints) {
    screen->setScale(2);
    screen->setBoundsSize({300, 200});
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 300, 200));
    auto screenController = std::make_shared<BarScreen>();
    window->setRootViewController(screenController);
    window->makeKeyAndVisible();
    auto host = HostWindow::open(window, 2, "Kelvara resize test");
    ASSERT_TRUE(host);
    host->present();
    const int layouts = screenController->barView->layouts;
    EXPECT_GT(layouts, 0);

    SDL_Window* sdlWindow = sdlWindowTitled("Kelvara resize test");
    ASSERT_TRUE(sdlWindow);
    // 801 pixels at scale 2: 400 whole points, the last pixel column left over.
    SDL_SetWindowSize(sdlWindow, 801, 500);
    EXPECT_TRUE(host->pumpEvents());
    EXPECT_EQ(window->bounds().size, CGSizeMake(400, 250));
    EXPECT_EQ(screen->bounds().size, CGSizeMake(400, 250));
    EXPECT_EQ(screenController->view()->frame(), CGRectMake(0, 0, 400, 250));

    // The frame clock draws the new layout.
    CAFrameClock::shared().advance(1.0 / 60);
    EXPECT_GT(screenController->barView->layouts, layouts);
    EXPECT_EQ(screenController->barView->bar->frame(), CGRectMake(0, 210, 400, 40));
    auto pixels = host->readPixels();
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->width(), 801u);
    EXPECT_EQ(pixels->height(), 500u);
    EXPECT_EQ(pixels->pixelAt(790, 490) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(pixels->pixelAt(790, 300) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(pixels->pixelAt(800, 490) & 0xFFFFFF, 0x000000u);

    // Back to a smaller size: the bar follows the bottom edge up.
    SDL_SetWindowSize(sdlWindow, 640, 400);
    EXPECT_TRUE(host->pumpEvents());
    CAFrameClock::shared().advance(1.0 / 60);
    EXPECT_EQ(screenController->barView->bar->frame(), CGRectMake(0, 160, 320, 40));
    pixels = host->readPixels();
    EXPECT_EQ(pixels->pixelAt(630, 390) & 0xFFFFFF, 0x0000FFu);
}

// Ten seconds of a still screen with a breathing dot in a real window: the
// frames draw the dot's few pixels, not the window, and a hidden window
// draws none.
TEST_F(HostWindowResizeTest, ABreathingDotRedrawsOnlyItsPixels) {
    screen->setScale(2);
    screen->setBoundsSize({320, 480});
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
    window->setRootViewController(std::make_shared<BarScreen>());
    window->makeKeyAndVisible();
    auto dot = std::make_shared<UIView>(CGRectMake(149, 229, 22, 22));
    dot->layer()->setAmbient(true);
    auto inner = CALayer::layer();
    inner->setFrame(CGRectMake(3.5, 3.5, 15, 15));
    inner->setBackgroundColor(CGColor{0, 0.5, 1, 1, nullptr});
    dot->layer()->addSublayer(inner);
    window->addSubview(dot);
    auto host = HostWindow::open(window, 2, "Kelvara dot test");
    ASSERT_TRUE(host);
    CAFrameClock::shared().advance(1.0 / 60);
    inner->addAnimation(breathingAnimation(), "breathing");
    CAFrameClock::shared().advance(1.0 / 60);
    const uint64_t frames = host->framesPresented(), pixels = host->pixelsPresented();
    for (int i = 0; i < 600; ++i)
        CAFrameClock::shared().advance(1.0 / 60);
    const uint64_t drawn = host->framesPresented() - frames;
    EXPECT_NEAR(double(drawn), 150, 5);
    // Each frame: the dot's 15 points and a pixel around, at scale 2.
    EXPECT_LE(host->pixelsPresented() - pixels, drawn * 34 * 34);

    SDL_Event hidden{};
    hidden.type = SDL_WINDOWEVENT;
    hidden.window.event = SDL_WINDOWEVENT_HIDDEN;
    hidden.window.windowID = SDL_GetWindowID(sdlWindowTitled("Kelvara dot test"));
    SDL_PushEvent(&hidden);
    EXPECT_TRUE(host->pumpEvents());
    const uint64_t shown = host->framesPresented();
    for (int i = 0; i < 600; ++i)
        CAFrameClock::shared().advance(1.0 / 60);
    EXPECT_EQ(host->framesPresented(), shown);
    CAFrameClock::shared().setScreenShown(true);
    inner->removeAllAnimations();
}

}  // namespace
