#include "wikipedia/CBWikipediaWalkProgressView.h"

#include <algorithm>
#include <cmath>

#include "UIKit/UIGraphics.h"
#include "UIKit/UILongPressGestureRecognizer.h"
#include "UIKit/UIPanGestureRecognizer.h"
#include "widgets/UIColor+KelvaraColors.h"

namespace {
constexpr double kMinimumPressDuration = 0.15;
}  // namespace

CBWikipediaWalkProgressView::CBWikipediaWalkProgressView(const CGRect& frame)
    : UIView(frame),
      trackColorCasing_(UIColor::colorWithWhiteAlpha(0.95, 0.8)),
      trackColorAhead_(UIColor::colorWithWhiteAlpha(0.6, 1)),
      trackColorBehind_(KelvaraColors::walkAccentColor()),
      stopColorNormal_(UIColor::whiteColor()),
      stopColorHighlighted_(KelvaraColors::walkStopSelectionHighlightColor()),
      stopColorSelected_(KelvaraColors::walkAccentColor()) {
    setBackgroundColor(UIColor::clearColor());
    setContentMode(UIViewContentModeRedraw);
}

std::shared_ptr<CBWikipediaWalkProgressView> CBWikipediaWalkProgressView::create(
    const CGRect& frame) {
    auto view = std::make_shared<CBWikipediaWalkProgressView>(frame);
    view->addGestures();
    return view;
}

void CBWikipediaWalkProgressView::addGestures() {
    std::weak_ptr<CBWikipediaWalkProgressView> weak =
        std::static_pointer_cast<CBWikipediaWalkProgressView>(shared_from_this());
    const auto handle = [weak](UIGestureRecognizer& recognizer) {
        if (auto view = weak.lock())
            view->handleGestureRecognizer(recognizer);
    };
    auto press = std::make_shared<UILongPressGestureRecognizer>(handle);
    press->setMinimumPressDuration(kMinimumPressDuration);
    addGestureRecognizer(press);
    addGestureRecognizer(std::make_shared<UIPanGestureRecognizer>(handle));
}

void CBWikipediaWalkProgressView::setCumulatedDistancesForStops(std::vector<double> distances) {
    distances_ = std::move(distances);
    setNeedsDisplay();
}

void CBWikipediaWalkProgressView::setIndexOfCurrentStop(long index) {
    if (index == indexOfCurrentStop_)
        return;
    indexOfCurrentStop_ = index;
    setNeedsDisplay();
}

void CBWikipediaWalkProgressView::setIndexOfHighlightedStop(long index) {
    if (index == indexOfHighlightedStop_)
        return;
    indexOfHighlightedStop_ = index;
    if (auto d = delegate())
        d->walkProgressViewChangedHighlightedIndex(*this, index);
    setNeedsDisplay();
}

void CBWikipediaWalkProgressView::setProgress(float progress) {
    if (progress == progress_)
        return;
    progress_ = progress;
    setNeedsDisplay();
}

CGRect CBWikipediaWalkProgressView::lineRect() const {
    const CGRect b = bounds();
    const CGFloat h = pointRadius_ +
                      std::max({trackCasingWidth_ * 0.5, shadowRadiusTrack_, shadowRadiusPoint_}) +
                      2;
    const CGFloat v = std::round((b.size.height - 4) / 2);
    const CGRect line = CGRectInset(b, h, v);
    // A view too small for its insets keeps an empty track at its centre.
    return CGRectIsNull(line) ? CGRectMake(CGRectGetMidX(b), CGRectGetMidY(b), 0, 0) : line;
}

CGPoint CBWikipediaWalkProgressView::startPoint() const {
    const CGRect line = lineRect();
    return {CGRectGetMinX(line), CGRectGetMidY(line)};
}

CGPoint CBWikipediaWalkProgressView::endPoint() const {
    const CGRect line = lineRect();
    return {CGRectGetMaxX(line), CGRectGetMidY(line)};
}

bool CBWikipediaWalkProgressView::placesStops() const {
    return !distances_.empty() && std::isfinite(distances_.back()) && distances_.back() > 0;
}

CGPoint CBWikipediaWalkProgressView::pointForIndex(long index) const {
    if (index < 0 || index >= static_cast<long>(distances_.size()))
        return CGPointZero;
    const CGPoint start = startPoint();
    return {start.x + lineRect().size.width * (distances_[index] / distances_.back()), start.y};
}

