#include "store/CBMapStoreWorldMapViewcontroller.h"

#include <algorithm>
#include <cstdio>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePath.h"
#include "CoreData/NSStringFolding.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLocale.h"
#include "MapKit/MKLocalSearch.h"
#include "Net/NSURL.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationBar.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITabBarItem.h"
#include "UIKit/UITextField.h"
#include "mapkit/CBAnnotationView.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBPathDataSource.h"
#include "mapkit/CBPinAnnotationView.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "store/CBMapMissingRequest.h"
#include "store/CBMapStoreController.h"
#include "store/CBMapStoreDetailVC.h"
#include "store/CBMapStoreMapAnnotation.h"
#include "uiadditions/UIViewController+ZELLayout.h"
#include "widgets/CBClearSearchBar.h"
#include "widgets/CBLabelWithInset.h"
#include "widgets/CBScreenBreadcrumb.h"
#include "widgets/ZELRoundedGradientButton.h"
#include "widgets/ZELToolTip.h"

namespace {

constexpr const char* kUserMapPin = "userMaps";
constexpr const char* kDefaultPin = "defaultPin";
constexpr double kFade = 0.5;
constexpr double kPinDelay = 0.2;
constexpr double kSelectDelay = 0.7;
// The world map's tiles are drawn by us from Natural Earth's outlines, so
// the attribution names them, not the street map.
constexpr const char* kAttribution =
    "%s\nMap: Natural Earth country outlines (public domain), drawn by Kelvara";

}  // namespace

CBMapStoreWorldMapViewcontroller::CBMapStoreWorldMapViewcontroller(
    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine)
    : userMapStoreEngine_(std::move(userMapStoreEngine)) {
    setTitle(NSLocalizedString("MapStoreOverViewMapTitle"));
    auto item = std::make_shared<UITabBarItem>(NSLocalizedString("MapStoreOverViewMapTitle"),
                                               UIImage::imageNamed("mapstore-tabs-map"), 2);
    item->setSelectedImage(UIImage::imageNamed("mapstore-tabs-map-selected"));
    setTabBarItem(item);
}

CBMapStoreWorldMapViewcontroller::~CBMapStoreWorldMapViewcontroller() {
    if (mapKitLocalSearch_)
        mapKitLocalSearch_->cancel();
    if (mapView_)
        mapView_->saveStateWithIdentifier(kStateIdentifier);
    if (mapTileDataSource_)
        mapTileDataSource_->setCacheDelegate({});
}

std::shared_ptr<CBMapStoreWorldMapViewcontroller> CBMapStoreWorldMapViewcontroller::self() {
    return std::static_pointer_cast<CBMapStoreWorldMapViewcontroller>(shared_from_this());
}

