#include "wikipedia/CBWikipediaWalkViewController.h"

#include <algorithm>
#include <cmath>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePath.h"
#include "CoreLocation/CLLocationManager.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIImage.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBAnnotationCalloutView.h"
#include "mapkit/CBCircularControlAnnotationView.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScaleBar.h"
#include "mapkit/CBMapScaleView.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBPathDataSource.h"
#include "mapkit/ZELInteractiveMapScaleView.h"
#include "model/CBCurrentMap.h"
#include "model/CBWikipediaManager.h"
#include "uiadditions/CALayer+ZELGeometry.h"
#include "uiadditions/UIColor+ZELMixing.h"
#include "widgets/CBScreenBreadcrumb.h"
#include "widgets/CBScreenToolbar.h"
#include "widgets/UIColor+KelvaraColors.h"
#include "widgets/ZELCalloutBubbleView.h"
#include "wikiguide/ZELWikiGuideArticle.h"
#include "wikiguide/ZELWikiGuideGroup.h"
#include "wikipedia/CBWikipediaHost.h"
#include "wikipedia/CBWikipediaViewer.h"
#include "wikipedia/ZELWikiGuideArticleAnnotation.h"

namespace {

constexpr CGFloat kTrackThickness = 44;
constexpr CGFloat kTrackEdgeInset = 22;
// The room a portrait track leaves above it for the bars.
constexpr CGFloat kPortraitTrackShortening = 120;
// The map puts its scale bar this far above the bottom edge.
constexpr CGFloat kScaleBarBottomMargin = 5;
constexpr CGFloat kBubbleSideRoom = 90;
constexpr CGFloat kBubbleGapPortrait = 44;
constexpr CGFloat kBubbleGapLandscape = 20;
constexpr CGFloat kBubbleArrowRoom = 8;
constexpr CGFloat kBubbleAnchorMinimum = 0.1;
constexpr CGFloat kBubbleAnchorMaximum = 0.85;
constexpr double kBubbleDuration = 0.25;
constexpr double kPinColourDuration = 0.35;
constexpr double kMoveToStopDuration = 0.5;
constexpr double kMoveAfterRotationDelay = 0.75;
constexpr double kWalkMarginFactor = 1.5;
constexpr float kStopZoomScale = 0.25;
constexpr long kAccessoryTag = 1;
constexpr unsigned kBubbleAnimationOptions =
    UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionCurveEaseOut;

// The pin: a round head on a point whose tip stands on the coordinate.
CGPath pinPath() {
    CGPath path;
    path.addArc({14, 14}, 14, M_PI, 0, false);
    path.addCurveToPoint({28, 27}, {14, 36}, {14, 36});
    path.addCurveToPoint({14, 36}, {0, 27}, {0, 14});
    return path;
}

// The box of the points of the route, or nullptr when it has none.
std::shared_ptr<CBBoundingBox> boxOfPath(const std::shared_ptr<CBCoordinatePath>& path) {
    if (!path)
        return nullptr;
    for (size_t s = 0; s < path->segmentCount(); ++s)
        if (path->numberOfCoordinatesAtSegment(s) > 0)
            return path->bbox();
    return nullptr;
}

void animateShapeColour(CAShapeLayer& layer, const char* key, const std::optional<CGColor>& from,
                        const CGColor& to) {
    auto animation = CABasicAnimation::animationWithKeyPath(key);
    if (from)
        animation->setFromValue(*from);
    animation->setToValue(to);
    animation->setDuration(kPinColourDuration);
    layer.addAnimation(animation, key);
}

}  // namespace

CBWikipediaWalkViewController::CBWikipediaWalkViewController(CBWikipediaServices services)
    : services_(std::move(services)) {}

CBWikipediaWalkViewController::~CBWikipediaWalkViewController() = default;

std::shared_ptr<CBWikipediaWalkViewController> CBWikipediaWalkViewController::self() {
    return std::static_pointer_cast<CBWikipediaWalkViewController>(shared_from_this());
}

void CBWikipediaWalkViewController::setWalkGroup(std::shared_ptr<ZELWikiGuideGroup> group) {
    walkGroup_ = std::move(group);
}

void CBWikipediaWalkViewController::loadView() {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    root->setBackgroundColor(UIColor::whiteColor());
    setView(root);
}

void CBWikipediaWalkViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    if (title().empty())
        setTitle(NSLocalizedString("WalkTitle"));
    if (auto navigation = navigationController())
        navigation->view()->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.919, 1.0));
    std::weak_ptr<CBWikipediaWalkViewController> weak = self();
    navigationItem()->setRightBarButtonItem(std::make_shared<UIBarButtonItem>(
        NSLocalizedString("Close"), UIBarButtonItemStyleDone, [weak](UIBarButtonItem&) {
            if (auto screen = weak.lock())
                screen->dismiss();
        }));
    setupMapView();

    progressView_ = CBWikipediaWalkProgressView::create();
    progressView_->setAutoresizingMask(UIViewAutoresizingNone);
    progressView_->layer()->setAnchorPoint({1.0, 0.5});
    progressView_->setDelegate(weak);
    view()->addSubview(progressView_);
    layoutProgressView();
    if (walkGroup_)
        progressView_->setCumulatedDistancesForStops(walkGroup_->distancesAlongWalk());

    setupBubble();
    addRoute();
    for (const auto& stop : walkGroup_ ? walkGroup_->articles() : ZELWikiGuideGroup::Articles{})
        if (ZELWikiGuideArticleAnnotation::hasPlace(*stop))
            annotations_.push_back(std::make_shared<ZELWikiGuideArticleAnnotation>(stop));
    mapScrollView_->annotationsHost()->addAnnotationsCentered(
        {annotations_.begin(), annotations_.end()}, false);
    mapScrollViewDidChangeCenteringRotationStatus(*mapScrollView_);
}

void CBWikipediaWalkViewController::setupMapView() {
    mapScrollView_ = CBMapScrollView::create(view()->bounds());
    mapScrollView_->visibleArea()->setSavesState(false);
    mapScrollView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                        UIViewAutoresizingFlexibleHeight);
    mapScrollView_->setMapDelegate(self());
    // The current map as it is open, drawn in its style (the view's own).
    if (services_.currentMap)
        mapScrollView_->setOpenMap(services_.currentMap->openMap());
    view()->addSubview(mapScrollView_);
    mapScaleView_ = ZELInteractiveMapScaleView::create(view()->bounds(), mapScrollView_);
    mapScaleView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                       UIViewAutoresizingFlexibleHeight);
    view()->addSubview(mapScaleView_);
    mapScrollView_->scaleBar()->setMapScaleHiddenAnimated(false, false);
    // The walk follows the walker: the position shows once a fix arrives.
    if (CLLocationManager::authorizationStatus() != kCLAuthorizationStatusDenied)
        mapScrollView_->userLocationFollower()->setShowsUserLocation(true);
}

void CBWikipediaWalkViewController::setupBubble() {
    progressViewLabel_ = std::make_shared<ZELCalloutBubbleView>(CGRectZero);
    progressViewLabel_->setBodyColor(UIColor::colorWithWhiteAlpha(0.1, 0.85));
    const auto& title = progressViewLabel_->labelTitle();
    title->setFont(UIFont::fontWithNameSize("HelveticaNeue-CondensedBold", 18));
    title->setTextColor(UIColor::colorWithWhiteAlpha(0.95, 1));
    title->setShadowColor(UIColor::blackColor());
    title->setAdjustsFontSizeToFitWidth(true);
    title->setMinimumScaleFactor(0.8);
    const auto& subtitle = progressViewLabel_->labelSubtitle();
    subtitle->setFont(UIFont::fontWithNameSize("HelveticaNeue", 14));
    subtitle->setTextColor(title->textColor());
    subtitle->setShadowColor(title->shadowColor());
    subtitle->setAdjustsFontSizeToFitWidth(true);
    subtitle->setMinimumScaleFactor(0.6);
    progressViewLabel_->setHidden(true);
    view()->insertSubviewAboveSubview(progressViewLabel_, progressView_);
}

void CBWikipediaWalkViewController::addRoute() {
    const auto route = walkGroup_ ? walkGroup_->path() : nullptr;
    const auto path = route ? route->coordinatePath() : nullptr;
    if (boxOfPath(path)) {
        pathDataSource_ = std::make_shared<CBPathDataSource>();
        pathDataSource_->setCoordinatePath(path);
        auto style = std::make_shared<CBGeoStyle>();
        style->setStrokeColor(progressView_->trackColorBehind().CGColor());
        style->setCasingColor(progressView_->trackColorCasing().CGColor());
        style->setStrokeWidth(2 * progressView_->trackWidth());
        style->setCasingWidth(2 * progressView_->trackWidth() + 4);
        style->setStrokeOpacity(0.85);
        pathDataSource_->setStyle(style);
    }
    // Installed even without a route: the stops still tell their numbers.
    pathAnalyzer_ = std::make_shared<CBCoordinatePathAnalyzer>(path);
    pathAnalyzer_->setDelegate(self());
    CBLocationManager::sharedInstance()->setCurrentPathAnalyzer(pathAnalyzer_);
    if (pathDataSource_)
        mapScrollView_->overlays()->addOverlayDatasource(pathDataSource_);
    zoomToWalkAnimated(true);
}

