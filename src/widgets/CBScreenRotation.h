#pragma once

#include "UIKit/UIInterfaceOrientation.h"

// The orientations a screen turns to. Every screen follows one of two rules;
// the pad turns every way under both.
class CBScreenRotation {
  public:
    enum class Rule {
        // Every orientation but upside down.
        AllButUpsideDown,
        // Portrait only.
        Portrait,
    };

    static bool turnsTo(Rule rule, UIInterfaceOrientation orientation);
    static unsigned long supportedOrientations(Rule rule);
};
