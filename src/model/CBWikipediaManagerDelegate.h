#pragma once

#include <string>

class CBWikipediaManager;
struct ZELDownloadStatus;

// What the Wikipedia manager tells the objects that follow the downloads of
// Wikipedia packages; every message is optional and arrives on the main
// thread.
class CBWikipediaManagerDelegate {
  public:
    virtual ~CBWikipediaManagerDelegate() = default;

    // The download of a map's package changed its phase, step or failure
    // (the status of downloadStatusForMapIdentifier: installed or nothing
    // once it has left the queue).
    virtual void wikipediaManagerDownloadStatusChangedToForMapWithIdentifier(
        CBWikipediaManager&, const ZELDownloadStatus&, const std::string&) {}
    // What the store's list says of the map's package changed (its answer
    // or failure arrived, or it is asked for again).
    virtual void wikipediaManagerPackageListChangedForMapWithIdentifier(CBWikipediaManager&,
                                                                        const std::string&) {}
    // Its progress moved.
    virtual void wikipediaManagerDownloadProgressChangedToForMapWithIdentifier(
        CBWikipediaManager&, const ZELDownloadStatus&, const std::string&) {}
};
