#pragma once

#include <optional>

#include "CoreData/NSManagedObjectID.h"

// What the place screens ask of the map screen that opens them (the
// application's map screen, above the screens' libraries): verbs on the main
// map. The map itself they are handed as the current map (CBCurrentMap).
class CBPlacesHost {
  public:
    virtual ~CBPlacesHost() = default;
    // Shows the object (at the address when given) on the map and brings the
    // map forward; a bookmark's object lives in the bookmark store.
    virtual void showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        const std::optional<NSManagedObjectID>& objectID,
        const std::optional<NSManagedObjectID>& addressID, bool isBookmark) = 0;
    // Closes the popover that holds a place screen on the pad.
    virtual void dismissPopoverAnimated(bool animated) = 0;
};
