#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

class CBUserMapStoreEngine;
class CBWikipediaHost;
class CBWikipediaManager;
class ZELDownloadManagerEngine;

// The map the Wikipedia screens show: its identifier and short title.
struct CBWikipediaMapRecord {
    std::string identifier;
    std::string title;
};

// What a Wikipedia screen is handed by whoever opens it, and hands on to
// the screens it opens: the main map's verbs (the host, held weakly: the
// application outlives its screens), the Wikipedia manager, the download
// engine, the installed-maps registry, and the map shown. A member left
// empty takes away only what needs it.
struct CBWikipediaServices {
    std::weak_ptr<CBWikipediaHost> host;
    std::shared_ptr<CBWikipediaManager> manager;
    std::shared_ptr<ZELDownloadManagerEngine> downloads;
    std::shared_ptr<CBUserMapStoreEngine> registry;
    // Asked each time, so that a screen follows the map shown; nullopt while
    // there is none. Without it the registry's current map is the one.
    std::function<std::optional<CBWikipediaMapRecord>()> currentMap;

    std::optional<std::string> currentMapIdentifier() const;
    std::optional<std::string> currentMapTitle() const;
};