void CBWikipediaWalkViewController::zoomToWalkAnimated(bool animated) {
    const auto route = walkGroup_ ? walkGroup_->path() : nullptr;
    auto box = boxOfPath(route ? route->coordinatePath() : nullptr);
    if (!box && !annotations_.empty())
        box = CBMapAnnotationsHost::boundingBoxForAnnotationsInArray(
            {annotations_.begin(), annotations_.end()});
    if (box)
        mapScrollView_->zoomToBoundingBoxAnimated(
            box->boundingBoxMultipliedByFactor(kWalkMarginFactor), animated);
}

void CBWikipediaWalkViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (stopToSelectOnAppear_ && ZELWikiGuideArticleAnnotation::hasPlace(*stopToSelectOnAppear_)) {
        mapScrollView_->setZoomScale(kStopZoomScale);
        mapScrollView_->moveToCoordinateAnimated(stopToSelectOnAppear_->coordinate(), false);
    } else {
        std::weak_ptr<CBWikipediaWalkViewController> weak = self();
        DispatchQueue::main()->async([weak] {
            if (auto screen = weak.lock())
                screen->zoomToWalkAnimated(false);
        });
    }
    CBScreenToolbar::setHidden(*this, true, animated);
}

void CBWikipediaWalkViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    CBScreenBreadcrumb::screenAppeared(*this);
    if (stopToSelectOnAppear_) {
        if (auto pin = annotationOfStop(stopToSelectOnAppear_))
            mapScrollView_->annotationsHost()->selectAnnotationAnimated(pin, animated);
        stopToSelectOnAppear_ = nullptr;
    }
    CBWikipediaManager::displayWalkWarningIfNeeded();
}

void CBWikipediaWalkViewController::viewWillLayoutSubviews() {
    UIViewController::viewWillLayoutSubviews();
    // There is no rotation message on the desktop: the window's shape is
    // the orientation, so the track follows every change of the bounds.
    if (progressView_ && laidOutSize_ != view()->bounds().size)
        layoutProgressView();
}

bool CBWikipediaWalkViewController::showProgressViewOnLeft() {
    const CGSize size = view()->bounds().size;
    return size.height > size.width;
}

void CBWikipediaWalkViewController::layoutProgressView() {
    const CGRect bounds = view()->bounds();
    laidOutSize_ = bounds.size;
    const bool portrait = showProgressViewOnLeft();
    progressView_->setTransform(portrait ? CGAffineTransformMakeRotation(M_PI_2)
                                         : CGAffineTransformIdentity);
    const CGFloat length = portrait ? bounds.size.height - kPortraitTrackShortening
                                    : bounds.size.width - 2 * kTrackEdgeInset;
    progressView_->setBounds(CGRectMake(0, 0, std::max<CGFloat>(length, 0), kTrackThickness));
    progressView_->setCenter(
        {CGRectGetMaxX(bounds) - kTrackEdgeInset, CGRectGetMaxY(bounds) - kTrackEdgeInset});
    // A stop's callout keeps its button off the track.
    mapScrollView_->annotationsHost()->setCalloutEdgeInsets(
        {0, 0, portrait ? CGFloat(0) : kTrackThickness, portrait ? kTrackThickness : CGFloat(0)});
    // Along the bottom the track would cover the map's scale bar: the bar
    // stands on the track then.
    if (auto scale = mapScrollView_->scaleBar()->mapScaleView()) {
        CGRect frame = scale->frame();
        frame.origin.y = CGRectGetMaxY(bounds) - (portrait ? 0 : kTrackThickness) -
                         kScaleBarBottomMargin - frame.size.height;
        scale->setFrame(frame);
    }
    if (progressViewLabel_ && !progressViewLabel_->isHidden())
        placeBubbleAtIndex(progressView_->indexOfHighlightedStop());
}

