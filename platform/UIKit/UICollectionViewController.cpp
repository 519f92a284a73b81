#include "UIKit/UICollectionViewController.h"

#include "UIKit/UICollectionViewFlowLayout.h"
#include "UIKit/UIScreen.h"

UICollectionViewController::UICollectionViewController(
    std::shared_ptr<UICollectionViewLayout> layout)
    : layout_(layout ? std::move(layout) : std::make_shared<UICollectionViewFlowLayout>()) {}

UICollectionViewController::~UICollectionViewController() = default;

std::shared_ptr<UICollectionView> UICollectionViewController::collectionView() {
    return std::dynamic_pointer_cast<UICollectionView>(view());
}

void UICollectionViewController::loadView() {
    auto view = std::make_shared<UICollectionView>(UIScreen::mainScreen()->bounds(), layout_);
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    auto self = std::static_pointer_cast<UICollectionViewController>(shared_from_this());
    view->setDataSource(std::static_pointer_cast<UICollectionViewDataSource>(self));
    view->setDelegate(std::static_pointer_cast<UICollectionViewDelegate>(self));
    setView(view);
}

void UICollectionViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (!clearsSelection_ || !isViewLoaded()) {
        return;
    }
    if (std::shared_ptr<UICollectionView> view = collectionView()) {
        for (const NSIndexPath& path : view->indexPathsForSelectedItems()) {
            view->deselectItemAtIndexPathAnimated(path, animated);
        }
    }
}
