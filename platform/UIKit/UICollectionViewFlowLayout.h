#pragma once

#include <vector>

#include "UIKit/UICollectionViewLayout.h"
#include "UIKit/UIGeometry.h"

enum UICollectionViewScrollDirection : long {
    UICollectionViewScrollDirectionVertical,
    UICollectionViewScrollDirectionHorizontal,
};

// Items in lines, section after section: each line holds as many items as
// fit across with the minimum spacing between them; full lines spread their
// items over the width, the last line of a section keeps the spacing of a
// full one. Lines are minimumLineSpacing apart and items are centred within
// their line. A section has its header above (its reference height, the
// full width), its inset around the items and its footer below. Horizontal
// scrolling swaps the axes (columns from top to bottom, headers to the
// left). The flow delegate (UICollectionViewDelegateFlowLayout) may answer
// sizes, insets and spacings per item and section.
class UICollectionViewFlowLayout : public UICollectionViewLayout {
  public:
    CGSize itemSize() const { return itemSize_; }
    void setItemSize(CGSize size);
    CGFloat minimumLineSpacing() const { return lineSpacing_; }
    void setMinimumLineSpacing(CGFloat spacing);
    CGFloat minimumInteritemSpacing() const { return interitemSpacing_; }
    void setMinimumInteritemSpacing(CGFloat spacing);
    UIEdgeInsets sectionInset() const { return sectionInset_; }
    void setSectionInset(const UIEdgeInsets& inset);
    CGSize headerReferenceSize() const { return headerSize_; }
    void setHeaderReferenceSize(CGSize size);
    CGSize footerReferenceSize() const { return footerSize_; }
    void setFooterReferenceSize(CGSize size);
    UICollectionViewScrollDirection scrollDirection() const { return direction_; }
    void setScrollDirection(UICollectionViewScrollDirection direction);

    void prepareLayout() override;
    CGSize collectionViewContentSize() const override;
    std::vector<UICollectionViewLayoutAttributes> layoutAttributesForElementsInRect(
        const CGRect& rect) const override;
    std::optional<UICollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(
        const NSIndexPath& indexPath) const override;
    std::optional<UICollectionViewLayoutAttributes>
    layoutAttributesForSupplementaryViewOfKindAtIndexPath(
        const std::string& kind, const NSIndexPath& indexPath) const override;
    bool shouldInvalidateLayoutForBoundsChange(const CGRect& newBounds) const override;

  private:
    struct Section {
        CGRect header{};
        CGRect footer{};
        CGRect extent{};  // header to footer
        std::vector<CGRect> items;
    };

    CGSize itemSize_{50, 50};
    CGFloat lineSpacing_ = 10;
    CGFloat interitemSpacing_ = 10;
    UIEdgeInsets sectionInset_;
    CGSize headerSize_{};
    CGSize footerSize_{};
    UICollectionViewScrollDirection direction_ = UICollectionViewScrollDirectionVertical;

    std::vector<Section> sections_;
    CGSize contentSize_{};
    // The width (height when horizontal) the layout was prepared for.
    CGFloat preparedCross_ = -1;
};
