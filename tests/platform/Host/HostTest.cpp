#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "Dispatch/NSRunLoop.h"
#include "Host/HostOptions.h"
#include "Host/HostRenderer.h"
#include "Host/HostTouchInput.h"
#include "Host/HostWindow.h"
#include "ImageIO/CGImageSource.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIButton.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIPopoverView.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIViewController.h"
#include "UIKit/UIWindow.h"

namespace {

class Zoomer : public UIScrollViewDelegate {
  public:
    std::shared_ptr<UIView> content;
    std::shared_ptr<UIView> viewForZoomingInScrollView(UIScrollView&) override { return content; }
};

class Scrolls : public UIScrollViewDelegate {
  public:
    int count = 0;
    void scrollViewDidScroll(UIScrollView&) override { ++count; }
};

// The point of the zoomed content under a point of the window.
CGPoint pointInContent(const UIScrollView& scroll, CGPoint point) {
    const CGPoint o = scroll.contentOffset();
    return {(o.x + point.x) / scroll.zoomScale(), (o.y + point.y) / scroll.zoomScale()};
}

class HostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CAFrameClock::shared().setManual(true);
        UIScreen::mainScreen()->setScale(1);
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 200, 300));
        window->setBackgroundColor(UIColor::whiteColor());
        window->makeKeyAndVisible();
        banner = std::make_shared<UIView>(CGRectMake(0, 0, 200, 100));
        banner->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0, 0, 1, 1));
        window->addSubview(banner);
        auto label = std::make_shared<UILabel>(CGRectMake(10, 120, 180, 30));
        label->setText("Host");
        window->addSubview(label);
    }
    void TearDown() override {
        CAFrameClock::shared().advance(10);
        CAFrameClock::shared().setManual(false);
    }
    // A scroll view over the whole window that zooms its content up to 8 times.
    std::shared_ptr<UIScrollView> addZoomingScrollView() {
        auto scroll = std::make_shared<UIScrollView>(CGRectMake(0, 0, 200, 300));
        zoomer = std::make_shared<Zoomer>();
        zoomer->content = std::make_shared<UIView>(CGRectMake(0, 0, 200, 300));
        scroll->addSubview(zoomer->content);
        scroll->setContentSize({200, 300});
        scroll->setDelegate(zoomer);
        scroll->setMaximumZoomScale(8);
        window->addSubview(scroll);
        return scroll;
    }
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIView> banner;
    std::shared_ptr<Zoomer> zoomer;
};

TEST(HostOptionsTest, ParsesHostArgumentsAndLeavesTheRest) {
    const char* argv[] = {"kelvara", "--pad", "--home",       "/tmp/x",
                          "--scale", "3",     "--screenshot", "out.png"};
    std::string error;
    auto options = HostParseArguments(8, argv, &error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->idiom, UIUserInterfaceIdiomPad);
    EXPECT_EQ(options->scale, 3);
    EXPECT_EQ(options->screenshotPath, "out.png");
    EXPECT_EQ(options->screenSize(), CGSizeMake(768, 1024));
    EXPECT_EQ(options->applicationArguments,
              (std::vector<std::string>{"kelvara", "--home", "/tmp/x"}));

    const char* bad[] = {"kelvara", "--scale", "0"};
    EXPECT_FALSE(HostParseArguments(3, bad, &error));
    EXPECT_NE(error.find("--scale"), std::string::npos);
    const char* missing[] = {"kelvara", "--screenshot"};
    EXPECT_FALSE(HostParseArguments(2, missing, &error));
    const char* phone[] = {"kelvara"};
    EXPECT_EQ(HostParseArguments(1, phone, &error)->screenSize(), CGSizeMake(320, 568));
    EXPECT_FALSE(HostParseArguments(1, phone, &error)->scaleGiven);
    EXPECT_TRUE(options->scaleGiven);
}