void CBMapStoreWorldMapViewcontroller::viewDidLoad() {
    auto v = view();
    const CGRect bounds = v->bounds();
    const CGFloat width = bounds.size.width, height = bounds.size.height;

    mapView_ = CBMapScrollView::create(CGRectMake(0, 0, width, height));
    mapView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                  UIViewAutoresizingFlexibleHeight);
    mapView_->visibleArea()->setSavesState(false);
    mapView_->visibleArea()->setWiderBBoxFactor(2.0);
    mapTileDataSource_ = mapView_->layers()->setupForThunderforestLayerWithBoundingBox(nullptr);
    mapTileDataSource_->setCacheDelegate(self());
    mapTileDataSource_->setConnectionDelegate(self());
    v->addSubview(mapView_);

    attributionLabel_ = std::make_shared<UILabel>(CGRectMake(5, height - 40, width - 10, 40));
    attributionLabel_->setTextColor(UIColor::darkGrayColor());
    attributionLabel_->setShadowColor(UIColor::whiteColor());
    attributionLabel_->setShadowOffset(CGSizeMake(0, 1));
    attributionLabel_->setFont(UIFont::systemFontOfSize(11));
    attributionLabel_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                           UIViewAutoresizingFlexibleRightMargin |
                                           UIViewAutoresizingFlexibleTopMargin);
    // As many lines as the text needs at the screen's width (see
    // viewDidLayoutSubviews), never cut.
    attributionLabel_->setNumberOfLines(0);
    attributionLabel_->setBackgroundColor(UIColor::clearColor());
    const std::string differs = NSLocalizedString("OfflineDisplayDiffers");
    std::vector<char> attribution(differs.size() + 128);
    std::snprintf(attribution.data(), attribution.size(), kAttribution, differs.c_str());
    attributionLabel_->setText(std::string(attribution.data()));
    v->addSubview(attributionLabel_);

    const CGFloat barWidth = navigationController()
                                 ? navigationController()->navigationBar()->bounds().size.width
                                 : width;
    // Clear behind its field, so the navigation bar shows through it.
    searchBar_ = CBClearSearchBar::initWithBackground();
    searchBar_->setFrame(CGRectMake(0, 0, barWidth - 80, 44));
    searchBar_->setTintColor(UIColor::darkGrayColor());
    searchBar_->setDelegate(self());
    navigationItem()->setTitleView(searchBar_);

    missingMapButton_ = std::make_shared<ZELRoundedGradientButton>(CGRectZero, 3);
    missingMapButton_->setTitleForState(NSLocalizedString("RequestMapTitle"), UIControlStateNormal);
    missingMapButton_->titleLabel()->setFont(UIFont::boldSystemFontOfSize(16));
    missingMapButton_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin |
                                           UIViewAutoresizingFlexibleRightMargin |
                                           UIViewAutoresizingFlexibleBottomMargin);
    missingMapButton_->setHidden(true);
    missingMapButton_->setAlpha(0);
    missingMapButton_->addTargetForControlEvents(
        [weak = std::weak_ptr(self())](UIControl&) {
            if (auto screen = weak.lock())
                screen->requestMissingMap();
        },
        UIControlEventTouchUpInside);
    v->addSubview(missingMapButton_);
    makeRetryTilesButton(*v);

    infoLabel_ = std::make_shared<CBLabelWithInset>(CGRectMake(20, -10, width - 40, 40));
    infoLabel_->layer()->setCornerRadius(10);
    infoLabel_->layer()->setBorderColor(UIColor::colorWithWhiteAlpha(0, 0.25).CGColor());
    infoLabel_->layer()->setBorderWidth(1);
    infoLabel_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.4));
    infoLabel_->setTextColor(UIColor::whiteColor());
    infoLabel_->setAdjustsFontSizeToFitWidth(true);
    infoLabel_->setMinimumScaleFactor(0.7);
    infoLabel_->setFont(UIFont::boldSystemFontOfSize(14));
    infoLabel_->setTextAlignment(NSTextAlignmentCenter);
    infoLabel_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin |
                                    UIViewAutoresizingFlexibleRightMargin |
                                    UIViewAutoresizingFlexibleBottomMargin);
    infoLabel_->setContentInset({10, 0, 0, 0});
    v->addSubview(infoLabel_);

    v->bringSubviewToFront(missingMapButton_);
    // Only now: the map reports its boxes at once, into the labels above.
    mapView_->setMapDelegate(self());
}

void CBMapStoreWorldMapViewcontroller::viewDidLayoutSubviews() {
    if (!missingMapButton_)
        return;
    const CGFloat width = view()->bounds().size.width;
    const CGFloat height = view()->bounds().size.height;
    const CGFloat attributionHeight =
        std::ceil(attributionLabel_->sizeThatFits({width - 10, height}).height);
    attributionLabel_->setFrame(
        CGRectMake(5, height - attributionHeight - 4, width - 10, attributionHeight));
    missingMapButton_->setFrame(CGRectMake(50, topLayoutInset_ZEL(self()) + 15, width - 100, 44));
    retryTilesButton_->setFrame(
        CGRectMake(width / 2 - 70, attributionLabel_->frame().origin.y - 52, 140, 44));
}

