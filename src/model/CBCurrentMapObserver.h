#pragma once

#include <string>

class CBCurrentMap;

// Told when the map shown changes under the screens that read it.
class CBCurrentMapObserver {
  public:
    virtual ~CBCurrentMapObserver() = default;
    // The map shown is about to close (an update replaces its files, or it
    // is deleted): its stores are still open, for the last time. What holds
    // its objects keeps their values now and lets them go.
    virtual void currentMapWillClose(CBCurrentMap& map) = 0;
    // Another map is shown, or the one shown was opened anew after an
    // update: what was read of the previous one (places, bookmarks,
    // articles) is stale.
    virtual void currentMapDidChange(CBCurrentMap& map) = 0;
    // The map shown was deleted: its stores are closed and nothing of it
    // may be read any more.
    virtual void currentMapDidClose(CBCurrentMap& map, const std::string& identifier) = 0;
};
