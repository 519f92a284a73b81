#pragma once

// The one delegate of a catalogue engine: told before and after an updated
// catalogue replaces the one in use (its objects are gone afterwards).
class CBMapStoreEngineDelegate {
  public:
    virtual ~CBMapStoreEngineDelegate() = default;
    virtual void mapStoreWillUpdate() {}
    virtual void mapStoreUpdated() {}
};
