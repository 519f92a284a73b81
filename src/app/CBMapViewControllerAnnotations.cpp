// The map screen's pins outlive the program: they are kept for the map on
// show and put back when the same map opens at the next start. They outlive
// the files of their map too: taken off as values before an update closes
// it, they are found again in the new package.
#include <algorithm>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "app/CBMapAnnotationsStore.h"
#include "app/CBMapDisplayModeManager.h"
#include "app/CBMapViewController.h"
#include "app/CBPlaceAnnotation.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBOpenMap.h"

namespace {

// The object of a URI in the manager's main context, if it is still there.
template <class T>
std::shared_ptr<T> objectForURI(CBGeoDataManager* manager, const std::optional<std::string>& uri) {
    auto coordinator = manager && uri ? manager->persistentStoreCoordinator() : nullptr;
    auto context = coordinator ? manager->managedObjectContext() : nullptr;
    if (!context)
        return nullptr;
    const NSManagedObjectID id = coordinator->managedObjectIDForURIRepresentation(*uri);
    return id.isNull() ? nullptr : std::dynamic_pointer_cast<T>(context->existingObjectWithID(id));
}

// Whether the object's store is still open: an object of a closed store is
// never read, not even its identity (its model may be gone).
bool isReadable(const NSManagedObject& object) {
    auto context = object.managedObjectContext();
    auto coordinator = context ? context->persistentStoreCoordinator() : nullptr;
    const auto& store = object.objectID().persistentStore();
    if (!coordinator || !store)
        return false;
    const auto stores = coordinator->persistentStores();
    return std::find(stores.begin(), stores.end(), store) != stores.end();
}

}  // namespace

CBMapAnnotationsStore::Entry CBMapViewController::entryForPin(const CBBasicAnnotation& pin) const {
    CBMapAnnotationsStore::Entry entry;
    entry.coordinate = pin.coordinate();
    entry.title = pin.title();
    entry.subtitle = pin.subtitle();
    std::shared_ptr<CBGeoSearchResult> result;
    if (auto place = dynamic_cast<const CBPlaceAnnotation*>(&pin)) {
        entry.isBookmark = place->isBookmark();
        result = place->result();
    } else if (auto object = dynamic_cast<const CBGeoObjectAnnotation*>(&pin)) {
        result = CBGeoSearchResult::geoSearchResultWithObject(object->object());
    }
    if (!result || !isReadable(*result->object()))
        return entry;
    const auto bookmarks = currentMap_->bookmarks();
    entry.isBookmark = entry.isBookmark || (bookmarks && result->object()->managedObjectContext() ==
                                                             bookmarks->managedObjectContext());
    entry.objectURI = result->object()->objectID().URIRepresentation();
    if (const auto& address = result->address())
        entry.addressURI = address->objectID().URIRepresentation();
    if (!entry.isBookmark)
        entry.place = CBGeoPlaceKey::ofResult(*result);
    return entry;
}

// Places, dropped pins and the pins of links: not the stops a transit mode
// shows.
std::vector<std::shared_ptr<CBBasicAnnotation>> CBMapViewController::pins() const {
    std::vector<std::shared_ptr<CBBasicAnnotation>> pins;
    for (const auto& annotation : mapView_->annotationsHost()->annotations()) {
        auto pin = std::dynamic_pointer_cast<CBBasicAnnotation>(annotation);
        if (pin && !displayModes_->isStopAnnotation(annotation))
            pins.push_back(std::move(pin));
    }
    return pins;
}

std::vector<CBMapAnnotationsStore::Entry> CBMapViewController::pinEntries() const {
    std::vector<CBMapAnnotationsStore::Entry> entries;
    for (const auto& pin : pins())
        entries.push_back(entryForPin(*pin));
    return entries;
}

// A place of the map data comes back as the place it was, found by its
// object or, in another package of the map, by its kind, name and position;
// one the data no longer has as a pin with its texts.
CBAnnotationRef CBMapViewController::pinForEntry(const CBMapAnnotationsStore::Entry& entry) {
    auto manager = entry.isBookmark
                       ? std::static_pointer_cast<CBGeoDataManager>(currentMap_->bookmarks())
                       : mapView_->dataManager();
    std::shared_ptr<CBGeoSearchResult> result;
    if (auto object = objectForURI<CBGeoObject>(manager.get(), entry.objectURI))
        result = CBGeoSearchResult::geoSearchResultWithObjectAndAddress(
            object, objectForURI<CBGeoAddress>(manager.get(), entry.addressURI));
    else if (manager && entry.place && !entry.isBookmark)
        result = manager->findPlaceWithKey(*entry.place);
    if (result) {
        auto place = std::make_shared<CBPlaceAnnotation>(result, entry.isBookmark);
        place->setTitle(result->title());
        place->setSubtitle(detailTextForResult(*result));
        return place;
    }
    auto pin = std::make_shared<CBBasicAnnotation>(entry.coordinate);
    pin->setTitle(entry.title);
    pin->setSubtitle(entry.subtitle);
    return pin;
}

void CBMapViewController::saveAnnotations() {
    if (keptPins_) {
        annotationsStore_.saveEntriesForMap(keptPins_->mapIdentifier, keptPins_->entries);
        return;
    }
    const std::string map = mapView_->currentMapStorePath();
    if (!map.empty())
        annotationsStore_.saveEntriesForMap(map, pinEntries());
}

void CBMapViewController::restoreAnnotations() {
    const std::string map = mapView_->currentMapStorePath();
    if (map.empty())
        return;
    keptPins_ = KeptPins{map, annotationsStore_.entriesForMap(map)};
    putKeptPinsBack();
}

void CBMapViewController::takePinsOffMap() {
    const std::string map = mapView_->currentMapStorePath();
    if (keptPins_ || map.empty())
        return;
    keptPins_ = KeptPins{map, pinEntries()};
    const auto taken = pins();
    mapView_->annotationsHost()->removeAnnotations({taken.begin(), taken.end()});
}

// Pins kept for another map than the one that opened went with theirs.
void CBMapViewController::putKeptPinsBack() {
    auto shown = mapView_->openMap();
    if (!keptPins_ || !shown || shown->isClosed())
        return;
    const auto kept = std::exchange(keptPins_, std::nullopt);
    if (mapView_->currentMapStorePath() != kept->mapIdentifier)
        return;
    std::vector<CBAnnotationRef> back;
    for (const auto& entry : kept->entries)
        back.push_back(pinForEntry(entry));
    if (!back.empty())
        mapView_->annotationsHost()->addAnnotationsCentered(back, false);
}