void CBMapStoreWorldMapViewcontroller::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    // A container may announce the appearance before anything asked for the view.
    view();
    // Without a kept area the map opens on the user's country.
    if (firstAppear_ && !mapView_->restoreStateWithIdentifier(kStateIdentifier)) {
        if (auto code = NSLocale::currentLocale()->countryCode(); code && engine_) {
            std::string upper = *code;
            std::transform(upper.begin(), upper.end(), upper.begin(),
                           [](unsigned char c) { return char(std::toupper(c)); });
            if (auto country = engine_->countryForCountryCode(upper); country && country->bbox())
                mapView_->zoomToBoundingBoxAnimated(
                    country->bbox()->boundingBoxMultipliedByFactor(1.25), true);
        }
    }
    // The attribution shows for a while each time, then makes room.
    attributionLabel_->setAlpha(1);
    attributionLabel_->setHidden(false);
    std::weak_ptr<UILabel> label = attributionLabel_;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        kFade, 7, UIViewAnimationOptionAllowUserInteraction,
        [label] {
            if (auto shown = label.lock())
                shown->setAlpha(0);
        },
        [label](bool) {
            if (auto shown = label.lock(); shown && shown->alpha() == 0)
                shown->setHidden(true);
        });
    userMapIdentifiers_ =
        userMapStoreEngine_ ? userMapStoreEngine_->allIdentifiers() : std::set<std::string>{};
    firstAppear_ = false;
}

void CBMapStoreWorldMapViewcontroller::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    CBScreenBreadcrumb::screenAppeared(*this);
    // Over the bars too, but the world map's own: it goes when the map does.
    auto host = view()->superview() ? view()->superview()->superview() : nullptr;
    if (host)
        ZELToolTip::showInViewWithTextTopImageBottomImageForKeyMaxShows(
            host, NSLocalizedString("TooltipStoreWorldMap"), UIImage::imageNamed("tooltip_info"),
            nullptr, std::string("StoreWorldMap"), 3, view());
}

// Pins.

std::vector<CBAnnotationRef> CBMapStoreWorldMapViewcontroller::mapPins() const {
    std::vector<CBAnnotationRef> pins;
    for (const auto& annotation : mapView_->annotationsHost()->annotations())
        if (std::dynamic_pointer_cast<CBMapStoreMapAnnotation>(annotation))
            pins.push_back(annotation);
    return pins;
}

std::shared_ptr<CBMapStoreMapAnnotation> CBMapStoreWorldMapViewcontroller::annotationForMap(
    const std::string& identifier) const {
    for (const auto& pin : mapPins())
        if (pin->uniqueIdentifier() == identifier)
            return std::static_pointer_cast<CBMapStoreMapAnnotation>(pin);
    return nullptr;
}

