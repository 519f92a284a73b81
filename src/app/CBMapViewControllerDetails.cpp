// The map screen and the places: it opens the detail screen of what it
// pins and of a pin dropped with tap and hold, answers that screen as its
// host, and keeps the bookmarks of the map it shows.
#include <filesystem>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject+BookmarkAdditions.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIPopoverController.h"
#include "app/CBMapDisplayModeManager.h"
#include "app/CBMapViewController.h"
#include "app/CBPlaceAnnotation.h"
#include "mapkit/CBAnnotationCalloutView.h"
#include "mapkit/CBAnnotationView.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapMagnifier.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBPinAnnotationView.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "places/CBGeoObjectDetailVC.h"
#include "wikipedia/CBWikipediaArticleAnnotation.h"

namespace {

constexpr const char* kPlacePinIdentifier = "CBPlacePin";
constexpr CGSize kPlacePopoverSize{320, 600};

bool isPad() {
    return UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad;
}

}  // namespace

// A store that could not be read, or was set aside, is said once.
void CBMapViewController::tellBookmarksState(std::optional<CBBookmarksManager::StoreState> state) {
    if (!state)
        return;
    if (*state == CBBookmarksManager::StoreState::Unreadable)
        showMessage(NSLocalizedString("BookmarksUnreadableTitle"),
                    NSLocalizedString("BookmarksUnreadableMessage"));
    else if (auto aside = currentMap_->bookmarks()->takeSetAsideStore())
        showMessage(NSLocalizedString("BookmarksSetAsideTitle"),
                    NSLocalizedString(aside->removedCopies.empty()
                                          ? "BookmarksSetAsideMessage"
                                          : "BookmarksSetAsideRemovedCopiesMessage"));
}

// What shows places of the map goes while its stores are still open: the
// screens over it, the search's hits, a transit mode's stops; its pins are
// kept as values.
void CBMapViewController::currentMapWillClose(CBCurrentMap&) {
    if (!isViewLoaded())
        return;
    closeScreensOverMap();
    forgetSearchResults();
    searchDisplay_->setActive(false);
    displayModes_->mapDidChange();
    updateDisplayModeLabel();
    takePinsOffMap();
}

// The map shown opened anew after an update: the view leaves the closed
// files for the new ones, where the pins are found again.
void CBMapViewController::currentMapDidChange(CBCurrentMap& map) {
    if (!isViewLoaded())
        return;
    if (map.openMap() && map.openMap() != mapView_->openMap() && map.storePath())
        openMapWithStorePath(*map.storePath());
    putKeptPinsBack();
}

// The screens over a deleted map go with it, and so do its pins; the map
// view lets it go before its files do.
void CBMapViewController::currentMapDidClose(CBCurrentMap&, const std::string&) {
    closeScreensOverMap();
    keptPins_.reset();
    mapView_->setOpenMap(nullptr);
    reloadNearbyMaps();
}

// Places of the map data and of the user: not the stops a transport mode
// draws, which select to show their routes.
bool CBMapViewController::isPlaceAnnotation(const CBAnnotationRef& annotation) {
    return std::dynamic_pointer_cast<CBBasicAnnotation>(annotation) != nullptr;
}

std::shared_ptr<UIButton> CBMapViewController::detailsButton() const {
    auto button = UIButton::buttonWithType(UIButtonTypeDetailDisclosure);
    button->setAccessibilityLabel(NSLocalizedString("Details"));
    return button;
}

// The pins of places, with the button that opens their details; every
// callout loses its controls once shown, so selecting gives them again.
void CBMapViewController::mapScrollViewDidSelectAnnotationView(
    CBMapScrollView& map, const std::shared_ptr<CBAnnotationView>& view) {
    auto annotation = map.annotationsHost()->selectedAnnotation();
    auto stop = std::dynamic_pointer_cast<CBGeoObjectAnnotation>(annotation);
    if (stop && displayModes_->isStopAnnotation(stop))
        displayModes_->highlightRoutesOfStop(stop->object());
    if (view && isPlaceAnnotation(annotation))
        view->setRightCalloutAccessoryView(detailsButton());
    addArticleButtonToCallout(annotation, view);
}

void CBMapViewController::mapScrollViewAnnotationViewCalloutAccessoryControlTapped(
    CBMapScrollView& map, const std::shared_ptr<CBAnnotationView>&,
    const std::shared_ptr<CBAnnotationCalloutView>&, const std::shared_ptr<UIControl>& control) {
    if (!control)
        return;
    auto annotation = map.annotationsHost()->selectedAnnotation();
    if (std::dynamic_pointer_cast<CBWikipediaArticleAnnotation>(annotation))
        openArticleOfAnnotation(annotation);
    else
        openDetailsForAnnotation(annotation);
}

void CBMapViewController::mapScrollViewGotTapAndHoldAtPointAndCoordinate(
    CBMapScrollView& map, CGPoint, CLLocationCoordinate2D coordinate) {
    if (hasMap())
        map.annotationsHost()->magnifyCoordinate(coordinate);
}

