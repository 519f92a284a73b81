#include "widgets/ZELGridScrollView.h"

#include <algorithm>
#include <cmath>

#include "UIKit/UITapGestureRecognizer.h"

ZELGridScrollView::ZELGridScrollView(const CGRect& frame) : UIScrollView(frame) {}

void ZELGridScrollView::didMoveToSuperview() {
    UIScrollView::didMoveToSuperview();
    if (tapAdded_)
        return;
    tapAdded_ = true;
    // The recognizer is the grid's own, so it never outlives it.
    addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(
        [this](UIGestureRecognizer& tap) { selectCellAtPoint(tap.locationInView(nullptr)); }));
}

void ZELGridScrollView::selectCellAtPoint(CGPoint windowPoint) {
    const CGPoint point = convertPointFromView(windowPoint, nullptr);
    for (const auto& [path, cell] : visible_)
        if (CGRectContainsPoint(cell->frame(), point)) {
            if (!isEmptyPlace(path))
                selectCellAtIndexPath(path);
            return;
        }
}

void ZELGridScrollView::setCellSize(CGSize size) {
    cellSize_ = size;
    reloadData();
}

void ZELGridScrollView::setPaddingInset(const UIEdgeInsets& inset) {
    paddingInset_ = inset;
    reloadData();
}

void ZELGridScrollView::setGridHeaderView(const std::shared_ptr<UIView>& header) {
    if (header_)
        header_->removeFromSuperview();
    header_ = header;
    if (header_)
        addSubview(header_);
    reloadData();
}

long ZELGridScrollView::cellsPerRow() const {
    const CGFloat width = bounds().size.width - paddingInset_.left - paddingInset_.right;
    return cellSize_.width > 0 ? std::max(1L, long(width / cellSize_.width)) : 1;
}

bool ZELGridScrollView::isEmptyPlace(const NSIndexPath& path) const {
    return size_t(path.section) < sections_.size() &&
           path.row >= sections_[size_t(path.section)].second;
}

void ZELGridScrollView::computeSections() {
    sections_.clear();
    auto source = dataSource_.lock();
    CGFloat top = header_ ? header_->frame().size.height : 0;
    if (source) {
        const long count = source->numberOfSectionsInZELGridScrollView(*this);
        for (long section = 0; section < count; ++section) {
            const long cells = std::max(0L, source->gridViewNumberOfCellsInSection(*this, section));
            sections_.push_back({top, cells});
            const long rows = (cells + cellsPerRow() - 1) / cellsPerRow();
            top += paddingInset_.top + CGFloat(rows) * cellSize_.height + paddingInset_.bottom;
        }
    }
    setContentSize({bounds().size.width, top});
}

void ZELGridScrollView::reloadData() {
    for (auto& [path, cell] : visible_) {
        cell->removeFromSuperview();
        queue_[cell->reuseIdentifier()].push_back(cell);
    }
    visible_.clear();
    computeSections();
    setNeedsLayout();
}

std::shared_ptr<ZELGridCellView> ZELGridScrollView::dequeueReusableCellWithIdentifier(
    const std::string& identifier) {
    auto it = queue_.find(identifier);
    if (it == queue_.end() || it->second.empty())
        return nullptr;
    auto cell = it->second.back();
    it->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

CGRect ZELGridScrollView::rectForCellAtIndexPath(const NSIndexPath& path) const {
    if (path.section < 0 || size_t(path.section) >= sections_.size() || path.row < 0)
        return CGRectNull;
    const long perRow = cellsPerRow();
    const CGFloat usable = bounds().size.width - paddingInset_.left - paddingInset_.right;
    // The cells of a row share the spare width evenly.
    const CGFloat spacing = (usable - CGFloat(perRow) * cellSize_.width) / CGFloat(perRow);
    const long row = path.row / perRow, column = path.row % perRow;
    return CGRectMake(
        paddingInset_.left + spacing / 2 + CGFloat(column) * (cellSize_.width + spacing),
        sections_[size_t(path.section)].first + paddingInset_.top + CGFloat(row) * cellSize_.height,
        cellSize_.width, cellSize_.height);
}

std::vector<std::shared_ptr<ZELGridCellView>> ZELGridScrollView::visibleCells() const {
    std::vector<std::shared_ptr<ZELGridCellView>> cells;
    for (const auto& [path, cell] : visible_)
        cells.push_back(cell);
    return cells;
}

void ZELGridScrollView::selectCellAtIndexPath(const NSIndexPath& path) {
    if (auto delegate = delegate_.lock())
        delegate->gridViewDidSelectCellAtIndexPath(*this, path);
}

void ZELGridScrollView::setBounds(const CGRect& bounds) {
    const CGRect old = this->bounds();
    UIScrollView::setBounds(bounds);
    // Another width fits another number of cells a row, so other rows.
    if (old.size.width != bounds.size.width)
        computeSections();
    if (old.origin != bounds.origin)
        setNeedsLayout();
}

void ZELGridScrollView::layoutSubviews() {
    UIScrollView::layoutSubviews();
    if (header_) {
        CGRect frame = header_->frame();
        header_->setFrame(CGRectMake(0, 0, bounds().size.width, frame.size.height));
    }
    auto source = dataSource_.lock();
    if (!source)
        return;
    const CGRect shown = bounds();
    std::vector<std::pair<NSIndexPath, CGRect>> wanted;
    const long perRow = cellsPerRow();
    for (size_t section = 0; section < sections_.size(); ++section) {
        const long places = (sections_[section].second + perRow - 1) / perRow * perRow;
        for (long index = 0; index < places; ++index) {
            const NSIndexPath path = NSIndexPath::indexPathForRowInSection(index, long(section));
            const CGRect frame = rectForCellAtIndexPath(path);
            if (CGRectIntersectsRect(frame, shown))
                wanted.push_back({path, frame});
        }
    }
    // Cells that left the view wait for reuse before new ones are asked for.
    std::map<NSIndexPath, std::shared_ptr<ZELGridCellView>> keep;
    for (const auto& [path, frame] : wanted)
        if (auto it = visible_.find(path); it != visible_.end()) {
            keep[path] = it->second;
            visible_.erase(it);
        }
    for (auto& [path, cell] : visible_) {
        cell->removeFromSuperview();
        queue_[cell->reuseIdentifier()].push_back(cell);
    }
    for (const auto& [path, frame] : wanted) {
        auto& cell = keep[path];
        if (!cell) {
            cell = isEmptyPlace(path) ? source->gridViewEmptyCellAtIndexPath(*this, path)
                                      : source->gridViewCellAtIndexPath(*this, path);
            if (!cell) {
                keep.erase(path);
                continue;
            }
            addSubview(cell);
        }
        cell->setFrame(frame);
    }
    visible_ = std::move(keep);
}
