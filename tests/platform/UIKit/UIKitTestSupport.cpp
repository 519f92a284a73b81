#include "UIKitTestSupport.h"

#include <cstdio>
#include <cstdlib>

#include "FailureImage.h"
#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIEvent.h"
#include "UIKit/UIScreen.h"

void UIKitTest::SetUp() {
    UIScreen::mainScreen()->setScale(2);
    UIScreen::mainScreen()->setBoundsSize({320, 568});
    CAFrameClock::shared().setManual(true);
}

void UIKitTest::TearDown() {
    CAFrameClock::shared().advance(10);
    CAFrameClock::shared().setManual(false);
}

std::shared_ptr<UIWindow> UIKitTest::makeWindow(CGSize size) {
    auto window = std::make_shared<UIWindow>(CGRect{CGPointZero, size});
    window->setBackgroundColor(UIColor::whiteColor());
    window->makeKeyAndVisible();
    return window;
}

::testing::AssertionResult matchesReference(const CGImageRef& image, const std::string& name,
                                            int tolerance) {
    if (!image) {
        return ::testing::AssertionFailure() << "no image for " << name;
    }
    const char* data = std::getenv("KELVARA_TEST_DATA");
    const std::string path = std::string(data ? data : "tests/data") + "/uikit/" + name + ".png";
    auto write = [&](const std::string& to) {
        auto destination = CGImageDestination::createWithURL(to, kUTTypePNG);
        destination->addImage(image);
        return destination->finalize();
    };
    if (std::getenv("KELVARA_UPDATE_REFERENCES")) {
        return write(path) ? ::testing::AssertionSuccess()
                           : ::testing::AssertionFailure() << "cannot write " << path;
    }
    auto failure = [&] {
        return ::testing::AssertionFailure() << keepFailureImage(name + ".actual", write) << ": ";
    };
    auto source = CGImageSource::createWithURL(path);
    CGImageRef reference = source ? source->createImageAtIndex(0) : nullptr;
    if (!reference) {
        return failure() << "no reference image " << path;
    }
    if (reference->width() != image->width() || reference->height() != image->height()) {
        return failure() << name << ": size " << image->width() << "x" << image->height()
                         << " instead of " << reference->width() << "x" << reference->height();
    }
    size_t bad = 0;
    for (size_t y = 0; y < image->height(); ++y) {
        for (size_t x = 0; x < image->width(); ++x) {
            const uint32_t a = image->pixelAt(x, y), b = reference->pixelAt(x, y);
            for (int shift = 0; shift < 32; shift += 8) {
                if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) {
                    ++bad;
                    break;
                }
            }
        }
    }
    // Text rasterises slightly differently between font versions: allow a few pixels.
    const size_t allowed = image->width() * image->height() / 200;
    if (bad > allowed) {
        return failure() << name << ": " << bad << " pixels differ (allowed " << allowed << ")";
    }
    return ::testing::AssertionSuccess();
}

void TouchDriver::send(UITouchPhase phase, const std::vector<CGPoint>& points) {
    const double now = CACurrentMediaTime();
    for (size_t i = 0; i < touches_.size(); ++i) {
        touches_[i]->setPhase(phase);
        touches_[i]->setTimestamp(now);
        touches_[i]->setWindowLocation(points[i]);
    }
    last_ = points;
    UIEvent event(touches_, now);
    window_->sendEvent(event);
}

void TouchDriver::down(std::vector<CGPoint> points, long tapCount) {
    touches_.clear();
    for (size_t i = 0; i < points.size(); ++i) {
        auto touch = std::make_shared<UITouch>();
        touch->setTapCount(tapCount);
        touches_.push_back(touch);
    }
    send(UITouchPhaseBegan, points);
}

void TouchDriver::move(std::vector<CGPoint> points, double dt) {
    CAFrameClock::shared().advance(dt);
    send(UITouchPhaseMoved, points);
}

void TouchDriver::up(double dt) {
    CAFrameClock::shared().advance(dt);
    send(UITouchPhaseEnded, last_);
    touches_.clear();
}

void TouchDriver::tap(CGPoint point, long tapCount) {
    down({point}, tapCount);
    up();
}

void TouchDriver::drag(CGPoint from, CGPoint to, int steps, double seconds) {
    down({from});
    for (int i = 1; i <= steps; ++i) {
        const double f = double(i) / steps;
        move({{from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f}}, seconds / steps);
    }
}
