#pragma once

// The orientations of the interface, and masks of them for the questions
// controllers answer about rotation.
enum UIInterfaceOrientation : long {
    UIInterfaceOrientationUnknown = 0,
    UIInterfaceOrientationPortrait = 1,
    UIInterfaceOrientationPortraitUpsideDown = 2,
    UIInterfaceOrientationLandscapeRight = 3,
    UIInterfaceOrientationLandscapeLeft = 4,
};

enum UIInterfaceOrientationMask : unsigned long {
    UIInterfaceOrientationMaskPortrait = 1 << UIInterfaceOrientationPortrait,
    UIInterfaceOrientationMaskPortraitUpsideDown = 1 << UIInterfaceOrientationPortraitUpsideDown,
    UIInterfaceOrientationMaskLandscapeRight = 1 << UIInterfaceOrientationLandscapeRight,
    UIInterfaceOrientationMaskLandscapeLeft = 1 << UIInterfaceOrientationLandscapeLeft,
    UIInterfaceOrientationMaskLandscape =
        UIInterfaceOrientationMaskLandscapeLeft | UIInterfaceOrientationMaskLandscapeRight,
    UIInterfaceOrientationMaskAll = UIInterfaceOrientationMaskPortrait |
                                    UIInterfaceOrientationMaskLandscape |
                                    UIInterfaceOrientationMaskPortraitUpsideDown,
    UIInterfaceOrientationMaskAllButUpsideDown =
        UIInterfaceOrientationMaskPortrait | UIInterfaceOrientationMaskLandscape,
};
