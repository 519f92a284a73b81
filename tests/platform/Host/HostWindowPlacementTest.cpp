// Where the desktop window opens and at which scale, for the displays people
// have: the window with its borders always lies on the usable area.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Host/HostOptions.h"
#include "Host/HostWindowPlacement.h"

namespace {

constexpr CGSize kPhone{320, 568};
constexpr CGSize kPhoneLandscape{568, 320};
constexpr CGSize kPad{768, 1024};
constexpr CGSize kPadLandscape{1024, 768};
// Where a window opens with no --scale: at the scale chosen for the display
// and the device (the phone or the pad, by its size), with the least of its
// screen the device must keep.
HostWindowPlacement placeAtChosenScale(CGSize device, CGFloat largestScale, const CGRect& area,
                                       const HostWindowBorders& borders) {
    HostOptions options;
    options.idiom = std::max(device.width, device.height) >= 1024 ? UIUserInterfaceIdiomPad
                                                                  : UIUserInterfaceIdiomPhone;
    options.landscape = device.width > device.height;
    return HostPlaceWindow(
        device,
        HostChooseWindowScale(device, options.smallestScreenSize(), largestScale, area, borders),
        area, borders);
}

// The window with its borders, in desktop pixels.
CGRect outerFrame(const HostWindowPlacement& placement, const HostWindowBorders& borders) {
    return CGRectMake(
        placement.x - borders.left, placement.y - borders.top,
        std::ceil(placement.size.width * placement.scale) + borders.left + borders.right,
        std::ceil(placement.size.height * placement.scale) + borders.top + borders.bottom);
}

TEST(HostWindowPlacementTest, TheDefaultScaleIsTheLargestWholeOneAtWhichTheDeviceFits) {
    struct Case {
        CGSize device;
        CGRect area;
        CGFloat scale;
        CGSize size;
    };
    const std::vector<Case> cases = {
        // 640 x 1136 pixels do not fit a 1024-pixel-high screen: scale 2 all
        // the same, the screen cut to the display's height.
        {kPhone, CGRectMake(0, 0, 1280, 1024), 2, {320, 512}},
        {kPhone, CGRectMake(0, 0, 1920, 1080), 2, {320, 540}},
        // A laptop's 1366 x 768 would keep a phone of only 384 points at
        // scale 2, where a callout has no room between the search bar and
        // the map's buttons: scale 1, the whole phone, as on a 1024 x 600.
        {kPhone, CGRectMake(0, 0, 1366, 768), 1, kPhone},
        {kPhone, CGRectMake(0, 27, 1366, 741), 1, kPhone},
        {kPad, CGRectMake(0, 0, 1366, 768), 1, {768, 768}},
        // The pad's layouts are made for its own screen: at scale 2 a 1366 x
        // 768 or 1920 x 1080 display would keep half of it or less.
        {kPadLandscape, CGRectMake(0, 0, 1366, 768), 1, kPadLandscape},
        {kPadLandscape, CGRectMake(0, 27, 1366, 741), 1, {1024, 741}},
        {kPadLandscape, CGRectMake(0, 0, 1920, 1080), 1, kPadLandscape},
        {kPad, CGRectMake(0, 0, 1920, 1080), 1, kPad},
        {kPad, CGRectMake(0, 27, 1920, 1053), 1, kPad},
        // On its side the phone keeps the short phone's 480 points of width.
        {kPhoneLandscape, CGRectMake(0, 0, 1000, 768), 2, {500, 320}},
        {kPhoneLandscape, CGRectMake(0, 0, 900, 768), 1, kPhoneLandscape},
        {kPhone, CGRectMake(0, 0, 2560, 1440), 2, kPhone},
        {kPhone, CGRectMake(0, 27, 2560, 1413), 2, kPhone},
        {kPhoneLandscape, CGRectMake(0, 0, 1280, 1024), 2, kPhoneLandscape},
        {kPhoneLandscape, CGRectMake(0, 0, 1024, 768), 2, {512, 320}},
        {kPad, CGRectMake(0, 0, 3840, 2160), 2, kPad},
        {kPad, CGRectMake(0, 27, 3840, 2133), 2, kPad},
        // Upright, scale 2 would keep 720 of its 1024 points: scale 1, whole.
        {kPad, CGRectMake(0, 0, 2560, 1440), 1, kPad},
        // On its side it loses 48 points at scale 2, or 61 under a bar.
        {kPadLandscape, CGRectMake(0, 0, 2560, 1440), 2, {1024, 720}},
        {kPadLandscape, CGRectMake(0, 27, 2560, 1413), 2, {1024, 706}},
        // Under a bar and a dock it would lose 83: scale 1, whole.
        {kPadLandscape, CGRectMake(0, 27, 2560, 1365), 1, kPadLandscape},
        {kPadLandscape, CGRectMake(0, 0, 2560, 1600), 2, kPadLandscape},
        // Below 320 points a side at scale 2: scale 1, the whole phone.
        {kPhone, CGRectMake(0, 0, 1024, 600), 1, {320, 568}},
        {kPhoneLandscape, CGRectMake(0, 0, 1000, 600), 1, kPhoneLandscape},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.device.width << " x " << c.device.height << " on "
                                        << c.area.size.width << " x " << c.area.size.height);
        const HostWindowPlacement placement = placeAtChosenScale(c.device, 2, c.area, {});
        EXPECT_EQ(placement.scale, c.scale);
        EXPECT_EQ(placement.size, c.size);
        EXPECT_TRUE(CGRectContainsRect(c.area, outerFrame(placement, {})));
    }
    // Larger displays take larger whole scales when more are allowed.
    EXPECT_EQ(placeAtChosenScale(kPhone, 4, CGRectMake(0, 0, 3840, 2160), {}).scale, 3);
    EXPECT_EQ(placeAtChosenScale(kPhone, 2.5, CGRectMake(0, 0, 3840, 2160), {}).scale, 2);
}

