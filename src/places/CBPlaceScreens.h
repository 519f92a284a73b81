#pragma once

#include "UIKit/UIDevice.h"
#include "UIKit/UIInterfaceOrientation.h"
#include "UIKit/UINavigationController.h"

// What the place screens have in common.

// They turn to every orientation but upside down, which only the pad allows.
inline bool CBPlaceScreenShouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) {
    return orientation != UIInterfaceOrientationPortraitUpsideDown ||
           UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad;
}

// A screen without a toolbar of its own hides its navigation controller's
// as it appears.
inline void CBPlaceScreenHideToolbar(UIViewController& screen, bool animated) {
    if (auto navigation = screen.navigationController())
        navigation->setToolbarHiddenAnimated(true, animated);
}
