#pragma once

#include <functional>
#include <memory>
#include <string>

#include "CoreGraphics/CGGeometry.h"

inline constexpr const char* kCAMediaTimingFunctionLinear = "linear";
inline constexpr const char* kCAMediaTimingFunctionEaseIn = "easeIn";
inline constexpr const char* kCAMediaTimingFunctionEaseOut = "easeOut";
inline constexpr const char* kCAMediaTimingFunctionEaseInEaseOut = "easeInEaseOut";
inline constexpr const char* kCAMediaTimingFunctionDefault = "default";

// Maps the fraction of an animation's time to the fraction of its change: a
// cubic Bezier from (0, 0) to (1, 1), or a damped spring.
class CAMediaTimingFunction {
  public:
    // An unknown name gives the linear function.
    static std::shared_ptr<CAMediaTimingFunction> functionWithName(const std::string& name);
    static std::shared_ptr<CAMediaTimingFunction> functionWithControlPoints(CGFloat c1x,
                                                                            CGFloat c1y,
                                                                            CGFloat c2x,
                                                                            CGFloat c2y);
    // A spring settling within the animation's duration: damping ratio 0...1
    // (1: no overshoot) and initial velocity in changes per duration.
    static std::shared_ptr<CAMediaTimingFunction> springWithDamping(CGFloat dampingRatio,
                                                                    CGFloat initialVelocity);

    // t in 0...1 (clamped) to the eased fraction; f(0) = 0 and f(1) = 1.
    CGFloat evaluate(CGFloat t) const;

    explicit CAMediaTimingFunction(std::function<CGFloat(CGFloat)> f) : f_(std::move(f)) {}

  private:
    std::function<CGFloat(CGFloat)> f_;
};
