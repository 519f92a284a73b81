#include <algorithm>
#include <map>

#include "Foundation/NSLog.h"
#include "UIKit/UICollectionView.h"

void UICollectionView::record(Update::Kind kind, bool section,
                              const std::vector<NSIndexPath>& paths) {
    for (const NSIndexPath& path : paths) {
        updates_.push_back({kind, section, path});
    }
    if (updateDepth_ == 0) {
        applyUpdates();
    }
}

void UICollectionView::insertItemsAtIndexPaths(const std::vector<NSIndexPath>& paths) {
    record(Update::Insert, false, paths);
}

void UICollectionView::deleteItemsAtIndexPaths(const std::vector<NSIndexPath>& paths) {
    record(Update::Delete, false, paths);
}

void UICollectionView::reloadItemsAtIndexPaths(const std::vector<NSIndexPath>& paths) {
    record(Update::Reload, false, paths);
}

namespace {

std::vector<NSIndexPath> sectionPaths(const std::set<long>& sections) {
    std::vector<NSIndexPath> paths;
    for (long s : sections) {
        paths.push_back({s, 0});
    }
    return paths;
}

}  // namespace

void UICollectionView::insertSections(const std::set<long>& sections) {
    record(Update::Insert, true, sectionPaths(sections));
}

void UICollectionView::deleteSections(const std::set<long>& sections) {
    record(Update::Delete, true, sectionPaths(sections));
}

void UICollectionView::reloadSections(const std::set<long>& sections) {
    record(Update::Reload, true, sectionPaths(sections));
}

void UICollectionView::performBatchUpdatesCompletion(const std::function<void()>& updates,
                                                     std::function<void(bool)> completion) {
    ensureLayout();
    ++updateDepth_;
    if (updates) {
        updates();
    }
    --updateDepth_;
    if (updateDepth_ == 0) {
        applyUpdates();
    }
    if (completion) {
        completion(true);
    }
}

// Deletions count in the old numbering, insertions in the new one, as the
// data source describes a change.
void UICollectionView::applyUpdates() {
    ensureLayout();
    const std::vector<long> oldCounts = counts_;
    std::set<long> deletedSections, insertedSections;
    std::set<NSIndexPath> deletedItems, insertedItems;
    for (const Update& u : updates_) {
        if (u.kind == Update::Delete) {
            if (u.section) {
                deletedSections.insert(u.path.section);
            } else {
                deletedItems.insert(u.path);
            }
        }
        if (u.kind == Update::Insert) {
            if (u.section) {
                insertedSections.insert(u.path.section);
            } else {
                insertedItems.insert(u.path);
            }
        }
    }
    updates_.clear();
    auto newSection = [&](long s) -> std::optional<long> {
        if (deletedSections.count(s)) {
            return std::nullopt;
        }
        long n = s - long(std::count_if(deletedSections.begin(), deletedSections.end(),
                                        [s](long d) { return d < s; }));
        for (long inserted : insertedSections) {
            if (inserted <= n) {
                ++n;
            }
        }
        return n;
    };
    auto newPath = [&](const NSIndexPath& p) -> std::optional<NSIndexPath> {
        std::optional<long> s = newSection(p.section);
        if (!s || deletedItems.count(p)) {
            return std::nullopt;
        }
        long item = p.row - long(std::count_if(deletedItems.begin(), deletedItems.end(),
                                               [&](const NSIndexPath& d) {
                                                   return d.section == p.section && d.row < p.row;
                                               }));
        for (const NSIndexPath& inserted : insertedItems) {
            if (inserted.section == *s && inserted.row <= item) {
                ++item;
            }
        }
        return NSIndexPath{*s, item};
    };
    std::set<NSIndexPath> selection;
    for (const NSIndexPath& path : selected_) {
        if (auto moved = newPath(path)) {
            selection.insert(*moved);
        }
    }
    // What the data source should now answer, checked against what it does.
    std::map<long, long> expected;
    for (long s = 0; s < long(oldCounts.size()); ++s) {
        if (std::optional<long> n = newSection(s)) {
            long count = oldCounts[size_t(s)];
            count -= long(std::count_if(deletedItems.begin(), deletedItems.end(),
                                        [s](const NSIndexPath& d) { return d.section == s; }));
            expected[*n] = count;
        }
    }
    for (const NSIndexPath& inserted : insertedItems) {
        if (expected.count(inserted.section)) {
            ++expected[inserted.section];
        }
    }
    reloadData();
    ensureLayout();
    const long expectedSections =
        long(oldCounts.size()) - long(deletedSections.size()) + long(insertedSections.size());
    if (expectedSections != long(counts_.size())) {
        NSLogWithLevel(NSLogLevel::Error,
                       "UICollectionView: %ld sections after the update, expected %ld; reloaded "
                       "all",
                       long(counts_.size()), expectedSections);
    }
    for (const auto& [section, count] : expected) {
        if (section < long(counts_.size()) && counts_[size_t(section)] != count) {
            NSLogWithLevel(NSLogLevel::Error,
                           "UICollectionView: section %ld has %ld items after the update, "
                           "expected %ld; reloaded all",
                           section, counts_[size_t(section)], count);
        }
    }
    selected_.clear();
    for (const NSIndexPath& path : selection) {
        if (validPath(path)) {
            selected_.insert(path);
        }
    }
}
