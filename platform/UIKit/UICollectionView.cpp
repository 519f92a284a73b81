#include "UIKit/UICollectionView.h"

#include <algorithm>

#include "Foundation/NSLog.h"

namespace {

// More items than any screen shows; a data source answering more is broken.
constexpr long kMaxItems = 10'000'000;

long clampedCount(long count, const char* what) {
    if (count < 0 || count > kMaxItems) {
        NSLogWithLevel(NSLogLevel::Error, "UICollectionView: %ld %s is out of range, showing none",
                       count, what);
        return 0;
    }
    return count;
}

// A waiting view from the pool, prepared for reuse; else one from the
// factory, else (logged) a plain one.
template <typename View, typename Factory>
std::shared_ptr<View> dequeue(std::vector<std::shared_ptr<View>>& pool, const Factory* factory,
                              const std::string& what, const std::string& identifier) {
    std::shared_ptr<View> view;
    if (!pool.empty()) {
        view = std::move(pool.back());
        pool.pop_back();
        view->prepareForReuse();
    } else if (factory && *factory) {
        view = (*factory)();
    }
    if (!view) {
        NSLogWithLevel(NSLogLevel::Error,
                       "UICollectionView: no %s class registered for \"%s\"; using a plain one",
                       what.c_str(), identifier.c_str());
        view = std::make_shared<View>();
    }
    view->setReuseIdentifier(identifier);
    return view;
}

}  // namespace

UICollectionView::UICollectionView(const CGRect& frame,
                                   std::shared_ptr<UICollectionViewLayout> layout)
    : UIScrollView(frame), layout_(std::move(layout)) {
    setBackgroundColor(UIColor::blackColor());
    setNeedsLayout();
}

UICollectionView::~UICollectionView() = default;

void UICollectionView::setCollectionViewLayout(std::shared_ptr<UICollectionViewLayout> layout) {
    if (layout_) {
        layout_->setCollectionView(nullptr);
    }
    layout_ = std::move(layout);
    layoutDidInvalidate();
}

void UICollectionView::setDataSource(std::weak_ptr<UICollectionViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    reloadData();
}

std::shared_ptr<UICollectionViewDelegate> UICollectionView::delegate() const {
    return std::dynamic_pointer_cast<UICollectionViewDelegate>(UIScrollView::delegate());
}

void UICollectionView::setDelegate(std::weak_ptr<UICollectionViewDelegate> delegate) {
    std::shared_ptr<UICollectionViewDelegate> d = delegate.lock();
    UIScrollView::setDelegate(std::weak_ptr<UIScrollViewDelegate>(d));
    layoutDidInvalidate();
}

void UICollectionView::setBackgroundView(const std::shared_ptr<UIView>& view) {
    if (backgroundView_) {
        backgroundView_->removeFromSuperview();
    }
    backgroundView_ = view;
    if (view) {
        view->setFrame(bounds());
        insertSubviewAtIndex(view, 0);
    }
}

void UICollectionView::registerClassForCellWithReuseIdentifier(CellFactory factory,
                                                               const std::string& identifier) {
    cellFactories_[identifier] = std::move(factory);
}

void UICollectionView::registerClassForSupplementaryViewOfKindWithReuseIdentifier(
    ViewFactory factory, const std::string& kind, const std::string& identifier) {
    viewFactories_[{kind, identifier}] = std::move(factory);
}

std::shared_ptr<UICollectionViewCell>
UICollectionView::dequeueReusableCellWithReuseIdentifierForIndexPath(const std::string& identifier,
                                                                     const NSIndexPath&) {
    auto factory = cellFactories_.find(identifier);
    return dequeue(cellPool_[identifier],
                   factory != cellFactories_.end() ? &factory->second : nullptr, "cell",
                   identifier);
}

std::shared_ptr<UICollectionReusableView>
UICollectionView::dequeueReusableSupplementaryViewOfKindWithReuseIdentifierForIndexPath(
    const std::string& kind, const std::string& identifier, const NSIndexPath&) {
    auto factory = viewFactories_.find({kind, identifier});
    return dequeue(viewPool_[kind + "\n" + identifier],
                   factory != viewFactories_.end() ? &factory->second : nullptr, kind + " view",
                   identifier);
}