void CBWikipediaWalkViewController::dismiss() {
    dismissViewControllerAnimatedCompletion(true, nullptr);
}

std::shared_ptr<ZELWikiGuideArticle> CBWikipediaWalkViewController::articleAtIndex(
    long index) const {
    if (!walkGroup_ || index < 0 || index == kWalkStopNotFound)
        return nullptr;
    const auto stops = walkGroup_->articles();
    return index < static_cast<long>(stops.size()) ? stops[index] : nullptr;
}

long CBWikipediaWalkViewController::indexOfStop(const CBAnnotationRef& annotation) const {
    auto pin = std::dynamic_pointer_cast<ZELWikiGuideArticleAnnotation>(annotation);
    if (!pin || !walkGroup_)
        return kWalkStopNotFound;
    const auto stops = walkGroup_->articles();
    const auto found = std::find(stops.begin(), stops.end(), pin->article());
    return found == stops.end() ? kWalkStopNotFound : static_cast<long>(found - stops.begin());
}

std::shared_ptr<ZELWikiGuideArticleAnnotation> CBWikipediaWalkViewController::annotationOfStop(
    const std::shared_ptr<ZELWikiGuideArticle>& stop) const {
    const auto found = std::find_if(annotations_.begin(), annotations_.end(),
                                    [&](const auto& pin) { return pin->article() == stop; });
    return found == annotations_.end() ? nullptr : *found;
}

void CBWikipediaWalkViewController::openDetailsForWikipediaArticle(
    const std::shared_ptr<ZELWikiGuideArticle>& stop) {
    const auto url = stop ? stop->sourceUrl() : std::nullopt;
    auto article = url && wikipediaManager()
                       ? wikipediaManager()->articleForUrl(url->absoluteString())
                       : nullptr;
    if (!article) {
        NSLogWithLevel(NSLogLevel::Warning,
                       "CBWikipediaWalkViewController: no offline article for the stop %s",
                       stop ? stop->title().value_or("?").c_str() : "?");
        return;
    }
    auto viewer = std::make_shared<CBWikipediaViewer>(services_);
    viewer->setArticle(article);
    viewer->setBasePath(wikipediaManager()->currentImgPath());
    viewer->setIsOnMap(true);
    if (UI_USER_INTERFACE_IDIOM() != UIUserInterfaceIdiomPad) {
        if (auto navigation = navigationController())
            navigation->pushViewControllerAnimated(viewer, true);
        return;
    }
    std::weak_ptr<CBWikipediaWalkViewController> weak = self();
    viewer->navigationItem()->setRightBarButtonItem(
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemDone, [weak](UIBarButtonItem&) {
            if (auto screen = weak.lock())
                screen->dismiss();
        }));
    auto sheet = std::make_shared<UINavigationController>(viewer);
    sheet->setModalPresentationStyle(UIModalPresentationFormSheet);
    presentViewControllerAnimatedCompletion(sheet, true, nullptr);
}

void CBWikipediaWalkViewController::configureAnnotationViewForAnnotationSelected(
    const std::shared_ptr<CBLabelledShapeAnnotationView>& view, const CBAnnotationRef& annotation,
    bool selected) {
    if (!view)
        return;
    const long index = indexOfStop(annotation);
    const size_t count = walkGroup_ ? walkGroup_->articles().size() : 0;
    view->label()->setText(index == kWalkStopNotFound ? "?" : std::to_string(index + 1));
    const CGFloat factor =
        index == kWalkStopNotFound || count == 0 ? 0 : float(index) / float(count);
    const UIColor stopColour =
        mixedByWithColor(KelvaraColors::walkStopFirst(), factor, KelvaraColors::walkStopLast());
    const UIColor fill = selected ? progressView_->stopColorSelected() : UIColor::whiteColor();
    const UIColor stroke = selected ? UIColor::whiteColor() : stopColour;
    const UIColor text = selected ? UIColor::whiteColor() : stopColour;
    auto label = view->label();
    UIView::animateWithDurationAnimations(kPinColourDuration,
                                          [label, text] { label->setTextColor(text); });
    auto& shape = *view->shapeLayer();
    const auto oldFill = shape.fillColor();
    const auto oldStroke = shape.strokeColor();
    shape.setFillColor(fill.CGColor());
    animateShapeColour(shape, "fillColor", oldFill, fill.CGColor());
    shape.setStrokeColor(stroke.CGColor());
    animateShapeColour(shape, "strokeColor", oldStroke, stroke.CGColor());
}

