#pragma once

#include <memory>

#include "UIKit/UICollectionView.h"
#include "UIKit/UIViewController.h"

// A controller whose view is a collection view with the given layout and
// the controller as data source and delegate (flow layout questions
// included). Subclasses override what they need; by default there are no
// items. The controller owns the view; the view holds the controller weakly.
class UICollectionViewController : public UIViewController,
                                   public UICollectionViewDataSource,
                                   public UICollectionViewDelegateFlowLayout {
  public:
    // initWithCollectionViewLayout:
    explicit UICollectionViewController(std::shared_ptr<UICollectionViewLayout> layout);
    ~UICollectionViewController() override;

    // The view, loaded when needed; nullptr when a view that is not a
    // collection view was set.
    std::shared_ptr<UICollectionView> collectionView();
    const std::shared_ptr<UICollectionViewLayout>& collectionViewLayout() const { return layout_; }
    // Whether appearing deselects the selected items (default true).
    bool clearsSelectionOnViewWillAppear() const { return clearsSelection_; }
    void setClearsSelectionOnViewWillAppear(bool flag) { clearsSelection_ = flag; }

    void loadView() override;
    void viewWillAppear(bool animated) override;

    long collectionViewNumberOfItemsInSection(UICollectionView&, long) override { return 0; }
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView&, const NSIndexPath&) override {
        return nullptr;
    }

  private:
    std::shared_ptr<UICollectionViewLayout> layout_;
    bool clearsSelection_ = true;
};
