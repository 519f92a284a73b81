#include "UIKit/UITableView.h"

#include <algorithm>
#include <cmath>

#include "Foundation/NSLog.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIPanGestureRecognizer.h"
#include "UIKit/UITextLayout.h"
#include "UIKit/UITouch.h"

namespace {

constexpr CGFloat kGroupedInset = 10;
constexpr CGFloat kTextMargin = 15;
// More rows than any screen shows; a data source answering more is broken.
constexpr long kMaxRows = 10'000'000;

UIColor groupedBackgroundColor() {
    return UIColor::colorWithRedGreenBlueAlpha(0.937, 0.937, 0.957, 1);
}

UIColor titleColor() {
    return UIColor::colorWithWhiteAlpha(0.43, 1);
}

UIFontRef titleFont(UITableViewStyle style) {
    return style == UITableViewStylePlain ? UIFont::boldSystemFontOfSize(15)
                                          : UIFont::systemFontOfSize(14);
}

long clampedCount(long count, const char* what) {
    if (count < 0 || count > kMaxRows) {
        NSLogWithLevel(NSLogLevel::Error, "UITableView: %ld %s is out of range, showing none",
                       count, what);
        return 0;
    }
    return count;
}

// A section title as the table draws it: plain headers on a light grey bar,
// grouped titles as grey text over the table's background.
class TitleView : public UIView {
  public:
    TitleView(const std::string& title, UITableViewStyle style, bool header)
        : label_(std::make_shared<UILabel>()), style_(style), header_(header) {
        setUserInteractionEnabled(false);
        if (style == UITableViewStylePlain) {
            setBackgroundColor(UIColor::colorWithWhiteAlpha(0.97, 1));
        }
        label_->setText(title);
        label_->setFont(titleFont(style));
        label_->setTextColor(style == UITableViewStylePlain ? UIColor::darkGrayColor()
                                                            : titleColor());
        label_->setNumberOfLines(style == UITableViewStylePlain ? 1 : 0);
        label_->setLineBreakMode(NSLineBreakByWordWrapping);
        label_->setTextAlignment(style == UITableViewStyleGrouped && !header ? NSTextAlignmentCenter
                                                                             : NSTextAlignmentLeft);
        setNeedsLayout();
    }
    void layoutSubviews() override {
        if (label_->superview().get() != this) {
            addSubview(label_);
        }
        const CGRect b = bounds();
        if (style_ == UITableViewStylePlain) {
            label_->setFrame(
                CGRectMake(kTextMargin, 0, b.size.width - 2 * kTextMargin, b.size.height));
            return;
        }
        // Grouped: the header's text sits just above the rows, the footer's below them.
        const CGFloat x = kGroupedInset + kTextMargin - 5;
        const CGFloat w = std::max(0.0, b.size.width - 2 * x);
        const CGFloat h = std::min(label_->sizeThatFits({w, 0}).height, b.size.height);
        label_->setFrame(CGRectMake(x, header_ ? b.size.height - h - 6 : 6, w, h));
    }

  private:
    std::shared_ptr<UILabel> label_;
    UITableViewStyle style_;
    bool header_;
};

}  // namespace

UITableView::UITableView(const CGRect& frame, UITableViewStyle style)
    : UIScrollView(frame),
      style_(style),
      sectionHeaderHeight_(style == UITableViewStylePlain ? 22 : 10),
      sectionFooterHeight_(style == UITableViewStylePlain ? 22 : 10),
      separatorColor_(UIColor::colorWithRedGreenBlueAlpha(0.78, 0.78, 0.8, 1)) {
    setAlwaysBounceVertical(true);
    setBackgroundColor(style == UITableViewStylePlain ? UIColor::whiteColor()
                                                      : groupedBackgroundColor());
    setNeedsLayout();
}

UITableView::~UITableView() = default;

void UITableView::setDataSource(std::weak_ptr<UITableViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    geometryValid_ = false;
    setNeedsLayout();
}

