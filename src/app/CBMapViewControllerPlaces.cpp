// The places the map screen shows: objects by their IDs, annotations handed
// over by other screens, and the points of kelvara2 links.
#include <algorithm>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSStringFormat.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIScreen.h"
#include "app/CBKelvaraLink.h"
#include "app/CBMapDisplayModeManager.h"
#include "app/CBMapViewController.h"
#include "app/CBPlaceAnnotation.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "widgets/CBScreenToolbar.h"

void CBMapViewController::showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
    const std::optional<NSManagedObjectID>& objectID,
    const std::optional<NSManagedObjectID>& addressID, bool isBookmark) {
    if (!objectID)
        return;
    removePlaceAnnotations();
    // A bookmark's object lives in the bookmark store of the map shown.
    std::shared_ptr<CBGeoDataManager> manager =
        isBookmark ? std::static_pointer_cast<CBGeoDataManager>(currentMap_->bookmarks())
                   : mapView_->dataManager();
    auto context = manager ? manager->managedObjectContext() : nullptr;
    auto object =
        context ? std::dynamic_pointer_cast<CBGeoObject>(context->existingObjectWithID(*objectID))
                : nullptr;
    if (!object) {
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: no geo object %s in the %s",
                       objectID->URIRepresentation().c_str(),
                       isBookmark ? "bookmarks of the open map" : "open map");
        return;
    }
    auto address =
        addressID
            ? std::dynamic_pointer_cast<CBGeoAddress>(context->existingObjectWithID(*addressID))
            : nullptr;
    showPlace(CBGeoSearchResult::geoSearchResultWithObjectAndAddress(object, address), isBookmark);
}

std::shared_ptr<CBPlaceAnnotation> CBMapViewController::showPlace(
    const std::shared_ptr<CBGeoSearchResult>& place, bool isBookmark) {
    if (!place || !place->object())
        return nullptr;
    // A hit found at one of its addresses is pinned there.
    auto pin = std::make_shared<CBPlaceAnnotation>(place, isBookmark);
    pin->setTitle(place->title());
    pin->setSubtitle(detailTextForResult(*place));
    // The screens over the map make way, so the place is seen (and what was
    // tapped there cannot be tapped twice).
    presentAnnotationsCentered({pin}, false);
    mapView_->moveToCoordinateAnimated(pin->coordinate(), false);
    selectWhenShown(pin);
    return pin;
}

void CBMapViewController::presentAnnotationsCentered(
    const std::vector<CBAnnotationRef>& annotations, bool centered) {
    mapView_->userLocationFollower()->setCentersOnUserLocation(false);
    removePlaceAnnotations();
    std::weak_ptr<CBMapViewController> weak =
        std::static_pointer_cast<CBMapViewController>(shared_from_this());
    auto add = [weak, annotations](bool centre) {
        if (auto me = weak.lock(); me && !annotations.empty())
            me->mapView_->annotationsHost()->addAnnotationsCentered(annotations, centre);
    };
    // A screen over the map goes first; the places appear once it has gone.
    if (presentedViewController() && !popover_) {
        dismissViewControllerAnimatedCompletion(true, [add, centered] { add(centered); });
        return;
    }
    if (popover_) {
        dismissPopoverAnimated(true);
        add(centered);
        return;
    }
    // Screens pushed over the map: the map shows the places' area once it is
    // back in sight.
    if (auto navigation = navigationController();
        navigation && navigation->viewControllers().size() > 1) {
        if (centered)
            boxToShowOnAppearance_ =
                CBMapAnnotationsHost::boundingBoxForAnnotationsInArray(annotations);
        navigation->popToRootViewControllerAnimated(true);
        add(false);
        return;
    }
    add(centered);
}

// Screens over the map bring their own toolbar; the map has none.
void CBMapViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    CBScreenToolbar::setHidden(*this, true, animated);
}

void CBMapViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    showWaitingMessage();
    if (boxToShowOnAppearance_) {
        mapView_->zoomToBoundingBoxAnimated(boxToShowOnAppearance_, animated);
        boxToShowOnAppearance_.reset();
    }
}

// The stops of a transport mode are part of the mode, not places shown.
void CBMapViewController::removePlaceAnnotations() {
    std::vector<CBAnnotationRef> places;
    for (const auto& annotation : mapView_->annotationsHost()->annotations())
        if (!displayModes_->isStopAnnotation(annotation))
            places.push_back(annotation);
    mapView_->annotationsHost()->removeAnnotations(places);
}

std::vector<std::string> CBMapViewController::objectAnnotationIdentifiers() const {
    std::vector<std::string> identifiers;
    for (const auto& annotation : mapView_->annotationsHost()->annotations())
        if (std::dynamic_pointer_cast<CBGeoObjectAnnotation>(annotation) &&
            !displayModes_->isStopAnnotation(annotation))
            identifiers.push_back(annotation->uniqueIdentifier().value_or(""));
    return identifiers;
}

