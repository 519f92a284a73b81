#pragma once

#include <optional>

#include "UIKit/UIColor.h"

// The application's own colours: walks, their stops and pins.
namespace KelvaraColors {
UIColor walkAccentColor();
UIColor walkStopSelectionHighlightColor();
UIColor walkStopFirst();
UIColor walkStopLast();
// nullopt: the default pin colour.
std::optional<UIColor> pinColorBookmark();
UIColor pinColorGuide();
}  // namespace KelvaraColors
