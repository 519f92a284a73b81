#pragma once

#include <functional>
#include <memory>

#include "QuartzCore/CAMediaTimingFunction.h"

class CAAnimation;

// Groups layer changes: within begin() ... commit() the settings below apply
// to the implicit animations the changes make, and the completion block runs
// once every animation added inside the group has stopped (at the next frame
// when there were none). Transactions nest; settings are inherited from the
// enclosing one. Main thread only, like the layers it governs.
class CATransaction {
  public:
    static void begin();
    static void commit();
    // Draws pending changes now (the next frame is due at once).
    static void flush();

    static bool disableActions();
    static void setDisableActions(bool flag);
    // Default 0.25 s.
    static double animationDuration();
    static void setAnimationDuration(double seconds);
    static std::shared_ptr<CAMediaTimingFunction> animationTimingFunction();
    static void setAnimationTimingFunction(std::shared_ptr<CAMediaTimingFunction> function);
    static void setCompletionBlock(std::function<void()> block);

    // Called by the layer for each animation it adds: the open transactions
    // wait for it.
    static void registerAnimation(CAAnimation& animation);
};