// Data.

void UICollectionView::reloadData() {
    recycleAll();
    countsValid_ = false;
    layoutValid_ = false;
    setNeedsLayout();
}

void UICollectionView::layoutDidInvalidate() {
    layoutValid_ = false;
    setNeedsLayout();
}

long UICollectionView::numberOfSections() {
    ensureLayout();
    return long(counts_.size());
}

long UICollectionView::numberOfItemsInSection(long section) {
    ensureLayout();
    return section >= 0 && size_t(section) < counts_.size() ? counts_[size_t(section)] : 0;
}

bool UICollectionView::validPath(const NSIndexPath& path) const {
    return path.section >= 0 && size_t(path.section) < counts_.size() && path.row >= 0 &&
           path.row < counts_[size_t(path.section)];
}

void UICollectionView::ensureLayout() {
    auto self = std::static_pointer_cast<UICollectionView>(shared_from_this());
    if (!countsValid_) {
        counts_.clear();
        if (auto source = dataSource()) {
            const long sections =
                clampedCount(source->numberOfSectionsInCollectionView(*this), "sections");
            for (long s = 0; s < sections; ++s) {
                counts_.push_back(
                    clampedCount(source->collectionViewNumberOfItemsInSection(*this, s), "items"));
            }
        }
        countsValid_ = true;
        layoutValid_ = false;
    }
    if (!layoutValid_ && layout_) {
        layoutValid_ = true;
        layout_->setCollectionView(self);
        layout_->prepareLayout();
        const CGSize size = layout_->collectionViewContentSize();
        if (contentSize() != size) {
            setContentSize(size);
        }
    }
}

// Cells.

std::shared_ptr<UICollectionViewCell> UICollectionView::makeCell(const NSIndexPath& path) {
    auto source = dataSource();
    std::shared_ptr<UICollectionViewCell> cell =
        source ? source->collectionViewCellForItemAtIndexPath(*this, path) : nullptr;
    if (!cell) {
        NSLogWithLevel(NSLogLevel::Error,
                       "UICollectionView: no cell for item %ld in section %ld; showing an empty "
                       "one",
                       path.row, path.section);
        cell = std::make_shared<UICollectionViewCell>();
    }
    cell->setSelected(selected_.count(path) > 0);
    cell->setHighlighted(false);
    return cell;
}

std::shared_ptr<UICollectionReusableView> UICollectionView::makeSupplementaryView(
    const std::string& kind, const NSIndexPath& path) {
    auto source = dataSource();
    return source ? source->collectionViewViewForSupplementaryElementOfKindAtIndexPath(*this, kind,
                                                                                       path)
                  : nullptr;
}

void UICollectionView::enqueue(const std::shared_ptr<UICollectionReusableView>& view,
                               const NSIndexPath& path, const std::string& kind) {
    // A view handed out again starts where it is placed, not mid-way.
    if (view->layer()->hasAnimations()) {
        view->layer()->removeAllAnimations();
    }
    view->removeFromSuperview();
    if (!kind.empty()) {
        viewPool_[kind + "\n" + view->reuseIdentifier()].push_back(view);
        return;
    }
    if (auto d = delegate()) {
        d->collectionViewDidEndDisplayingCellForItemAtIndexPath(
            *this, static_cast<UICollectionViewCell&>(*view), path);
    }
    cellPool_[view->reuseIdentifier()].push_back(
        std::static_pointer_cast<UICollectionViewCell>(view));
}

void UICollectionView::retire(const Leaving& leaving) {
    auto found = std::find_if(leaving_.begin(), leaving_.end(),
                              [&](const Leaving& l) { return l.view == leaving.view; });
    if (found == leaving_.end()) {
        return;  // already put away by a reload
    }
    leaving_.erase(found);
    enqueue(leaving.view, leaving.path, leaving.kind);
}

void UICollectionView::recycleAll() {
    endHighlight();
    auto cells = std::move(visible_);
    visible_.clear();
    auto views = std::move(visibleViews_);
    visibleViews_.clear();
    auto leaving = std::move(leaving_);
    leaving_.clear();
    for (const auto& [path, cell] : cells) {
        enqueue(cell, path, {});
    }
    for (const auto& [key, view] : views) {
        enqueue(view, key.second, key.first);
    }
    for (const Leaving& l : leaving) {
        enqueue(l.view, l.path, l.kind);
    }
}

