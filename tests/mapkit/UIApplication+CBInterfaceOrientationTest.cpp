#include "mapkit/UIApplication+CBInterfaceOrientation.h"

#include <gtest/gtest.h>

#include "UIKit/UIApplication.h"
#include "location/CLHeading+CBAdditions.h"

namespace {

TEST(UIApplicationCBInterfaceOrientationTest, EachStatusBarOrientationHasItsOwn) {
    EXPECT_EQ(cbInterfaceOrientation(UIInterfaceOrientationPortrait),
              CBInterfaceOrientation::Portrait);
    EXPECT_EQ(cbInterfaceOrientation(UIInterfaceOrientationPortraitUpsideDown),
              CBInterfaceOrientation::PortraitUpsideDown);
    EXPECT_EQ(cbInterfaceOrientation(UIInterfaceOrientationLandscapeRight),
              CBInterfaceOrientation::LandscapeRight);
    EXPECT_EQ(cbInterfaceOrientation(UIInterfaceOrientationLandscapeLeft),
              CBInterfaceOrientation::LandscapeLeft);
    EXPECT_EQ(cbInterfaceOrientation(UIInterfaceOrientationUnknown),
              CBInterfaceOrientation::Unknown);
    EXPECT_EQ(cbInterfaceOrientation(static_cast<UIInterfaceOrientation>(7)),
              CBInterfaceOrientation::Unknown);
}

TEST(UIApplicationCBInterfaceOrientationTest, TheStatusBarTurnsTheHeading) {
    auto application = UIApplication::sharedApplication();
    const auto before = application->statusBarOrientation();
    const CLHeading heading(10, 350, 5, NSDate::date());
    const std::pair<UIInterfaceOrientation, CLLocationDirection> expected[] = {
        {UIInterfaceOrientationPortrait, 350},
        {UIInterfaceOrientationLandscapeRight, 80},  // status-bar orientation 3
        {UIInterfaceOrientationLandscapeLeft, 260},
        {UIInterfaceOrientationPortraitUpsideDown, 170},
    };
    for (const auto& [orientation, direction] : expected) {
        application->setStatusBarOrientation(orientation);
        EXPECT_EQ(
            adjustedHeadingForInterfaceOrientation(heading, cbStatusBarInterfaceOrientation()),
            direction)
            << "status-bar orientation " << orientation;
    }
    application->setStatusBarOrientation(before);
}

}  // namespace
