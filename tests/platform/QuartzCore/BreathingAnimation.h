#pragma once

#include <cmath>
#include <memory>

#include "QuartzCore/CAAnimation.h"

// The position dot's breathing: a scale to 0.75 and back every 3 s, for ever.
inline std::shared_ptr<CABasicAnimation> breathingAnimation() {
    auto breathing = CABasicAnimation::animationWithKeyPath("transform.scale");
    breathing->setToValue(CGFloat(0.75));
    breathing->setDuration(1.5);
    breathing->setAutoreverses(true);
    breathing->setRepeatCount(HUGE_VAL);
    return breathing;
}