TEST(HostOptionsTest, LandscapeSwapsTheDevicesSides) {
    std::string error;
    const char* phone[] = {"kelvara", "--landscape", "--phone"};
    auto options = HostParseArguments(3, phone, &error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->screenSize(), CGSizeMake(568, 320));
    EXPECT_EQ(options->applicationArguments, std::vector<std::string>{"kelvara"});
    const char* pad[] = {"kelvara", "--pad", "--landscape"};
    EXPECT_EQ(HostParseArguments(3, pad, &error)->screenSize(), CGSizeMake(1024, 768));
}

TEST_F(HostTest, MouseWithModifierAndWheelPinchAScrollView) {
    auto scroll = addZoomingScrollView();
    HostTouchInput input(window);

    // The second finger mirrors the mouse around the centre (100, 150).
    input.mouseDown({80, 150}, true);
    CAFrameClock::shared().advance(0.02);
    input.mouseMoved({60, 150});
    CAFrameClock::shared().advance(0.02);
    input.mouseMoved({40, 150});
    EXPECT_TRUE(scroll->isZooming());
    EXPECT_NEAR(scroll->zoomScale(), 3, 1e-9);
    input.mouseUp({40, 150});
    EXPECT_FALSE(input.isTouching());

    input.wheel({100, 150}, 1);  // one step in: 1.25 times
    EXPECT_NEAR(scroll->zoomScale(), 3.75, 1e-9);
    input.wheel({100, 150}, -2);
    EXPECT_NEAR(scroll->zoomScale(), 2.4, 1e-9);
}

TEST_F(HostTest, AWheelStepBesideAnEdgeOrAButtonZoomsAboutThePointer) {
    auto scroll = addZoomingScrollView();
    // A button over the scroll view's top right corner takes no pinch.
    window->addSubview(std::make_shared<UIView>(CGRectMake(170, 0, 30, 60)));
    HostTouchInput input(window);
    // Fingers off the window or on the button would leave the pinch one
    // finger: the step would drag and fling the content instead.
    for (const CGPoint pointer : {CGPoint{195, 150}, CGPoint{150, 30}, CGPoint{2, 298}}) {
        const CGFloat scale = scroll->zoomScale();
        const CGPoint under = pointInContent(*scroll, pointer);
        input.wheel(pointer, 1);
        CAFrameClock::shared().advance(1);
        EXPECT_NEAR(scroll->zoomScale(), scale * 1.25, 1e-9);
        EXPECT_NEAR(pointInContent(*scroll, pointer).x, under.x, 0.01) << pointer.x;
        EXPECT_NEAR(pointInContent(*scroll, pointer).y, under.y, 0.01) << pointer.y;
    }
}

