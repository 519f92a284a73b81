#include "QuartzCore/CALayer.h"

#include <algorithm>
#include <cmath>

#include "Foundation/NSLog.h"
#include "QuartzCore/CAFrameClock.h"

namespace {

// A backing store larger than this (256 MB) is not made: such a layer
// should be tiled.
constexpr size_t kMaxBackingPixels = size_t{1} << 26;

}  // namespace

CALayer::CALayer() = default;
CALayer::~CALayer() = default;

std::shared_ptr<CALayer> CALayer::clone() const {
    auto copy = std::make_shared<CALayer>();
    copyPropertiesTo(*copy);
    return copy;
}

void CALayer::copyPropertiesTo(CALayer& other) const {
    other.props_ = props_;
    other.mask_ = mask_;
    other.name_ = name_;
    other.delegate_ = delegate();
}

void CALayer::markChanged() {
    if (!presentationCopy_) {
        CAFrameClock::shared().setNeedsFrame();
    }
}

// Setters: the old presentation value is kept so an implicit animation can
// start from what is on screen.
#define KV_LAYER_SETTER(Name, field, key, Type)                        \
    void CALayer::Name(Type value) {                                   \
        if (props_.field == value) {                                   \
            return;                                                    \
        }                                                              \
        std::optional<CAValue> old = presentationValueForKeyPath(key); \
        props_.field = value;                                          \
        didChangeValueForKey(key, old);                                \
    }

KV_LAYER_SETTER(setPosition, position, "position", CGPoint)
KV_LAYER_SETTER(setAnchorPoint, anchorPoint, "anchorPoint", CGPoint)
KV_LAYER_SETTER(setTransform, transform, "transform", const CGAffineTransform&)
KV_LAYER_SETTER(setCornerRadius, cornerRadius, "cornerRadius", CGFloat)
KV_LAYER_SETTER(setBorderWidth, borderWidth, "borderWidth", CGFloat)
KV_LAYER_SETTER(setBorderColor, borderColor, "borderColor", const CGColor&)
KV_LAYER_SETTER(setShadowColor, shadowColor, "shadowColor", const CGColor&)
KV_LAYER_SETTER(setShadowOffset, shadowOffset, "shadowOffset", CGSize)
KV_LAYER_SETTER(setShadowRadius, shadowRadius, "shadowRadius", CGFloat)
#undef KV_LAYER_SETTER

void CALayer::setBounds(const CGRect& bounds) {
    if (props_.bounds == bounds) {
        return;
    }
    std::optional<CAValue> old = presentationValueForKeyPath("bounds");
    const bool resized = bounds.size != props_.bounds.size;
    props_.bounds = bounds;
    if (resized) {
        if (needsDisplayOnBoundsChange_) {
            setNeedsDisplay();
        }
        setNeedsLayout();
    }
    didChangeValueForKey("bounds", old);
}

void CALayer::setOpacity(float opacity) {
    if (props_.opacity == opacity) {
        return;
    }
    std::optional<CAValue> old = presentationValueForKeyPath("opacity");
    props_.opacity = opacity;
    didChangeValueForKey("opacity", old);
}

void CALayer::setShadowOpacity(float opacity) {
    if (props_.shadowOpacity == opacity) {
        return;
    }
    std::optional<CAValue> old = presentationValueForKeyPath("shadowOpacity");
    props_.shadowOpacity = opacity;
    didChangeValueForKey("shadowOpacity", old);
}

void CALayer::setBackgroundColor(const std::optional<CGColor>& color) {
    if (props_.backgroundColor == color) {
        return;
    }
    std::optional<CAValue> old = presentationValueForKeyPath("backgroundColor");
    props_.backgroundColor = color;
    didChangeValueForKey("backgroundColor", color ? old : std::nullopt);
}

void CALayer::setHidden(bool hidden) {
    if (props_.hidden != hidden) {
        props_.hidden = hidden;
        markChanged();
    }
}

void CALayer::setShouldRasterize(bool flag) {
    shouldRasterize_ = flag;
    if (!flag) {
        raster_.reset();
    }
    markChanged();
}

void CALayer::setMasksToBounds(bool flag) {
    props_.masksToBounds = flag;
    markChanged();
}

void CALayer::setBackdropBlurRadius(CGFloat radius) {
    props_.backdropBlurRadius = radius;
    markChanged();
}

void CALayer::setShadowPath(const std::optional<CGPath>& path) {
    props_.shadowPath = path;
    markChanged();
}

void CALayer::setContents(CGImageRef image) {
    props_.contents = std::move(image);
    props_.backing.reset();
    markChanged();
}

void CALayer::setContentsGravity(CAContentsGravity gravity) {
    props_.gravity = gravity;
    markChanged();
}

void CALayer::setContentsScale(CGFloat scale) {
    if (!(scale > 0) || scale == props_.contentsScale) {
        return;
    }
    props_.contentsScale = scale;
    setNeedsDisplay();
}

void CALayer::setMask(std::shared_ptr<CALayer> mask) {
    mask_ = std::move(mask);
    markChanged();
}