void CBWikipediaWalkViewController::updateSubtitleOfCalloutViewInMapScrollView(
    CBMapScrollView& map) {
    const auto selected = map.annotationsHost()->selectedAnnotation();
    const auto callout = map.annotationsHost()->currentCalloutView();
    if (!selected || !callout)
        return;
    callout->setSubtitleText(selected->subtitle().value_or(""));
}

void CBWikipediaWalkViewController::mapScrollViewDidUpdateUserLocation(
    CBMapScrollView& map, const std::shared_ptr<CBUserLocation>&) {
    updateSubtitleOfCalloutViewInMapScrollView(map);
}

void CBWikipediaWalkViewController::mapScrollViewDidChangeCenteringRotationStatus(
    CBMapScrollView& map) {
    navigationItem()->setLeftBarButtonItem(
        map.userLocationFollower()->barButtonItemForCurrentCenteringRotationStatus());
}

std::shared_ptr<CBAnnotationView> CBWikipediaWalkViewController::mapScrollViewViewForAnnotation(
    CBMapScrollView& map, const CBAnnotationRef& annotation) {
    auto view = std::dynamic_pointer_cast<CBLabelledShapeAnnotationView>(
        map.annotationsHost()->dequeueReusableAnnotationViewWithIdentifier(kPinReuseIdentifier));
    if (view) {
        view->setAnnotation(annotation);
    } else {
        view = CBLabelledShapeAnnotationView::create(annotation, std::string(kPinReuseIdentifier));
        view->setBounds(CGRectMake(0, 0, 28, 36));
        view->layer()->setAnchorPoint({0.5, 1.0});
        auto& shape = *view->shapeLayer();
        shape.setPath(pinPath());
        shape.setShadowColor(UIColor::blackColor().CGColor());
        shape.setShadowOffset({0, 1});
        shape.setShadowOpacity(0.8f);
        shape.setShadowRadius(1.0);
        shape.setLineWidth(2.0);
        shape.setLineJoin(kCGLineJoinRound);
        view->setLabelInset({2, 0, 8, 0});
        const auto& label = view->label();
        label->setBackgroundColor(UIColor::clearColor());
        label->setTextColor(UIColor::whiteColor());
        label->setFont(UIFont::fontWithNameSize("HelveticaNeue-CondensedBold", 16));
        label->setTextAlignment(NSTextAlignmentCenter);
    }
    const auto selected = map.annotationsHost()->selectedAnnotation();
    configureAnnotationViewForAnnotationSelected(
        view, annotation,
        selected && selected->uniqueIdentifier() == annotation->uniqueIdentifier());
    return view;
}

void CBWikipediaWalkViewController::mapScrollViewDidSelectAnnotationView(
    CBMapScrollView& map, const std::shared_ptr<CBAnnotationView>& view) {
    map.userLocationFollower()->setCentersOnUserLocation(false);
    if (!view)
        return;
    progressView_->setIndexOfCurrentStop(indexOfStop(view->annotation()));
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setImageForState(UIImage::imageNamed("wikipedia-disclosure-button")
                                 ->imageWithRenderingMode(UIImageRenderingMode::AlwaysTemplate),
                             UIControlStateNormal);
    button->setAdjustsImageWhenHighlighted(true);
    button->setAccessibilityLabel(NSLocalizedString("ReadArticle"));
    button->sizeToFit();
    button->setTag(kAccessoryTag);
    view->setRightCalloutAccessoryView(button);
    configureAnnotationViewForAnnotationSelected(
        std::dynamic_pointer_cast<CBLabelledShapeAnnotationView>(view), view->annotation(), true);
}

void CBWikipediaWalkViewController::mapScrollViewDidDeselectAnnotationView(
    CBMapScrollView&, const std::shared_ptr<CBAnnotationView>& view) {
    if (!view)
        return;
    if (progressView_->indexOfCurrentStop() == indexOfStop(view->annotation()))
        progressView_->setIndexOfCurrentStop(kWalkStopNotFound);
    configureAnnotationViewForAnnotationSelected(
        std::dynamic_pointer_cast<CBLabelledShapeAnnotationView>(view), view->annotation(), false);
}

void CBWikipediaWalkViewController::mapScrollViewAnnotationViewCalloutAccessoryControlTapped(
    CBMapScrollView&, const std::shared_ptr<CBAnnotationView>& view,
    const std::shared_ptr<CBAnnotationCalloutView>&, const std::shared_ptr<UIControl>& control) {
    auto pin = view ? std::dynamic_pointer_cast<ZELWikiGuideArticleAnnotation>(view->annotation())
                    : nullptr;
    if (pin && control)
        openDetailsForWikipediaArticle(pin->article());
}

