#include "QuartzCore/CAGradientLayer.h"

#include <algorithm>
#include <cmath>

#include "CoreGraphics/CGPath+Cairo.h"

std::shared_ptr<CALayer> CAGradientLayer::clone() const {
    auto copy = std::make_shared<CAGradientLayer>();
    copyPropertiesTo(*copy);
    copy->colors_ = colors_;
    copy->locations_ = locations_;
    copy->start_ = start_;
    copy->end_ = end_;
    copy->type_ = type_;
    return copy;
}

void CAGradientLayer::setColors(std::vector<CGColor> colors) {
    colors_ = std::move(colors);
    markChanged();
}

void CAGradientLayer::setLocations(std::vector<CGFloat> locations) {
    locations_ = std::move(locations);
    markChanged();
}

void CAGradientLayer::setStartPoint(CGPoint point) {
    start_ = point;
    markChanged();
}

void CAGradientLayer::setEndPoint(CGPoint point) {
    end_ = point;
    markChanged();
}

void CAGradientLayer::setType(CAGradientLayerType type) {
    type_ = type;
    markChanged();
}

void CAGradientLayer::drawOwnContent(CGContext& context, bool snapshot) {
    CALayer::drawOwnContent(context, snapshot);
    if (colors_.empty()) {
        return;
    }
    const CGRect b = props_.bounds;
    const CGPoint p0{b.origin.x + start_.x * b.size.width, b.origin.y + start_.y * b.size.height};
    const CGPoint p1{b.origin.x + end_.x * b.size.width, b.origin.y + end_.y * b.size.height};
    cairo_pattern_t* pattern =
        type_ == CAGradientLayerType::Axial
            ? cairo_pattern_create_linear(p0.x, p0.y, p1.x, p1.y)
            : cairo_pattern_create_radial(p0.x, p0.y, 0, p0.x, p0.y,
                                          std::hypot(p1.x - p0.x, p1.y - p0.y));
    const size_t n = colors_.size();
    for (size_t i = 0; i < n; ++i) {
        CGFloat location = n == 1 ? 0 : CGFloat(i) / CGFloat(n - 1);
        if (locations_.size() == n) {
            location = std::clamp(locations_[i], 0.0, 1.0);
        }
        const CGColor& c = colors_[i];
        cairo_pattern_add_color_stop_rgba(
            pattern, location, std::clamp(c.red, 0.0, 1.0), std::clamp(c.green, 0.0, 1.0),
            std::clamp(c.blue, 0.0, 1.0), std::clamp(c.alpha, 0.0, 1.0));
    }
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_t* cr = context.cairoContext();
    cairo_save(cr);
    cairo_new_path(cr);
    CGPathAppendToCairo(boundsPath(), cr);
    cairo_set_source(cr, pattern);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_pattern_destroy(pattern);
}
