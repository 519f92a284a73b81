#pragma once

#include <string>
#include <vector>

// The map store server's folder made from the sample packages:
//   mapStore.zip (mapStore.sqlite), map/<code>/<id>.zip,
//   map/<CODE>_master_Stats.plist, mapCovers/<CODE>/<id>.jpg,
//   serverNotification/serverNotification.<lang>.bin and notice.<lang>.html,
// and for the application bundle mapStore.sqlite,
// <lang>.lproj/countrycodes.strings, the offline place list gazetteer.tsv
// and the groups' pictures continents/cont_<code>.png.
struct StoreContentRequest {
    std::string packagesDirectory;   // <id>/<id>.sqlite and <id>.zip of each sample
    std::string worldAtlas;          // TopoJSON country outlines
    std::string catalogueModel;      // CBMapStore.model
    std::string geoModel;            // CBGeoObject.model
    std::string typeTable;           // CBGeoTypes.plist
    std::string rootDirectory;       // the server's folder, replaced whole
    std::string resourcesDirectory;  // generated bundle resources
};

class StoreContent {
  public:
    // The main bundle must be the application bundle (for the covers).
    // false with *error; the root is then left as it was.
    static bool build(const StoreContentRequest& request, std::string* error);
};
