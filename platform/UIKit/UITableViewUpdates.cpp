#include "UIKit/UITableView.h"

#include <algorithm>
#include <iterator>

#include "Foundation/NSLog.h"

// Row and section changes reload the table; the selection follows its rows.

void UITableView::reloadData() {
    selected_.clear();
    reloadKeepingSelection([](const NSIndexPath& path) { return path; });
}

void UITableView::reloadKeepingSelection(
    const std::function<std::optional<NSIndexPath>(const NSIndexPath&)>& shift) {
    std::set<NSIndexPath> selection;
    for (const NSIndexPath& path : selected_) {
        if (auto moved = shift(path)) {
            selection.insert(*moved);
        }
    }
    selected_ = std::move(selection);
    confirmingDelete_.reset();
    touchedRow_.reset();
    if (updateDepth_ > 0) {
        reloadPending_ = true;
        return;
    }
    recycleAllCells();
    rebuildGeometry();
    std::erase_if(selected_, [this](const NSIndexPath& path) { return !validPath(path); });
    setNeedsLayout();
}

void UITableView::beginUpdates() {
    ++updateDepth_;
}

void UITableView::endUpdates() {
    if (updateDepth_ == 0) {
        NSLogWithLevel(NSLogLevel::Error, "UITableView: endUpdates without beginUpdates");
        return;
    }
    if (--updateDepth_ == 0 && reloadPending_) {
        reloadPending_ = false;
        reloadKeepingSelection([](const NSIndexPath& path) { return path; });
    }
}

void UITableView::insertRowsAtIndexPathsWithRowAnimation(const std::vector<NSIndexPath>& paths,
                                                         UITableViewRowAnimation) {
    std::vector<NSIndexPath> sorted = paths;
    std::sort(sorted.begin(), sorted.end());
    reloadKeepingSelection([&](const NSIndexPath& path) -> std::optional<NSIndexPath> {
        NSIndexPath moved = path;
        for (const NSIndexPath& inserted : sorted) {
            if (inserted.section == moved.section && inserted.row <= moved.row) {
                ++moved.row;
            }
        }
        return moved;
    });
}

void UITableView::deleteRowsAtIndexPathsWithRowAnimation(const std::vector<NSIndexPath>& paths,
                                                         UITableViewRowAnimation) {
    const std::set<NSIndexPath> deleted(paths.begin(), paths.end());
    reloadKeepingSelection([&](const NSIndexPath& path) -> std::optional<NSIndexPath> {
        if (deleted.count(path)) {
            return std::nullopt;
        }
        NSIndexPath moved = path;
        for (const NSIndexPath& gone : deleted) {
            if (gone.section == path.section && gone.row < path.row) {
                --moved.row;
            }
        }
        return moved;
    });
}

void UITableView::reloadRowsAtIndexPathsWithRowAnimation(const std::vector<NSIndexPath>&,
                                                         UITableViewRowAnimation) {
    reloadKeepingSelection([](const NSIndexPath& path) { return path; });
}

void UITableView::insertSectionsWithRowAnimation(const std::set<long>& sections,
                                                 UITableViewRowAnimation) {
    reloadKeepingSelection([&](const NSIndexPath& path) -> std::optional<NSIndexPath> {
        NSIndexPath moved = path;
        for (long inserted : sections) {
            if (inserted <= moved.section) {
                ++moved.section;
            }
        }
        return moved;
    });
}

void UITableView::deleteSectionsWithRowAnimation(const std::set<long>& sections,
                                                 UITableViewRowAnimation) {
    reloadKeepingSelection([&](const NSIndexPath& path) -> std::optional<NSIndexPath> {
        if (sections.count(path.section)) {
            return std::nullopt;
        }
        const long before =
            long(std::distance(sections.begin(), sections.lower_bound(path.section)));
        return NSIndexPath{path.section - before, path.row};
    });
}

void UITableView::reloadSectionsWithRowAnimation(const std::set<long>&, UITableViewRowAnimation) {
    reloadKeepingSelection([](const NSIndexPath& path) { return path; });
}