void CBWikipediaWalkViewController::coordinatePathProgressInfoChangedTo(
    const CBCoordinatePathProgressInfo& info) {
    progressView_->setProgress(static_cast<float>(info.progress));
}

void CBWikipediaWalkViewController::placeBubbleAtIndex(long index) {
    const CGPoint point = progressView_->pointForIndex(index);
    const CGSize size = progressViewLabel_->bounds().size;
    CGPoint anchor;
    if (showProgressViewOnLeft()) {
        anchor = {size.width + kBubbleGapPortrait, size.height * 0.5};
    } else {
        const CGFloat width = progressView_->bounds().size.width;
        const CGFloat share =
            width > 0 ? std::clamp(point.x / width, kBubbleAnchorMinimum, kBubbleAnchorMaximum)
                      : 0.5;
        anchor = {share * size.width, size.height + kBubbleGapLandscape};
    }
    setZELAbsoluteAnchorPoint(progressViewLabel_->layer(), anchor);
    progressViewLabel_->setCenter(view()->convertPointFromView(point, progressView_));
    progressViewLabel_->setNeedsDisplay();
}

void CBWikipediaWalkViewController::walkProgressViewChangedHighlightedIndex(
    CBWikipediaWalkProgressView&, long index) {
    const auto stop = articleAtIndex(index);
    if (!stop) {
        progressViewLabel_->setHidden(true);
        return;
    }
    const bool wasHidden = progressViewLabel_->isHidden();
    progressViewLabel_->labelTitle()->setText(stop->title().value_or(""));
    const auto along = stop->distanceAlongWalk();
    progressViewLabel_->labelSubtitle()->setText(
        along && std::isfinite(*along) && *along >= 0
            ? stringWithDistanceFromFloat(static_cast<float>(*along))
            : "");
    CGSize size =
        progressViewLabel_->sizeThatFits({view()->bounds().size.width - kBubbleSideRoom, 44});
    // Over a landscape track the bubble points down at the stop: its arrow
    // needs room below the labels.
    if (!showProgressViewOnLeft())
        size.height += kBubbleArrowRoom;
    progressViewLabel_->setBounds(CGRectMake(0, 0, size.width, size.height));
    std::weak_ptr<CBWikipediaWalkViewController> weak = self();
    const auto place = [weak, index] {
        if (auto screen = weak.lock())
            screen->placeBubbleAtIndex(index);
    };
    if (wasHidden) {
        place();
        progressViewLabel_->setAlpha(0);
        progressViewLabel_->setHidden(false);
        auto bubble = progressViewLabel_;
        UIView::animateWithDurationDelayOptionsAnimationsCompletion(
            kBubbleDuration, 0, kBubbleAnimationOptions, [bubble] { bubble->setAlpha(1); },
            nullptr);
    } else {
        UIView::animateWithDurationDelayOptionsAnimationsCompletion(
            kBubbleDuration, 0, kBubbleAnimationOptions, place, nullptr);
    }
}

void CBWikipediaWalkViewController::walkProgressViewDidSelectIndex(CBWikipediaWalkProgressView&,
                                                                   long index) {
    const auto stop = articleAtIndex(index);
    progressView_->setIndexOfCurrentStop(index);
    const bool wasRotating = mapScrollView_->userLocationFollower()->rotateToHeading();
    mapScrollView_->userLocationFollower()->setCentersOnUserLocation(false);
    const auto pin = stop ? annotationOfStop(stop) : nullptr;
    if (!pin)
        return;
    std::weak_ptr<CBWikipediaWalkViewController> weak = self();
    const auto move = [weak, pin] {
        auto screen = weak.lock();
        if (!screen)
            return;
        auto map = screen->mapScrollView_;
        UIView::animateWithDurationAnimationsCompletion(
            kMoveToStopDuration,
            [map, pin] { map->moveToCoordinateAnimated(pin->coordinate(), false); },
            [weak, pin](bool) {
                if (auto screen = weak.lock())
                    screen->mapScrollView_->annotationsHost()->selectAnnotationAnimated(pin, true);
            });
    };
    if (wasRotating)
        DispatchQueue::main()->after(kMoveAfterRotationDelay, move);
    else
        move();
}
