#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/NSIndexPath.h"

class UICollectionView;

inline constexpr const char* UICollectionElementKindSectionHeader =
    "UICollectionElementKindSectionHeader";
inline constexpr const char* UICollectionElementKindSectionFooter =
    "UICollectionElementKindSectionFooter";

enum UICollectionElementCategory : long {
    UICollectionElementCategoryCell,
    UICollectionElementCategorySupplementaryView,
};

// Where one cell or supplementary view of a collection view stands, in
// content coordinates.
struct UICollectionViewLayoutAttributes {
    NSIndexPath indexPath;
    CGRect frame{};
    UICollectionElementCategory representedElementCategory = UICollectionElementCategoryCell;
    // The supplementary view's kind; empty for cells.
    std::string representedElementKind;
    long zIndex = 0;
    CGFloat alpha = 1;
    bool hidden = false;

    static UICollectionViewLayoutAttributes layoutAttributesForCellWithIndexPath(
        const NSIndexPath& path, const CGRect& frame) {
        UICollectionViewLayoutAttributes a;
        a.indexPath = path;
        a.frame = frame;
        return a;
    }
    static UICollectionViewLayoutAttributes layoutAttributesForSupplementaryViewOfKindWithIndexPath(
        const std::string& kind, const NSIndexPath& path, const CGRect& frame) {
        UICollectionViewLayoutAttributes a;
        a.indexPath = path;
        a.frame = frame;
        a.representedElementCategory = UICollectionElementCategorySupplementaryView;
        a.representedElementKind = kind;
        return a;
    }
};

// Places a collection view's items. The collection view calls prepareLayout
// after the layout was invalidated (reload, batch updates, a size change the
// layout cares about), then asks for the content size and for what stands
// in the visible rect. Subclasses compute; this base places nothing.
class UICollectionViewLayout {
  public:
    virtual ~UICollectionViewLayout() = default;

    std::shared_ptr<UICollectionView> collectionView() const { return collectionView_.lock(); }
    // Asks the collection view to prepare the layout again before its next
    // layout pass.
    void invalidateLayout();

    virtual void prepareLayout() {}
    virtual CGSize collectionViewContentSize() const { return {}; }
    virtual std::vector<UICollectionViewLayoutAttributes> layoutAttributesForElementsInRect(
        const CGRect&) const {
        return {};
    }
    virtual std::optional<UICollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(
        const NSIndexPath&) const {
        return std::nullopt;
    }
    virtual std::optional<UICollectionViewLayoutAttributes>
    layoutAttributesForSupplementaryViewOfKindAtIndexPath(const std::string&,
                                                          const NSIndexPath&) const {
        return std::nullopt;
    }
    // Whether a change of the visible rect to newBounds moves items.
    virtual bool shouldInvalidateLayoutForBoundsChange(const CGRect&) const { return false; }

    // Set by the collection view that uses the layout.
    void setCollectionView(const std::shared_ptr<UICollectionView>& view) {
        collectionView_ = view;
    }

  private:
    std::weak_ptr<UICollectionView> collectionView_;
};
