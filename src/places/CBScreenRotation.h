#pragma once

#include "UIKit/UIDevice.h"
#include "UIKit/UIInterfaceOrientation.h"

// The orientations the place and guide screens turn to: every one but
// upside down, which only the pad takes.
inline bool CBPlaceScreenRotatesToOrientation(UIInterfaceOrientation orientation) {
    return orientation != UIInterfaceOrientationPortraitUpsideDown ||
           UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad;
}
