#include "UIKit/UITableView.h"

#include <algorithm>
#include <cmath>

#include "Foundation/NSLog.h"
#include "UIKit/UITouch.h"

namespace {

constexpr CGFloat kTapMovement = 10;

}  // namespace

// Scrolling and selection.

void UITableView::scrollToRowAtIndexPathAtScrollPositionAnimated(const NSIndexPath& indexPath,
                                                                 UITableViewScrollPosition position,
                                                                 bool animated) {
    ensureGeometry();
    if (!validPath(indexPath)) {
        NSLogWithLevel(NSLogLevel::Error, "UITableView: cannot scroll to row %ld in section %ld",
                       indexPath.row, indexPath.section);
        return;
    }
    const CGRect row = rectForRowAtIndexPath(indexPath);
    // Plain headers stay over the top of their section's rows.
    const CGFloat header =
        style_ == UITableViewStylePlain ? sections_[size_t(indexPath.section)].headerHeight : 0;
    const CGFloat inset = contentInset().top;
    const CGFloat height = bounds().size.height - inset - contentInset().bottom;
    const CGFloat current = contentOffset().y + inset;
    CGFloat top = current;
    switch (position) {
        case UITableViewScrollPositionTop:
            top = row.origin.y - header;
            break;
        case UITableViewScrollPositionMiddle:
            top = CGRectGetMidY(row) - height / 2;
            break;
        case UITableViewScrollPositionBottom:
            top = CGRectGetMaxY(row) - height;
            break;
        case UITableViewScrollPositionNone:
            if (row.origin.y - header < current) {
                top = row.origin.y - header;
            } else if (CGRectGetMaxY(row) > current + height) {
                top = CGRectGetMaxY(row) - height;
            }
            break;
    }
    const CGFloat y = std::clamp(top - inset, minimumContentOffset().y, maximumContentOffset().y);
    setContentOffsetAnimated({contentOffset().x, y}, animated);
}

std::optional<NSIndexPath> UITableView::indexPathForSelectedRow() const {
    if (selected_.empty()) {
        return std::nullopt;
    }
    return *selected_.begin();
}

std::vector<NSIndexPath> UITableView::indexPathsForSelectedRows() const {
    return {selected_.begin(), selected_.end()};
}

void UITableView::setRowSelected(const NSIndexPath& path, bool selected, bool animated) {
    if (selected) {
        selected_.insert(path);
    } else {
        selected_.erase(path);
    }
    if (auto cell = cellForRowAtIndexPath(path)) {
        cell->setSelectedAnimated(selected, animated);
    }
}

void UITableView::selectRowAtIndexPathAnimatedScrollPosition(
    const std::optional<NSIndexPath>& indexPath, bool animated,
    UITableViewScrollPosition position) {
    ensureGeometry();
    if (indexPath && !validPath(*indexPath)) {
        NSLogWithLevel(NSLogLevel::Error, "UITableView: cannot select row %ld in section %ld",
                       indexPath->row, indexPath->section);
        return;
    }
    if (!indexPath || !allowsMultipleSelection_) {
        const auto old = selected_;
        for (const NSIndexPath& path : old) {
            if (path != indexPath) {
                setRowSelected(path, false, animated);
            }
        }
    }
    if (!indexPath) {
        return;
    }
    setRowSelected(*indexPath, true, animated);
    if (position != UITableViewScrollPositionNone) {
        scrollToRowAtIndexPathAtScrollPositionAnimated(*indexPath, position, animated);
    }
}

void UITableView::deselectRowAtIndexPathAnimated(const NSIndexPath& indexPath, bool animated) {
    if (selected_.count(indexPath)) {
        setRowSelected(indexPath, false, animated);
    }
}

void UITableView::tapRow(const NSIndexPath& path) {
    if (editing_ ? !allowsSelectionDuringEditing_ : !allowsSelection_) {
        return;
    }
    std::shared_ptr<UITableViewDelegate> d = delegate();
    auto deselect = [&](const NSIndexPath& row) {
        std::optional<NSIndexPath> target =
            d ? d->tableViewWillDeselectRowAtIndexPath(*this, row) : row;
        if (target && validPath(*target)) {
            setRowSelected(*target, false, true);
            if (d) {
                d->tableViewDidDeselectRowAtIndexPath(*this, *target);
            }
        }
    };
    if (allowsMultipleSelection_ && selected_.count(path)) {
        deselect(path);
        return;
    }
    std::optional<NSIndexPath> target =
        d ? d->tableViewWillSelectRowAtIndexPath(*this, path) : path;
    if (!target || !validPath(*target)) {
        return;
    }
    if (!allowsMultipleSelection_) {
        const auto old = selected_;
        for (const NSIndexPath& row : old) {
            if (row != *target) {
                deselect(row);
            }
        }
    }
    setRowSelected(*target, true, false);
    if (d) {
        d->tableViewDidSelectRowAtIndexPath(*this, *target);
    }
}

