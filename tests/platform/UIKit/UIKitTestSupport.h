#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "CoreGraphics/CGImage.h"
#include "UIKit/UIWindow.h"

// Shared set-up of the UIKit tests: a 2x screen and a frame clock that only
// moves when a test advances it.
class UIKitTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // A key window of the size, white.
    std::shared_ptr<UIWindow> makeWindow(CGSize size);
};

// Compares an image with tests/data/uikit/<name>.png: equal sizes and at most
// a few pixels with a channel off by more than tolerance. A mismatch keeps
// the image as <name>.actual.png under the build folder's test-output/ and
// names it in the failure (keepFailureImage). With KELVARA_UPDATE_REFERENCES
// set the reference is rewritten instead.
::testing::AssertionResult matchesReference(const CGImageRef& image, const std::string& name,
                                            int tolerance = 24);

// A touch sequence on a window, in window points.
class TouchDriver {
  public:
    explicit TouchDriver(std::shared_ptr<UIWindow> window) : window_(std::move(window)) {}
    // Fingers go down (one touch each), move together, lift.
    void down(std::vector<CGPoint> points, long tapCount = 1);
    void move(std::vector<CGPoint> points, double dt = 1.0 / 60);
    void up(double dt = 1.0 / 60);
    void tap(CGPoint point, long tapCount = 1);
    // A straight drag in steps frames.
    void drag(CGPoint from, CGPoint to, int steps, double seconds);

  private:
    void send(UITouchPhase phase, const std::vector<CGPoint>& points);
    std::shared_ptr<UIWindow> window_;
    UITouchSet touches_;
    std::vector<CGPoint> last_;
};
