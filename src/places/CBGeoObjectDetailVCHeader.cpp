// The place screen's header: the small map with the place's pin, and the
// corner that tells how far away the place is and which way it lies.
#include <algorithm>
#include <cmath>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoObject+TTAdditions.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CoreLocation/CLHeading.h"
#include "CoreLocation/CLLocationManager.h"
#include "Dispatch/DispatchQueue.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "location/CBLocationManager.h"
#include "location/CLHeading+CBAdditions.h"
#include "location/CLLocation+Additions.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBPinAnnotationView.h"
#include "mapkit/UIApplication+CBInterfaceOrientation.h"
#include "model/CBCurrentMap.h"
#include "model/CBTopTableFiles.h"
#include "places/CBGeoObjectDetailVC.h"
#include "widgets/CBFramedImageView.h"
#include "widgets/UIColor+KelvaraColors.h"

namespace {

constexpr CGFloat kPhoneHeaderHeight = 160;
constexpr CGFloat kPadHeaderHeight = 220;
// The distance corner: a band across the top right corner with the
// distance on it, the arrow in the corner above it.
constexpr CGFloat kCornerSide = 100;
constexpr CGFloat kBandLength = 150;
constexpr CGFloat kBandHeight = 22;
constexpr CGPoint kBandCentre{60, 40};
constexpr CGRect kArrowFrame{{70, 6}, {24, 24}};
// The navigation bar and the toolbar.
constexpr CGFloat kBarsHeight = 88;
// The header map shows the streets around the place.
constexpr int kHeaderZoomLevel = 16;
constexpr double kArrowAccuracyScale = 20;
constexpr double kLeastArrowAlpha = 0.15;
constexpr double kUnknownHeadingArrowAlpha = 0.75;
// A restaurant's photo lies slightly tilted at the header's bottom left.
constexpr CGSize kPhotoSize{112, 84};
constexpr CGFloat kPhotoMargin = 12;
constexpr double kPhotoTilt = -M_PI / 50;

}  // namespace

void CBGeoObjectDetailVC::loadView() {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 320, 460));
    root->setBackgroundColor(UIColor::whiteColor());
    const CGFloat headerHeight = isiPad_ ? kPadHeaderHeight : kPhoneHeaderHeight;
    headerView_ = std::make_shared<UIView>(CGRectMake(0, 0, 320, headerHeight));
    headerView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    headerView_->setClipsToBounds(true);
    headerView_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.9, 1));

    distanceViewContainer_ =
        std::make_shared<UIView>(CGRectMake(320 - kCornerSide, 0, kCornerSide, kCornerSide));
    distanceViewContainer_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
    distanceViewContainer_->setClipsToBounds(true);
    distanceViewContainer_->setUserInteractionEnabled(false);
    distanceLabel_ = std::make_shared<UILabel>(CGRectMake(0, 0, kBandLength, kBandHeight));
    distanceLabel_->setCenter(kBandCentre);
    distanceLabel_->setTextAlignment(NSTextAlignmentCenter);
    distanceLabel_->setFont(UIFont::boldSystemFontOfSize(13));
    distanceLabel_->setTextColor(UIColor::colorWithWhiteAlpha(0.15, 1));
    distanceLabel_->setBackgroundColor(UIColor::colorWithWhiteAlpha(1, 0.9));
    distanceViewContainer_->addSubview(distanceLabel_);
    directionArrowView_ = std::make_shared<UIImageView>(kArrowFrame);
    directionArrowView_->setImage(UIImage::imageNamed("direction-arrow"));
    directionArrowView_->setHighlightedImage(UIImage::imageNamed("direction-arrow-highlighted"));
    distanceViewContainer_->addSubview(directionArrowView_);
    // In the header's corner: it scrolls away with the header, never over rows.
    headerView_->addSubview(distanceViewContainer_);
    headerPhotoView_ = CBFramedImageView::create(
        CGRect{{kPhotoMargin, headerHeight - kPhotoMargin - kPhotoSize.height}, kPhotoSize});
    headerPhotoView_->setAutoresizingMask(UIViewAutoresizingFlexibleTopMargin);
    headerPhotoView_->setHidden(true);
    headerView_->addSubview(headerPhotoView_);
    setView(root);
}

