#pragma once

#include <memory>
#include <string>

#include "UIKit/NSIndexPath.h"

class UICollectionReusableView;
class UICollectionView;
class UICollectionViewCell;

// Where a collection view gets its items. The cell comes from
// dequeueReusableCellWithReuseIdentifierForIndexPath.
class UICollectionViewDataSource {
  public:
    virtual ~UICollectionViewDataSource() = default;
    virtual long numberOfSectionsInCollectionView(UICollectionView&) { return 1; }
    virtual long collectionViewNumberOfItemsInSection(UICollectionView&, long section) = 0;
    virtual std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView&, const NSIndexPath&) = 0;
    // Headers and footers; nullptr shows none.
    virtual std::shared_ptr<UICollectionReusableView>
    collectionViewViewForSupplementaryElementOfKindAtIndexPath(UICollectionView&,
                                                               const std::string&,
                                                               const NSIndexPath&) {
        return nullptr;
    }
};