std::shared_ptr<UITableViewDelegate> UITableView::delegate() const {
    return std::dynamic_pointer_cast<UITableViewDelegate>(UIScrollView::delegate());
}

void UITableView::setDelegate(std::weak_ptr<UITableViewDelegate> delegate) {
    std::shared_ptr<UITableViewDelegate> d = delegate.lock();
    UIScrollView::setDelegate(std::weak_ptr<UIScrollViewDelegate>(d));
    geometryValid_ = false;
    setNeedsLayout();
}

void UITableView::setRowHeight(CGFloat height) {
    rowHeight_ = std::max(0.0, height);
    geometryValid_ = false;
    setNeedsLayout();
}

void UITableView::setSectionHeaderHeight(CGFloat height) {
    sectionHeaderHeight_ = std::max(0.0, height);
    geometryValid_ = false;
    setNeedsLayout();
}

void UITableView::setSectionFooterHeight(CGFloat height) {
    sectionFooterHeight_ = std::max(0.0, height);
    geometryValid_ = false;
    setNeedsLayout();
}

void UITableView::setSeparatorStyle(UITableViewCellSeparatorStyle style) {
    separatorStyle_ = style;
    for (const auto& [path, cell] : visible_) {
        configureCell(*cell, path);
    }
}

void UITableView::setSeparatorColor(const UIColor& color) {
    separatorColor_ = color;
    for (const auto& [path, cell] : visible_) {
        configureCell(*cell, path);
    }
}

void UITableView::setSectionIndexMinimumDisplayRowCount(long count) {
    indexMinimumRows_ = count;
    geometryValid_ = false;
    setNeedsLayout();
}

void UITableView::replaceOwnView(std::shared_ptr<UIView>& slot, const std::shared_ptr<UIView>& view,
                                 bool atBack) {
    if (slot) {
        slot->removeFromSuperview();
    }
    slot = view;
    if (view && atBack) {
        insertSubviewAtIndex(view, 0);
    } else if (view) {
        addSubview(view);
    }
    setNeedsLayout();
}

void UITableView::setTableHeaderView(const std::shared_ptr<UIView>& view) {
    replaceOwnView(tableHeaderView_, view, false);
    geometryValid_ = false;
}

void UITableView::setTableFooterView(const std::shared_ptr<UIView>& view) {
    replaceOwnView(tableFooterView_, view, false);
    geometryValid_ = false;
}

void UITableView::setBackgroundView(const std::shared_ptr<UIView>& view) {
    replaceOwnView(backgroundView_, view, true);
}

// Geometry.

CGFloat UITableView::titleHeight(const std::string& title, bool header) const {
    if (style_ == UITableViewStylePlain) {
        return header ? sectionHeaderHeight_ : sectionFooterHeight_;
    }
    NSStringDrawingAttributes attributes;
    attributes.font = titleFont(style_);
    const CGFloat width = bounds().size.width - 2 * (kGroupedInset + kTextMargin - 5);
    const CGSize size = UITextLayout(title, attributes, std::max(1.0, width), 0).size();
    return std::ceil(size.height) + (header ? 16 : 12);
}