void CBGeoObjectDetailVC::setupHeaderView() {
    const CGRect bounds = view()->bounds();
    CGRect frame = headerView_->frame();
    frame.size.width = bounds.size.width;
    if (!isiPad_) {
        // A short table leaves the rest of the screen to the map.
        const CGFloat screen = UIScreen::mainScreen()->bounds().size.height;
        auto application = UIApplication::sharedApplication();
        const CGFloat statusBar = application ? application->statusBarFrame().size.height : 0;
        const CGFloat table = tableView_->sizeThatFits({bounds.size.width, 100000}).height;
        const CGFloat room = screen - statusBar - kBarsHeight - table;
        if (room > frame.size.height)
            frame.size.height = room;
    }
    headerView_->setFrame(frame);

    headerMapScrollView_ = CBMapScrollView::create(headerView_->bounds());
    headerMapScrollView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                              UIViewAutoresizingFlexibleHeight);
    headerMapScrollView_->setUserInteractionEnabled(false);
    // The small map is no map the user left: nothing of it is remembered.
    headerMapScrollView_->visibleArea()->setSavesState(false);
    headerMapScrollView_->setMapDelegate(self());
    headerView_->insertSubviewAtIndex(headerMapScrollView_, 0);
    // The map shown, as it is open (its stores and its style, which the
    // view draws with by default): the small map opens nothing of its own.
    if (currentMap_)
        headerMapScrollView_->setOpenMap(currentMap_->openMap());
    const CGFloat screenScale = UIScreen::mainScreen()->scale();
    headerMapScrollView_->setZoomScale(
        headerMapScrollView_->layout()->scaleForNativeZoomlevel(kHeaderZoomLevel) /
        float(screenScale > 0 ? screenScale : 1));
    std::weak_ptr<CBGeoObjectDetailVC> weak = self();
    headerTap_ = std::make_shared<UITapGestureRecognizer>([weak](UIGestureRecognizer&) {
        if (auto me = weak.lock())
            me->showOnMap();
    });
    headerView_->addGestureRecognizer(headerTap_);
    DispatchQueue::main()->async([weak] {
        if (auto me = weak.lock())
            me->addHeaderAnnotation();
    });

    setupHeaderPhoto();
    directionArrowView_->setHidden(!CLLocationManager::headingAvailable());
    startHeadingUpdatesIfUseful();
    tableView_->setTableHeaderView(headerView_);
}

// Only the guide's venues have a photo; one that cannot be read leaves the
// frame empty.
void CBGeoObjectDetailVC::setupHeaderPhoto() {
    const bool venue = displayObject_ && isTopTableObject(*displayObject_);
    headerPhotoView_->setHidden(!venue);
    if (!venue)
        return;
    const std::string images = currentMap_ ? currentMap_->restaurantGuideImagesPath() : "";
    const auto name = toptableImageFileName(*displayObject_);
    const auto path =
        !images.empty() && name ? CBTopTableImagePathInFolder(images, *name) : std::nullopt;
    headerPhotoView_->setImage(path ? UIImage::imageWithContentsOfFile(*path) : nullptr);
    if (auto navigation = navigationController())
        headerPhotoView_->setTopView(navigation->view());
    headerPhotoView_->setTransform(CGAffineTransformMakeRotation(kPhotoTilt));
}

void CBGeoObjectDetailVC::startHeadingUpdatesIfUseful() {
    if (startedHeadingUpdates_ || locationManagerWasUpdatingHeading_ ||
        !CLLocationManager::headingAvailable() || !displayObject_ ||
        !displayObject_->distanceFromLastLocation())
        return;
    CBLocationManager::sharedInstance()->startUpdatingHeading();
    startedHeadingUpdates_ = true;
}

// The pin stands where the place was found: at the address of a hit found
// at one, else on the place, or on the dropped pin.
CLLocationCoordinate2D CBGeoObjectDetailVC::shownCoordinate() const {
    if (!displayObject_ && annotationForNewBookmark_)
        return annotationForNewBookmark_->coordinate();
    if (object_ && object_->address() && object_->object() == displayObject_)
        return object_->coordinate();
    return displayObject_ ? displayObject_->coordinate() : CLLocationCoordinate2D{};
}