long CBWikipediaWalkProgressView::indexAtPoint(CGPoint point) const {
    if (point.y < -kTouchSlack || point.y > bounds().size.height + kTouchSlack)
        return kWalkStopNotFound;
    if (!placesStops())
        return kWalkStopNotFound;
    const CGRect line = lineRect();
    const double share = (point.x - CGRectGetMinX(line)) / line.size.width;
    // The nearest stop that has a place on the track: a stop without a
    // distance in the middle must not hide the ones after it.
    long nearest = kWalkStopNotFound;
    double best = INFINITY;
    for (size_t i = 0; i < distances_.size(); ++i) {
        const double d = std::fabs(share - distances_[i] / distances_.back());
        if (std::isfinite(d) && d < best) {
            best = d;
            nearest = static_cast<long>(i);
        }
    }
    return nearest;
}

void CBWikipediaWalkProgressView::handleGestureRecognizer(UIGestureRecognizer& recognizer) {
    const long index = indexAtPoint(
        recognizer.locationInView(std::static_pointer_cast<UIView>(shared_from_this())));
    const auto state = recognizer.state();
    const bool touching =
        state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateChanged;
    setIndexOfHighlightedStop(touching ? index : kWalkStopNotFound);
    if (state == UIGestureRecognizerStateEnded)
        if (auto d = delegate())
            d->walkProgressViewDidSelectIndex(*this, index);
}

void CBWikipediaWalkProgressView::drawTrack(const CGRect& clip, const UIColor& color) const {
    CGContextRef context = UIGraphicsGetCurrentContext();
    context->saveGState();
    if (shadowRadiusTrack_ > 0)
        context->setShadowWithColor(CGSizeZero, shadowRadiusTrack_,
                                    UIColor::blackColor().CGColor());
    if (!CGRectIsNull(clip))
        context->clipToRect(clip);
    const CGPoint start = startPoint(), end = endPoint();
    if (trackCasingWidth_ > 0) {
        context->saveGState();
        context->setStrokeColorWithColor(trackColorCasing_.CGColor());
        context->setLineWidth(trackCasingWidth_);
        context->setLineCap(kCGLineCapRound);
        context->strokeLineSegments({start, end});
        context->restoreGState();
    }
    context->setStrokeColorWithColor(color.CGColor());
    context->setLineWidth(trackWidth_);
    context->strokeLineSegments({start, end});
    context->restoreGState();
}

void CBWikipediaWalkProgressView::drawRect(const CGRect&) {
    const CGRect b = bounds();
    // The walked part ends where the walker stands on the track, wherever
    // the rectangle being redrawn lies.
    if (progress_ >= 0) {
        const CGRect line = lineRect();
        const CGFloat split = CGRectGetMinX(line) + line.size.width * std::min(progress_, 1.0f);
        drawTrack(CGRectMake(b.origin.x, b.origin.y, split - b.origin.x, b.size.height),
                  trackColorBehind_);
        drawTrack(CGRectMake(split, b.origin.y, CGRectGetMaxX(b) - split, b.size.height),
                  trackColorAhead_);
    } else {
        drawTrack(CGRectNull, trackColorAhead_);
    }
    if (!placesStops())
        return;
    CGContextRef context = UIGraphicsGetCurrentContext();
    for (size_t i = 0; i < distances_.size(); ++i) {
        if (!std::isfinite(distances_[i]))
            continue;
        const long index = static_cast<long>(i);
        const bool current =
            indexOfHighlightedStop_ == kWalkStopNotFound && indexOfCurrentStop_ == index;
        const bool highlighted = indexOfHighlightedStop_ == index;
        context->saveGState();
        context->setFillColorWithColor(current       ? stopColorSelected_.CGColor()
                                       : highlighted ? stopColorHighlighted_.CGColor()
                                                     : stopColorNormal_.CGColor());
        const CGPoint centre = pointForIndex(index);
        const CGRect mark = CGRectMake(centre.x - pointRadius_, centre.y - pointRadius_,
                                       2 * pointRadius_, 2 * pointRadius_);
        if (shadowRadiusPoint_ > 0) {
            const CGFloat blur = current ? 1.5 * shadowRadiusPoint_ : shadowRadiusPoint_;
            // A shadow is blurred over the whole clip: keep it to the mark
            // and as far as its shadow reaches.
            context->clipToRect(CGRectInset(mark, -3 * blur - 2, -3 * blur - 2));
            context->setShadowWithColor(
                CGSizeZero, blur, UIColor::colorWithWhiteAlpha(0, current ? 0.9 : 0.75).CGColor());
        }
        context->fillEllipseInRect(mark);
        context->restoreGState();
    }
}
