#pragma once

#include <string>

class CBCurrentMap;

// Told when the map shown changes under the screens that read it.
class CBCurrentMapObserver {
  public:
    virtual ~CBCurrentMapObserver() = default;
    // Another map is shown, or the one shown was put back by an update: what
    // was read of the previous one (places, bookmarks, articles) is stale.
    virtual void currentMapDidChange(CBCurrentMap& map) = 0;
    // The map shown was deleted: its stores are closed and nothing of it
    // may be read any more.
    virtual void currentMapDidClose(CBCurrentMap& map, const std::string& identifier) = 0;
};
