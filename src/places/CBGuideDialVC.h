#pragma once

#include <memory>
#include <string>
#include <vector>

#include "UIKit/UICollectionViewController.h"
#include "UIKit/UICollectionViewFlowLayout.h"
#include "model/CBCityGuide.h"

class CBAnnotationsPresenter;
class CBGeoDataManager;
class CBCurrentMap;
class CBPlacesHost;

// The dial's layout: nothing of its own beyond the flow layout's.
class CBGuideDialViewFlowLayout : public UICollectionViewFlowLayout {};

// The first screen of the city guide: the sections of the guide as round
// icons over a blurred picture of the map; a touched icon shows the sharp
// map through its ring. A section opens its categories (or, for the letter
// index, the first letters). It reopens the section left last, and forgets
// it once the user is back on the dial.
class CBGuideDialVC : public UICollectionViewController {
  public:
    static constexpr const char* kCellIdentifier = "CBGuideDialCellIdentifier";

    CBGuideDialVC(std::weak_ptr<CBPlacesHost> host, std::shared_ptr<CBCurrentMap> currentMap,
                  std::weak_ptr<CBAnnotationsPresenter> presenter);

    static std::shared_ptr<CBGuideDialViewFlowLayout> layout();
    // Forgets where the user was in the guide.
    static void resetPersistency();

    const std::vector<CBCityGuideSection>& content() const { return content_; }
    const std::shared_ptr<CBGeoDataManager>& dataManager() const { return dataManager_; }
    void setDataManager(std::shared_ptr<CBGeoDataManager> manager) {
        dataManager_ = std::move(manager);
    }
    // A picture of the map screen, set before the dial is shown.
    const std::shared_ptr<UIView>& baseBackgroundView() const { return baseBackgroundView_; }
    void setBaseBackgroundView(std::shared_ptr<UIView> view) {
        baseBackgroundView_ = std::move(view);
    }
    const std::shared_ptr<UIView>& highlightView() const { return highlightView_; }

    // Pushes the section's screen; an index past the sections does nothing.
    std::shared_ptr<UIViewController> openCategoryAtIndexAnimated(long index, bool animated);
    std::string titleForIndex(long index) const;
    std::string iconNameForIndex(long index) const;
    void setupBackground();

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    long collectionViewNumberOfItemsInSection(UICollectionView&, long) override {
        return long(content_.size());
    }
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView& collection, const NSIndexPath& indexPath) override;
    void collectionViewDidHighlightItemAtIndexPath(UICollectionView& collection,
                                                   const NSIndexPath& indexPath) override;
    void collectionViewDidUnhighlightItemAtIndexPath(UICollectionView& collection,
                                                     const NSIndexPath& indexPath) override;
    void collectionViewDidSelectItemAtIndexPath(UICollectionView&,
                                                const NSIndexPath& indexPath) override;

  private:
    const CBCityGuideSection* sectionAt(long index) const;

    std::vector<CBCityGuideSection> content_;
    std::shared_ptr<CBGeoDataManager> dataManager_;
    std::shared_ptr<UIView> baseBackgroundView_;
    std::shared_ptr<UIView> highlightView_;
    std::weak_ptr<CBPlacesHost> host_;
    std::shared_ptr<CBCurrentMap> currentMap_;
    std::weak_ptr<CBAnnotationsPresenter> presenter_;
};
