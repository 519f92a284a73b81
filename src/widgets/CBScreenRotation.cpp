#include "widgets/CBScreenRotation.h"

#include "UIKit/UIDevice.h"

namespace {
bool isPad() {
    return UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad;
}
}  // namespace

bool CBScreenRotation::turnsTo(Rule rule, UIInterfaceOrientation orientation) {
    if (isPad())
        return true;
    return rule == Rule::Portrait ? orientation == UIInterfaceOrientationPortrait
                                  : orientation != UIInterfaceOrientationPortraitUpsideDown;
}

unsigned long CBScreenRotation::supportedOrientations(Rule rule) {
    if (isPad())
        return UIInterfaceOrientationMaskAll;
    return rule == Rule::Portrait ? UIInterfaceOrientationMaskPortrait
                                  : UIInterfaceOrientationMaskAllButUpsideDown;
}