TEST_F(HostTest, AWheelStepOverControlsFloatingOnAZoomingViewZoomsItAboutThePointer) {
    auto scroll = addZoomingScrollView();
    int touched = 0;
    auto control = [&](CGRect frame) {
        auto button = std::make_shared<UIButton>(frame, UIButtonTypeCustom);
        button->addTargetForControlEvents([&](UIControl&) { ++touched; },
                                          UIControlEventAllTouchEvents);
        window->addSubview(button);
        return button;
    };
    auto button = control(CGRectMake(150, 200, 40, 40));
    control(CGRectMake(170, 0, 30, 30));  // in the window's corner
    // A scale bar: its line takes touches, its text does not.
    auto bar = std::make_shared<UIView>(CGRectMake(0, 270, 80, 30));
    auto text = std::make_shared<UILabel>(CGRectMake(0, 0, 80, 20));
    text->setText("150 m");
    bar->addSubview(text);
    window->addSubview(bar);
    auto touchingText = std::make_shared<UILabel>(CGRectMake(100, 270, 60, 20));
    touchingText->setText("Guide");
    touchingText->setUserInteractionEnabled(true);
    window->addSubview(touchingText);
    HostTouchInput input(window);
    const CGPoint pointers[] = {{170, 220}, {199, 1},  {150, 200}, {149.5, 220},
                                {40, 290},  {40, 275}, {130, 280}};
    for (const CGPoint pointer : pointers) {
        const CGFloat scale = scroll->zoomScale();
        const CGPoint under = pointInContent(*scroll, pointer);
        input.wheel(pointer, scale < 4 ? 1 : -1);
        CAFrameClock::shared().advance(1);
        EXPECT_NEAR(scroll->zoomScale(), scale < 4 ? scale * 1.25 : scale / 1.25, 1e-9)
            << pointer.x << "," << pointer.y;
        EXPECT_NEAR(pointInContent(*scroll, pointer).x, under.x, 0.01) << pointer.x;
        EXPECT_NEAR(pointInContent(*scroll, pointer).y, under.y, 0.01) << pointer.y;
    }
    EXPECT_EQ(touched, 0);
    EXPECT_FALSE(button->isHighlighted());

    // A screen over the zooming view covers it: a step over the screen's
    // header, which does not scroll, zooms nothing; nor does one beside a
    // popover, whose shade covers the rest of the window.
    auto screen = std::make_shared<UIViewController>();
    screen->view()->setFrame(CGRectMake(0, 0, 200, 120));
    window->addSubview(screen->view());
    auto header = std::make_shared<UIButton>(CGRectMake(0, 0, 200, 44), UIButtonTypeCustom);
    screen->view()->addSubview(header);
    window->addSubview(std::make_shared<UIPopoverView>(CGRectMake(0, 150, 200, 150),
                                                       std::weak_ptr<UIPopoverController>()));
    const CGFloat scale = scroll->zoomScale();
    const CGPoint offset = scroll->contentOffset();
    for (const CGPoint pointer : {CGPoint{100, 20}, CGPoint{100, 100}, CGPoint{100, 200}}) {
        input.wheel(pointer, 1);
        CAFrameClock::shared().advance(1);
    }
    EXPECT_EQ(scroll->zoomScale(), scale);
    EXPECT_EQ(scroll->contentOffset(), offset);
}

TEST_F(HostTest, AWheelStepScrollsTheListUnderThePointerWithinItsBounds) {
    auto map = addZoomingScrollView();
    auto list = std::make_shared<UIScrollView>(CGRectMake(0, 100, 200, 200));
    list->setContentSize({200, 1000});
    list->setContentInset(UIEdgeInsetsMake(20, 0, 10, 0));
    auto scrolls = std::make_shared<Scrolls>();
    list->setDelegate(scrolls);
    window->addSubview(list);
    // A strip inside that scrolls sideways only, and a list inside whose
    // content fits.
    auto strip = std::make_shared<UIScrollView>(CGRectMake(0, 0, 200, 60));
    strip->setContentSize({600, 60});
    list->addSubview(strip);
    auto short_ = std::make_shared<UIScrollView>(CGRectMake(0, 60, 200, 60));
    short_->setContentSize({200, 40});
    list->addSubview(short_);
    HostTouchInput input(window);

    input.wheel({100, 250}, -1);  // down: shows what is below
    EXPECT_EQ(list->contentOffset(), CGPointMake(0, 48));
    EXPECT_EQ(scrolls->count, 1);
    // Its indicator shows, a layer above the subviews'.
    EXPECT_EQ(list->layer()->sublayers().size(), list->subviews().size() + 1);
    input.wheel({100, 250}, 2);  // up, past the top and its inset
    EXPECT_EQ(list->contentOffset(), CGPointMake(0, -20));
    input.wheel({100, 250}, 1);  // at the top already
    EXPECT_EQ(list->contentOffset(), CGPointMake(0, -20));
    EXPECT_EQ(scrolls->count, 2);
    list->setContentOffset({0, 790});
    input.wheel({100, 250}, -1);  // at the end and its inset
    EXPECT_EQ(list->contentOffset(), CGPointMake(0, 810));
    input.wheel({100, 250}, -1);
    EXPECT_EQ(list->contentOffset(), CGPointMake(0, 810));

    // Steps over the strip and the fitting list scroll the list around them.
    list->setContentOffset({0, 0});
    input.wheel({100, 130}, -1);
    EXPECT_EQ(list->contentOffset(), CGPointMake(0, 48));
    EXPECT_EQ(strip->contentOffset(), CGPointZero);
    input.wheel({100, 150}, 1);
    EXPECT_EQ(list->contentOffset(), CGPointZero);
    EXPECT_EQ(short_->contentOffset(), CGPointZero);
    // The zooming view under the list stays as it was; beside it, it zooms.
    EXPECT_EQ(map->zoomScale(), 1);
    EXPECT_EQ(map->contentOffset(), CGPointZero);
    input.wheel({100, 50}, 1);
    EXPECT_NEAR(map->zoomScale(), 1.25, 1e-9);
    EXPECT_EQ(list->contentOffset(), CGPointZero);
}

