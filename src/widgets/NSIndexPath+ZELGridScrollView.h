#pragma once

#include <optional>

#include "Foundation/NSIndexPath.h"

// Index paths of grid cells: (grid section, cell index).

// nullopt when either index is negative.
std::optional<NSIndexPath> indexPathForCellIndexInGridSection(long cellIndex, long section);
// The cell's index within its grid section (the path's second index).
inline long cellIndex(const NSIndexPath& path) {
    return path.row;
}