bool CBMapViewController::holdsCoordinate(CLLocationCoordinate2D coordinate) const {
    auto map = registry_ ? registry_->mapIncludingCoordinate(coordinate) : nullptr;
    if (CBCurrentMap::installedStorePath(map))
        return true;
    auto box = mapView_->layout()->mapBoundingBox();
    return hasMap() && box && box->includesCoordinate(coordinate);
}

bool CBMapViewController::openLink(const CBKelvaraLink& link) {
    if (!holdsCoordinate(link.coordinate)) {
        showMessage(NSLocalizedString("LinkNotOnYourMapsTitle"),
                    NSLocalizedString("LinkNotOnYourMapsMessage"));
        return false;
    }
    // The link opens on the map: the screens over it close before it switches.
    closeScreensOverMap();
    auto map = registry_ ? registry_->mapIncludingCoordinate(link.coordinate) : nullptr;
    if (auto path = CBCurrentMap::installedStorePath(map)) {
        if (registry_->currentMapIdentifier() != map->identifier())
            registry_->setCurrentMap(map);
        if (shownStorePath() != *path)
            openMapWithStorePath(*path);
    }
    if (link.zoomLevel && (*link.zoomLevel < mapView_->layout()->minimumZoomLevel() ||
                           *link.zoomLevel > mapView_->layout()->maximumZoomLevel())) {
        showMessage(NSLocalizedString("LinkCannotOpenTitle"),
                    NSLocalizedFormat("LinkZoomOutsideMapFormat",
                                      {*link.zoomLevel, mapView_->layout()->minimumZoomLevel(),
                                       mapView_->layout()->maximumZoomLevel()}));
        return false;
    }
    if (link.placemarker) {
        auto pin = std::make_shared<CBBasicAnnotation>(link.coordinate);
        if (link.placeName)
            pin->setTitle(*link.placeName);
        presentAnnotationsCentered({pin}, false);
        if (link.placeName) {
            selectWhenShown(pin);
            showLinkedPlaceInsteadOfPin(pin, *link.placeName);
        }
    }
    showCoordinateAtZoomLevel(link.coordinate,
                              link.zoomLevel.value_or(mapView_->layout()->nativeZoomLevel()));
    linkOnStandIn_.reset();
    if (registry_ && shownStorePath() == fallbackStorePath_)
        linkOnStandIn_ = link;
    return true;
}

// A link that names the place at its point shows that place when the map
// has it there, as a search hit would: its pin tells its kind and locality.
void CBMapViewController::showLinkedPlaceInsteadOfPin(const std::shared_ptr<CBBasicAnnotation>& pin,
                                                      const std::string& name) {
    std::weak_ptr<CBMapViewController> weak =
        std::static_pointer_cast<CBMapViewController>(shared_from_this());
    std::weak_ptr<CBBasicAnnotation> weakPin = pin;
    mapView_->searchForClosestObjectToWithCompletionBlock(
        pin->coordinate(), [weak, weakPin, name](const std::shared_ptr<CBGeoObject>& object) {
            auto me = weak.lock();
            auto shown = weakPin.lock();
            if (!me || !shown || !object || object->name() != name)
                return;
            // Something else was shown in the meantime.
            const auto annotations = me->mapView_->annotationsHost()->annotations();
            if (std::find(annotations.begin(), annotations.end(), shown) == annotations.end())
                return;
            me->showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
                object->objectID(), std::nullopt, false);
            for (const auto& annotation : me->mapView_->annotationsHost()->annotations())
                if (!me->displayModes_->isStopAnnotation(annotation))
                    me->selectWhenShown(annotation);
        });
}

// The map's native levels count screen pixels: on a 2x screen a zoom scale
// shows one level more than on a 1x screen.
float CBMapViewController::zoomScaleForNativeZoomLevel(int level) const {
    const CGFloat screenScale = UIScreen::mainScreen()->scale();
    return mapView_->layout()->scaleForNativeZoomlevel(level) /
           float(screenScale > 0 ? screenScale : 1);
}

void CBMapViewController::showCoordinateAtZoomLevel(CLLocationCoordinate2D coordinate, int level) {
    level = std::clamp(level, mapView_->layout()->minimumZoomLevel(),
                       mapView_->layout()->maximumZoomLevel());
    mapView_->setZoomScale(zoomScaleForNativeZoomLevel(level));
    mapView_->moveToCoordinateAnimated(coordinate, false);
}

// The annotation's view exists once the map has laid its annotations out.
void CBMapViewController::selectWhenShown(const CBAnnotationRef& annotation) {
    std::weak_ptr<CBMapScrollView> map = mapView_;
    DispatchQueue::main()->async([map, annotation] {
        if (auto view = map.lock()) {
            view->layoutIfNeeded();
            view->annotationsHost()->selectAnnotationAnimated(annotation, false);
        }
    });
}