std::shared_ptr<CALayerDelegate> CALayer::delegate() const {
    std::lock_guard lock(delegateMutex_);
    return delegate_.lock();
}

void CALayer::setDelegate(std::weak_ptr<CALayerDelegate> delegate) {
    std::lock_guard lock(delegateMutex_);
    delegate_ = std::move(delegate);
}

CGAffineTransform CALayer::transformToSuperlayer() const {
    const CGRect& b = props_.bounds;
    CGAffineTransform m =
        CGAffineTransformMakeTranslation(-b.origin.x - props_.anchorPoint.x * b.size.width,
                                         -b.origin.y - props_.anchorPoint.y * b.size.height);
    m = CGAffineTransformConcat(m, props_.transform);
    return CGAffineTransformConcat(
        m, CGAffineTransformMakeTranslation(props_.position.x, props_.position.y));
}

CGRect CALayer::frame() const {
    return CGRectApplyAffineTransform(props_.bounds, transformToSuperlayer());
}

void CALayer::setFrame(const CGRect& frame) {
    const CGRect f = CGRectStandardize(frame);
    CGRect b = props_.bounds;
    b.size = f.size;
    setPosition({f.origin.x + props_.anchorPoint.x * f.size.width,
                 f.origin.y + props_.anchorPoint.y * f.size.height});
    setBounds(b);
}

// Tree.

void CALayer::addSublayer(const std::shared_ptr<CALayer>& layer) {
    insertSublayerAtIndex(layer, sublayers_.size());
}

void CALayer::insertSublayerAtIndex(const std::shared_ptr<CALayer>& layer, size_t index) {
    if (!layer || layer.get() == this || isDescendantOf(*layer)) {
        NSLogWithLevel(NSLogLevel::Error, "CALayer: cannot insert a layer into itself");
        return;
    }
    std::shared_ptr<CALayer> keep = layer;
    if (layer->superlayer().get() == this) {
        auto it = std::find(sublayers_.begin(), sublayers_.end(), layer);
        const size_t at = size_t(it - sublayers_.begin());
        sublayers_.erase(it);
        if (at < index) {
            --index;
        }
    } else {
        layer->removeFromSuperlayer();
    }
    index = std::min(index, sublayers_.size());
    sublayers_.insert(sublayers_.begin() + long(index), layer);
    layer->superlayer_ = weak_from_this();
    setNeedsLayout();
    markChanged();
}

void CALayer::insertSublayerBelow(const std::shared_ptr<CALayer>& layer,
                                  const std::shared_ptr<CALayer>& sibling) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    insertSublayerAtIndex(layer, it == sublayers_.end() ? 0 : size_t(it - sublayers_.begin()));
}

void CALayer::insertSublayerAbove(const std::shared_ptr<CALayer>& layer,
                                  const std::shared_ptr<CALayer>& sibling) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    insertSublayerAtIndex(
        layer, it == sublayers_.end() ? sublayers_.size() : size_t(it - sublayers_.begin()) + 1);
}

void CALayer::replaceSublayerWith(const std::shared_ptr<CALayer>& old,
                                  const std::shared_ptr<CALayer>& replacement) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), old);
    if (it == sublayers_.end()) {
        return;
    }
    const size_t index = size_t(it - sublayers_.begin());
    old->removeFromSuperlayer();
    insertSublayerAtIndex(replacement, index);
}

void CALayer::removeFromSuperlayer() {
    std::shared_ptr<CALayer> parent = superlayer();
    if (!parent) {
        return;
    }
    std::shared_ptr<CALayer> keep = shared_from_this();
    std::erase(parent->sublayers_, keep);
    superlayer_.reset();
    parent->setNeedsLayout();
    markChanged();
}

bool CALayer::isDescendantOf(const CALayer& ancestor) const {
    for (auto p = superlayer(); p; p = p->superlayer()) {
        if (p.get() == &ancestor) {
            return true;
        }
    }
    return false;
}

// Display and layout.

void CALayer::setNeedsDisplay() {
    needsDisplay_ = true;
    markChanged();
}

void CALayer::setNeedsDisplayInRect(const CGRect&) {
    setNeedsDisplay();
}

void CALayer::displayIfNeeded() {
    if (needsDisplay_) {
        needsDisplay_ = false;
        display();
    }
}

void CALayer::displayTreeIfNeeded() {
    if (props_.hidden) {
        return;  // displayed when shown
    }
    displayIfNeeded();
    if (mask_) {
        mask_->displayTreeIfNeeded();
    }
    for (const auto& sublayer : sublayers_) {
        sublayer->displayTreeIfNeeded();
    }
}

bool CALayer::drawsOwnContent() {
    std::shared_ptr<CALayerDelegate> d = delegate();
    return d && d->layerWantsDrawing(*this);
}

