#pragma once

#include <memory>
#include <string>

class CBUserMapStoreEngine;
class CBMapStoreMap;

// What the installed-maps registry tells the objects that follow the
// installed maps and the current map; every message is optional and
// arrives on the main thread.
class CBUserMapStoreEngineDelegate {
  public:
    using Map = std::shared_ptr<CBMapStoreMap>;

    virtual ~CBUserMapStoreEngineDelegate() = default;

    virtual void userMapStoreChangeCurrentMapTo(CBUserMapStoreEngine&, const Map&) {}
    // A map was installed for the first time, or installed anew over an
    // older package.
    virtual void userMapStoreAddedMap(CBUserMapStoreEngine&, const Map&) {}
    virtual void userMapStoreUpdatedMap(CBUserMapStoreEngine&, const Map&) {}
    // The installed map's cover was stored and is now the map object's
    // cover; what showed a stand-in for it shows it again.
    virtual void userMapStoreStoredCoverForMap(CBUserMapStoreEngine&, const Map&) {}
    virtual void userMapStoreWillDeleteMap(CBUserMapStoreEngine&, const Map&) {}
    virtual void userMapStoreDidDeleteMapWithIdentifier(CBUserMapStoreEngine&, const std::string&) {
    }
};
