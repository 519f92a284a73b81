#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CBGeoData/CBGeoPlaceKey.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

// The places pinned on the map screen (search hits, places other screens
// show, dropped pins, the pins of links), kept in "annotations.plist" so the
// same map shows them again at the next start. The file holds the pins of
// one map, the one on show when it was written; it is always written whole
// and atomically. A file that cannot be read gives no pins and one log line,
// and the next save replaces it.
class CBMapAnnotationsStore {
  public:
    // One pinned place: where it is, its texts, and for a place of the map
    // data or a bookmark the URIs of its object and address, and what finds
    // the place again in another package of the map.
    struct Entry {
        CLLocationCoordinate2D coordinate{0, 0};
        std::optional<std::string> title;
        std::optional<std::string> subtitle;
        std::optional<std::string> objectURI;
        std::optional<std::string> addressURI;
        bool isBookmark = false;
        std::optional<CBGeoPlaceKey> place;

        bool operator==(const Entry&) const = default;
    };

    // <Documents>/annotations.plist.
    static std::string defaultPath();
    explicit CBMapAnnotationsStore(std::string path = defaultPath());

    const std::string& path() const { return path_; }
    // The pins kept for the map of that identifier: none for another map,
    // or when there is no file or it cannot be read.
    std::vector<Entry> entriesForMap(const std::string& mapIdentifier) const;
    // Replaces the file with the pins of that map; false (logged) when it
    // cannot be written, the old file then being left as it was.
    bool saveEntriesForMap(const std::string& mapIdentifier, const std::vector<Entry>& entries);

  private:
    std::string path_;
};
