#pragma once

#include "packages/CBUserMapStoreEngine.h"

// The installed-maps registry's step after an install: the new map's low and
// middle zoom levels are rendered into the tile cache for the main screen
// (an update's old tiles cleared first), so that its first look is fast. It
// draws with a renderer of its own and builds no view; progress and the end
// are reported on the main thread. A map whose store cannot be opened is
// done at once.
CBUserMapStoreEngine::PostInstallStep CBInstalledMapPrefillStep();

// The registry's step after a map is deleted: its rendered tiles leave the
// tile cache, files and index alike.
CBUserMapStoreEngine::DeletedMapStep CBDeletedMapTilesStep();

// The registry's step before a map's files are deleted or replaced: the map
// is closed where it is open; the views showing it open the new files or
// show none.
CBUserMapStoreEngine::ReleaseMapStep CBReleaseOpenMapStep();
