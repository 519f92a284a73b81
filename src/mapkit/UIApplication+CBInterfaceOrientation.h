#pragma once

#include "UIKit/UIInterfaceOrientation.h"
#include "location/CBInterfaceOrientation.h"

// The heading correction's orientation for the status bar's; an orientation
// the correction does not know is Unknown.
CBInterfaceOrientation cbInterfaceOrientation(UIInterfaceOrientation orientation);

// The running application's status-bar orientation; portrait while no
// application runs.
CBInterfaceOrientation cbStatusBarInterfaceOrientation();
