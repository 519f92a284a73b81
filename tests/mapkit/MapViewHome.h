#pragma once

#include "Foundation/NSPathUtilities.h"
#include "MapkitTestSupport.h"

// Map views save their visible area in the caches folder when they go away:
// while a test lives, the application's home is a temporary folder.
class MapViewHome {
  public:
    MapViewHome() { NSSetApplicationHome(folder_.path()); }
    ~MapViewHome() { NSSetApplicationHome(""); }
    const TemporaryFolder& folder() const { return folder_; }

  private:
    TemporaryFolder folder_;
};
