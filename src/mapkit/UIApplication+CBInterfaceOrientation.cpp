#include "mapkit/UIApplication+CBInterfaceOrientation.h"

#include "UIKit/UIApplication.h"

CBInterfaceOrientation cbInterfaceOrientation(UIInterfaceOrientation orientation) {
    switch (orientation) {
        case UIInterfaceOrientationPortrait:
            return CBInterfaceOrientation::Portrait;
        case UIInterfaceOrientationPortraitUpsideDown:
            return CBInterfaceOrientation::PortraitUpsideDown;
        case UIInterfaceOrientationLandscapeRight:
            return CBInterfaceOrientation::LandscapeRight;
        case UIInterfaceOrientationLandscapeLeft:
            return CBInterfaceOrientation::LandscapeLeft;
        case UIInterfaceOrientationUnknown:
            break;
    }
    return CBInterfaceOrientation::Unknown;
}

CBInterfaceOrientation cbStatusBarInterfaceOrientation() {
    auto app = UIApplication::existingApplication();
    return app ? cbInterfaceOrientation(app->statusBarOrientation())
               : CBInterfaceOrientation::Portrait;
}
