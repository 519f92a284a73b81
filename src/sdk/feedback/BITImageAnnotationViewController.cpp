#include "sdk/feedback/BITImageAnnotationViewController.h"

#include <algorithm>
#include <cmath>

#include "CoreGraphics/CGContext.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UINavigationBar.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIPanGestureRecognizer.h"
#include "UIKit/UIPinchGestureRecognizer.h"
#include "UIKit/UISegmentedControl.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "sdk/BITImageHelpers.h"
#include "sdk/feedback/BITArrowImageAnnotation.h"
#include "sdk/feedback/BITBlurImageAnnotation.h"
#include "sdk/feedback/BITRectangleImageAnnotation.h"

namespace {

constexpr const char* kBundle = "ZizavaSDKResources.bundle";
constexpr double kBarAnimation = 0.35;

CGRect spanned(CGPoint a, CGPoint b) {
    return CGRectMake(std::min(a.x, b.x), std::min(a.y, b.y), std::abs(a.x - b.x),
                      std::abs(a.y - b.y));
}

}  // namespace

BITImageAnnotationViewController::BITImageAnnotationViewController() = default;
BITImageAnnotationViewController::~BITImageAnnotationViewController() = default;

std::shared_ptr<BITImageAnnotationViewController> BITImageAnnotationViewController::self() {
    return std::static_pointer_cast<BITImageAnnotationViewController>(
        std::static_pointer_cast<UIViewController>(shared_from_this()));
}

void BITImageAnnotationViewController::viewDidLoad() {
    // The grouped tables' background.
    view()->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.937, 0.937, 0.957, 1));
    editingControls_ = std::make_shared<UISegmentedControl>(
        std::vector<std::string>{"Rectangle", "Arrow", "Blur"});
    // The pictures replace the titles; segment 0 draws arrows.
    const char* pictures[] = {"Arrow.png", "Rectangle.png", "Blur.png"};
    for (long i = 0; i < 3; ++i)
        editingControls_->setImageForSegmentAtIndex(bit_bundleImage(pictures[i], kBundle), i);
    editingControls_->sizeToFit();
    editingControls_->setSelectedSegmentIndex(0);
    navigationItem()->setTitleView(editingControls_);

    imageView_ = std::make_shared<UIImageView>(view()->bounds());
    imageView_->setClipsToBounds(true);
    imageView_->setImage(image_);
    imageView_->setContentMode(UIViewContentModeScaleToFill);
    imageView_->setUserInteractionEnabled(true);
    view()->addSubview(imageView_);
    view()->setAutoresizesSubviews(false);

    const std::weak_ptr<BITImageAnnotationViewController> weak = self();
    panRecognizer_ = std::make_shared<UIPanGestureRecognizer>([weak](UIGestureRecognizer& r) {
        if (const auto screen = weak.lock())
            screen->panned(static_cast<UIPanGestureRecognizer&>(r));
    });
    pinchRecognizer_ = std::make_shared<UIPinchGestureRecognizer>([weak](UIGestureRecognizer& r) {
        if (const auto screen = weak.lock())
            screen->pinched(static_cast<UIPinchGestureRecognizer&>(r));
    });
    tapRecognizer_ = std::make_shared<UITapGestureRecognizer>([weak](UIGestureRecognizer& r) {
        if (const auto screen = weak.lock())
            screen->tapped(static_cast<UITapGestureRecognizer&>(r));
    });
    // One finger draws and moves, two resize: a two-finger drag is a pinch.
    panRecognizer_->setMaximumNumberOfTouches(1);
    imageView_->addGestureRecognizer(panRecognizer_);
    imageView_->addGestureRecognizer(pinchRecognizer_);
    view()->addGestureRecognizer(tapRecognizer_);

    navigationItem()->setLeftBarButtonItem(
        std::make_shared<UIBarButtonItem>(bit_bundleImage("Cancel.png", kBundle),
                                          UIBarButtonItemStylePlain, [weak](UIBarButtonItem&) {
                                              if (const auto screen = weak.lock())
                                                  screen->discard();
                                          }));
    navigationItem()->setRightBarButtonItem(std::make_shared<UIBarButtonItem>(
        bit_bundleImage("Ok.png", kBundle), UIBarButtonItemStylePlain, [weak](UIBarButtonItem&) {
            if (const auto screen = weak.lock())
                screen->save();
        }));
}