void UITableView::rebuildGeometry() {
    std::shared_ptr<UITableViewDataSource> source = dataSource();
    std::shared_ptr<UITableViewDelegate> d = delegate();
    sections_.clear();
    geometryValid_ = true;
    CGFloat y = tableHeaderView_ ? tableHeaderView_->frame().size.height : 0;
    sectionsTop_ = y;
    const long count =
        source ? clampedCount(source->numberOfSectionsInTableView(*this), "sections") : 0;
    long total = 0;
    for (long s = 0; s < count; ++s) {
        Section section;
        section.top = y;
        long rows = clampedCount(source->tableViewNumberOfRowsInSection(*this, s), "rows");
        if (total + rows > kMaxRows) {
            NSLogWithLevel(NSLogLevel::Error, "UITableView: too many rows, section %ld cut", s);
            rows = kMaxRows - total;
        }
        total += rows;
        section.headerTitle = source->tableViewTitleForHeaderInSection(*this, s).value_or("");
        section.footerTitle = source->tableViewTitleForFooterInSection(*this, s).value_or("");
        auto height = [&](std::optional<CGFloat> asked, const std::string& title, bool header) {
            if (asked && *asked > 0) {
                return *asked;
            }
            if (!title.empty()) {
                return titleHeight(title, header);
            }
            // Spacing between grouped sections; empty sections take no room.
            if (style_ == UITableViewStyleGrouped && rows > 0) {
                return header ? sectionHeaderHeight_ : sectionFooterHeight_;
            }
            return 0.0;
        };
        section.headerHeight =
            height(d ? d->tableViewHeightForHeaderInSection(*this, s) : std::nullopt,
                   section.headerTitle, true);
        section.footerHeight =
            height(d ? d->tableViewHeightForFooterInSection(*this, s) : std::nullopt,
                   section.footerTitle, false);
        section.rowTops.resize(size_t(rows) + 1);
        CGFloat rowY = 0;
        for (long r = 0; r < rows; ++r) {
            section.rowTops[size_t(r)] = rowY;
            std::optional<CGFloat> h =
                d ? d->tableViewHeightForRowAtIndexPath(*this, {s, r}) : std::nullopt;
            rowY += std::max(0.0, h.value_or(rowHeight_));
        }
        section.rowTops.back() = rowY;
        y = section.bottom();
        sections_.push_back(std::move(section));
    }
    sectionsBottom_ = y;
    indexTitles_.clear();
    if (source && total >= indexMinimumRows_) {
        indexTitles_ = source->sectionIndexTitlesForTableView(*this);
    }
    const CGFloat footer = tableFooterView_ ? tableFooterView_->frame().size.height : 0;
    setContentSize({bounds().size.width, y + footer});
}

void UITableView::ensureGeometry() {
    if (!geometryValid_) {
        rebuildGeometry();
    }
}

bool UITableView::validPath(const NSIndexPath& path) const {
    return path.section >= 0 && path.section < long(sections_.size()) && path.row >= 0 &&
           path.row < sections_[size_t(path.section)].rows();
}

long UITableView::numberOfSections() {
    ensureGeometry();
    return long(sections_.size());
}

long UITableView::numberOfRowsInSection(long section) {
    ensureGeometry();
    if (section < 0 || section >= long(sections_.size())) {
        return 0;
    }
    return sections_[size_t(section)].rows();
}

CGRect UITableView::cellFrame(const NSIndexPath& path) const {
    const Section& s = sections_[size_t(path.section)];
    const CGFloat top = s.rowsTop() + s.rowTops[size_t(path.row)];
    const CGFloat height = s.rowTops[size_t(path.row) + 1] - s.rowTops[size_t(path.row)];
    CGFloat width = bounds().size.width;
    if (!indexTitles_.empty() && style_ == UITableViewStylePlain) {
        width -= UITableViewIndex::kWidth;  // rows end where the index begins
    }
    if (style_ == UITableViewStyleGrouped) {
        return CGRectMake(kGroupedInset, top, std::max(0.0, width - 2 * kGroupedInset), height);
    }
    return CGRectMake(0, top, width, height);
}

CGRect UITableView::rectForRowAtIndexPath(const NSIndexPath& indexPath) {
    ensureGeometry();
    if (!validPath(indexPath)) {
        return CGRectZero;
    }
    CGRect r = cellFrame(indexPath);
    r.origin.x = 0;
    r.size.width = bounds().size.width;
    return r;
}

CGRect UITableView::rectForSection(long section) {
    ensureGeometry();
    if (section < 0 || section >= long(sections_.size())) {
        return CGRectZero;
    }
    const Section& s = sections_[size_t(section)];
    return CGRectMake(0, s.top, bounds().size.width, s.bottom() - s.top);
}

CGRect UITableView::rectForHeaderInSection(long section) {
    ensureGeometry();
    if (section < 0 || section >= long(sections_.size())) {
        return CGRectZero;
    }
    const Section& s = sections_[size_t(section)];
    return CGRectMake(0, s.top, bounds().size.width, s.headerHeight);
}

