#include "mapkit/CBMapScaleView.h"

#include <cmath>
#include <cstdio>

#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UILabel.h"

namespace {

// The bar is sized for about this many points before rounding to a step.
constexpr float kReferenceLength = 120.0f;
// Wider bars than this do not fit a corner; the bar hides instead.
constexpr float kMaximumWidth = 300.0f;
constexpr float kMetresPerFoot = 0.3048f;
constexpr float kFeetPerMile = 5280.0f;

std::string formatted(const char* format, float value) {
    char buffer[32];
    snprintf(buffer, sizeof buffer, format, static_cast<double>(value));
    return buffer;
}

struct ScaleStep {
    float metres;
    std::string text;
};

ScaleStep metricStep(float m) {
    float step = m < 50 ? 2.0f : m < 500 ? 50.0f : m < 1000 ? 100.0f : m < 2000 ? 500.0f : 1000.0f;
    float d = step * std::round(m / step);
    if (m < 1000)
        return {d, formatted("%.0f m", d)};
    return {d, formatted(m < 2000 ? "%.1f km" : "%.0f km", d / 1000.0f)};
}

ScaleStep imperialStep(float m) {
    float f = m / kMetresPerFoot;
    float step = f < 528 ? 100.0f : f < kFeetPerMile ? 528.0f : kFeetPerMile;
    float feet = step * std::round(f / step);
    float d = feet * kMetresPerFoot;
    if (step == 100.0f)
        return {d, formatted("%.0f ft", feet)};
    return {d, formatted(step == 528.0f ? "%.1f mi" : "%.0f mi", feet / kFeetPerMile)};
}

}  // namespace

std::shared_ptr<CBMapScaleView> CBMapScaleView::create(const CGRect& frame) {
    auto view = std::make_shared<CBMapScaleView>(frame);
    view->addSubview(view->distanceLabel_);
    return view;
}

CBMapScaleView::CBMapScaleView(const CGRect& frame)
    : UIView(frame), distanceLabel_(std::make_shared<UILabel>(CGRectZero)) {
    distanceLabel_->setTextColor(defaultColor());
    distanceLabel_->setBackgroundColor(UIColor::clearColor());
    setBackgroundColor(UIColor::clearColor());
}

void CBMapScaleView::setPointsPerKilometer(float pointsPerKilometer) {
    bool metric = NSUserDefaults::standardUserDefaults()->boolForKey("km");
    float m = (kReferenceLength / pointsPerKilometer) * 1000.0f;
    ScaleStep step = metric ? metricStep(m) : imperialStep(m);
    float width = step.metres * 0.001f * pointsPerKilometer;
    // A zero scale gives a width that is not a number; it fails this test too.
    if (!(width > 0 && width < kMaximumWidth)) {
        setAlpha(0);
        distanceLabel_->setAlpha(0);
        return;
    }
    setAlpha(1);
    distanceLabel_->setAlpha(1);
    CGRect f = frame();
    f.size.width = std::round(width);
    setFrame(f);
    setNeedsDisplay();
    if (step.metres != distance_) {
        distance_ = step.metres;
        distanceLabel_->setText(step.text);
    }
}

UIColor CBMapScaleView::color() const {
    return distanceLabel_->textColor();
}

void CBMapScaleView::setColor(const std::optional<UIColor>& color) {
    distanceLabel_->setTextColor(color.value_or(defaultColor()));
    setNeedsDisplay();
}

void CBMapScaleView::setDisplayAtTop(bool flag) {
    displayAtTop_ = flag;
    setNeedsLayout();
    setNeedsDisplay();
}

void CBMapScaleView::layoutSubviews() {
    CGRect b = bounds();
    distanceLabel_->setFrame(
        CGRectMake(10, displayAtTop_ ? 3 : 0, b.size.width - 20, b.size.height));
}

void CBMapScaleView::drawRect(const CGRect&) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    CGFloat w = bounds().size.width;
    CGFloat h = bounds().size.height;
    context->setStrokeColorWithColor(color().CGColor());
    context->setLineWidth(4);
    context->beginPath();
    if (displayAtTop_) {
        context->moveToPoint(0, h);
        context->addLineToPoint(0, 0);
        context->addLineToPoint(w, 0);
        context->addLineToPoint(w, h);
    } else {
        context->moveToPoint(0, 0);
        context->addLineToPoint(0, h);
        context->addLineToPoint(w, h);
        context->addLineToPoint(w, 0);
    }
    context->strokePath();
}
