#include "UIKit/UICollectionViewLayout.h"

#include "UIKit/UICollectionView.h"

void UICollectionViewLayout::invalidateLayout() {
    if (auto view = collectionView()) {
        view->layoutDidInvalidate();
    }
}
