#include "QuartzCore/CAMediaTimingFunction.h"

#include <algorithm>
#include <cmath>

namespace {

CGFloat bezier(CGFloat p1, CGFloat p2, CGFloat t) {
    const CGFloat u = 1 - t;
    return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
}

CGFloat bezierSlope(CGFloat p1, CGFloat p2, CGFloat t) {
    const CGFloat u = 1 - t;
    return 3 * u * u * p1 + 6 * u * t * (p2 - p1) + 3 * t * t * (1 - p2);
}

}  // namespace

std::shared_ptr<CAMediaTimingFunction> CAMediaTimingFunction::functionWithName(
    const std::string& name) {
    if (name == kCAMediaTimingFunctionEaseIn) {
        return functionWithControlPoints(0.42, 0, 1, 1);
    }
    if (name == kCAMediaTimingFunctionEaseOut) {
        return functionWithControlPoints(0, 0, 0.58, 1);
    }
    if (name == kCAMediaTimingFunctionEaseInEaseOut) {
        return functionWithControlPoints(0.42, 0, 0.58, 1);
    }
    if (name == kCAMediaTimingFunctionDefault) {
        return functionWithControlPoints(0.25, 0.1, 0.25, 1);
    }
    return std::make_shared<CAMediaTimingFunction>([](CGFloat t) { return t; });
}

std::shared_ptr<CAMediaTimingFunction> CAMediaTimingFunction::functionWithControlPoints(
    CGFloat c1x, CGFloat c1y, CGFloat c2x, CGFloat c2y) {
    c1x = std::clamp(c1x, 0.0, 1.0);
    c2x = std::clamp(c2x, 0.0, 1.0);
    return std::make_shared<CAMediaTimingFunction>([=](CGFloat x) {
        // Newton steps on x(t) = x, falling back to bisection.
        CGFloat t = x;
        for (int i = 0; i < 8; ++i) {
            const CGFloat error = bezier(c1x, c2x, t) - x;
            const CGFloat slope = bezierSlope(c1x, c2x, t);
            if (std::fabs(error) < 1e-7) {
                return bezier(c1y, c2y, t);
            }
            if (std::fabs(slope) < 1e-6) {
                break;
            }
            t -= error / slope;
        }
        CGFloat lo = 0, hi = 1;
        t = x;
        for (int i = 0; i < 40; ++i) {
            (bezier(c1x, c2x, t) < x ? lo : hi) = t;
            t = (lo + hi) / 2;
        }
        return bezier(c1y, c2y, t);
    });
}

std::shared_ptr<CAMediaTimingFunction> CAMediaTimingFunction::springWithDamping(
    CGFloat dampingRatio, CGFloat initialVelocity) {
    const CGFloat zeta = std::clamp(dampingRatio, 0.01, 1.0);
    // Stiff enough that the spring is within 0.1 % of rest at t = 1.
    const CGFloat omega = std::log(1000.0) / zeta;
    const CGFloat v0 = initialVelocity;
    return std::make_shared<CAMediaTimingFunction>([=](CGFloat t) -> CGFloat {
        if (t >= 1) {
            return 1;
        }
        CGFloat x;  // displacement from rest, starting at -1
        if (zeta >= 1) {
            x = (-1 + (v0 - omega) * t) * std::exp(-omega * t);
        } else {
            const CGFloat wd = omega * std::sqrt(1 - zeta * zeta);
            x = std::exp(-zeta * omega * t) *
                (-std::cos(wd * t) + (v0 - zeta * omega) / wd * std::sin(wd * t));
        }
        return 1 + x;
    });
}

CGFloat CAMediaTimingFunction::evaluate(CGFloat t) const {
    t = std::clamp(t, 0.0, 1.0);
    if (t <= 0) {
        return 0;
    }
    if (t >= 1) {
        return 1;
    }
    return f_(t);
}
