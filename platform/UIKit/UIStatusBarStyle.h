#pragma once

enum UIStatusBarStyle : long {
    UIStatusBarStyleDefault = 0,       // dark text
    UIStatusBarStyleLightContent = 1,  // light text
    UIStatusBarStyleBlackOpaque = 2,
};

enum UIStatusBarAnimation : long {
    UIStatusBarAnimationNone,
    UIStatusBarAnimationFade,
    UIStatusBarAnimationSlide,
};
