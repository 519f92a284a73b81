#include "mapkit/CBMapMagnifier.h"

#include <algorithm>

#include "Foundation/NSBundle.h"
#include "UIKit/UIControl.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UIPanGestureRecognizer.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "UIKit/UITouch.h"
#include "mapkit/CBAnnotationCalloutView.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapView.h"

namespace {

constexpr CGFloat kLensInset = 50;
constexpr CGFloat kFrameInset = 40;
constexpr CGFloat kFrameSide = 170;
constexpr CGFloat kCalloutTop = 40;

}  // namespace

std::shared_ptr<CBMapMagnifier> CBMapMagnifier::create() {
    auto magnifier = std::make_shared<CBMapMagnifier>();
    magnifier->setUp();
    return magnifier;
}

CBMapMagnifier::CBMapMagnifier() {
    setFrame(CGRectMake(0, 0, kWidth, kHeight));
    setBackgroundColor(UIColor::clearColor());
    setClipsToBounds(false);
    // The centre is the lens centre.
    layer()->setAnchorPoint(CGPointMake(125.0 / kWidth, 125.0 / kHeight));
    setUserInteractionEnabled(true);
    magnifiedContent_ =
        std::make_shared<UIView>(CGRectMake(kLensInset, kLensInset, kLensSide, kLensSide));
    magnifiedContent_->layer()->setCornerRadius(kLensSide / 2);
    magnifiedContent_->setClipsToBounds(true);
    magnifiedContent_->setBackgroundColor(UIColor::whiteColor());
    magnifiedContent_->setUserInteractionEnabled(false);
    magnifierImage_ = std::make_shared<UIImageView>(UIImage::imageNamed(kFrameImageName));
    magnifierImage_->setFrame(CGRectMake(kFrameInset, kFrameInset, kFrameSide, kFrameSide));
    magnifierImage_->setUserInteractionEnabled(false);
    calloutView_ = CBAnnotationCalloutView::create(CGRectMake(0, kCalloutTop, kWidth, 44));
    calloutView_->setFixedWidth(true);
    calloutView_->setHidden(true);
}

std::shared_ptr<CBMapMagnifier> CBMapMagnifier::self() {
    return std::static_pointer_cast<CBMapMagnifier>(shared_from_this());
}

void CBMapMagnifier::setUp() {
    addSubview(magnifiedContent_);
    addSubview(magnifierImage_);
    addSubview(calloutView_);
    std::weak_ptr<CBMapMagnifier> weak = self();
    pan_ = std::make_shared<UIPanGestureRecognizer>([weak](UIGestureRecognizer& r) {
        if (auto magnifier = weak.lock())
            magnifier->handlePanGesture(r);
    });
    pan_->setDelegate(self());
    addGestureRecognizer(pan_);
    tap_ = std::make_shared<UITapGestureRecognizer>([weak](UIGestureRecognizer&) {
        if (auto magnifier = weak.lock())
            magnifier->hide();
    });
    tap_->setDelegate(self());
    tap_->requireGestureRecognizerToFail(pan_);
    addGestureRecognizer(tap_);
}

void CBMapMagnifier::layoutSubviews() {
    magnifiedContent_->setFrame(CGRectMake(kLensInset, kLensInset, kLensSide, kLensSide));
    calloutView_->setFrame(CGRectMake(0, kCalloutTop, bounds().size.width, 44));
    magnifierImage_->setFrame(CGRectMake(kFrameInset, kFrameInset, kFrameSide, kFrameSide));
}

void CBMapMagnifier::setAnnotation(CBAnnotationRef annotation) {
    CBAnnotationView::setAnnotation(annotation);
    calloutView_->setAnnotation(annotation);
    calloutView_->setHidden(!annotation);
    if (annotation)
        coordinate_ = annotation->coordinate();
    auto content = mapView();
    auto map = content ? content->scrollView() : nullptr;
    auto delegate = map ? map->mapDelegate() : nullptr;
    if (delegate && annotation) {
        if (auto control =
                delegate->mapScrollViewControlForMagnifierWithAnnotation(*map, annotation)) {
            if (control->allControlEvents() == 0) {
                std::weak_ptr<CBMapMagnifier> weak = self();
                control->addTargetForControlEvents(
                    [weak](UIControl& sender) {
                        if (auto magnifier = weak.lock())
                            magnifier->handleCalloutViewAccessory(
                                std::static_pointer_cast<UIControl>(sender.shared_from_this()));
                    },
                    UIControlEventTouchUpInside);
            }
            calloutView_->setAccessoryViewLeftRight(nullptr, control);
        }
    }
    setNeedsLayout();
}

void CBMapMagnifier::handleCalloutViewAccessory(const std::shared_ptr<UIControl>& control) {
    auto content = mapView();
    auto map = content ? content->scrollView() : nullptr;
    if (auto delegate = map ? map->mapDelegate() : nullptr)
        delegate->mapScrollViewTappedControlOfMagnifierWithAnnotation(*map, control, annotation());
}

