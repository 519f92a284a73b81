#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreLocation/CLLocationManager.h"
#include "MessageUI/MFMailComposeViewController.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UICollectionView.h"
#include "UIKit/UISearchBar.h"
#include "UIKit/UIViewController.h"
#include "packages/CBUserMapStoreEngineDelegate.h"
#include "shelf/CBMapShelfFlowLayout.h"
#include "store/CBMapStoreController.h"
#include "wikipedia/CBWikipediaServices.h"

class CBMapShelfCell;
class CBMapShelfHost;
class CBMapStoreMap;
class CBUserMapStoreEngine;
class UIActivityIndicatorView;
class UIImage;
class UISegmentedControl;
class ZELDownloadManagerDownload;
class ZELDownloadManagerEngine;
class ZELPatternedCollectionView;

// The home screen: the installed maps as covers on a striped shelf, a
// search bar above them, a toolbar with the settings button, the sort
// control (recent use, name, distance) and a location spinner, the "Store"
// button, and an edit mode in which each cover offers delete and info. The
// last cell always opens the store. Tapping a cover makes its map current
// and zooms it to the full window before the container shows the map.
class CBMapShelfViewController : public UIViewController,
                                 public UISearchBarDelegate,
                                 public UICollectionViewDataSource,
                                 public UICollectionViewDelegateFlowLayout,
                                 public CBMapStoreControllerProtocol,
                                 public CBUserMapStoreEngineDelegate,
                                 public CLLocationManagerDelegate,
                                 public UIAlertViewDelegate,
                                 public MFMailComposeViewControllerDelegate {
  public:
    using Map = std::shared_ptr<CBMapStoreMap>;
    using Download = std::shared_ptr<ZELDownloadManagerDownload>;

    enum SortType : uint32_t { SortByName = 0, SortByRecent = 1, SortByDistance = 2 };
    static constexpr const char* kSortingDefaultsKey =
        "CBMapShelfViewControllerUserDefaultsKeySorting";
    static constexpr const char* kCoversCheckedDefaultsKey = "Kelvara_coverHaveBeenChecked";
    static constexpr const char* kCellIdentifier = "CBMapShelfViewControllerReuseIdentifierCell";
    static constexpr const char* kHeaderIdentifier =
        "CBMapShelfViewControllerReuseIdentifierSearchbar";
    static constexpr long kDeleteAlertTag = 654654;
    // Offers to resume or retry the download of a map whose cover was tapped.
    static constexpr long kGoOnWithDownloadAlertTag = 654655;
    static constexpr long kDownloadAgainAlertTag = 654656;
    // Asks for a review or feedback, once, on a shelf of three maps or more.
    static constexpr long kReviewRequestAlertTag = 654447;
    static constexpr size_t kMapsBeforeReviewRequest = 3;
    static constexpr long kButtonTagOffset = 10;

    // Joins the registry's (weak) delegates once its view loads; the
    // registry tells it of the downloads of maps too. The store's screens
    // opened from the shelf load Wikipedia articles with the Wikipedia
    // manager.
    static std::shared_ptr<CBMapShelfViewController> create(
        std::shared_ptr<CBUserMapStoreEngine> registry, std::weak_ptr<CBMapShelfHost> host,
        CBWikipediaServices wikipedia = {});
    CBMapShelfViewController(std::shared_ptr<CBUserMapStoreEngine> registry,
                             std::weak_ptr<CBMapShelfHost> host, CBWikipediaServices wikipedia);
    ~CBMapShelfViewController() override;

    // The flow layout for this device, made when the shelf's view is made.
    static std::shared_ptr<CBMapShelfFlowLayout> layout();
    static CBMapShelfLayoutMetrics layoutMetrics();

    // Leaves edit mode and cancels the search.
    void reset();
    // Where the map's cover lies in the collection view (zero when the map
    // is not on the shelf), optionally scrolled to the middle first.
    CGRect rectForMapWithIdentifierScrollToViewIfNeeded(
        const std::optional<std::string>& identifier, bool scroll);

    // State, for the container and tests.
    const std::shared_ptr<CBUserMapStoreEngine>& userMapStoreEngine() const { return registry_; }
    const std::optional<std::vector<Map>>& maps() const { return maps_; }
    SortType shelfSortType() const { return shelfSortType_; }
    const std::shared_ptr<ZELPatternedCollectionView>& collectionView() const {
        return collectionView_;
    }
    const std::shared_ptr<UISearchBar>& searchBar() const { return searchBar_; }
    const std::shared_ptr<UIImage>& blurredCoverForAddMapCell() const {
        return blurredCoverForAddMapCell_;
    }
    std::shared_ptr<UISegmentedControl> sortSegmentedControl() const {
        return sortSegmentedControl_.lock();
    }
    const std::shared_ptr<UIActivityIndicatorView>& locationActivityIndicatorView() const {
        return spinner_;
    }
    const std::shared_ptr<CLLocationManager>& locationManager() const { return locationManager_; }
    const std::shared_ptr<UIAlertView>& currentAlert() const { return alert_; }
    const Map& mapToDelete() const { return mapToDelete_; }
    bool isAnimating() const { return isAnimating_; }

    // The map at an item; nullptr for the add-map item and beyond.
    Map mapAtIndexPath(const NSIndexPath& indexPath) const;
    std::optional<NSIndexPath> indexPathForMap(const Map& map) const;
    // The last shown map of that identifier, loading the shelf first.
    Map mapForIdentifier(const std::optional<std::string>& identifier);
    std::shared_ptr<CBMapShelfCell> viewForMapWithIdentifier(const std::string& identifier);
    static long viewTagForMapAtIndexPath(const NSIndexPath& indexPath) {
        return indexPath.row + kButtonTagOffset;
    }
    static std::optional<NSIndexPath> mapIndexPathForViewWithTag(long tag);

    void loadLocalMapShelfIfNeeded();
    void loadLocalMapShelf();
    void reloadCollectionViewAnimated(bool animated);
    // Re-reads the sort from the control, falling back to recent use when
    // the distance order is not allowed.
    void changeSorting();
    bool startLocationUpdatesIfNeeded();

    void deleteMap(const Map& map);
    void showInfoForMap(const Map& map);
    void openStore();
    void openSettings();
    void done();
    // Opens the map; a map still downloading says how its download stands
    // (and offers to go on with a paused or failed one) instead.
    void openMapWithFancyAnimation(const Map& map, bool fancy);
    // A damaged map is never opened (nor another in its place): its package
    // is offered anew.
    void askToDownloadDamagedMapAgain(const Map& map);

    // The zoom from a cover into its map.
    void presentMapViewControllerFromIndexPath(const NSIndexPath& indexPath);
    bool isEntirelyVisibleIndexPath(const NSIndexPath& indexPath);

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void setEditingAnimated(bool editing, bool animated) override;
    bool shouldAutorotate() const override { return !isAnimating_; }
    unsigned long supportedInterfaceOrientations() const override;

    long collectionViewNumberOfItemsInSection(UICollectionView&, long section) override;
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView& view, const NSIndexPath& indexPath) override;
    std::shared_ptr<UICollectionReusableView>
    collectionViewViewForSupplementaryElementOfKindAtIndexPath(
        UICollectionView& view, const std::string& kind, const NSIndexPath& indexPath) override;
    void collectionViewDidSelectItemAtIndexPath(UICollectionView&,
                                                const NSIndexPath& indexPath) override;
    std::optional<CGSize> collectionViewLayoutReferenceSizeForHeaderInSection(
        UICollectionView&, UICollectionViewLayout&, long section) override;

    void searchBarTextDidBeginEditing(UISearchBar& bar) override;
    void searchBarTextDidEndEditing(UISearchBar& bar) override;
    void searchBarTextDidChange(UISearchBar& bar, const std::string& text) override;
    void searchBarSearchButtonClicked(UISearchBar& bar) override;
    void searchBarCancelButtonClicked(UISearchBar& bar) override;

    void hideMapStoreController(CBMapStoreController& controller) override;

    void userMapStoreAddedMap(CBUserMapStoreEngine&, const Map&) override;
    void userMapStoreUpdatedMap(CBUserMapStoreEngine&, const Map&) override;
    void userMapStoreStoredCoverForMap(CBUserMapStoreEngine&, const Map& map) override;
    void userMapStoreDidDeleteMapWithIdentifier(CBUserMapStoreEngine&, const std::string&) override;

    void userMapStoreDownloadStatusChangedToForMapWithIdentifier(
        CBUserMapStoreEngine&, const ZELDownloadStatus& status,
        const std::string& identifier) override;
    void userMapStoreDownloadProgressChangedToForMapWithIdentifier(
        CBUserMapStoreEngine&, const ZELDownloadStatus& status,
        const std::string& identifier) override;
    // The engine's word for the same, for a download of a map: the cover's
    // ring follows the download's status as the registry tells it.
    void downloadManagerUpdatedProgressToForDownload(ZELDownloadManagerEngine& engine,
                                                     double progress, const Download& download);
    void downloadManagerFinishedLoadingDownload(ZELDownloadManagerEngine& engine,
                                                const Download& download);

    void locationManagerDidUpdateToLocationFromLocation(CLLocationManager& manager,
                                                        std::shared_ptr<CLLocation> location,
                                                        std::shared_ptr<CLLocation>) override;
    void locationManagerDidChangeAuthorizationStatus(CLLocationManager&,
                                                     CLAuthorizationStatus) override;

    void alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) override;
    void mailComposeControllerDidFinishWithResultError(
        MFMailComposeViewController& controller, MFMailComposeResult result,
        const std::optional<NSError>& error) override;

  private:
    std::shared_ptr<CBMapShelfViewController> self();
    void reloadMapsData();
    void setSelectedIndexForSortTypeOnSegmentedControl(SortType type, UISegmentedControl& control);
    void setupBarButtons();
    void setupToolBarButtons();
    void configureToolbarForMaps(const std::optional<std::vector<Map>>& maps);
    std::shared_ptr<CBMapShelfCell> mapShelfCellForIdentifier(const std::string& identifier);
    void startLocationUpdates();
    void stopLocationSpinner();
    void configureMapCell(CBMapShelfCell& cell, const Map& map);
    // The cover and the blurred band under the name.
    void configureCoverOfCell(CBMapShelfCell& cell, const Map& map);
    void configureAddMapCell(CBMapShelfCell& cell);
    void connectButtons(CBMapShelfCell& cell);
    void deleteMapForButton(const UIView& button);
    void showInfoForButton(const UIView& button);
    void requestServerNotification();
    // On the first appearance: the review request, when the host allows it
    // and the shelf holds enough maps; asked once, whatever the answer.
    void fireAutoReviewRequestIfPossible();
    void answerReviewRequest(long index);
    void presentMapViewControllerFromIndexPathAfterScrolling(const NSIndexPath& indexPath,
                                                             bool scrolled);
    void zoomFinished();
    void showAlert(std::shared_ptr<UIAlertView> alert);
    void askToGoOnWithDownloadOfMap(const Map& map, const ZELDownloadStatus& status);
    // The blurred band behind a cover's name, scaled to the cell first.
    std::shared_ptr<UIImage> blurredBandImage(const std::shared_ptr<UIImage>& cover) const;

    std::shared_ptr<CBUserMapStoreEngine> registry_;
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager_;
    std::weak_ptr<CBMapShelfHost> host_;
    CBWikipediaServices wikipedia_;
    bool firstAppearance_ = true;
    std::optional<std::vector<Map>> maps_;
    SortType shelfSortType_ = SortByName;
    std::shared_ptr<CLLocationManager> locationManager_;
    std::shared_ptr<UIActivityIndicatorView> spinner_;
    Map mapToDelete_;
    Map mapToGoOnWith_;
    Map mapToDownloadAgain_;
    bool isAnimating_ = false;
    bool isVisible_ = false;
    CBMapShelfLayoutMetrics metrics_{};
    std::shared_ptr<ZELPatternedCollectionView> collectionView_;
    std::shared_ptr<UISearchBar> searchBar_;
    std::shared_ptr<UIImage> blurredCoverForAddMapCell_;
    std::weak_ptr<UISegmentedControl> sortSegmentedControl_;
    std::shared_ptr<UIAlertView> alert_;
};