void UICollectionView::layoutSubviews() {
    std::shared_ptr<UIView> keep = std::static_pointer_cast<UIView>(shared_from_this());
    ensureLayout();
    place(nullptr);
}

void UICollectionView::place(Transition* transition) {
    const CGRect visible = bounds();
    if (backgroundView_) {
        backgroundView_->setFrame(visible);
    }
    std::vector<UICollectionViewLayoutAttributes> attributes =
        layout_ ? layout_->layoutAttributesForElementsInRect(visible)
                : std::vector<UICollectionViewLayoutAttributes>{};
    std::set<NSIndexPath> wantedCells;
    std::set<SupplementaryKey> wantedViews;
    for (const auto& a : attributes) {
        if (a.representedElementCategory == UICollectionElementCategoryCell) {
            if (validPath(a.indexPath)) {
                wantedCells.insert(a.indexPath);
            }
        } else {
            wantedViews.insert({a.representedElementKind, a.indexPath});
        }
    }
    // Out of sight first, so their views can serve the newcomers; in a
    // transition they first move to their new place.
    for (auto it = visible_.begin(); it != visible_.end();) {
        if (!wantedCells.count(it->first)) {
            auto [path, cell] = *it;
            it = visible_.erase(it);
            if (transition) {
                std::optional<CGRect> to;
                if (auto a = layout_ ? layout_->layoutAttributesForItemAtIndexPath(path)
                                     : std::nullopt) {
                    to = a->frame;
                }
                transition->leaving.push_back({cell, path, {}, to});
            } else {
                enqueue(cell, path, {});
            }
        } else {
            ++it;
        }
    }
    for (auto it = visibleViews_.begin(); it != visibleViews_.end();) {
        if (!wantedViews.count(it->first)) {
            if (transition) {
                transition->leaving.push_back({it->second, it->first.second, it->first.first, {}});
            } else {
                enqueue(it->second, it->first.second, it->first.first);
            }
            it = visibleViews_.erase(it);
        } else {
            ++it;
        }
    }
    // A view already shown moves (or, in a transition, will); a new one is
    // placed at once, or in a transition where its item stood before.
    auto show = [&](const std::shared_ptr<UICollectionReusableView>& view,
                    const UICollectionViewLayoutAttributes& a, bool isNew) {
        if (!transition || isNew) {
            view->applyLayoutAttributes(a);
        }
        if (!transition) {
            return;
        }
        auto from = isNew && a.representedElementCategory == UICollectionElementCategoryCell
                        ? transition->from.find(a.indexPath)
                        : transition->from.end();
        if (isNew && from == transition->from.end()) {
            transition->appearing.emplace_back(view, view->alpha());
            view->setAlpha(0);
            return;
        }
        if (isNew) {
            view->setFrame(from->second);
        }
        transition->moves.emplace_back(view, a);
    };
    for (const auto& a : attributes) {
        if (a.representedElementCategory == UICollectionElementCategoryCell) {
            if (!validPath(a.indexPath)) {
                continue;
            }
            auto& slot = visible_[a.indexPath];
            if (!slot) {
                slot = makeCell(a.indexPath);
                show(slot, a, true);
                if (auto d = delegate()) {
                    d->collectionViewWillDisplayCellForItemAtIndexPath(*this, *slot, a.indexPath);
                }
                addSubview(slot);
            } else {
                show(slot, a, false);
            }
            continue;
        }
        const SupplementaryKey key{a.representedElementKind, a.indexPath};
        auto found = visibleViews_.find(key);
        const bool isNew = found == visibleViews_.end();
        if (isNew) {
            std::shared_ptr<UICollectionReusableView> view =
                makeSupplementaryView(a.representedElementKind, a.indexPath);
            if (!view) {
                continue;
            }
            found = visibleViews_.emplace(key, view).first;
            addSubview(view);
        }
        show(found->second, a, isNew);
    }
}

