#pragma once

#include "UIKit/UIDevice.h"
#include "UIKit/UIInterfaceOrientation.h"

// The place screens turn to every orientation but upside down, which only
// the pad allows.
inline bool CBPlaceScreenShouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) {
    return orientation != UIInterfaceOrientationPortraitUpsideDown ||
           UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad;
}