void CBMapStoreWorldMapViewcontroller::showMapsInBBox(const std::shared_ptr<CBBoundingBox>& box) {
    if (!box || !engine_)
        return;
    mapBBoxSearchRunning_ = true;
    std::weak_ptr<CBMapStoreWorldMapViewcontroller> weak = self();
    engine_->mapsInBoundingBoxWithCompletionBlock(*box, [weak](const std::vector<Map>& maps) {
        auto screen = weak.lock();
        if (!screen || !screen->mapView_)
            return;
        screen->mapBBoxSearchRunning_ = false;
        std::set<std::string> wanted;
        for (const auto& map : maps)
            if (auto identifier = map->identifier())
                wanted.insert(*identifier);
        if (auto selected = screen->mapView_->annotationsHost()->selectedAnnotation())
            if (auto identifier = selected->uniqueIdentifier())
                wanted.insert(*identifier);
        std::vector<CBAnnotationRef> unwanted;
        std::set<std::string> onMap;
        for (const auto& pin : screen->mapPins()) {
            const auto identifier = pin->uniqueIdentifier().value_or("");
            if (wanted.count(identifier))
                onMap.insert(identifier);
            else
                unwanted.push_back(pin);
        }
        screen->mapView_->annotationsHost()->removeAnnotations(unwanted);
        std::vector<Map> fresh;
        for (const auto& map : maps)
            if (!onMap.count(map->identifier().value_or("")))
                fresh.push_back(map);
        if (fresh.empty()) {
            screen->checkForMissingMap();
            return;
        }
        screen->hideMissingMapButton();
        DispatchQueue::main()->after(kPinDelay, [weak, fresh] {
            auto later = weak.lock();
            if (!later || later->showingSearchResults_)
                return;
            // A later box may have been answered meanwhile: its pins stand.
            std::vector<Map> still;
            const auto box = later->mapView_->visibleArea()->widerBBox();
            for (const auto& map : fresh)
                if (!box || !map->bbox() || box->intersectsBoundingBox(map->bbox()))
                    still.push_back(map);
            later->addAnnotations(still);
        });
    });
    // Without tiles the line says so, in place of the tips.
    setInfo(NSLocalizedString(tilesMissing_ ? "WorldMapTilesNotLoaded"
                              : box->latitudeSpan() > kZoomInSpan
                                  ? "MapStoreOverViewTipZoomIn"
                                  : "MapStoreOverViewTipTapAnywhere"));
}

void CBMapStoreWorldMapViewcontroller::addAnnotations(const std::vector<Map>& maps) {
    auto selected = mapView_->annotationsHost()->selectedAnnotation();
    std::vector<CBAnnotationRef> pins;
    for (const auto& map : maps)
        if (map && map->identifier() && !annotationForMap(*map->identifier()))
            pins.push_back(std::make_shared<CBMapStoreMapAnnotation>(map));
    mapView_->annotationsHost()->addAnnotationsCentered(pins, false);
    if (selected && mapView_->annotationsHost()->selectedAnnotation() != selected)
        mapView_->annotationsHost()->selectAnnotationAnimated(selected, false);
}

bool CBMapStoreWorldMapViewcontroller::
    mapScrollViewDidChangeWiderBoundingBoxSignificantlyToAnimated(
        CBMapScrollView&, const std::shared_ptr<CBBoundingBox>& box, bool) {
    if (!showingSearchResults_)
        showMapsInBBox(box);
    return true;
}

std::shared_ptr<CBAnnotationView> CBMapStoreWorldMapViewcontroller::mapScrollViewViewForAnnotation(
    CBMapScrollView& map, const CBAnnotationRef& annotation) {
    auto pin = std::dynamic_pointer_cast<CBMapStoreMapAnnotation>(annotation);
    if (!pin)
        return nullptr;
    const bool installed = userMapIdentifiers_.count(pin->uniqueIdentifier().value_or("")) != 0;
    const std::string reuse = installed ? kUserMapPin : kDefaultPin;
    auto view = map.annotationsHost()->dequeueReusableAnnotationViewWithIdentifier(reuse);
    if (view) {
        view->setAnnotation(annotation);
        return view;
    }
    auto created = std::make_shared<CBPinAnnotationView>(annotation, reuse);
    created->setHeadColor(installed ? UIColor::colorWithRedGreenBlueAlpha(0.108, 0.827, 0.055, 1.0)
                                    : UIColor::colorWithRedGreenBlueAlpha(0.9, 0.1, 0.1, 1.0));
    return created;
}

void CBMapStoreWorldMapViewcontroller::mapScrollViewDidSelectAnnotationView(
    CBMapScrollView&, const std::shared_ptr<CBAnnotationView>& view) {
    if (highlightedMap_)
        mapView_->overlays()->removeOverlayDatasource(highlightedMap_);
    highlightedMap_ = nullptr;
    auto pin =
        view ? std::dynamic_pointer_cast<CBMapStoreMapAnnotation>(view->annotation()) : nullptr;
    if (!pin)
        return;
    view->setRightCalloutAccessoryView(UIButton::buttonWithType(UIButtonTypeDetailDisclosure));
    auto outline = std::make_shared<CBPathDataSource>();
    outline->setClosedPath(true);
    outline->setCoordinatePath(pin->map()->shape());
    auto style = std::make_shared<CBGeoStyle>();
    style->setFillColor(UIColor::blueColor().CGColor());
    style->setFillOpacity(0.15);
    style->setStrokeColor(UIColor::blueColor().CGColor());
    style->setStrokeWidth(4);
    style->setStrokeOpacity(0.5);
    outline->setStyle(style);
    mapView_->overlays()->addOverlayDatasource(outline);
    highlightedMap_ = outline;
}

