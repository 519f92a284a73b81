#include "QuartzCore/CAShapeLayer.h"

#include <algorithm>
#include <cmath>

#include "CoreGraphics/CGPath+Cairo.h"

namespace {

void setSource(cairo_t* cr, const CGColor& c) {
    cairo_set_source_rgba(cr, std::clamp(c.red, 0.0, 1.0), std::clamp(c.green, 0.0, 1.0),
                          std::clamp(c.blue, 0.0, 1.0), std::clamp(c.alpha, 0.0, 1.0));
}

double pathLength(cairo_t* cr) {
    cairo_path_t* flat = cairo_copy_path_flat(cr);
    double length = 0, x = 0, y = 0, sx = 0, sy = 0;
    for (int i = 0; i < flat->num_data; i += flat->data[i].header.length) {
        const cairo_path_data_t* d = &flat->data[i];
        switch (d->header.type) {
            case CAIRO_PATH_MOVE_TO:
                x = sx = d[1].point.x;
                y = sy = d[1].point.y;
                break;
            case CAIRO_PATH_LINE_TO:
                length += std::hypot(d[1].point.x - x, d[1].point.y - y);
                x = d[1].point.x;
                y = d[1].point.y;
                break;
            case CAIRO_PATH_CLOSE_PATH:
                length += std::hypot(sx - x, sy - y);
                x = sx;
                y = sy;
                break;
            case CAIRO_PATH_CURVE_TO:
                break;
        }
    }
    cairo_path_destroy(flat);
    return length;
}

}  // namespace

std::shared_ptr<CALayer> CAShapeLayer::clone() const {
    auto copy = std::make_shared<CAShapeLayer>();
    copyPropertiesTo(*copy);
    copy->path_ = path_;
    copy->fillColor_ = fillColor_;
    copy->strokeColor_ = strokeColor_;
    copy->lineWidth_ = lineWidth_;
    copy->lineCap_ = lineCap_;
    copy->lineJoin_ = lineJoin_;
    copy->miterLimit_ = miterLimit_;
    copy->dashes_ = dashes_;
    copy->dashPhase_ = dashPhase_;
    copy->fillRule_ = fillRule_;
    copy->strokeStart_ = strokeStart_;
    copy->strokeEnd_ = strokeEnd_;
    return copy;
}

void CAShapeLayer::setPath(std::optional<CGPath> path) {
    path_ = std::move(path);
    markChanged();
}

void CAShapeLayer::setFillColor(std::optional<CGColor> color) {
    std::optional<CAValue> old = presentationValueForKeyPath("fillColor");
    fillColor_ = std::move(color);
    didChangeValueForKey("fillColor", fillColor_ ? old : std::nullopt);
}

void CAShapeLayer::setStrokeColor(std::optional<CGColor> color) {
    std::optional<CAValue> old = presentationValueForKeyPath("strokeColor");
    strokeColor_ = std::move(color);
    didChangeValueForKey("strokeColor", strokeColor_ ? old : std::nullopt);
}

void CAShapeLayer::setLineWidth(CGFloat width) {
    std::optional<CAValue> old = presentationValueForKeyPath("lineWidth");
    lineWidth_ = width;
    didChangeValueForKey("lineWidth", old);
}

void CAShapeLayer::setLineCap(CGLineCap cap) {
    lineCap_ = cap;
    markChanged();
}

void CAShapeLayer::setLineJoin(CGLineJoin join) {
    lineJoin_ = join;
    markChanged();
}

void CAShapeLayer::setMiterLimit(CGFloat limit) {
    miterLimit_ = limit;
    markChanged();
}

void CAShapeLayer::setLineDashPattern(std::vector<CGFloat> pattern) {
    dashes_ = std::move(pattern);
    markChanged();
}

void CAShapeLayer::setLineDashPhase(CGFloat phase) {
    dashPhase_ = phase;
    markChanged();
}

void CAShapeLayer::setFillRule(CAFillRule rule) {
    fillRule_ = rule;
    markChanged();
}

void CAShapeLayer::setStrokeStart(CGFloat value) {
    std::optional<CAValue> old = presentationValueForKeyPath("strokeStart");
    strokeStart_ = value;
    didChangeValueForKey("strokeStart", old);
}

void CAShapeLayer::setStrokeEnd(CGFloat value) {
    std::optional<CAValue> old = presentationValueForKeyPath("strokeEnd");
    strokeEnd_ = value;
    didChangeValueForKey("strokeEnd", old);
}

