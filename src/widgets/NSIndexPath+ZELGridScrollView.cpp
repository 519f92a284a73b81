#include "widgets/NSIndexPath+ZELGridScrollView.h"

std::optional<NSIndexPath> indexPathForCellIndexInGridSection(long cellIndex, long section) {
    if (cellIndex < 0 || section < 0)
        return std::nullopt;
    return NSIndexPath::indexPathForRowInSection(cellIndex, section);
}
