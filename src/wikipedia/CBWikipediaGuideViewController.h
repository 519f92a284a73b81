#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSCache.h"
#include "Foundation/NSIndexPath.h"
#include "UIKit/UIViewController.h"
#include "mapkit/CBMapScrollViewDelegate.h"
#include "widgets/ZELGridScrollView.h"
#include "wikipedia/CBWikipediaServices.h"

class CBWikipediaGuideCellView;
class CBWikipediaManager;
class CBWikipediaWalkHeaderView;
class UIButton;
class UIImage;
class ZELWikiGuideArticle;
class ZELWikiGuideGroup;
class ZELWikiGuideItem;

// One group of the current map's Wikipedia guide as a grid of pictures:
// its sub-groups, then its articles. A sub-group opens another guide screen,
// an article its offline page; in a walk, a stop opens the walk screen on
// it. A group's header lists all the map's articles or shows the group's
// own on the main map; a walk's header is its small map, statistics and
// stop track, and opens the walk screen.
//
// The screens the user drilled down through are remembered per map for the
// life of the process, so that the Wikipedia tab can open on them again.
// The memory is the guide screens (and the article list) above the root
// of the stack, whatever changed the stack.
class CBWikipediaGuideViewController : public UIViewController,
                                       public ZELGridScrollViewDataSource,
                                       public ZELGridScrollViewDelegate,
                                       public CBMapScrollViewDelegate {
  public:
    using ImageCache = NSCache<std::string, UIImage>;

    // The guide of the registry's current map, titled after it.
    explicit CBWikipediaGuideViewController(CBWikipediaServices services);
    ~CBWikipediaGuideViewController() override;
    // A root screen of the current map's guide, or nullptr when the map has
    // no guide that can be read (a list of the articles serves then).
    static std::shared_ptr<CBWikipediaGuideViewController> createForCurrentMapIfGuideLoads(
        const CBWikipediaServices& services);

    const std::shared_ptr<CBWikipediaManager>& wikipediaManager() const {
        return services_.manager;
    }
    const std::shared_ptr<CBUserMapStoreEngine>& userMapStoreEngine() const {
        return services_.registry;
    }
    const std::string& basePathForImages() const { return basePathForImages_; }
    const std::shared_ptr<ZELGridScrollView>& gridScrollView() const { return grid_; }
    // Shared with the screens pushed from this one.
    const std::shared_ptr<ImageCache>& imagesCache() const { return imagesCache_; }
    void setImagesCache(std::shared_ptr<ImageCache> cache) { imagesCache_ = std::move(cache); }
    const std::shared_ptr<ZELWikiGuideGroup>& guideGroup() const { return guideGroup_; }
    void setGuideGroup(std::shared_ptr<ZELWikiGuideGroup> group) { guideGroup_ = std::move(group); }
    // The grid index path this screen's group was opened at on the screen
    // below; nullopt for the root.
    const std::optional<NSIndexPath>& openedAtIndexPath() const { return openedAtIndexPath_; }
    // nullptr once a walk header replaced it.
    const std::shared_ptr<UIView>& headerView() const { return headerView_; }
    const std::shared_ptr<CBWikipediaWalkHeaderView>& walkHeaderView() const {
        return walkHeaderView_;
    }
    const std::shared_ptr<UIButton>& buttonAllArticles() const { return buttonAllArticles_; }
    std::shared_ptr<UIButton> showAllOnMap() const { return showAllOnMap_.lock(); }

    // Reads the root group from the current map's guide file unless a group
    // is set; stays nullptr when the file cannot be read.
    void loadGuideGroupIfNeeded();

    void loadView() override;
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    void setupWalkMapHeaderViewForGridScrollview(const std::shared_ptr<ZELGridScrollView>& grid);
    // The statistics line of a walk: its length, its stops and its time to
    // the nearest quarter hour ("2.1 km | 4 stops | 1h 45m"). A length or
    // time that is not a number leaves its field empty.
    static std::string walkStatisticsForGroup(ZELWikiGuideGroup& walk);
    void presentWalkViewController() { presentWalkViewControllerSelectedArticle(nullptr); }
    void presentWalkViewControllerSelectedArticle(
        const std::shared_ptr<ZELWikiGuideArticle>& article);

    long gridViewNumberOfCellsInSection(ZELGridScrollView&, long section) override;
    std::shared_ptr<ZELGridCellView> gridViewCellAtIndexPath(ZELGridScrollView& grid,
                                                             const NSIndexPath& path) override;
    // The guide leaves a last row's free places blank.
    std::shared_ptr<ZELGridCellView> gridViewEmptyCellAtIndexPath(ZELGridScrollView&,
                                                                  const NSIndexPath&) override {
        return nullptr;
    }
    void gridViewDidSelectCellAtIndexPath(ZELGridScrollView&, const NSIndexPath& path) override;
    // Sub-groups first, then articles; nullptr past the end.
    std::shared_ptr<ZELWikiGuideItem> guideItemAtIndexPath(const NSIndexPath& path) const;
    void configureCellAtIndexPath(CBWikipediaGuideCellView& cell, const NSIndexPath& path);
    // Decoded once and cached by path; nullptr (and nothing cached) for a
    // file that is missing or no picture.
    std::shared_ptr<UIImage> imageFromPath(const std::optional<std::string>& path);

    // A screen of the sub-group at the index path; nullptr for anything else.
    std::shared_ptr<CBWikipediaGuideViewController> viewControllerForGuideGroupAtIndexPath(
        const NSIndexPath& path);
    void presentAllArticles();
    std::shared_ptr<UIViewController> viewControllerForViewAllArticles();
    // The group's own articles that the store has, on the main map.
    void presentAllArticlesOnMap();
    // The pins of this level's own articles (groups have none of their own).
    std::vector<CBAnnotationRef> articleAnnotations() const;

    std::shared_ptr<CBAnnotationView> mapScrollViewViewForAnnotation(
        CBMapScrollView& map, const CBAnnotationRef& annotation) override;

    // The map's remembered drill-down; nullptr without a map.
    static std::vector<NSIndexPath>* persistencyStateForCurrentCity(
        const std::optional<std::string>& mapIdentifier);
    static void persistencyStateAppendIndexPath(const std::optional<std::string>& mapIdentifier,
                                                const std::optional<NSIndexPath>& path);
    static void persistencyStatePopLastIndexPath(const std::optional<std::string>& mapIdentifier);
    static void persistencyStateReset(const std::optional<std::string>& mapIdentifier);
    // The entry of the article list opened from a group's header.
    static NSIndexPath persistentIndexPathForViewAllArticles();
    // Makes the memory of the root's map the drill-down of the stack, whose
    // first controller is a root guide screen; anything else leaves it.
    static void persistencyStateFollowNavigationStack(
        const std::vector<std::shared_ptr<UIViewController>>& stack);
    // The screens to push on this root to reopen the drill-down; nullopt
    // when there is none to reopen or this is no root. Entries that no
    // longer lead anywhere are forgotten.
    std::optional<std::vector<std::shared_ptr<UIViewController>>> persistentSubViewControllers();

  private:
    bool isWalk() const;
    std::shared_ptr<CBWikipediaGuideViewController> self();
    void followNavigationStack();
    std::shared_ptr<CBWikipediaGuideCellView> makeCell(const std::string& identifier);

    CBWikipediaServices services_;
    std::string basePathForImages_;
    std::shared_ptr<ZELGridScrollView> grid_;
    std::shared_ptr<ImageCache> imagesCache_;
    std::shared_ptr<ZELWikiGuideGroup> guideGroup_;
    std::optional<NSIndexPath> openedAtIndexPath_;
    std::shared_ptr<UIView> headerView_;
    std::shared_ptr<CBWikipediaWalkHeaderView> walkHeaderView_;
    std::shared_ptr<UIButton> buttonAllArticles_;
    std::weak_ptr<UIButton> showAllOnMap_;
    // The article list this screen opened, while it lives.
    std::weak_ptr<UIViewController> allArticlesScreen_;
    // Articles the store lacks, each logged once.
    std::vector<std::string> loggedMissing_;
};
