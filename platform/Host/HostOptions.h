#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UIDevice.h"

// How the desktop host shows the application: a phone (320 x 568 points)
// or a pad (768 x 1024), upright or on its side, at a scale, in a window or
// headless to a PNG.
struct HostOptions {
    UIUserInterfaceIdiom idiom = UIUserInterfaceIdiomPhone;
    // Wider than tall: the device's sides swapped.
    bool landscape = false;
    CGFloat scale = 2;
    // Whether --scale chose the scale. Otherwise a desktop window may open at
    // a smaller whole scale, so that it fits the display.
    bool scaleGiven = false;
    std::optional<std::string> screenshotPath;
    // A scenario script to play headless, and where its relative screenshot
    // paths go (empty: the working directory).
    std::optional<std::string> scenarioPath;
    std::string scenarioOutput;
    // The display a window is fitted to, in pixels, instead of the desktop's
    // usable area; headless runs given one take the window's size and scale.
    std::optional<CGSize> display;
    // The on-screen keyboard's height in points (0: a hardware keyboard).
    CGFloat keyboardHeight = 0;
    // The folder the image picker shows (empty: the desktop's Pictures).
    std::string picturesDirectory;
    // Arguments the host does not know, for the application (program name first).
    std::vector<std::string> applicationArguments;

    // The device's screen in points: 320 x 568 or 768 x 1024, swapped in
    // landscape.
    CGSize screenSize() const;
    // The least of the screen a window cut to its display must keep to open
    // at a scale above 1, oriented as screenSize(). The phone's screens are
    // also laid out for the short phone's 320 x 480. The pad's are made for
    // its own screen alone, so it may lose only what a desktop's bars and a
    // window's title bar take at scale 2, 64 points (128 pixels) a side;
    // more, and it opens at scale 1, whole or nearly so.
    CGSize smallestScreenSize() const;
};

// Takes --phone, --pad, --landscape, --scale N (1...4), --display WxH,
// --screenshot FILE, --scenario FILE, --scenario-output DIR,
// --keyboard-height N (0...600) and --pictures DIR out of the arguments and leaves the rest;
// nullopt with a message for a bad value.
std::optional<HostOptions> HostParseArguments(int argc, const char* const* argv,
                                              std::string* error);

// Sets up the main screen and the device for the options.
void HostApplyOptions(const HostOptions& options);
