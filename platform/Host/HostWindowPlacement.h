#pragma once

#include "CoreGraphics/CGGeometry.h"

// The frame a window manager draws around a window, in pixels; zero while
// it is not known (before the window is shown, or with no window manager).
struct HostWindowBorders {
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
};

// Where the desktop window goes and at which scale.
struct HostWindowPlacement {
    CGFloat scale = 1;
    // The window's content in points: the screen the application sees.
    CGSize size{};
    // The content's top left on the desktop, in pixels.
    int x = 0;
    int y = 0;
};

// The smallest screen the window offers, in points a side: a phone's width,
// the narrowest the screens are laid out for in either orientation.
constexpr CGFloat kHostWindowMinimumSide = 320;

// The scale a device's screen (points) opens at in a display's usable area
// (pixels: the desktop less its panels): the largest whole scale from
// largestScale down to 1 at which the whole screen and the window's borders
// fit; when none above 1 does, the largest at which the screen, cut to the
// area, still keeps smallestScreen (the device's own, oriented as the
// screen): a phone at scale 2 on a 1920 x 1080 display loses a few points of
// height and stays sharp, while on a 1366 x 768 display it would keep 384
// points, too short for its screens, and opens whole at scale 1 instead.
// Fractional scales would blur images and hairlines.
CGFloat HostChooseWindowScale(CGSize screenSize, CGSize smallestScreen, CGFloat largestScale,
                              const CGRect& usableArea, const HostWindowBorders& borders);

// Fits a device's screen (points) at a scale into a display's usable area.
// What does not fit is cut from the screen's sides in whole points, never
// below one point. The window is centred in the area, borders included, and
// never starts above or left of it.
HostWindowPlacement HostPlaceWindow(CGSize screenSize, CGFloat scale, const CGRect& usableArea,
                                    const HostWindowBorders& borders);