void CBMapStoreWorldMapViewcontroller::mapScrollViewDidDeselectAnnotationView(
    CBMapScrollView&, const std::shared_ptr<CBAnnotationView>&) {
    if (highlightedMap_)
        mapView_->overlays()->removeOverlayDatasource(highlightedMap_);
    highlightedMap_ = nullptr;
}

void CBMapStoreWorldMapViewcontroller::mapScrollViewAnnotationViewCalloutAccessoryControlTapped(
    CBMapScrollView&, const std::shared_ptr<CBAnnotationView>& view,
    const std::shared_ptr<CBAnnotationCalloutView>&, const std::shared_ptr<UIControl>&) {
    auto pin =
        view ? std::dynamic_pointer_cast<CBMapStoreMapAnnotation>(view->annotation()) : nullptr;
    auto navigation = navigationController();
    if (!pin || !navigation)
        return;
    auto detail = CBMapStoreDetailVC::create(pin->map(), downloadManager_, engine_,
                                             userMapStoreEngine_, wikipediaManager_);
    detail->navigationItem()->setRightBarButtonItem(defaultRightButton_);
    navigation->pushViewControllerAnimated(detail, true);
}

void CBMapStoreWorldMapViewcontroller::mapScrollViewGotSingleTapAtPointAndCoordinate(
    CBMapScrollView&, CGPoint, CLLocationCoordinate2D coordinate) {
    auto map = engine_ ? engine_->mapIncludingCoordinate(coordinate) : nullptr;
    if (!map) {
        if (mapPins().empty())
            showMissingMapButton();
        return;
    }
    if (auto box = map->shape() ? map->shape()->bbox() : map->bbox())
        mapView_->zoomToBoundingBoxAnimated(box->boundingBoxMultipliedByFactor(1.5), true);
    std::weak_ptr<CBMapStoreWorldMapViewcontroller> weak = self();
    DispatchQueue::main()->after(kSelectDelay, [weak, map] {
        auto screen = weak.lock();
        if (!screen || !map->identifier())
            return;
        screen->addAnnotations({map});
        if (auto pin = screen->annotationForMap(*map->identifier()))
            screen->mapView_->annotationsHost()->selectAnnotationAnimated(pin, true);
    });
}

// The missing-map button and the info label.

void CBMapStoreWorldMapViewcontroller::checkForMissingMap() {
    auto box = mapView_->visibleArea()->visibleBBox();
    if (!searchRunning_ && !mapBBoxSearchRunning_ && box && box->latitudeSpan() < kZoomInSpan &&
        mapPins().empty() && engine_ &&
        !engine_->mapIncludingCoordinate(mapView_->visibleArea()->visibleCenter()))
        showMissingMapButton();
    else
        hideMissingMapButton();
}

void CBMapStoreWorldMapViewcontroller::showMissingMapButton() {
    if (!missingMapButton_->isHidden())
        return;
    hideInfo();
    missingMapButton_->setHidden(false);
    std::weak_ptr<ZELRoundedGradientButton> button = missingMapButton_;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        kFade, 0, UIViewAnimationOptionAllowUserInteraction,
        [button] {
            if (auto shown = button.lock())
                shown->setAlpha(1);
        },
        nullptr);
}

