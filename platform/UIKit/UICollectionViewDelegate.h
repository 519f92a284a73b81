#pragma once

#include <optional>
#include <string>

#include "UIKit/NSIndexPath.h"
#include "UIKit/UIGeometry.h"
#include "UIKit/UIScrollView.h"

class UICollectionReusableView;
class UICollectionView;
class UICollectionViewCell;
class UICollectionViewLayout;

// What a collection view tells its delegate and asks it; every method is
// optional.
class UICollectionViewDelegate : public UIScrollViewDelegate {
  public:
    virtual bool collectionViewShouldHighlightItemAtIndexPath(UICollectionView&,
                                                              const NSIndexPath&) {
        return true;
    }
    virtual void collectionViewDidHighlightItemAtIndexPath(UICollectionView&, const NSIndexPath&) {}
    virtual void collectionViewDidUnhighlightItemAtIndexPath(UICollectionView&,
                                                             const NSIndexPath&) {}
    virtual bool collectionViewShouldSelectItemAtIndexPath(UICollectionView&, const NSIndexPath&) {
        return true;
    }
    virtual void collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath&) {}
    virtual bool collectionViewShouldDeselectItemAtIndexPath(UICollectionView&,
                                                             const NSIndexPath&) {
        return true;
    }
    virtual void collectionViewDidDeselectItemAtIndexPath(UICollectionView&, const NSIndexPath&) {}
    virtual void collectionViewWillDisplayCellForItemAtIndexPath(UICollectionView&,
                                                                 UICollectionViewCell&,
                                                                 const NSIndexPath&) {}
    virtual void collectionViewDidEndDisplayingCellForItemAtIndexPath(UICollectionView&,
                                                                      UICollectionViewCell&,
                                                                      const NSIndexPath&) {}
};

// The flow layout's questions; nullopt keeps the layout's own value.
class UICollectionViewDelegateFlowLayout : public UICollectionViewDelegate {
  public:
    virtual std::optional<CGSize> collectionViewLayoutSizeForItemAtIndexPath(
        UICollectionView&, UICollectionViewLayout&, const NSIndexPath&) {
        return std::nullopt;
    }
    virtual std::optional<UIEdgeInsets> collectionViewLayoutInsetForSectionAtIndex(
        UICollectionView&, UICollectionViewLayout&, long) {
        return std::nullopt;
    }
    virtual std::optional<CGFloat> collectionViewLayoutMinimumLineSpacingForSectionAtIndex(
        UICollectionView&, UICollectionViewLayout&, long) {
        return std::nullopt;
    }
    virtual std::optional<CGFloat> collectionViewLayoutMinimumInteritemSpacingForSectionAtIndex(
        UICollectionView&, UICollectionViewLayout&, long) {
        return std::nullopt;
    }
    virtual std::optional<CGSize> collectionViewLayoutReferenceSizeForHeaderInSection(
        UICollectionView&, UICollectionViewLayout&, long) {
        return std::nullopt;
    }
    virtual std::optional<CGSize> collectionViewLayoutReferenceSizeForFooterInSection(
        UICollectionView&, UICollectionViewLayout&, long) {
        return std::nullopt;
    }
};
