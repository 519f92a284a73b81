// The map screen's controls over the map: compass, zoom and display modes.
#include <algorithm>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSUserDefaults.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIPopoverController.h"
#include "app/CBCompassButton.h"
#include "app/CBDisplayModeVC.h"
#include "app/CBMapDisplayModeManager.h"
#include "app/CBMapViewController.h"
#include "app/CBRootViewController.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBAnnotationView.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapUserLocationFollower.h"

namespace {
constexpr CGFloat kControlSize = 40;
constexpr CGFloat kControlMargin = 10;
constexpr CGFloat kControlGap = 8;
// The top of the map: below the search bar.
constexpr CGFloat kMapTop = 44;
// The scale bar runs along the bottom of the map.
constexpr CGFloat kScaleBarRoom = 44;
constexpr CGFloat kPopoverWidth = 280;
constexpr CGFloat kListRowHeight = 44;
constexpr const char* kStopViewIdentifier = "CBTransitStop";
constexpr CGFloat kStopTapSize = 24;
constexpr CGFloat kGuideFontSize = 17;
constexpr CGFloat kModeLabelHeight = 26;
constexpr CGFloat kModeLabelPadding = 8;

std::shared_ptr<UIButton> controlButton(const std::string& title, const std::string& label) {
    auto button = std::make_shared<UIButton>(CGRectMake(0, 0, kControlSize, kControlSize),
                                             UIButtonTypeCustom);
    button->setTitleForState(title, UIControlStateNormal);
    button->setTitleColorForState(UIColor::colorWithWhiteAlpha(0.2, 1), UIControlStateNormal);
    button->setTitleColorForState(UIColor::colorWithWhiteAlpha(0.75, 1), UIControlStateDisabled);
    button->titleLabel()->setFont(UIFont::boldSystemFontOfSize(22));
    button->setBackgroundColor(UIColor::colorWithWhiteAlpha(1, 0.95));
    button->layer()->setCornerRadius(6);
    button->layer()->setBorderWidth(1);
    button->layer()->setBorderColor(UIColor::colorWithWhiteAlpha(0.6, 1).CGColor());
    button->setAccessibilityLabel(label);
    return button;
}

bool isPad() {
    return UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad;
}
}  // namespace

void CBMapViewController::addMapControls() {
    std::weak_ptr<CBMapViewController> weak =
        std::static_pointer_cast<CBMapViewController>(shared_from_this());
    auto on = [weak](void (CBMapViewController::*action)()) {
        return [weak, action](UIControl&) {
            if (auto me = weak.lock())
                ((*me).*action)();
        };
    };
    compassButton_ = std::make_shared<CBCompassButton>();
    compassButton_->setHidden(true);
    compassButton_->addTargetForControlEvents(on(&CBMapViewController::turnNorthUp),
                                              UIControlEventTouchUpInside);
    zoomInButton_ = controlButton("+", NSLocalizedString("ZoomIn"));
    zoomInButton_->addTargetForControlEvents(on(&CBMapViewController::zoomIn),
                                             UIControlEventTouchUpInside);
    zoomOutButton_ = controlButton("\u2212", NSLocalizedString("ZoomOut"));
    zoomOutButton_->addTargetForControlEvents(on(&CBMapViewController::zoomOut),
                                              UIControlEventTouchUpInside);
    displayModeButton_ = controlButton("\u2261", NSLocalizedString("DisplayModes"));
    displayModeButton_->addTargetForControlEvents(on(&CBMapViewController::showDisplayModes),
                                                  UIControlEventTouchUpInside);
    displayModeLabel_ = std::make_shared<UILabel>(CGRectZero);
    displayModeLabel_->setFont(UIFont::boldSystemFontOfSize(13));
    displayModeLabel_->setTextColor(UIColor::colorWithWhiteAlpha(0.2, 1));
    displayModeLabel_->setTextAlignment(NSTextAlignmentCenter);
    displayModeLabel_->setBackgroundColor(UIColor::colorWithWhiteAlpha(1, 0.95));
    displayModeLabel_->layer()->setCornerRadius(6);
    displayModeLabel_->layer()->setBorderWidth(1);
    displayModeLabel_->layer()->setBorderColor(UIColor::colorWithWhiteAlpha(0.6, 1).CGColor());
    displayModeLabel_->setHidden(true);
    for (const auto& control : std::initializer_list<std::shared_ptr<UIView>>{
             compassButton_, displayModeButton_, displayModeLabel_, zoomInButton_, zoomOutButton_})
        view()->addSubview(control);
    guideButton_ = controlButton(NSLocalizedString("Guide"), NSLocalizedString("Guide"));
    guideButton_->titleLabel()->setFont(UIFont::systemFontOfSize(kGuideFontSize));
    guideButton_->addTargetForControlEvents(on(&CBMapViewController::presentGuide),
                                            UIControlEventTouchUpInside);
    view()->addSubview(guideButton_);
    mapView_->annotationsHost()->setCalloutObstacleViews({compassButton_, displayModeButton_,
                                                          displayModeLabel_, zoomInButton_,
                                                          zoomOutButton_, guideButton_});
}

