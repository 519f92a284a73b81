#pragma once

#include <memory>
#include <optional>
#include <string>

#include "CoreData/NSManagedObjectID.h"

class CBBookmarksManager;

// What the place screens ask of the map screen that opens them (the
// application's map screen, above the screens' libraries).
class CBPlacesHost {
  public:
    virtual ~CBPlacesHost() = default;
    // The bookmarks of the map shown; nullptr when there are none to keep.
    virtual std::shared_ptr<CBBookmarksManager> bookmarksManager() = 0;
    // The geo store the map shows and the style it draws with; nullopt
    // while no map is open.
    virtual std::optional<std::string> currentMapStorePath() = 0;
    virtual std::optional<std::string> currentStylePlistPath() = 0;
    // The name of the map shown (the city of addresses without one) and its
    // country, for contact cards.
    virtual std::optional<std::string> currentMapTitle() = 0;
    virtual std::optional<std::string> currentMapCountry() = 0;
    // Shows the object (at the address when given) on the map and brings the
    // map forward; a bookmark's object lives in the bookmark store.
    virtual void showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        const std::optional<NSManagedObjectID>& objectID,
        const std::optional<NSManagedObjectID>& addressID, bool isBookmark) = 0;
    // Closes the popover that holds a place screen on the pad.
    virtual void dismissPopoverAnimated(bool animated) = 0;
};
