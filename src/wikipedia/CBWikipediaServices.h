#pragma once

#include <memory>
#include <optional>
#include <string>

class CBCurrentMap;
class CBUserMapStoreEngine;
class CBWikipediaHost;
class CBWikipediaManager;
class ZELDownloadManagerEngine;

// What a Wikipedia screen is handed by whoever opens it, and hands on to
// the screens it opens: the main map's verbs (the host, held weakly: the
// application outlives its screens), the Wikipedia manager, the download
// engine, the installed-maps registry, and the current map (whose open map
// the walks' small maps show). A member left empty takes away only what
// needs it.
struct CBWikipediaServices {
    std::weak_ptr<CBWikipediaHost> host;
    std::shared_ptr<CBWikipediaManager> manager;
    std::shared_ptr<ZELDownloadManagerEngine> downloads;
    std::shared_ptr<CBUserMapStoreEngine> registry;
    // Read each time, so that a screen follows the map shown. Without it the
    // registry's current map is the one, and the walks show no map.
    std::shared_ptr<CBCurrentMap> currentMap;

    std::optional<std::string> currentMapIdentifier() const;
    // The current map's title (the name of its main city for a map not
    // installed); the registry's without a current map.
    std::optional<std::string> currentMapTitle() const;
};