// Editing.

void UITableView::setEditingAnimated(bool editing, bool) {
    editing_ = editing;
    confirmingDelete_.reset();
    for (const auto& [path, cell] : visible_) {
        configureCell(*cell, path);
    }
    setNeedsLayout();
}

bool UITableView::handleEditingTap(const NSIndexPath& path, CGPoint point) {
    std::shared_ptr<UIView> self = std::static_pointer_cast<UIView>(shared_from_this());
    std::shared_ptr<UITableViewCell> cell = cellForRowAtIndexPath(path);
    const CGPoint inCell = cell ? cell->convertPointFromView(point, self) : CGPointZero;
    if (confirmingDelete_) {
        const NSIndexPath confirming = *confirmingDelete_;
        const bool confirmed = confirming == path && cell &&
                               CGRectContainsPoint(cell->deleteConfirmationFrame(), inCell);
        confirmingDelete_.reset();
        if (auto shown = cellForRowAtIndexPath(confirming)) {
            shown->setShowsDeleteConfirmation(false);
        }
        if (confirmed) {
            if (auto source = dataSource()) {
                source->tableViewCommitEditingStyleForRowAtIndexPath(
                    *this, UITableViewCellEditingStyleDelete, path);
            }
        }
        return true;  // any other tap only dismisses the confirmation
    }
    if (!editing_ || !cell || !CGRectContainsPoint(cell->editingControlFrame(), inCell)) {
        return false;
    }
    const UITableViewCellEditingStyle style = editingStyleForRow(path);
    if (style == UITableViewCellEditingStyleDelete) {
        confirmingDelete_ = path;
        cell->setShowsDeleteConfirmation(true);
    } else if (style == UITableViewCellEditingStyleInsert) {
        if (auto source = dataSource()) {
            source->tableViewCommitEditingStyleForRowAtIndexPath(
                *this, UITableViewCellEditingStyleInsert, path);
        }
    }
    return true;
}

// Touches.

void UITableView::endHighlight() {
    if (touchedRow_) {
        if (auto cell = cellForRowAtIndexPath(*touchedRow_)) {
            cell->setHighlighted(false);
        }
    }
    touchedRow_.reset();
}

void UITableView::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    std::shared_ptr<UIView> self = std::static_pointer_cast<UIView>(shared_from_this());
    endHighlight();
    if (touches.empty()) {
        return;
    }
    const CGPoint point = touches.front()->locationInView(self);
    std::optional<NSIndexPath> path = indexPathForRowAtPoint(point);
    if (!path) {
        // A touch below the rows puts a Delete button away too.
        if (confirmingDelete_) {
            if (auto shown = cellForRowAtIndexPath(*confirmingDelete_)) {
                shown->setShowsDeleteConfirmation(false);
            }
            confirmingDelete_.reset();
        }
        UIScrollView::touchesBegan(touches, event);
        return;
    }
    touchedRow_ = path;
    touchStart_ = touches.front()->windowLocation();
    std::shared_ptr<UITableViewCell> cell = cellForRowAtIndexPath(*path);
    const bool selectable = editing_ ? allowsSelectionDuringEditing_ : allowsSelection_;
    if (!cell || !selectable || confirmingDelete_) {
        return;
    }
    const CGPoint inCell = cell->convertPointFromView(point, self);
    if (CGRectContainsPoint(cell->editingControlFrame(), inCell)) {
        return;
    }
    auto d = delegate();
    if (!d || d->tableViewShouldHighlightRowAtIndexPath(*this, *path)) {
        cell->setHighlighted(true);
    }
}

void UITableView::touchesMoved(const UITouchSet& touches, UIEvent* event) {
    if (!touchedRow_ || touches.empty()) {
        UIScrollView::touchesMoved(touches, event);
        return;
    }
    const CGPoint p = touches.front()->windowLocation();
    if (std::hypot(p.x - touchStart_.x, p.y - touchStart_.y) > kTapMovement) {
        endHighlight();
    }
}

void UITableView::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    if (!touchedRow_ || touches.empty()) {
        UIScrollView::touchesEnded(touches, event);
        return;
    }
    std::shared_ptr<UIView> self = std::static_pointer_cast<UIView>(shared_from_this());
    const NSIndexPath path = *touchedRow_;
    endHighlight();
    if (!handleEditingTap(path, touches.front()->locationInView(self))) {
        tapRow(path);
    }
}

void UITableView::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    if (!touchedRow_) {
        UIScrollView::touchesCancelled(touches, event);
        return;
    }
    endHighlight();
}