void BITImageAnnotationViewController::viewDidLayoutSubviews() {
    // Window sizes change here where the phone turns: the picture refits.
    fitImageViewFrame();
}

bool BITImageAnnotationViewController::navigationBarVisible() const {
    const auto navigation = navigationController();
    return navigation && !navigation->isNavigationBarHidden() &&
           navigation->navigationBar()->alpha() != 0;
}

bool BITImageAnnotationViewController::prefersStatusBarHidden() const {
    return !navigationBarVisible();
}

void BITImageAnnotationViewController::fitImageViewFrame() {
    if (!image_ || !imageView_)
        return;
    // The view starts below the navigation bar here: the picture fits into
    // the view, not the whole screen.
    const CGSize available = view()->bounds().size;
    const CGSize size = image_->size();
    if (size.width <= 0 || size.height <= 0)
        return;
    scaleFactor_ = std::min(available.height / size.height, available.width / size.width);
    const CGSize shown = CGSizeMake(size.width * scaleFactor_, size.height * scaleFactor_);
    imageView_->setFrame(CGRectMake((available.width - shown.width) / 2,
                                    (available.height - shown.height) / 2, shown.width,
                                    shown.height));
}

std::shared_ptr<BITImageAnnotation> BITImageAnnotationViewController::annotationForCurrentMode()
    const {
    switch (editingControls_->selectedSegmentIndex()) {
        case 0:
            return std::make_shared<BITArrowImageAnnotation>(CGRectZero);
        case 1:
            return std::make_shared<BITRectangleImageAnnotation>(CGRectZero);
        default:
            return std::make_shared<BITBlurImageAnnotation>(CGRectZero);
    }
}

bool BITImageAnnotationViewController::canDrawNewAnnotation() const {
    return editingControls_->selectedSegmentIndex() != -1;
}

std::shared_ptr<BITImageAnnotation> BITImageAnnotationViewController::annotationAt(
    CGPoint pointInView) {
    for (auto hit = view()->hitTest(pointInView, nullptr); hit; hit = hit->superview()) {
        if (auto annotation = std::dynamic_pointer_cast<BITImageAnnotation>(hit))
            return annotation;
        if (hit == imageView_)
            break;
    }
    return nullptr;
}

std::shared_ptr<UIView> BITImageAnnotationViewController::firstAnnotationThatIsNotBlur() const {
    for (const auto& subview : imageView_->subviews()) {
        if (!std::dynamic_pointer_cast<BITBlurImageAnnotation>(subview))
            return subview;
    }
    return imageView_;
}

void BITImageAnnotationViewController::placeInImage(BITImageAnnotation& annotation,
                                                    const CGRect& frameInImageView) {
    annotation.setFrame(frameInImageView);
    annotation.setImageFrame(annotation.convertRectFromView(imageView_->frame(), view()));
    annotation.setNeedsLayout();
    annotation.layoutIfNeeded();
}

void BITImageAnnotationViewController::endInteraction() {
    if (currentAnnotation_)
        currentAnnotation_->setSelected(false);
    currentAnnotation_.reset();
    currentInteraction_ = InteractionNone;
}

void BITImageAnnotationViewController::panned(UIPanGestureRecognizer& recognizer) {
    const auto hit = annotationAt(recognizer.locationInView(view()));
    if (currentInteraction_ == InteractionNone) {
        if (hit)
            currentInteraction_ = InteractionMoving;
        else if (canDrawNewAnnotation())
            currentInteraction_ = InteractionDrawing;
    }
    const auto state = recognizer.state();
    if (currentInteraction_ == InteractionDrawing && state == UIGestureRecognizerStateBegan) {
        currentAnnotation_ = annotationForCurrentMode();
        objects_.push_back(currentAnnotation_);
        currentAnnotation_->setSourceImage(image_);
        const bool blur =
            std::dynamic_pointer_cast<BITBlurImageAnnotation>(currentAnnotation_) != nullptr;
        // Blurs stay under arrows and rectangles.
        const auto above = firstAnnotationThatIsNotBlur();
        if (blur && !imageView_->subviews().empty() && above != imageView_)
            imageView_->insertSubviewBelowSubview(currentAnnotation_, above);
        else
            imageView_->addSubview(currentAnnotation_);
        panStart_ = recognizer.locationInView(imageView_);
    } else if (currentInteraction_ == InteractionDrawing &&
               state == UIGestureRecognizerStateChanged && currentAnnotation_) {
        const CGPoint point = recognizer.locationInView(imageView_);
        const CGPoint delta = CGPointMake(point.x - panStart_.x, point.y - panStart_.y);
        currentAnnotation_->setMovedDelta(delta);
        placeInImage(*currentAnnotation_, spanned(panStart_, point));
    } else if (currentInteraction_ == InteractionMoving && state == UIGestureRecognizerStateBegan) {
        if (hit && std::find(objects_.begin(), objects_.end(), hit) != objects_.end()) {
            currentAnnotation_ = hit;
            currentAnnotation_->setSelected(true);
        }
    } else if (currentInteraction_ == InteractionMoving &&
               state == UIGestureRecognizerStateChanged && currentAnnotation_) {
        const CGPoint translation = recognizer.translationInView(view());
        CGRect frame = currentAnnotation_->frame();
        frame.origin.x += translation.x;
        frame.origin.y += translation.y;
        placeInImage(*currentAnnotation_, frame);
        recognizer.setTranslationInView(CGPointZero, view());
    } else if (state != UIGestureRecognizerStateBegan && state != UIGestureRecognizerStateChanged) {
        endInteraction();
    }
}

