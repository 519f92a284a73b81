#pragma once

#include <memory>
#include <string>

class CBUserMapStoreEngine;
class CBMapStoreMap;
struct ZELDownloadStatus;

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
    // A validated update of an installed map is about to replace its files:
    // the map closes right after (what holds objects of it lets them go).
    virtual void userMapStoreWillUpdateMap(CBUserMapStoreEngine&, const Map&) {}
    virtual void userMapStoreUpdatedMap(CBUserMapStoreEngine&, const Map&) {}
    // The installed map's cover was stored and is now the map object's
    // cover; what showed a stand-in for it shows it again.
    virtual void userMapStoreStoredCoverForMap(CBUserMapStoreEngine&, const Map&) {}
    // The download of a map changed its phase, step or failure (the status
    // of downloadStatusForMapIdentifier: installed or nothing once it has
    // left the queue).
    virtual void userMapStoreDownloadStatusChangedToForMapWithIdentifier(CBUserMapStoreEngine&,
                                                                         const ZELDownloadStatus&,
                                                                         const std::string&) {}
    // Its progress moved.
    virtual void userMapStoreDownloadProgressChangedToForMapWithIdentifier(CBUserMapStoreEngine&,
                                                                           const ZELDownloadStatus&,
                                                                           const std::string&) {}
    virtual void userMapStoreWillDeleteMap(CBUserMapStoreEngine&, const Map&) {}
    virtual void userMapStoreDidDeleteMapWithIdentifier(CBUserMapStoreEngine&, const std::string&) {
    }
};