void CBMapStoreWorldMapViewcontroller::hideMissingMapButton() {
    if (missingMapButton_->isHidden())
        return;
    showInfo();
    std::weak_ptr<ZELRoundedGradientButton> button = missingMapButton_;
    UIView::animateWithDurationAnimationsCompletion(
        kFade,
        [button] {
            if (auto shown = button.lock()) {
                CGRect frame = shown->frame();
                frame.origin.y = -44;
                shown->setFrame(frame);
                shown->setAlpha(0);
            }
        },
        [button](bool) {
            if (auto shown = button.lock(); shown && shown->alpha() == 0)
                shown->setHidden(true);
        });
}

void CBMapStoreWorldMapViewcontroller::showInfo() {
    if (infoLabel_->isHidden()) {
        infoLabel_->setAlpha(0);
        infoLabel_->setHidden(false);
    }
    std::weak_ptr<CBLabelWithInset> label = infoLabel_;
    UIView::animateWithDurationAnimations(kFade, [label] {
        if (auto shown = label.lock())
            shown->setAlpha(1);
    });
}

void CBMapStoreWorldMapViewcontroller::hideInfo() {
    std::weak_ptr<CBLabelWithInset> label = infoLabel_;
    UIView::animateWithDurationAnimationsCompletion(
        kFade,
        [label] {
            if (auto shown = label.lock())
                shown->setAlpha(0);
        },
        [label](bool) {
            if (auto shown = label.lock(); shown && shown->alpha() == 0)
                shown->setHidden(true);
        });
}

void CBMapStoreWorldMapViewcontroller::setInfo(const std::string& text) {
    infoLabel_->setText(text);
}

void CBMapStoreWorldMapViewcontroller::requestMissingMap() {
    CBMapMissingRequest request;
    request.searchTerm = searchBar_->text();
    if (auto box = mapView_->visibleArea()->visibleBBox())
        request.bbox = *box;
    request.startRequestInViewController(*this, self());
}

void CBMapStoreWorldMapViewcontroller::mailComposeControllerDidFinishWithResultError(
    MFMailComposeViewController&, MFMailComposeResult, const std::optional<NSError>&) {
    dismissViewControllerAnimatedCompletion(true, nullptr);
}

// The place search.

void CBMapStoreWorldMapViewcontroller::searchBarTextDidBeginEditing(UISearchBar&) {
    if (engine_)
        engine_->cancelSearch();
    std::weak_ptr<CBMapStoreWorldMapViewcontroller> weak = self();
    navigationItem()->setRightBarButtonItem(
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemCancel, [weak](UIBarButtonItem&) {
            if (auto screen = weak.lock())
                screen->cancelSearch();
        }));
    CGRect frame = searchBar_->frame();
    frame.size.width = view()->bounds().size.width - 80;
    searchBar_->setFrame(frame);
    setInfo(NSLocalizedString("MapStoreOverViewTipCancelSearch"));
}

void CBMapStoreWorldMapViewcontroller::searchBarTextDidEndEditing(UISearchBar&) {
    CGRect frame = searchBar_->frame();
    frame.size.width = view()->bounds().size.width - 80;
    searchBar_->setFrame(frame);
}

void CBMapStoreWorldMapViewcontroller::searchBarSearchButtonClicked(UISearchBar& bar) {
    performSearchWithTextAndCheckOnline(bar.text(), true);
    bar.resignFirstResponder();
}

void CBMapStoreWorldMapViewcontroller::performSearchWithTextAndCheckOnline(const std::string& text,
                                                                           bool checkOnline) {
    if (!engine_)
        return;
    searchRunning_ = true;
    searchBar_->setLoading(true);
    std::weak_ptr<CBMapStoreWorldMapViewcontroller> weak = self();
    const bool started = engine_->mapsMatchingInCountriesAndFederalRegionsWithCompletionBlock(
        text, {}, {}, [weak, text, checkOnline](const std::vector<Map>& maps) {
            auto screen = weak.lock();
            if (!screen || !screen->mapView_)
                return;
            if (maps.empty()) {
                screen->showingSearchResults_ = false;
                if (checkOnline)
                    screen->searchPlaceOnline(text);
            } else if (maps.size() >= kManySearchResults) {
                screen->showingSearchResults_ = false;
            } else {
                screen->showSearchResults(maps, text);
            }
            screen->searchBar_->setLoading(false);
            screen->searchRunning_ = false;
        });
    if (!started) {
        searchBar_->setLoading(false);
        searchRunning_ = false;
    }
}

