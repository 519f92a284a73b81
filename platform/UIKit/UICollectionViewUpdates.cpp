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
        applyUpdates(nullptr);
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

// How long the views of an update take to reach their new place.
constexpr double kUpdateDuration = 0.3;

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
        applyUpdates(std::move(completion));
    } else if (completion) {
        completion(true);
    }
}

// Deletions count in the old numbering, insertions in the new one, as the
// data source describes a change.
void UICollectionView::applyUpdates(std::function<void(bool)> completion) {
    ensureLayout();
    const std::vector<long> oldCounts = counts_;
    std::set<long> deletedSections, insertedSections, reloadedSections;
    std::set<NSIndexPath> deletedItems, insertedItems, reloadedItems;
    for (const Update& u : updates_) {
        if (u.kind == Update::Reload) {
            if (u.section) {
                reloadedSections.insert(u.path.section);
            } else {
                reloadedItems.insert(u.path);
            }
        }
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
    // Where the items around the screen stood, so that those the update
    // brings into sight come from there.
    const bool animates = window() && UIView::areAnimationsEnabled();
    std::map<NSIndexPath, CGRect> before;
    if (animates && layout_) {
        const CGRect b = bounds();
        for (const auto& a : layout_->layoutAttributesForElementsInRect(
                 CGRectInset(b, -b.size.width, -b.size.height))) {
            if (a.representedElementCategory == UICollectionElementCategoryCell &&
                validPath(a.indexPath)) {
                before.emplace(a.indexPath, a.frame);
            }
        }
    }
    countsValid_ = false;
    ensureLayout();
    bool consistent = true;
    const long expectedSections =
        long(oldCounts.size()) - long(deletedSections.size()) + long(insertedSections.size());
    if (expectedSections != long(counts_.size())) {
        consistent = false;
        NSLogWithLevel(NSLogLevel::Error,
                       "UICollectionView: %ld sections after the update, expected %ld; reloaded "
                       "all",
                       long(counts_.size()), expectedSections);
    }
    for (const auto& [section, count] : expected) {
        if (section < long(counts_.size()) && counts_[size_t(section)] != count) {
            consistent = false;
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
    if (!consistent || !animates) {
        recycleAll();
        setNeedsLayout();
        if (completion) {
            completion(true);
        }
        return;
    }
    // The views on screen follow their items; those of deleted and reloaded
    // items leave.
    auto follow = [&](const NSIndexPath& p) -> std::optional<NSIndexPath> {
        if (reloadedItems.count(p) || reloadedSections.count(p.section)) {
            return std::nullopt;
        }
        return newPath(p);
    };
    endHighlight();
    Transition transition;
    for (const auto& [path, frame] : before) {
        if (std::optional<NSIndexPath> moved = follow(path)) {
            transition.from.emplace(*moved, frame);
        }
    }
    auto cells = std::move(visible_);
    visible_.clear();
    for (const auto& [path, cell] : cells) {
        if (std::optional<NSIndexPath> moved = follow(path)) {
            cell->setSelected(selected_.count(*moved) > 0);
            visible_[*moved] = cell;
        } else {
            transition.leaving.push_back({cell, path, {}, std::nullopt});
        }
    }
    auto views = std::move(visibleViews_);
    visibleViews_.clear();
    for (const auto& [key, view] : views) {
        std::optional<long> section = newSection(key.second.section);
        if (section && !reloadedSections.count(key.second.section)) {
            visibleViews_[{key.first, {*section, key.second.row}}] = view;
        } else {
            transition.leaving.push_back({view, key.second, key.first, std::nullopt});
        }
    }
    place(&transition);
    animate(std::move(transition), std::move(completion));
}

void UICollectionView::animate(Transition transition, std::function<void(bool)> completion) {
    const bool moves =
        std::any_of(transition.moves.begin(), transition.moves.end(),
                    [](const auto& m) { return m.first->frame() != m.second.frame; });
    if (!moves && transition.appearing.empty() && transition.leaving.empty()) {
        for (const auto& [view, attributes] : transition.moves) {
            view->applyLayoutAttributes(attributes);
        }
        if (completion) {
            completion(true);
        }
        return;
    }
    leaving_.insert(leaving_.end(), transition.leaving.begin(), transition.leaving.end());
    std::weak_ptr<UICollectionView> weak =
        std::static_pointer_cast<UICollectionView>(shared_from_this());
    UIView::animateWithDurationAnimationsCompletion(
        kUpdateDuration,
        [&transition] {
            for (const auto& [view, attributes] : transition.moves) {
                view->applyLayoutAttributes(attributes);
            }
            for (const auto& [view, alpha] : transition.appearing) {
                view->setAlpha(alpha);
            }
            for (const Leaving& leaving : transition.leaving) {
                if (leaving.to) {
                    leaving.view->setFrame(*leaving.to);
                } else {
                    leaving.view->setAlpha(0);
                }
            }
        },
        [weak, leaving = transition.leaving, completion = std::move(completion)](bool finished) {
            if (auto self = weak.lock()) {
                for (const Leaving& l : leaving) {
                    self->retire(l);
                }
            }
            if (completion) {
                completion(finished);
            }
        });
}