void CBMapMagnifier::magnifyRect(const CGRect& rect) {
    auto content = mapView();
    if (!content)
        return;
    CGFloat k = UIScreen::mainScreen() ? UIScreen::mainScreen()->scale() : 1;
    CGFloat w = rect.size.width;
    CGFloat h = rect.size.height;
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(w * k, h * k), false, 1);
    if (CGContextRef context = UIGraphicsGetCurrentContext()) {
        // One content point per image pixel, the rect's centre in the middle.
        context->translateCTM(w * (k - 1) / 2 - rect.origin.x, h * (k - 1) / 2 - rect.origin.y);
        content->layer()->renderInContext(*context);
    }
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    auto picture = std::make_shared<UIImageView>(image);
    picture->setFrame(magnifiedContent_->bounds());
    auto map = content->scrollView();
    if (map && map->zoomScale() > map->maximumZoomScale() / 2)
        picture->setTransform(CGAffineTransformMakeScale(3.0, 3.0));
    CGRect b = magnifiedContent_->bounds();
    picture->setCenter(CGPointMake(CGRectGetMidX(b), CGRectGetMidY(b)));
    for (const auto& old : std::vector(magnifiedContent_->subviews()))
        old->removeFromSuperview();
    magnifiedContent_->addSubview(picture);
    if (auto parent = superview())
        parent->bringSubviewToFront(self());
}

void CBMapMagnifier::magnifyCurrentPosition() {
    auto content = mapView();
    auto parent = superview();
    if (!content || !parent)
        return;
    CGPoint p = parent->convertPointToView(center(), content);
    auto map = content->scrollView();
    if (map)
        coordinate_ = map->layout()->coordinateAtOffset(p);
    CGFloat s = std::max(bounds().size.width, bounds().size.height);
    magnifyRect(CGRectMake(p.x - s / 2, p.y - s / 2, s, s));
}

void CBMapMagnifier::setNewAnnotationForCurrentPositionFromDelegate(bool ask) {
    auto content = mapView();
    auto map = content ? content->scrollView() : nullptr;
    auto delegate = map ? map->mapDelegate() : nullptr;
    if (ask && delegate) {
        if (auto answer =
                delegate->mapScrollViewAnnotationForMagnificationAtCoordinate(*map, coordinate_)) {
            setAnnotation(*answer);
            return;
        }
    }
    if (!allowsAnnotationCreation_) {
        setAnnotation(nullptr);
        return;
    }
    auto created = std::make_shared<CBBasicAnnotation>(coordinate_);
    created->setTitle(NSLocalizedString("CBTitleForNewAnnotations"));
    setAnnotation(created);
}

void CBMapMagnifier::handlePanGesture(UIGestureRecognizer& recognizer) {
    auto& pan = static_cast<UIPanGestureRecognizer&>(recognizer);
    CGPoint t = pan.translationInView(superview());
    switch (recognizer.state()) {
        case UIGestureRecognizerStateBegan:
            // An answer still on its way was for where the loupe was.
            beginClosestObjectRequest();
            lastTranslation_ = CGPointZero;
            setAnnotation(nullptr);
            hideContent();
            break;
        case UIGestureRecognizerStateChanged: {
            CGPoint c = center();
            setCenter(CGPointMake(c.x + t.x - lastTranslation_.x, c.y + t.y - lastTranslation_.y));
            lastTranslation_ = t;
            break;
        }
        case UIGestureRecognizerStateEnded:
            magnifyCurrentPosition();
            setNewAnnotationForCurrentPositionFromDelegate(true);
            showContent();
            break;
        case UIGestureRecognizerStateCancelled:
            hide();
            break;
        default:
            break;
    }
}

bool CBMapMagnifier::gestureRecognizerShouldReceiveTouch(UIGestureRecognizer&, UITouch& touch) {
    CGPoint p = touch.locationInView(self());
    return !(!calloutView_->isHidden() && CGRectContainsPoint(calloutView_->frame(), p));
}

void CBMapMagnifier::animateIn() {
    if (!isHidden() && alpha() == 1.0 && !animatingOut_)
        return;
    setHidden(false);
    setAlpha(0);
    std::weak_ptr<CBMapMagnifier> weak = self();
    UIView::animateWithDurationAnimations(0.5, [weak] {
        if (auto magnifier = weak.lock())
            magnifier->setAlpha(1);
    });
    showContent();
}

void CBMapMagnifier::showContent() {
    magnifiedContent_->setTransform(CGAffineTransformMakeScale(0.25, 0.25));
    std::weak_ptr<UIView> weak = magnifiedContent_;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        0.5, 0, UIViewAnimationOptionAllowUserInteraction,
        [weak] {
            if (auto content = weak.lock()) {
                content->setAlpha(1);
                content->setTransform(CGAffineTransformIdentity);
            }
        },
        nullptr);
}

void CBMapMagnifier::hideContent() {
    setAnnotation(nullptr);
    std::weak_ptr<UIView> weak = magnifiedContent_;
    UIView::animateWithDurationAnimations(0.5, [weak] {
        if (auto content = weak.lock())
            content->setAlpha(0);
    });
}

void CBMapMagnifier::hideAnimated(bool animated) {
    if (!superview() || animatingOut_)
        return;
    beginClosestObjectRequest();
    if (!animated) {
        setHidden(true);
        removeFromSuperview();
        return;
    }
    animatingOut_ = true;
    hideContent();
    std::weak_ptr<CBMapMagnifier> weak = self();
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        0.33, 0, UIViewAnimationOptionCurveEaseIn | UIViewAnimationOptionAllowUserInteraction,
        [weak] {
            if (auto magnifier = weak.lock())
                magnifier->setAlpha(0);
        },
        [weak](bool finished) {
            auto magnifier = weak.lock();
            if (!magnifier)
                return;
            magnifier->animatingOut_ = false;
            magnifier->setHidden(true);
            magnifier->setAlpha(1);
            magnifier->calloutView_->setAnnotation(nullptr);
            if (finished) {
                magnifier->removeFromSuperview();
                magnifier->setAnnotation(nullptr);
            }
        });
}