void CBMapStoreWorldMapViewcontroller::showSearchResults(const std::vector<Map>& maps,
                                                         const std::string& text) {
    showingSearchResults_ = true;
    mapView_->annotationsHost()->removeAnnotations(mapPins());
    std::vector<CBAnnotationRef> pins;
    for (const auto& map : maps)
        pins.push_back(std::make_shared<CBMapStoreMapAnnotation>(map));
    mapView_->annotationsHost()->addAnnotationsCentered(pins, true);
    const std::string lower = NSStringFold(text, kPredicateCaseInsensitive);
    auto first = std::find_if(pins.begin(), pins.end(), [&](const CBAnnotationRef& pin) {
        const auto& map = std::static_pointer_cast<CBMapStoreMapAnnotation>(pin)->map();
        return NSStringFold(map->localName(), kPredicateCaseInsensitive).rfind(lower, 0) == 0;
    });
    if (first == pins.end())
        return;
    view()->setUserInteractionEnabled(false);
    std::weak_ptr<CBMapStoreWorldMapViewcontroller> weak = self();
    CBAnnotationRef chosen = *first;
    DispatchQueue::main()->after(kSelectDelay, [weak, chosen] {
        if (auto screen = weak.lock()) {
            screen->view()->setUserInteractionEnabled(true);
            screen->mapView_->annotationsHost()->selectAnnotationAnimated(chosen, true);
        }
    });
}

void CBMapStoreWorldMapViewcontroller::searchPlaceOnline(const std::string& text) {
    if (mapKitLocalSearch_)
        mapKitLocalSearch_->cancel();
    mapKitLocalSearch_ = std::make_shared<MKLocalSearch>(MKLocalSearchRequest{text});
    std::weak_ptr<CBMapScrollView> map = mapView_;
    mapKitLocalSearch_->startWithCompletionHandler(
        [map](const std::optional<MKLocalSearchResponse>& response, const std::optional<NSError>&) {
            auto shown = map.lock();
            if (!shown || !response || response->mapItems.empty())
                return;
            const auto& region = response->mapItems.front().placemark().region();
            if (!region)
                return;
            shown->zoomToBoundingBoxAnimated(
                CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan(region->center(), 0.1,
                                                                              0.1),
                true);
        });
}

// The search text stays in the bar.
void CBMapStoreWorldMapViewcontroller::cancelSearch() {
    if (engine_)
        engine_->cancelSearch();
    showingSearchResults_ = false;
    searchBar_->resignFirstResponder();
    navigationItem()->setRightBarButtonItem(defaultRightButton_);
    mapView_->annotationsHost()->removeAnnotations(mapPins());
    showMapsInBBox(mapView_->visibleArea()->widerBBox());
}

// The catalogue and the tile cache.

void CBMapStoreWorldMapViewcontroller::mapStoreWillUpdate() {
    if (auto navigation = navigationController())
        navigation->popToRootViewControllerAnimated(true);
    if (mapView_)
        mapView_->annotationsHost()->removeAnnotations(mapPins());
}

void CBMapStoreWorldMapViewcontroller::mapStoreUpdated() {
    if (mapView_)
        mapScrollViewDidChangeWiderBoundingBoxSignificantlyToAnimated(
            *mapView_, mapView_->visibleArea()->widerBBox(), false);
}

std::optional<std::string>
CBMapStoreWorldMapViewcontroller::imageDataSourcePathForCachedImageWithUrl(CBImageDataSource&,
                                                                           const NSURL& url) {
    return CBMapStoreController::pathForCachedTileWithUrl(url.absoluteString());
}