CGRect UITableView::rectForFooterInSection(long section) {
    ensureGeometry();
    if (section < 0 || section >= long(sections_.size())) {
        return CGRectZero;
    }
    const Section& s = sections_[size_t(section)];
    return CGRectMake(0, s.rowsTop() + s.rowTops.back(), bounds().size.width, s.footerHeight);
}

std::vector<NSIndexPath> UITableView::indexPathsForRowsInRect(const CGRect& rect) {
    ensureGeometry();
    std::vector<NSIndexPath> paths;
    const CGFloat minY = CGRectGetMinY(rect), maxY = CGRectGetMaxY(rect);
    auto first = std::upper_bound(sections_.begin(), sections_.end(), minY,
                                  [](CGFloat y, const Section& s) { return y < s.bottom(); });
    for (auto it = first; it != sections_.end() && it->top < maxY; ++it) {
        const long section = long(it - sections_.begin());
        const auto& tops = it->rowTops;
        // The first row ending below minY, up to the last starting above maxY.
        auto row = std::upper_bound(tops.begin() + 1, tops.end(), minY - it->rowsTop());
        for (; row != tops.end() && *(row - 1) < maxY - it->rowsTop(); ++row) {
            if (*row > *(row - 1)) {
                paths.push_back({section, long(row - tops.begin()) - 1});
            }
        }
    }
    return paths;
}

std::optional<NSIndexPath> UITableView::indexPathForRowAtPoint(CGPoint point) {
    ensureGeometry();
    if (point.x < 0 || point.x >= bounds().size.width) {
        return std::nullopt;
    }
    for (size_t s = 0; s < sections_.size(); ++s) {
        const Section& section = sections_[s];
        const CGFloat y = point.y - section.rowsTop();
        if (y < 0 || y >= section.rowTops.back()) {
            continue;
        }
        auto row = std::upper_bound(section.rowTops.begin(), section.rowTops.end(), y);
        return NSIndexPath{long(s), long(row - section.rowTops.begin()) - 1};
    }
    return std::nullopt;
}

CGSize UITableView::sizeThatFits(CGSize size) const {
    // Measuring loads the rows, as it does on the phone.
    auto* self = const_cast<UITableView*>(this);
    self->ensureGeometry();
    return {size.width, contentSize().height};
}

void UITableView::setBounds(const CGRect& bounds) {
    const CGRect old = this->bounds();
    UIScrollView::setBounds(bounds);
    const CGRect now = this->bounds();
    if (old.size.width != now.size.width) {
        geometryValid_ = false;  // titles wrap and rows span at the new width
    }
    if (old.origin != now.origin) {
        setNeedsLayout();
        if (index_ && index_->superview()) {
            layoutSectionIndex(now);  // fixed on screen now, not at the next layout
        }
    }
}

// Cells.

