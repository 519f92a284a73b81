#include "mapkit/CBAnnotationView.h"

#include <cmath>

#include "UIKit/UIImage.h"

CBAnnotationView::CBAnnotationView() {
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
    setUserInteractionEnabled(false);
}

CBAnnotationView::CBAnnotationView(CBAnnotationRef annotation,
                                   std::optional<std::string> reuseIdentifier)
    : CBAnnotationView() {
    annotation_ = std::move(annotation);
    reuseIdentifier_ = std::move(reuseIdentifier);
}

CBAnnotationView::~CBAnnotationView() = default;

void CBAnnotationView::setCenterOffset(CGPoint offset) {
    centerOffset_ = offset;
    CGRect f = frame();
    if (f.size.width <= 0 || f.size.height <= 0)
        return;
    layer()->setAnchorPoint(
        CGPointMake(0.5 - offset.x / f.size.width, 0.5 - offset.y / f.size.height));
}

void CBAnnotationView::setImage(std::shared_ptr<UIImage> image) {
    image_ = std::move(image);
    if (image_) {
        CGRect f = frame();
        CGSize size = image_->size();
        setFrame(CGRect{f.origin, size});
        calloutOffset_ = CGPointMake(0, std::round(size.height * 0.5));
    }
    setNeedsDisplay();
}

void CBAnnotationView::setSelectedAnimated(bool selected, bool) {
    selected_ = selected;
}

void CBAnnotationView::drawRect(const CGRect& rect) {
    if (image_)
        image_->drawInRect(bounds());
    else
        UIView::drawRect(rect);
}

void CBAnnotationView::prepareForReuse() {
    leftAccessory_ = nullptr;
    rightAccessory_ = nullptr;
    annotation_ = nullptr;
    setHidden(true);
    setCenter(CGPointZero);
}

int CBAnnotationView::compareLatitude(const CBAnnotationView& other) const {
    float mine = annotation_ ? static_cast<float>(annotation_->coordinate().latitude) : 0.0f;
    float theirs =
        other.annotation_ ? static_cast<float>(other.annotation_->coordinate().latitude) : 0.0f;
    if (mine < theirs)
        return -1;
    return mine > theirs ? 1 : 0;
}