void CBMapViewController::layoutMapControls() {
    const CGRect bounds = view()->bounds();
    const CGFloat x = bounds.size.width - kControlMargin - kControlSize;
    CGFloat y = bounds.size.height - kScaleBarRoom - kControlSize;
    for (const auto& button : {zoomOutButton_, zoomInButton_, displayModeButton_}) {
        button->setFrame(CGRectMake(x, y, kControlSize, kControlSize));
        y -= kControlSize + kControlGap;
    }
    const CGRect modeButton = displayModeButton_->frame();
    const CGFloat labelWidth =
        displayModeLabel_->sizeThatFits(bounds.size).width + 2 * kModeLabelPadding;
    displayModeLabel_->setFrame(CGRectMake(
        modeButton.origin.x - kControlGap - labelWidth,
        modeButton.origin.y + (kControlSize - kModeLabelHeight) / 2, labelWidth, kModeLabelHeight));
    // The guide's button tops the stack, as wide as its name needs.
    const CGFloat guideWidth =
        std::max(kControlSize, guideButton_->sizeThatFits(bounds.size).width + 2 * kControlMargin);
    const CGFloat guideX = x + kControlSize - guideWidth;
    guideButton_->setFrame(CGRectMake(guideX, y, guideWidth, kControlSize));
    // The compass heads the column. Where the map is too short for it above
    // the guide's button (a phone on its side, a short window) it stands
    // beside that button, not under it.
    const CGFloat compassTop = kMapTop + kControlMargin;
    compassButton_->setFrame(
        compassTop + kControlSize + kControlGap <= y
            ? CGRectMake(x, compassTop, kControlSize, kControlSize)
            : CGRectMake(guideX - kControlGap - kControlSize, y, kControlSize, kControlSize));
}

// The map zooms about its middle and stays within its zoom range and its box.
// A tap while the last one's zoom still runs steps on from where that zoom
// ends, so quick taps go as far as slow ones.
void CBMapViewController::zoomIn() {
    mapView_->stepZoomToScale(
        zoomScaleForNativeZoomLevel(mapView_->layout()->targetNativeZoomLevel() + 1));
}

void CBMapViewController::zoomOut() {
    mapView_->stepZoomToScale(
        zoomScaleForNativeZoomLevel(mapView_->layout()->targetNativeZoomLevel() - 1));
}

void CBMapViewController::updateDisplayModeLabel() {
    if (!displayModeLabel_)
        return;
    const int mode = displayModes_->mode();
    displayModeLabel_->setText(CBMapDisplayModeManager::titleForMode(mode));
    displayModeLabel_->setHidden(mode == CBMapDisplayModeManager::kStandardMode);
    view()->setNeedsLayout();
}

void CBMapViewController::updateZoomButtons() {
    if (!zoomInButton_)
        return;
    const bool open = hasMap();
    zoomInButton_->setEnabled(open && mapView_->zoomScale() < mapView_->maximumZoomScale());
    zoomOutButton_->setEnabled(open && mapView_->zoomScale() > mapView_->minimumZoomScale());
}

// The user's choices of the settings: the compass on or off, and whether a
// compass that needs calibrating may say so.
void CBMapViewController::applyCompassDefaults() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    auto service = mapView_->userLocationFollower()->locationManager();
    service->setShouldShowCompassCalibrationWarning(
        !defaults->boolForKey("CompassCalibrationWarningDisabled"));
    service->setCompassEnabled(!defaults->boolForKey("CompassDisabled"));
}