TEST_F(HostTest, AWheelStepOverAListAtItsBoundLeavesTheOuterListAlone) {
    auto outer = std::make_shared<UIScrollView>(CGRectMake(0, 0, 200, 300));
    outer->setContentSize({200, 900});
    outer->setContentOffset({0, 100});
    auto inner = std::make_shared<UIScrollView>(CGRectMake(0, 150, 200, 100));
    inner->setContentSize({200, 400});
    outer->addSubview(inner);
    window->addSubview(outer);
    HostTouchInput input(window);
    input.wheel({100, 100}, 1);
    EXPECT_EQ(inner->contentOffset(), CGPointZero);
    EXPECT_EQ(outer->contentOffset(), CGPointMake(0, 100));
    input.wheel({100, 100}, -1);
    EXPECT_EQ(inner->contentOffset(), CGPointMake(0, 48));
    EXPECT_EQ(outer->contentOffset(), CGPointMake(0, 100));
}

// A list whose content fits takes a drag itself, so a notch over its row or
// below it moves nothing beneath it: neither the zooming view nor a longer
// list it lies over, nor when a label floats over the list. Beside the list
// the notch still zooms, over a button floating on the zooming view too.
TEST_F(HostTest, AWheelStepOverAListWhoseContentFitsMovesNothingBeneathIt) {
    auto map = addZoomingScrollView();
    auto full = std::make_shared<UIScrollView>(CGRectMake(0, 100, 200, 150));
    full->setContentSize({200, 1000});
    window->addSubview(full);
    auto results = std::make_shared<UIScrollView>(CGRectMake(0, 100, 200, 200));
    results->setContentSize({200, 44});
    results->addSubview(std::make_shared<UILabel>(CGRectMake(10, 0, 180, 44)));
    window->addSubview(results);
    auto floating = std::make_shared<UILabel>(CGRectMake(0, 260, 80, 20));
    floating->setText("150 m");
    floating->setUserInteractionEnabled(true);
    window->addSubview(floating);
    window->addSubview(std::make_shared<UIButton>(CGRectMake(150, 40, 40, 40), UIButtonTypeCustom));
    HostTouchInput input(window);
    full->setContentOffset({0, 100});
    for (const CGPoint pointer : {CGPoint{100, 120}, CGPoint{100, 200}, CGPoint{40, 270}}) {
        input.wheel(pointer, 1);
        CAFrameClock::shared().advance(1);
    }
    EXPECT_EQ(map->zoomScale(), 1);
    EXPECT_EQ(map->contentOffset(), CGPointZero);
    EXPECT_EQ(full->contentOffset(), CGPointMake(0, 100));
    EXPECT_EQ(results->contentOffset(), CGPointZero);
    input.wheel({170, 60}, 1);
    EXPECT_NEAR(map->zoomScale(), 1.25, 1e-9);
}

// A fitting list inside a longer one passes the notch outwards: the list
// around it scrolls, not another list beneath it in that list's content.
TEST_F(HostTest, AWheelStepOverAFittingListInsideALongerOneScrollsTheLongerOne) {
    auto outer = std::make_shared<UIScrollView>(CGRectMake(0, 0, 200, 300));
    outer->setContentSize({200, 900});
    auto beneath = std::make_shared<UIScrollView>(CGRectMake(0, 50, 200, 200));
    beneath->setContentSize({200, 600});
    outer->addSubview(beneath);
    auto inner = std::make_shared<UIScrollView>(CGRectMake(0, 50, 200, 200));
    inner->setContentSize({200, 100});
    outer->addSubview(inner);
    window->addSubview(outer);
    HostTouchInput input(window);
    input.wheel({100, 100}, -1);
    EXPECT_EQ(outer->contentOffset(), CGPointMake(0, 48));
    EXPECT_EQ(beneath->contentOffset(), CGPointZero);
    EXPECT_EQ(inner->contentOffset(), CGPointZero);
}

