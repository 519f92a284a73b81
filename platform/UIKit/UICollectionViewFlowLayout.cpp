#include "UIKit/UICollectionViewFlowLayout.h"

#include <algorithm>
#include <cmath>

#include "UIKit/UICollectionView.h"

namespace {

// The layout works as if scrolling vertically: x runs across, y along the
// scrolling axis. Horizontal scrolling swaps the axes back.
CGRect toView(const CGRect& r, bool horizontal) {
    return horizontal ? CGRect{{r.origin.y, r.origin.x}, {r.size.height, r.size.width}} : r;
}

CGSize swapped(CGSize s, bool horizontal) {
    return horizontal ? CGSize{s.height, s.width} : s;
}

}  // namespace

void UICollectionViewFlowLayout::setItemSize(CGSize size) {
    itemSize_ = size;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setMinimumLineSpacing(CGFloat spacing) {
    lineSpacing_ = spacing;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setMinimumInteritemSpacing(CGFloat spacing) {
    interitemSpacing_ = spacing;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setSectionInset(const UIEdgeInsets& inset) {
    sectionInset_ = inset;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setHeaderReferenceSize(CGSize size) {
    headerSize_ = size;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setFooterReferenceSize(CGSize size) {
    footerSize_ = size;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setScrollDirection(UICollectionViewScrollDirection direction) {
    direction_ = direction;
    invalidateLayout();
}

void UICollectionViewFlowLayout::prepareLayout() {
    sections_.clear();
    contentSize_ = {};
    std::shared_ptr<UICollectionView> view = collectionView();
    if (!view) {
        return;
    }
    const bool horizontal = direction_ == UICollectionViewScrollDirectionHorizontal;
    auto flow = std::dynamic_pointer_cast<UICollectionViewDelegateFlowLayout>(view->delegate());
    const CGSize viewSize = swapped(view->bounds().size, horizontal);
    const CGFloat across = viewSize.width;
    preparedCross_ = across;
    CGFloat along = 0;
    const long sectionCount = view->numberOfSections();
    for (long s = 0; s < sectionCount; ++s) {
        Section section;
        UIEdgeInsets inset = sectionInset_;
        CGFloat lineSpacing = lineSpacing_, itemSpacing = interitemSpacing_;
        CGSize header = headerSize_, footer = footerSize_;
        if (flow) {
            inset =
                flow->collectionViewLayoutInsetForSectionAtIndex(*view, *this, s).value_or(inset);
            lineSpacing =
                flow->collectionViewLayoutMinimumLineSpacingForSectionAtIndex(*view, *this, s)
                    .value_or(lineSpacing);
            itemSpacing =
                flow->collectionViewLayoutMinimumInteritemSpacingForSectionAtIndex(*view, *this, s)
                    .value_or(itemSpacing);
            header = flow->collectionViewLayoutReferenceSizeForHeaderInSection(*view, *this, s)
                         .value_or(header);
            footer = flow->collectionViewLayoutReferenceSizeForFooterInSection(*view, *this, s)
                         .value_or(footer);
        }
        // Insets in (along, across) terms: before/after along, start/end across.
        const CGFloat before = horizontal ? inset.left : inset.top;
        const CGFloat after = horizontal ? inset.right : inset.bottom;
        const CGFloat start = horizontal ? inset.top : inset.left;
        const CGFloat end = horizontal ? inset.bottom : inset.right;
        const CGFloat headerLength = horizontal ? header.width : header.height;
        const CGFloat footerLength = horizontal ? footer.width : footer.height;
        const CGFloat sectionTop = along;
        if (headerLength > 0) {
            section.header = toView({{0, along}, {across, headerLength}}, horizontal);
        }
        along += headerLength + before;
        const CGFloat room = std::max<CGFloat>(0, across - start - end);
        const long count = view->numberOfItemsInSection(s);
        std::vector<CGSize> sizes(static_cast<size_t>(count));
        for (long i = 0; i < count; ++i) {
            CGSize size = itemSize_;
            if (flow) {
                size = flow->collectionViewLayoutSizeForItemAtIndexPath(*view, *this, {s, i})
                           .value_or(size);
            }
            sizes[size_t(i)] = swapped(
                {std::max<CGFloat>(0, size.width), std::max<CGFloat>(0, size.height)}, horizontal);
        }
        section.items.resize(size_t(count));
        // The spacing of full lines, used again on the last one.
        CGFloat fullLineSpacing = itemSpacing;
        size_t first = 0;
        while (first < sizes.size()) {
            // As many items as fit across (at least one).
            size_t last = first;
            CGFloat used = sizes[first].width;
            CGFloat lineLength = sizes[first].height;
            while (last + 1 < sizes.size() &&
                   used + itemSpacing + sizes[last + 1].width <= room + 0.001) {
                ++last;
                used += itemSpacing + sizes[last].width;
                lineLength = std::max(lineLength, sizes[last].height);
            }
            const size_t n = last - first + 1;
            const bool lastLine = last + 1 == sizes.size();
            CGFloat spacing = itemSpacing;
            CGFloat x = start;
            if (!lastLine && n > 1) {
                CGFloat widths = 0;
                for (size_t i = first; i <= last; ++i) {
                    widths += sizes[i].width;
                }
                spacing = (room - widths) / CGFloat(n - 1);
                fullLineSpacing = spacing;
            } else if (lastLine && first > 0) {
                spacing = fullLineSpacing;
            } else if (n == 1) {
                // Centred; one wider than the room starts at the inset.
                x = start + std::max<CGFloat>(0, (room - sizes[first].width) / 2);
            }
            for (size_t i = first; i <= last; ++i) {
                const CGFloat offset = (lineLength - sizes[i].height) / 2;
                section.items[i] = toView({{x, along + offset}, sizes[i]}, horizontal);
                x += sizes[i].width + spacing;
            }
            along += lineLength;
            first = last + 1;
            if (first < sizes.size()) {
                along += lineSpacing;
            }
        }
        along += after;
        if (footerLength > 0) {
            section.footer = toView({{0, along}, {across, footerLength}}, horizontal);
        }
        along += footerLength;
        section.extent = toView({{0, sectionTop}, {across, along - sectionTop}}, horizontal);
        sections_.push_back(std::move(section));
    }
    contentSize_ = swapped({across, along}, horizontal);
}

CGSize UICollectionViewFlowLayout::collectionViewContentSize() const {
    return contentSize_;
}

std::vector<UICollectionViewLayoutAttributes>
UICollectionViewFlowLayout::layoutAttributesForElementsInRect(const CGRect& rect) const {
    std::vector<UICollectionViewLayoutAttributes> result;
    for (size_t s = 0; s < sections_.size(); ++s) {
        const Section& section = sections_[s];
        if (!CGRectIntersectsRect(section.extent, rect)) {
            continue;
        }
        if (!CGRectIsEmpty(section.header) && CGRectIntersectsRect(section.header, rect)) {
            result.push_back(
                UICollectionViewLayoutAttributes::
                    layoutAttributesForSupplementaryViewOfKindWithIndexPath(
                        UICollectionElementKindSectionHeader, {long(s), 0}, section.header));
        }
        for (size_t i = 0; i < section.items.size(); ++i) {
            if (CGRectIntersectsRect(section.items[i], rect)) {
                result.push_back(
                    UICollectionViewLayoutAttributes::layoutAttributesForCellWithIndexPath(
                        {long(s), long(i)}, section.items[i]));
            }
        }
        if (!CGRectIsEmpty(section.footer) && CGRectIntersectsRect(section.footer, rect)) {
            result.push_back(
                UICollectionViewLayoutAttributes::
                    layoutAttributesForSupplementaryViewOfKindWithIndexPath(
                        UICollectionElementKindSectionFooter, {long(s), 0}, section.footer));
        }
    }
    return result;
}

std::optional<UICollectionViewLayoutAttributes>
UICollectionViewFlowLayout::layoutAttributesForItemAtIndexPath(const NSIndexPath& path) const {
    if (path.section < 0 || size_t(path.section) >= sections_.size() || path.row < 0 ||
        size_t(path.row) >= sections_[size_t(path.section)].items.size()) {
        return std::nullopt;
    }
    return UICollectionViewLayoutAttributes::layoutAttributesForCellWithIndexPath(
        path, sections_[size_t(path.section)].items[size_t(path.row)]);
}

std::optional<UICollectionViewLayoutAttributes>
UICollectionViewFlowLayout::layoutAttributesForSupplementaryViewOfKindAtIndexPath(
    const std::string& kind, const NSIndexPath& path) const {
    if (path.section < 0 || size_t(path.section) >= sections_.size()) {
        return std::nullopt;
    }
    const Section& section = sections_[size_t(path.section)];
    const bool header = kind == UICollectionElementKindSectionHeader;
    const CGRect frame = header ? section.header : section.footer;
    if (CGRectIsEmpty(frame) || (!header && kind != UICollectionElementKindSectionFooter)) {
        return std::nullopt;
    }
    return UICollectionViewLayoutAttributes::
        layoutAttributesForSupplementaryViewOfKindWithIndexPath(kind, {path.section, 0}, frame);
}

bool UICollectionViewFlowLayout::shouldInvalidateLayoutForBoundsChange(
    const CGRect& newBounds) const {
    const CGFloat across = direction_ == UICollectionViewScrollDirectionHorizontal
                               ? newBounds.size.height
                               : newBounds.size.width;
    return across != preparedCross_;
}