TEST(HostWindowPlacementTest, OnTheTestDisplayThePhoneWindowIsCentredAndWhole) {
    const HostWindowPlacement placement =
        placeAtChosenScale(kPhone, 1, CGRectMake(0, 0, 1280, 1024), {});
    EXPECT_EQ(placement.x, 480);
    EXPECT_EQ(placement.y, 228);
    // A panel at the top and a title bar: the bar's top is still on the desktop.
    const HostWindowBorders titleBar{37, 0, 0, 0};
    const HostWindowPlacement framed =
        HostPlaceWindow(kPhone, 1, CGRectMake(0, 32, 1280, 992), titleBar);
    EXPECT_EQ(framed.y - titleBar.top, 32 + (992 - 568 - 37) / 2);
}

TEST(HostWindowPlacementTest, WhatDoesNotFitIsCutInWholePointsAndTheScaleIsKept) {
    // --scale 2 on a 1280 x 1024 display: as tall as it can be.
    HostWindowPlacement placement = HostPlaceWindow(kPhone, 2, CGRectMake(0, 0, 1280, 1024), {});
    EXPECT_EQ(placement.scale, 2);
    EXPECT_EQ(placement.size, CGSizeMake(320, 512));
    EXPECT_EQ(placement.y, 0);

    // The pad at scale 1 under a title bar on a 1080p desktop with a panel.
    const HostWindowBorders borders{37, 1, 1, 1};
    const CGRect area = CGRectMake(0, 27, 1920, 1053);
    placement = placeAtChosenScale(kPad, 2, area, borders);
    EXPECT_EQ(placement.scale, 1);
    EXPECT_EQ(placement.size, CGSizeMake(768, 1053 - 38));
    // At a forced scale 2 the pad keeps its width and half the height.
    placement = HostPlaceWindow(kPad, 2, area, borders);
    EXPECT_EQ(placement.scale, 2);
    EXPECT_EQ(placement.size, CGSizeMake(768, 507));
    EXPECT_TRUE(CGRectContainsRect(area, outerFrame(placement, borders)));

    // A fractional scale that fits is kept as it is; one that does not is cut
    // to whole points, the pixels rounded up as the renderer does.
    placement = HostPlaceWindow(kPhone, 1.5, CGRectMake(0, 0, 1280, 1024), {});
    EXPECT_EQ(placement.size, kPhone);
    placement = HostPlaceWindow(kPhone, 1.5, CGRectMake(0, 0, 1280, 800), {});
    EXPECT_EQ(placement.size, CGSizeMake(320, 533));
    EXPECT_LE(std::ceil(533 * 1.5), 800);

    // A display smaller than the device, and one with no room at all.
    placement = placeAtChosenScale(kPhone, 2, CGRectMake(0, 0, 300, 200), {});
    EXPECT_EQ(placement.scale, 1);
    EXPECT_EQ(placement.size, CGSizeMake(300, 200));
    placement =
        placeAtChosenScale(kPhone, 2, CGRectMake(0, 0, 0, 0), HostWindowBorders{20, 0, 0, 0});
    EXPECT_EQ(placement.size, CGSizeMake(1, 1));
    EXPECT_EQ(placement.y, 20);
}

TEST(HostWindowPlacementTest, EveryWindowLiesOnItsDisplay) {
    const std::vector<CGRect> areas = {
        CGRectMake(0, 0, 1024, 768),     CGRectMake(0, 0, 1280, 1024),
        CGRectMake(0, 0, 1366, 768),     CGRectMake(0, 27, 1920, 1053),
        CGRectMake(1920, 0, 1080, 1920), CGRectMake(0, 0, 3840, 2160),
    };
    const std::vector<HostWindowBorders> bordersList = {{}, {30, 0, 0, 0}, {37, 4, 4, 4}};
    for (const CGRect& area : areas) {
        for (CGSize device : {kPhone, kPhoneLandscape, kPad, kPadLandscape}) {
            for (const HostWindowBorders& borders : bordersList) {
                for (const auto& [scale, forced] :
                     {std::pair{2.0, false}, std::pair{2.0, true}, std::pair{3.0, true}}) {
                    const HostWindowPlacement placement =
                        forced ? HostPlaceWindow(device, scale, area, borders)
                               : placeAtChosenScale(device, scale, area, borders);
                    SCOPED_TRACE(testing::Message()
                                 << device.width << " x " << device.height << " on "
                                 << area.size.width << " x " << area.size.height << " at " << scale
                                 << (forced ? " forced" : ""));
                    EXPECT_TRUE(CGRectContainsRect(area, outerFrame(placement, borders)));
                    EXPECT_LE(placement.size.width, device.width);
                    EXPECT_LE(placement.size.height, device.height);
                    EXPECT_EQ(placement.size.width, std::floor(placement.size.width));
                    EXPECT_EQ(placement.size.height, std::floor(placement.size.height));
                    if (forced) {
                        EXPECT_EQ(placement.scale, scale);
                    } else {
                        EXPECT_EQ(placement.scale, std::floor(placement.scale));
                    }
                }
            }
        }
    }
}

}  // namespace