void CBGeoObjectDetailVC::addHeaderAnnotation() {
    if (!headerMapScrollView_ || (!displayObject_ && !annotationForNewBookmark_))
        return;
    if (headerAnnotation_)
        headerMapScrollView_->annotationsHost()->removeAnnotation(headerAnnotation_);
    headerAnnotation_ = std::make_shared<CBBasicAnnotation>(shownCoordinate());
    // The map is already on the place; the pin goes in without a zoom.
    headerMapScrollView_->annotationsHost()->addAnnotationCentered(headerAnnotation_, false);
}

void CBGeoObjectDetailVC::recenterMap() {
    if (!headerMapScrollView_ || (!displayObject_ && !annotationForNewBookmark_))
        return;
    headerMapScrollView_->moveToCoordinateAnimated(shownCoordinate(), false);
    centredMapSize_ = headerMapScrollView_->bounds().size;
}

void CBGeoObjectDetailVC::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    // A popover or a turn gives the header another size: the place stays
    // in its middle.
    if (headerMapScrollView_) {
        headerView_->layoutIfNeeded();
        const CGSize size = headerMapScrollView_->bounds().size;
        if (size.width != centredMapSize_.width || size.height != centredMapSize_.height)
            recenterMap();
    }
    CGRect frame = distanceViewContainer_->frame();
    frame.origin.x = headerView_->bounds().size.width - frame.size.width;
    frame.origin.y = 0;
    distanceViewContainer_->setFrame(frame);
}

void CBGeoObjectDetailVC::updateDistanceViewDisplayedObject() {
    if (!distanceViewContainer_)
        return;
    auto location = CBLocationManager::sharedInstance();
    auto here = location->location();
    const auto distance =
        displayObject_ ? displayObject_->distanceFromLastLocation() : std::nullopt;
    distanceViewContainer_->setHidden(!distance);
    if (!distance)
        return;
    distanceLabel_->setText(stringWithDistanceFromFloat(float(*distance)));
    startHeadingUpdatesIfUseful();
    auto heading = location->manager() ? location->manager()->heading() : nullptr;
    if (!heading || heading->headingAccuracy() < 0 || !here) {
        directionArrowView_->setTransform(CGAffineTransformIdentity);
        directionArrowView_->setHighlighted(false);
        directionArrowView_->setAlpha(kUnknownHeadingArrowAlpha);
        return;
    }
    const double bearing = forwardAzimuthToCoordinate(*here, displayObject_->coordinate());
    const double facing =
        adjustedHeadingForInterfaceOrientation(*heading, cbStatusBarInterfaceOrientation());
    directionArrowView_->setHighlighted(true);
    directionArrowView_->setTransform(
        CGAffineTransformMakeRotation((bearing - facing) * M_PI / 180));
    const double accuracy = heading->headingAccuracy();
    directionArrowView_->setAlpha(
        accuracy > 0 ? std::clamp(kArrowAccuracyScale / accuracy, kLeastArrowAlpha, 1.0)
                     : kLeastArrowAlpha);
}

void CBGeoObjectDetailVC::locationManagerDidUpdateToLocationFromLocation(
    CBLocationManager&, std::shared_ptr<CLLocation>, std::shared_ptr<CLLocation>) {
    updateDistanceViewDisplayedObject();
}

void CBGeoObjectDetailVC::locationManagerDidUpdateHeading(CBLocationManager&,
                                                          std::shared_ptr<CLHeading>) {
    updateDistanceViewDisplayedObject();
}

void CBGeoObjectDetailVC::locationManagerDidFailWithError(CBLocationManager&, const NSError&) {
    updateDistanceViewDisplayedObject();
}

std::shared_ptr<CBAnnotationView> CBGeoObjectDetailVC::mapScrollViewViewForAnnotation(
    CBMapScrollView& map, const CBAnnotationRef& annotation) {
    auto pin = std::dynamic_pointer_cast<CBPinAnnotationView>(
        map.annotationsHost()->dequeueReusableAnnotationViewWithIdentifier(kNibName));
    if (!pin)
        pin = std::make_shared<CBPinAnnotationView>(annotation, std::string(kNibName));
    pin->setAnnotation(annotation);
    annotationPinView_ = pin;
    updateAnnotationColor();
    return pin;
}

void CBGeoObjectDetailVC::updateAnnotationColor() {
    if (annotationPinView_)
        annotationPinView_->setHeadColor(bookmark_ ? KelvaraColors::pinColorBookmark()
                                                   : std::optional(KelvaraColors::pinColorGuide()));
}
