// The map screen's pins outlive the program: they are kept for the map on
// show and put back when the same map opens at the next start.
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
#include "mapkit/CBMapScrollView.h"

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

}  // namespace

void CBMapViewController::saveAnnotations() {
    const std::string map = mapView_->currentMapStorePath();
    if (map.empty())
        return;
    std::vector<CBMapAnnotationsStore::Entry> entries;
    for (const auto& annotation : mapView_->annotations()) {
        auto pin = std::dynamic_pointer_cast<CBBasicAnnotation>(annotation);
        if (!pin || displayModes_->isStopAnnotation(annotation))
            continue;
        CBMapAnnotationsStore::Entry entry;
        entry.coordinate = pin->coordinate();
        entry.title = pin->title();
        entry.subtitle = pin->subtitle();
        if (auto place = std::dynamic_pointer_cast<CBPlaceAnnotation>(pin)) {
            entry.isBookmark = place->isBookmark();
            if (const auto& address = place->result() ? place->result()->address() : nullptr)
                entry.addressURI = address->objectID().URIRepresentation();
        }
        if (auto object = std::dynamic_pointer_cast<CBGeoObjectAnnotation>(pin);
            object && object->object())
            entry.objectURI = object->object()->objectID().URIRepresentation();
        entries.push_back(std::move(entry));
    }
    annotationsStore_.saveEntriesForMap(map, entries);
}

// A place of the map data comes back as the place it was; one the data no
// longer has (the map was updated) as a pin with its texts.
void CBMapViewController::restoreAnnotations() {
    const std::string map = mapView_->currentMapStorePath();
    if (map.empty())
        return;
    std::vector<CBAnnotationRef> pins;
    for (const auto& entry : annotationsStore_.entriesForMap(map)) {
        auto manager = entry.isBookmark
                           ? std::static_pointer_cast<CBGeoDataManager>(currentMap_->bookmarks())
                           : mapView_->dataManager();
        if (auto object = objectForURI<CBGeoObject>(manager.get(), entry.objectURI)) {
            auto result = CBGeoSearchResult::geoSearchResultWithObjectAndAddress(
                object, objectForURI<CBGeoAddress>(manager.get(), entry.addressURI));
            auto place = std::make_shared<CBPlaceAnnotation>(result, entry.isBookmark);
            place->setTitle(result->title());
            place->setSubtitle(detailTextForResult(*result));
            pins.push_back(place);
            continue;
        }
        auto pin = std::make_shared<CBBasicAnnotation>(entry.coordinate);
        pin->setTitle(entry.title);
        pin->setSubtitle(entry.subtitle);
        pins.push_back(pin);
    }
    if (!pins.empty())
        mapView_->addAnnotationsCentered(pins, false);
}