void CBMapViewController::turnNorthUp() {
    mapView_->userLocationFollower()->setRotateToHeading(false);
    updateCompass();
}

void CBMapViewController::updateCompass() {
    if (!compassButton_)
        return;
    compassButton_->setMapRotation(mapView_->userLocationFollower()->currentRotationAngle());
    compassButton_->setHidden(!mapView_->userLocationFollower()->rotateToHeading());
}

void CBMapViewController::mapScrollViewDidChangeCenteringRotationStatus(CBMapScrollView&) {
    updateCompass();
    updatePositionButton();
}

// The button shows whether the map follows the user, and turns with them.
void CBMapViewController::updatePositionButton() {
    auto position =
        mapView_->userLocationFollower()->barButtonItemForCurrentCenteringRotationStatus();
    navigationItem()->setLeftBarButtonItem(
        shelfAction_ ? CBRootViewController::shelfButtonItemBeside(position, shelfAction_)
                     : position);
}

// The map turns in its own heading message; read it once every delegate has heard.
void CBMapViewController::locationManagerDidUpdateHeading(CBLocationManager&,
                                                          std::shared_ptr<CLHeading>) {
    std::weak_ptr<CBMapViewController> weak =
        std::static_pointer_cast<CBMapViewController>(shared_from_this());
    DispatchQueue::main()->async([weak] {
        if (auto me = weak.lock())
            me->updateCompass();
    });
}

void CBMapViewController::mapScrollViewDidChangeBoundingBoxToAnimated(
    CBMapScrollView&, const std::shared_ptr<CBBoundingBox>&, bool) {
    updateZoomButtons();
}

void CBMapViewController::showDisplayModes() {
    std::weak_ptr<CBMapViewController> weak =
        std::static_pointer_cast<CBMapViewController>(shared_from_this());
    auto list = std::make_shared<CBDisplayModeVC>(
        displayModes_->availableModes(), displayModes_->mode(), [weak](int mode) {
            auto me = weak.lock();
            if (!me)
                return;
            me->displayModes_->setMode(mode);
            me->updateDisplayModeLabel();
            me->dismissPopoverAnimated(true);
            if (auto navigation = me->navigationController())
                navigation->popToRootViewControllerAnimated(true);
        });
    presentInPopoverFromViewOrPush(
        list, displayModeButton_,
        {kPopoverWidth, kListRowHeight * CGFloat(displayModes_->availableModes().size())});
}

void CBMapViewController::presentInPopoverFromViewOrPush(
    const std::shared_ptr<UIViewController>& controller, const std::shared_ptr<UIView>& anchor,
    CGSize popoverSize) {
    if (isPad()) {
        dismissPopoverAnimated(false);
        popover_ = std::make_shared<UIPopoverController>(controller);
        popover_->setPopoverContentSize(popoverSize);
        popover_->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(
            anchor->bounds(), anchor, UIPopoverArrowDirectionAny, true);
    } else if (auto navigation = navigationController()) {
        navigation->pushViewControllerAnimated(controller, true);
    }
}

// A stop is drawn by the transport layer; its annotation view only takes
// the tap that opens its callout.
std::shared_ptr<CBAnnotationView> CBMapViewController::mapScrollViewViewForAnnotation(
    CBMapScrollView& map, const CBAnnotationRef& annotation) {
    if (!displayModes_->isStopAnnotation(annotation))
        return nullptr;
    auto view =
        map.annotationsHost()->dequeueReusableAnnotationViewWithIdentifier(kStopViewIdentifier);
    if (!view)
        view = std::make_shared<CBAnnotationView>(annotation, std::string(kStopViewIdentifier));
    view->setAnnotation(annotation);
    view->setFrame(CGRectMake(0, 0, kStopTapSize, kStopTapSize));
    view->setBackgroundColor(UIColor::clearColor());
    view->setCanShowCallout(true);
    return view;
}

void CBMapViewController::mapScrollViewDidDeselectAnnotationView(
    CBMapScrollView&, const std::shared_ptr<CBAnnotationView>&) {
    displayModes_->highlightRoutesOfStop(nullptr);
}