void UICollectionView::setBounds(const CGRect& bounds) {
    const CGRect old = this->bounds();
    UIScrollView::setBounds(bounds);
    const CGRect now = this->bounds();
    if (layout_ && old.size != now.size && layout_->shouldInvalidateLayoutForBoundsChange(now)) {
        layoutValid_ = false;
    }
    if (old != now) {
        setNeedsLayout();
    }
}

std::shared_ptr<UICollectionViewCell> UICollectionView::cellForItemAtIndexPath(
    const NSIndexPath& indexPath) {
    auto found = visible_.find(indexPath);
    return found == visible_.end() ? nullptr : found->second;
}

std::optional<NSIndexPath> UICollectionView::indexPathForCell(
    const UICollectionViewCell& cell) const {
    for (const auto& [path, shown] : visible_) {
        if (shown.get() == &cell) {
            return path;
        }
    }
    return std::nullopt;
}

std::vector<std::shared_ptr<UICollectionViewCell>> UICollectionView::visibleCells() {
    std::vector<std::shared_ptr<UICollectionViewCell>> cells;
    for (const auto& [path, cell] : visible_) {
        cells.push_back(cell);
    }
    return cells;
}

std::vector<NSIndexPath> UICollectionView::indexPathsForVisibleItems() {
    std::vector<NSIndexPath> paths;
    for (const auto& [path, cell] : visible_) {
        paths.push_back(path);
    }
    return paths;
}

std::vector<std::shared_ptr<UICollectionReusableView>>
UICollectionView::visibleSupplementaryViewsOfKind(const std::string& kind) {
    std::vector<std::shared_ptr<UICollectionReusableView>> views;
    for (const auto& [key, view] : visibleViews_) {
        if (key.first == kind) {
            views.push_back(view);
        }
    }
    return views;
}

std::optional<NSIndexPath> UICollectionView::indexPathForItemAtPoint(CGPoint point) {
    ensureLayout();
    if (!layout_) {
        return std::nullopt;
    }
    for (const auto& a : layout_->layoutAttributesForElementsInRect({point, {1, 1}})) {
        if (a.representedElementCategory == UICollectionElementCategoryCell &&
            CGRectContainsPoint(a.frame, point) && validPath(a.indexPath)) {
            return a.indexPath;
        }
    }
    return std::nullopt;
}

std::optional<UICollectionViewLayoutAttributes>
UICollectionView::layoutAttributesForItemAtIndexPath(const NSIndexPath& indexPath) {
    ensureLayout();
    if (!layout_ || !validPath(indexPath)) {
        return std::nullopt;
    }
    return layout_->layoutAttributesForItemAtIndexPath(indexPath);
}

void UICollectionView::scrollToItemAtIndexPathAtScrollPositionAnimated(const NSIndexPath& indexPath,
                                                                       unsigned position,
                                                                       bool animated) {
    std::optional<UICollectionViewLayoutAttributes> a =
        layoutAttributesForItemAtIndexPath(indexPath);
    if (!a) {
        return;
    }
    const CGRect item = a->frame;
    const CGSize view = bounds().size;
    CGPoint offset = contentOffset();
    if (position & UICollectionViewScrollPositionTop) {
        offset.y = item.origin.y;
    } else if (position & UICollectionViewScrollPositionCenteredVertically) {
        offset.y = CGRectGetMidY(item) - view.height / 2;
    } else if (position & UICollectionViewScrollPositionBottom) {
        offset.y = CGRectGetMaxY(item) - view.height;
    }
    if (position & UICollectionViewScrollPositionLeft) {
        offset.x = item.origin.x;
    } else if (position & UICollectionViewScrollPositionCenteredHorizontally) {
        offset.x = CGRectGetMidX(item) - view.width / 2;
    } else if (position & UICollectionViewScrollPositionRight) {
        offset.x = CGRectGetMaxX(item) - view.width;
    }
    if (position == UICollectionViewScrollPositionNone) {
        scrollRectToVisibleAnimated(item, animated);
        return;
    }
    const CGPoint low = minimumContentOffset(), high = maximumContentOffset();
    offset = {std::clamp(offset.x, low.x, std::max(low.x, high.x)),
              std::clamp(offset.y, low.y, std::max(low.y, high.y))};
    setContentOffsetAnimated(offset, animated);
}