std::shared_ptr<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(
    const std::string& identifier) {
    auto it = reusePool_.find(identifier);
    if (it == reusePool_.end() || it->second.empty()) {
        return nullptr;
    }
    std::shared_ptr<UITableViewCell> cell = std::move(it->second.back());
    it->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

std::shared_ptr<UITableViewCell> UITableView::cellForRowAtIndexPath(const NSIndexPath& indexPath) {
    auto it = visible_.find(indexPath);
    return it == visible_.end() ? nullptr : it->second;
}

std::optional<NSIndexPath> UITableView::indexPathForCell(const UITableViewCell& cell) const {
    for (const auto& [path, c] : visible_) {
        if (c.get() == &cell) {
            return path;
        }
    }
    return std::nullopt;
}

std::vector<std::shared_ptr<UITableViewCell>> UITableView::visibleCells() {
    layoutIfNeeded();
    std::vector<std::shared_ptr<UITableViewCell>> cells;
    for (const auto& entry : visible_) {
        cells.push_back(entry.second);
    }
    return cells;
}

std::vector<NSIndexPath> UITableView::indexPathsForVisibleRows() {
    layoutIfNeeded();
    std::vector<NSIndexPath> paths;
    for (const auto& entry : visible_) {
        paths.push_back(entry.first);
    }
    return paths;
}

void UITableView::recycle(const NSIndexPath& path, const std::shared_ptr<UITableViewCell>& cell) {
    cell->removeFromSuperview();
    if (auto d = delegate()) {
        d->tableViewDidEndDisplayingCellForRowAtIndexPath(*this, *cell, path);
    }
    if (!cell->reuseIdentifier().empty()) {
        reusePool_[cell->reuseIdentifier()].push_back(cell);
    }
}

void UITableView::recycleAllCells() {
    auto cells = std::move(visible_);
    visible_.clear();
    for (const auto& [path, cell] : cells) {
        recycle(path, cell);
    }
    for (const auto& entry : supplementary_) {
        entry.view->removeFromSuperview();
    }
    supplementary_.clear();
}

std::shared_ptr<UITableViewCell> UITableView::makeCell(const NSIndexPath& path) {
    std::shared_ptr<UITableViewCell> cell;
    if (auto source = dataSource()) {
        cell = source->tableViewCellForRowAtIndexPath(*this, path);
    }
    if (!cell) {
        NSLogWithLevel(NSLogLevel::Error, "UITableView: no cell for row %ld in section %ld",
                       path.row, path.section);
        cell = std::make_shared<UITableViewCell>();
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    }
    // A data source that keeps its own cells may hand one out for a second row.
    for (auto it = visible_.begin(); it != visible_.end(); ++it) {
        if (it->second == cell) {
            visible_.erase(it);
            break;
        }
    }
    return cell;
}

void UITableView::configureCell(UITableViewCell& cell, const NSIndexPath& path) {
    cell.setFrame(cellFrame(path));
    const bool selected = selected_.count(path) > 0;
    if (cell.isSelected() != selected) {
        cell.setSelected(selected);
    }
    if (cell.isEditing() != editing_) {
        cell.setEditing(editing_);
    }
    cell.setEditingControl(editing_ ? editingStyleForRow(path) : UITableViewCellEditingStyleNone);
    cell.setShowsDeleteConfirmation(confirmingDelete_ == path);
    const Section& s = sections_[size_t(path.section)];
    const bool last = path.row == s.rows() - 1;
    if (separatorStyle_ == UITableViewCellSeparatorStyleNone ||
        (style_ == UITableViewStyleGrouped && last)) {
        cell.setSeparator(std::nullopt, 0);
    } else {
        cell.setSeparator(separatorColor_, style_ == UITableViewStylePlain ? kTextMargin : 0);
    }
}

UITableViewCellEditingStyle UITableView::editingStyleForRow(const NSIndexPath& path) {
    auto source = dataSource();
    if (!source || !source->tableViewCanEditRowAtIndexPath(*this, path)) {
        return UITableViewCellEditingStyleNone;
    }
    auto d = delegate();
    return d ? d->tableViewEditingStyleForRowAtIndexPath(*this, path)
             : UITableViewCellEditingStyleDelete;
}

void UITableView::layoutSubviews() {
    ensureGeometry();
    std::shared_ptr<UIView> keep = std::static_pointer_cast<UIView>(shared_from_this());
    const CGFloat width = bounds().size.width;
    const CGFloat footer = tableFooterView_ ? tableFooterView_->frame().size.height : 0;
    if (contentSize() != CGSize{width, sectionsBottom_ + footer}) {
        setContentSize({width, sectionsBottom_ + footer});
    }
    // Where shrunk content brought the offset back to.
    const CGRect visible = bounds();
    if (backgroundView_) {
        backgroundView_->setFrame(visible);
    }
    if (tableHeaderView_) {
        tableHeaderView_->setFrame(CGRectMake(0, 0, width, tableHeaderView_->frame().size.height));
    }
    if (tableFooterView_) {
        tableFooterView_->setFrame(CGRectMake(0, sectionsBottom_, width, footer));
    }

    const std::vector<NSIndexPath> wanted = indexPathsForRowsInRect(visible);
    // Cells leaving sight go to the pool first, so the new rows can reuse them.
    const auto shown = visible_;
    for (const auto& [path, cell] : shown) {
        if (!std::binary_search(wanted.begin(), wanted.end(), path)) {
            visible_.erase(path);
            recycle(path, cell);
        }
    }
    const size_t cellIndex = backgroundView_ ? 1 : 0;
    for (const NSIndexPath& path : wanted) {
        if (!validPath(path)) {
            break;  // the data source reloaded the table while giving a cell
        }
        if (auto it = visible_.find(path); it != visible_.end()) {
            configureCell(*it->second, path);
            continue;
        }
        std::shared_ptr<UITableViewCell> cell = makeCell(path);
        if (!validPath(path)) {
            break;
        }
        visible_[path] = cell;
        configureCell(*cell, path);
        if (cell->superview().get() != this) {
            insertSubviewAtIndex(cell, cellIndex);
        }
        if (auto d = delegate()) {
            d->tableViewWillDisplayCellForRowAtIndexPath(*this, *cell, path);
        }
    }
    layoutSupplementaryViews(visible);
    layoutSectionIndex(visible);
    keepOverlaysOnTop();
}

void UITableView::layoutSectionIndex(const CGRect& visible) {
    if (indexTitles_.empty()) {
        if (index_) {
            index_->removeFromSuperview();
        }
        return;
    }
    if (!index_) {
        std::weak_ptr<UIView> weak = std::static_pointer_cast<UIView>(shared_from_this());
        index_ = std::make_shared<UITableViewIndex>([weak](long entry) {
            if (auto self = std::static_pointer_cast<UITableView>(weak.lock())) {
                self->sectionIndexEntryChosen(entry);
            }
        });
    }
    index_->setTitles(indexTitles_);
    const UIEdgeInsets insets = contentInset();
    // Beside the rows, not over the table header (a search bar's Cancel).
    CGFloat top = visible.origin.y + insets.top;
    if (tableHeaderView_) {
        top = std::max(top, CGRectGetMaxY(tableHeaderView_->frame()));
    }
    const CGFloat bottom = CGRectGetMaxY(visible) - insets.bottom;
    index_->setFrame(CGRectMake(CGRectGetMaxX(visible) - UITableViewIndex::kWidth, top,
                                UITableViewIndex::kWidth, std::max(0.0, bottom - top)));
    if (index_->superview().get() != this) {
        addSubview(index_);
    }
}

void UITableView::keepOverlaysOnTop() {
    std::vector<std::shared_ptr<UIView>> tops;
    for (const auto& entry : supplementary_) {
        if (entry.view && entry.view->superview().get() == this) {
            tops.push_back(entry.view);
        }
    }
    if (index_ && index_->superview().get() == this) {
        tops.push_back(index_);
    }
    // Every move asks for layout again: reorder only when the order is wrong,
    // or several headers would swap places on every frame for ever.
    const auto& views = subviews();
    if (std::equal(tops.begin(), tops.end(), views.end() - long(tops.size()))) {
        return;
    }
    for (const auto& view : tops) {
        insertSubviewAtIndex(view, subviews().size());
    }
}

void UITableView::sectionIndexEntryChosen(long entry) {
    std::shared_ptr<UITableViewDataSource> source = dataSource();
    if (!source || entry < 0 || entry >= long(indexTitles_.size())) {
        return;
    }
    const std::string title = indexTitles_[size_t(entry)];
    const std::optional<long> section =
        source->tableViewSectionForSectionIndexTitleAtIndex(*this, title, entry);
    ensureGeometry();
    if (!section || *section < 0 || *section >= long(sections_.size())) {
        return;
    }
    const CGFloat top = sections_[size_t(*section)].top - contentInset().top;
    setContentOffset(
        {contentOffset().x, std::clamp(top, minimumContentOffset().y, maximumContentOffset().y)});
}

bool UITableView::gestureRecognizerShouldBegin(UIGestureRecognizer& recognizer) {
    // A finger moving along the index picks entries; it does not scroll.
    if (&recognizer == panGestureRecognizer().get() && index_ && index_->superview()) {
        const CGPoint p = recognizer.locationInView(index_);
        if (CGRectContainsPoint(index_->bounds(), p)) {
            return false;
        }
    }
    if (&recognizer == panGestureRecognizer().get() && beginSwipeToDelete()) {
        return false;
    }
    return UIScrollView::gestureRecognizerShouldBegin(recognizer);
}

bool UITableView::beginSwipeToDelete() {
    std::shared_ptr<UIView> self = std::static_pointer_cast<UIView>(shared_from_this());
    const CGPoint move = panGestureRecognizer()->translationInView(self);
    auto source = dataSource();
    if (editing_ || confirmingDelete_ || move.x >= 0 || std::abs(move.x) < 2 * std::abs(move.y) ||
        !source || !source->tableViewAllowsSwipeToDelete(*this)) {
        return false;
    }
    // Where the finger went down: the recogniser's location less its travel.
    const CGPoint now = panGestureRecognizer()->locationInView(self);
    std::optional<NSIndexPath> path = indexPathForRowAtPoint({now.x - move.x, now.y - move.y});
    if (!path || editingStyleForRow(*path) != UITableViewCellEditingStyleDelete) {
        return false;
    }
    endHighlight();
    confirmingDelete_ = path;
    if (auto cell = cellForRowAtIndexPath(*path)) {
        cell->setShowsDeleteConfirmation(true);
    }
    return true;
}

std::shared_ptr<UIView> UITableView::makeSupplementaryView(long section, bool header) {
    if (auto d = delegate()) {
        std::shared_ptr<UIView> view = header ? d->tableViewViewForHeaderInSection(*this, section)
                                              : d->tableViewViewForFooterInSection(*this, section);
        if (view) {
            return view;
        }
    }
    const Section& s = sections_[size_t(section)];
    const std::string& title = header ? s.headerTitle : s.footerTitle;
    if (title.empty()) {
        return nullptr;
    }
    return std::make_shared<TitleView>(title, style_, header);
}

void UITableView::layoutSupplementaryViews(const CGRect& visible) {
    const CGFloat minY = CGRectGetMinY(visible), maxY = CGRectGetMaxY(visible);
    const CGFloat width = visible.size.width;
    std::vector<SupplementaryView> kept;
    auto find = [&](long section, bool header) -> std::shared_ptr<UIView> {
        for (auto& entry : supplementary_) {
            if (entry.view && entry.section == section && entry.header == header) {
                return std::exchange(entry.view, nullptr);
            }
        }
        return nullptr;
    };
    for (size_t i = 0; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        if (s.bottom() <= minY || s.top >= maxY) {
            continue;
        }
        const long section = long(i);
        for (bool header : {true, false}) {
            CGRect frame =
                header ? CGRectMake(0, s.top, width, s.headerHeight)
                       : CGRectMake(0, s.rowsTop() + s.rowTops.back(), width, s.footerHeight);
            if (frame.size.height <= 0) {
                continue;
            }
            if (header && style_ == UITableViewStylePlain) {
                // Stays at the top while its section scrolls under it.
                const CGFloat top = minY + contentInset().top;
                frame.origin.y = std::max(s.top, std::min(top, s.bottom() - s.headerHeight));
            }
            if (CGRectGetMaxY(frame) <= minY || frame.origin.y >= maxY) {
                continue;
            }
            std::shared_ptr<UIView> view = find(section, header);
            if (!view) {
                view = makeSupplementaryView(section, header);
            }
            if (!view) {
                continue;
            }
            view->setFrame(frame);
            if (view->superview().get() != this) {
                addSubview(view);
            }
            kept.push_back({view, header, section});
        }
    }
    for (const auto& entry : supplementary_) {
        if (entry.view) {
            entry.view->removeFromSuperview();
        }
    }
    supplementary_ = std::move(kept);
}