std::optional<CAValue> CAShapeLayer::valueForKeyPath(const std::string& key) const {
    const CGColor clear{0, 0, 0, 0, nullptr};
    if (key == "strokeStart")
        return strokeStart_;
    if (key == "strokeEnd")
        return strokeEnd_;
    if (key == "lineWidth")
        return lineWidth_;
    if (key == "fillColor")
        return fillColor_.value_or(clear);
    if (key == "strokeColor")
        return strokeColor_.value_or(clear);
    return CALayer::valueForKeyPath(key);
}

bool CAShapeLayer::setValueForKeyPath(const std::string& key, const CAValue& value) {
    const CGFloat* number = std::get_if<CGFloat>(&value);
    const CGColor* color = std::get_if<CGColor>(&value);
    if (key == "strokeStart" && number) {
        strokeStart_ = *number;
    } else if (key == "strokeEnd" && number) {
        strokeEnd_ = *number;
    } else if (key == "lineWidth" && number) {
        lineWidth_ = *number;
    } else if (key == "fillColor" && color) {
        fillColor_ = *color;
    } else if (key == "strokeColor" && color) {
        strokeColor_ = *color;
    } else {
        return CALayer::setValueForKeyPath(key, value);
    }
    markChanged();
    return true;
}

std::optional<CGRect> CAShapeLayer::shadowCasterExtent() const {
    std::optional<CGRect> extent = CALayer::shadowCasterExtent();
    const bool fills = fillColor_ && fillColor_->alpha > 0;
    const bool strokes = strokeColor_ && strokeColor_->alpha > 0 && lineWidth_ > 0;
    if (!path_ || path_->isEmpty() || (!fills && !strokes)) {
        return extent;
    }
    // Miter joins may reach miterLimit half-widths beyond the path.
    const CGFloat reach = strokes ? lineWidth_ / 2 * std::max<CGFloat>(1, miterLimit_) : 0;
    const CGRect shape = CGRectInset(path_->boundingBox(), -reach, -reach);
    return extent ? CGRectUnion(*extent, shape) : shape;
}

void CAShapeLayer::drawOwnContent(CGContext& context, bool snapshot) {
    CALayer::drawOwnContent(context, snapshot);
    if (!path_ || path_->isEmpty()) {
        return;
    }
    cairo_t* cr = context.cairoContext();
    cairo_save(cr);
    cairo_new_path(cr);
    CGPathAppendToCairo(*path_, cr);
    if (fillColor_ && fillColor_->alpha > 0) {
        cairo_set_fill_rule(cr, fillRule_ == CAFillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD
                                                                 : CAIRO_FILL_RULE_WINDING);
        setSource(cr, *fillColor_);
        cairo_fill_preserve(cr);
    }
    const CGFloat start = std::clamp(strokeStart_, 0.0, 1.0);
    const CGFloat end = std::clamp(strokeEnd_, 0.0, 1.0);
    if (strokeColor_ && strokeColor_->alpha > 0 && lineWidth_ > 0 && end > start) {
        cairo_set_line_width(cr, lineWidth_);
        cairo_set_line_cap(cr, lineCap_ == kCGLineCapRound    ? CAIRO_LINE_CAP_ROUND
                               : lineCap_ == kCGLineCapSquare ? CAIRO_LINE_CAP_SQUARE
                                                              : CAIRO_LINE_CAP_BUTT);
        cairo_set_line_join(cr, lineJoin_ == kCGLineJoinRound   ? CAIRO_LINE_JOIN_ROUND
                                : lineJoin_ == kCGLineJoinBevel ? CAIRO_LINE_JOIN_BEVEL
                                                                : CAIRO_LINE_JOIN_MITER);
        cairo_set_miter_limit(cr, miterLimit_);
        if (start > 0 || end < 1) {
            // A partial stroke is a dash covering start...end of the length.
            const double length = pathLength(cr);
            const double dash[2] = {(end - start) * length, length + 1};
            cairo_set_dash(cr, dash, 2, -start * length);
        } else if (!dashes_.empty()) {
            cairo_set_dash(cr, dashes_.data(), int(dashes_.size()), dashPhase_);
        }
        setSource(cr, *strokeColor_);
        cairo_stroke(cr);
    }
    cairo_new_path(cr);
    cairo_restore(cr);
}