std::shared_ptr<UIControl> CBMapViewController::mapScrollViewControlForMagnifierWithAnnotation(
    CBMapScrollView&, const CBAnnotationRef& annotation) {
    return isPlaceAnnotation(annotation) ? detailsButton() : nullptr;
}

void CBMapViewController::mapScrollViewTappedControlOfMagnifierWithAnnotation(
    CBMapScrollView& map, const std::shared_ptr<UIControl>&, const CBAnnotationRef& annotation) {
    // The loupe forgets its place as it closes.
    const CBAnnotationRef place = annotation;
    map.annotationsHost()->hideMagnifier(true);
    openDetailsForAnnotation(place);
}

bool CBMapViewController::openDetailsForAnnotation(const CBAnnotationRef& annotation) {
    auto screen = CBGeoObjectDetailVC::initWithDefaultNib(
        std::static_pointer_cast<CBMapViewController>(shared_from_this()), currentMap_);
    screen->setDataManager(mapView_->dataManager());
    screen->setIsOnMap(true);
    if (auto place = std::dynamic_pointer_cast<CBPlaceAnnotation>(annotation)) {
        screen->setObject(place->result());
    } else if (auto object = std::dynamic_pointer_cast<CBGeoObjectAnnotation>(annotation);
               object && object->object()) {
        screen->setObject(CBGeoSearchResult::geoSearchResultWithObject(object->object()));
    } else if (auto pin = std::dynamic_pointer_cast<CBBasicAnnotation>(annotation)) {
        // The pin on the map stays as it is until the new one is saved.
        auto kept = std::make_shared<CBBasicAnnotation>(pin->coordinate());
        kept->setTitle(pin->title());
        kept->setSubtitle(pin->subtitle());
        screen->setAnnotationForNewBookmark(kept);
    } else {
        return false;
    }
    std::shared_ptr<UIView> anchor;
    if (auto callout = mapView_->annotationsHost()->currentCalloutView();
        callout && !callout->isHidden())
        anchor = std::static_pointer_cast<UIView>(callout);
    presentPlaceScreen(screen, anchor ? anchor : mapView_);
    return true;
}

void CBMapViewController::presentPlaceScreen(const std::shared_ptr<CBGeoObjectDetailVC>& screen,
                                             const std::shared_ptr<UIView>& anchor) {
    if (!isPad()) {
        if (auto navigation = navigationController())
            navigation->pushViewControllerAnimated(screen, true);
        return;
    }
    dismissPopoverAnimated(false);
    popover_ =
        std::make_shared<UIPopoverController>(std::make_shared<UINavigationController>(screen));
    popover_->setPopoverContentSize(kPlacePopoverSize);
    popover_->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(
        anchor->bounds(), anchor, UIPopoverArrowDirectionAny, true);
}

std::shared_ptr<CBGeoObjectDetailVC> CBMapViewController::placeScreen() const {
    std::shared_ptr<UINavigationController> navigation;
    if (popover_ && popover_->isPopoverVisible())
        navigation =
            std::dynamic_pointer_cast<UINavigationController>(popover_->contentViewController());
    else
        navigation = navigationController();
    if (!navigation)
        return nullptr;
    for (const auto& screen : navigation->viewControllers())
        if (auto place = std::dynamic_pointer_cast<CBGeoObjectDetailVC>(screen))
            return place;
    return nullptr;
}

void CBMapViewController::closeScreensOverMap() {
    dismissPopoverAnimated(false);
    if (presentedViewController())
        dismissViewControllerAnimatedCompletion(false, nullptr);
    if (auto navigation = navigationController();
        navigation && navigation->viewControllers().size() > 1)
        navigation->popToRootViewControllerAnimated(false);
}

// The bookmark's pin goes; a bookmark of a map place leaves that place pinned.
void CBMapViewController::bookmarkManagerWillDeleteBookmark(
    CBBookmarksManager&, const std::shared_ptr<CBGeoSearchResult>& bookmark) {
    if (!bookmark || !bookmark->object())
        return;
    std::vector<CBAnnotationRef> pins;
    for (const auto& annotation : mapView_->annotationsHost()->annotations())
        if (auto object = std::dynamic_pointer_cast<CBGeoObjectAnnotation>(annotation);
            object && object->object() == bookmark->object())
            pins.push_back(annotation);
    if (pins.empty())
        return;
    mapView_->annotationsHost()->removeAnnotations(pins);
    if (isUserGeneratedBookmark(*bookmark->object()))
        return;
    auto manager = mapView_->dataManager();
    if (auto place =
            manager ? manager->findSimilarObjectToObjectFromOtherContext(bookmark) : nullptr) {
        auto pin = std::make_shared<CBPlaceAnnotation>(place, false);
        pin->setTitle(place->title());
        pin->setSubtitle(detailTextForResult(*place));
        mapView_->annotationsHost()->addAnnotationCentered(pin, false);
    }
}