// While a modal view is up a notch outside its box moves nothing beneath,
// as a click there does nothing; a list inside the modal view still scrolls.
TEST_F(HostTest, AWheelStepOutsideAModalViewMovesNothingBeneathIt) {
    auto scroll = addZoomingScrollView();
    auto alert = std::make_shared<UIAlertView>(
        "Cannot open the link", "", std::weak_ptr<UIAlertViewDelegate>(), std::string("OK"));
    alert->show();
    ASSERT_TRUE(alert->isVisible());
    HostTouchInput input(window);
    for (const CGPoint pointer : {CGPoint{100, 10}, CGPoint{100, 150}, CGPoint{10, 290}}) {
        input.wheel(pointer, 1);
        CAFrameClock::shared().advance(1);
    }
    EXPECT_EQ(scroll->zoomScale(), 1);
    alert->dismissWithClickedButtonIndexAnimated(0, false);
    CAFrameClock::shared().advance(1);

    // A form sheet's dimming, with a list on it.
    auto dimming = std::make_shared<UIView>(window->bounds());
    auto list = std::make_shared<UIScrollView>(CGRectMake(20, 50, 160, 200));
    list->setContentSize({160, 600});
    dimming->addSubview(list);
    window->addSubview(dimming);
    input.wheel({100, 20}, -1);
    EXPECT_EQ(scroll->zoomScale(), 1);
    EXPECT_EQ(list->contentOffset(), CGPointZero);
    input.wheel({100, 150}, -1);
    EXPECT_EQ(list->contentOffset(), CGPointMake(0, 48));
    EXPECT_EQ(scroll->zoomScale(), 1);
}

TEST_F(HostTest, RendererWritesTheWindowAsPNG) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("kelvara-host-test-" + std::to_string(::getpid()) + ".png"))
                                 .string();
    HostRenderer renderer(window, 2);
    ASSERT_TRUE(renderer.writePNG(path));
    auto source = CGImageSource::createWithURL(path);
    auto image = source ? source->createImageAtIndex(0) : nullptr;
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 400u);
    EXPECT_EQ(image->height(), 600u);
    EXPECT_EQ(image->pixelAt(100, 100), 0xFF0000FFu);
    EXPECT_EQ(image->pixelAt(100, 500), 0xFFFFFFFFu);
    std::filesystem::remove(path);
    EXPECT_FALSE(renderer.writePNG("/nonexistent-dir/x.png"));
}

TEST_F(HostTest, WindowOpensOnTheDisplayAndShowsTheViewTree) {
    if (!std::getenv("DISPLAY")) {
        GTEST_SKIP() << "no display (ctest runs this under xvfb-run)";
    }
    auto host = HostWindow::open(window, 1, "Kelvara test");
    ASSERT_TRUE(host) << "a display is set but no window opens";
    EXPECT_TRUE(host->pumpEvents());
    host->present();
    auto pixels = host->readPixels();
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->width(), 200u);
    EXPECT_EQ(pixels->height(), 300u);
    EXPECT_EQ(pixels->pixelAt(50, 50) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(pixels->pixelAt(50, 250) & 0xFFFFFF, 0xFFFFFFu);

    // A change reaches the screen with the next frame.
    banner->setBackgroundColor(UIColor::redColor());
    CAFrameClock::shared().advance(1.0 / 60);
    pixels = host->readPixels();
    EXPECT_EQ(pixels->pixelAt(50, 50) & 0xFFFFFF, 0xFF0000u);
}

}  // namespace
