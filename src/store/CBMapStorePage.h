#pragma once

#include <memory>

class CBMapStoreDetailVC;
class CBMapStoreMap;
class CBUserMapStoreEngine;
class CBWikipediaManager;
class UIViewController;
class ZELDownloadManagerEngine;

// A map's page of the store opened from outside the store (the shelf's
// information on a map, the map screen's switcher to a map not installed):
// its detail screen, with a catalogue engine of its own, in a navigation
// controller presented over the opener, closed by its Done button. Nothing
// opens without a map or a download engine.
class CBMapStorePage {
  public:
    static std::shared_ptr<CBMapStoreDetailVC> presentOverViewController(
        UIViewController& opener, std::shared_ptr<CBMapStoreMap> map,
        std::shared_ptr<ZELDownloadManagerEngine> downloads,
        std::shared_ptr<CBUserMapStoreEngine> registry,
        std::shared_ptr<CBWikipediaManager> wikipediaManager);
};
