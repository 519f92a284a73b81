#pragma once

// How the interface stands on the screen, as the heading correction needs it:
// the status bar's orientation, told by whoever knows the window. The order
// follows the status bar's own values.
enum class CBInterfaceOrientation {
    Unknown,
    Portrait,
    PortraitUpsideDown,
    LandscapeRight,
    LandscapeLeft,
};