void CALayer::display() {
    if (!drawsOwnContent()) {
        return;
    }
    const CGFloat scale = props_.contentsScale;
    const int width = int(std::ceil(props_.bounds.size.width * scale));
    const int height = int(std::ceil(props_.bounds.size.height * scale));
    if (width <= 0 || height <= 0) {
        props_.backing.reset();
        markChanged();
        return;
    }
    if (size_t(width) > CGImage::kMaxSide || size_t(height) > CGImage::kMaxSide ||
        size_t(width) * size_t(height) > kMaxBackingPixels) {
        NSLogWithLevel(NSLogLevel::Warning, "CALayer: %d x %d pixels is too large to draw", width,
                       height);
        props_.backing.reset();
        markChanged();
        return;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    {
        auto context = CGContext::createWithCairoSurface(
            surface, CGAffineTransformMake(scale, 0, 0, scale, -props_.bounds.origin.x * scale,
                                           -props_.bounds.origin.y * scale));
        drawInContext(*context);
    }
    if (!drawsOwnContent()) {
        // The delegate found it draws nothing after all: keep the contents.
        cairo_surface_destroy(surface);
        return;
    }
    cairo_surface_flush(surface);
    props_.backing = std::shared_ptr<cairo_surface_t>(surface, cairo_surface_destroy);
    props_.contents.reset();
    markChanged();
}

void CALayer::drawInContext(CGContext& context) {
    if (std::shared_ptr<CALayerDelegate> d = delegate()) {
        d->drawLayerInContext(*this, context);
    }
}

void CALayer::setNeedsLayout() {
    needsLayout_ = true;
    markChanged();
}

void CALayer::layoutIfNeeded() {
    if (needsLayout_) {
        needsLayout_ = false;
        layoutSublayers();
    }
    const auto sublayers = sublayers_;
    for (const auto& sublayer : sublayers) {
        sublayer->layoutIfNeeded();
    }
}

void CALayer::layoutSublayers() {
    if (std::shared_ptr<CALayerDelegate> d = delegate()) {
        d->layoutSublayersOfLayer(*this);
    }
}

// Conversion and hit testing.

CGAffineTransform CALayer::transformToRoot() const {
    CGAffineTransform m = CGAffineTransformIdentity;
    const CALayer* layer = this;
    std::shared_ptr<CALayer> parent;
    while ((parent = layer->superlayer())) {
        m = CGAffineTransformConcat(m, layer->transformToSuperlayer());
        layer = parent.get();
    }
    return m;
}

CGPoint CALayer::convertPointFromLayer(CGPoint point, const CALayer* layer) const {
    if (layer) {
        point = CGPointApplyAffineTransform(point, layer->transformToRoot());
    }
    return CGPointApplyAffineTransform(point, CGAffineTransformInvert(transformToRoot()));
}

CGPoint CALayer::convertPointToLayer(CGPoint point, const CALayer* layer) const {
    point = CGPointApplyAffineTransform(point, transformToRoot());
    return layer ? CGPointApplyAffineTransform(point,
                                               CGAffineTransformInvert(layer->transformToRoot()))
                 : point;
}

CGRect CALayer::convertRectFromLayer(const CGRect& rect, const CALayer* layer) const {
    CGAffineTransform m = layer ? layer->transformToRoot() : CGAffineTransformIdentity;
    m = CGAffineTransformConcat(m, CGAffineTransformInvert(transformToRoot()));
    return CGRectApplyAffineTransform(rect, m);
}

CGRect CALayer::convertRectToLayer(const CGRect& rect, const CALayer* layer) const {
    CGAffineTransform m = transformToRoot();
    if (layer) {
        m = CGAffineTransformConcat(m, CGAffineTransformInvert(layer->transformToRoot()));
    }
    return CGRectApplyAffineTransform(rect, m);
}

bool CALayer::containsPoint(CGPoint point) const {
    return CGRectContainsPoint(props_.bounds, point);
}

CGPoint CALayer::convertPointFromSuperlayer(CGPoint point) const {
    const CGRect& b = props_.bounds;
    if (CGAffineTransformIsIdentity(props_.transform)) {
        // The common case, without inverting a matrix.
        return {point.x - props_.position.x + props_.anchorPoint.x * b.size.width + b.origin.x,
                point.y - props_.position.y + props_.anchorPoint.y * b.size.height + b.origin.y};
    }
    return CGPointApplyAffineTransform(point, CGAffineTransformInvert(transformToSuperlayer()));
}

std::shared_ptr<CALayer> CALayer::hitTest(CGPoint point) {
    if (props_.hidden) {
        return nullptr;
    }
    const CGPoint local = convertPointFromSuperlayer(point);
    const bool inside = containsPoint(local);
    if (props_.masksToBounds && !inside) {
        return nullptr;
    }
    for (auto it = sublayers_.rbegin(); it != sublayers_.rend(); ++it) {
        if (auto hit = (*it)->hitTest(local)) {
            return hit;
        }
    }
    return inside ? shared_from_this() : nullptr;
}

CGPath CALayer::boundsPath() const {
    CGPath path;
    const CGFloat r = props_.cornerRadius;
    if (r > 0) {
        path.addRoundedRect(props_.bounds, r, r);
    } else {
        path.addRect(props_.bounds);
    }
    return path;
}