void BITImageAnnotationViewController::pinched(UIPinchGestureRecognizer& recognizer) {
    const auto state = recognizer.state();
    if (state == UIGestureRecognizerStateBegan) {
        std::shared_ptr<BITImageAnnotation> found;
        for (size_t i = 0; i < recognizer.numberOfTouches(); ++i) {
            const auto hit = annotationAt(recognizer.locationOfTouchInView(i, view()));
            if (found && hit && hit != found)
                return;  // two fingers on two marks: nothing to resize
            if (hit)
                found = hit;
        }
        if (found && found->resizable()) {
            currentAnnotation_ = found;
            found->setSelected(true);
        }
    } else if (state == UIGestureRecognizerStateChanged && currentAnnotation_ &&
               recognizer.numberOfTouches() >= 2) {
        const CGRect inView = spanned(recognizer.locationOfTouchInView(0, view()),
                                      recognizer.locationOfTouchInView(1, view()));
        placeInImage(*currentAnnotation_, imageView_->convertRectFromView(inView, view()));
    } else if (state != UIGestureRecognizerStateChanged) {
        if (currentAnnotation_)
            currentAnnotation_->setSelected(false);
        currentAnnotation_.reset();
    }
}

void BITImageAnnotationViewController::tapped(UITapGestureRecognizer&) {
    const auto navigation = navigationController();
    if (!navigation)
        return;
    const bool hide = navigationBarVisible();
    const std::weak_ptr<BITImageAnnotationViewController> weak = self();
    UIView::animateWithDurationAnimationsCompletion(
        kBarAnimation, [navigation, hide] { navigation->setNavigationBarHidden(hide); },
        [weak](bool) {
            if (const auto screen = weak.lock())
                screen->fitImageViewFrame();
        });
    setNeedsStatusBarAppearanceUpdate();
}

std::shared_ptr<UIImage> BITImageAnnotationViewController::extractImage() const {
    if (!image_)
        return nullptr;
    const CGSize size = image_->size();
    // At the picture's own scale: a screenshot keeps its pixels, a small
    // picture is not blown up to the screen's.
    UIGraphicsBeginImageContextWithOptions(size, true, image_->scale());
    CGContext& context = *UIGraphicsGetCurrentContext();
    image_->drawInRect(CGRectMake(0, 0, size.width, size.height));
    // Marks were drawn on the fitted picture: back to the picture's points.
    context.scaleCTM(1 / scaleFactor_, 1 / scaleFactor_);
    for (const auto& annotation : objects_) {
        const CGPoint origin = annotation->frame().origin;
        context.translateCTM(origin.x, origin.y);
        annotation->layer()->renderInContext(context);
        context.translateCTM(-origin.x, -origin.y);
    }
    auto result = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return result;
}

void BITImageAnnotationViewController::discard() {
    if (const auto delegate = delegate_.lock())
        delegate->annotationControllerDidCancel(*this);
    dismissViewControllerAnimatedCompletion(true, nullptr);
}

void BITImageAnnotationViewController::save() {
    const auto image = extractImage();
    if (const auto delegate = delegate_.lock())
        delegate->annotationControllerDidFinishWithImage(*this, image);
    dismissViewControllerAnimatedCompletion(true, nullptr);
}
