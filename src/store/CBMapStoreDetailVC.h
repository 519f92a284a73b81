#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UIKit/UIAlertView.h"
#include "UIKit/UIImagePickerController.h"
#include "UIKit/UIPopoverController.h"
#include "UIKit/UIViewController.h"
#include "mapkit/CBImageDataSource.h"
#include "model/CBWikipediaManagerDelegate.h"
#include "packages/CBUserMapStoreEngineDelegate.h"
#include "packages/ZELDownloadStatus.h"

class CBMapScrollView;
class CBMapStoreEngine;
class CBMapStoreInfoMap;
class CBMapStoreMap;
class CBStatsBar;
class CBUserMapStoreEngine;
class CBWikipediaManager;
class UIActivityIndicatorView;
class UIBarButtonItem;
class UIButton;
class UIImageView;
class UILabel;
class UIProgressView;
class UIScrollView;
class ZELDownloadManagerDownload;
class ZELDownloadManagerEngine;
class ZELRoundedGradientButton;

// The store's detail screen of one catalogue map: its cover, a small online
// map with the map's outline, its statistics, the button that downloads,
// updates or reports the map package and the one that loads or deletes its
// Wikipedia articles. While a package loads it follows its status through
// the installed-maps registry (the map) and the Wikipedia manager (the
// articles).
class CBMapStoreDetailVC : public UIViewController,
                           public CBUserMapStoreEngineDelegate,
                           public CBWikipediaManagerDelegate,
                           public UIAlertViewDelegate,
                           public CBImageDataSourceCacheDelegate,
                           public UIImagePickerControllerDelegate,
                           public UIPopoverControllerDelegate {
  public:
    using Download = std::shared_ptr<ZELDownloadManagerDownload>;
    static constexpr long kCoverInfoAlertTag = 433;
    static constexpr long kDeleteWikipediaAlertTag = 533;
    // The user's own cover fills this size in points.
    static constexpr double kCustomCoverWidth = 160;
    static constexpr double kCustomCoverHeight = 240;

    // Registers the screen with the registry and the Wikipedia manager.
    // Without a Wikipedia manager the screen offers no Wikipedia articles.
    static std::shared_ptr<CBMapStoreDetailVC> create(
        std::shared_ptr<CBMapStoreMap> map, std::shared_ptr<ZELDownloadManagerEngine> manager,
        std::shared_ptr<CBMapStoreEngine> engine,
        std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine,
        std::shared_ptr<CBWikipediaManager> wikipediaManager = nullptr);
    CBMapStoreDetailVC(std::shared_ptr<CBMapStoreMap> map,
                       std::shared_ptr<ZELDownloadManagerEngine> manager,
                       std::shared_ptr<CBMapStoreEngine> engine,
                       std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine,
                       std::shared_ptr<CBWikipediaManager> wikipediaManager);
    ~CBMapStoreDetailVC() override;

    const std::shared_ptr<CBMapStoreMap>& map() const { return map_; }
    const std::shared_ptr<ZELDownloadManagerEngine>& downloadManager() const {
        return downloadManager_;
    }
    const std::shared_ptr<CBMapStoreEngine>& engine() const { return engine_; }
    const std::shared_ptr<CBWikipediaManager>& wikipediaManager() const {
        return wikipediaManager_;
    }
    // The right bar button comes back only once a download of the map exists.
    bool showRightBarButtonItemAfterDownloadOnly() const { return rightButtonAfterDownload_; }
    void setShowRightBarButtonItemAfterDownloadOnly(bool flag) { rightButtonAfterDownload_ = flag; }

    const std::shared_ptr<CBMapStoreInfoMap>& mapInfo() const { return mapInfo_; }
    const Download& mapDownload() const { return mapDownload_; }
    const Download& wikipediaDownload() const { return wikipediaDownload_; }
    const ZELDownloadStatus& mapStatus() const { return mapStatus_; }
    const ZELDownloadStatus& wikipediaStatus() const { return wikipediaStatus_; }
    bool mapInfoIsValid() const;
    // Asks the catalogue for the map's information again, after it could
    // not be loaded.
    void retryLoadingMapInfo();
    const std::shared_ptr<UIButton>& retryInfoButton() const { return retryInfoButton_; }
    void updateDownloadButtons();
    void checkDownloadState();
    void updateMapStats();
    // Adds the map's download, or goes on with a paused or failed one.
    void downloadMap();
    // Loads the Wikipedia articles (after asking for the language), goes on
    // with a paused or failed download of them, or asks to delete the
    // installed ones.
    void downloadWikipedia();
    void askToDeleteWikipedia();
    void showMapCoverInfo();
    void openImagePicker();
    void done();
    const std::shared_ptr<UIAlertView>& coverInfoAlert() const { return coverInfoAlert_; }
    const std::shared_ptr<UIAlertView>& deleteWikipediaAlert() const {
        return deleteWikipediaAlert_;
    }
    const std::shared_ptr<UIImagePickerController>& imagePicker() const { return imagePicker_; }
    // The picker's popover on the pad.
    const std::shared_ptr<UIPopoverController>& activePopover() const { return activePopover_; }

    // Outlets, for the scenarios and tests that look at the screen.
    const std::shared_ptr<UIButton>& downloadMapButton() const { return downloadMapButton_; }
    const std::shared_ptr<ZELRoundedGradientButton>& downloadWikipediaButton() const {
        return downloadWikipediaButton_;
    }
    const std::shared_ptr<UIProgressView>& mapProgress() const { return mapProgress_; }
    const std::shared_ptr<UIProgressView>& wikiProgress() const { return wikiProgress_; }
    // The lines under the buttons that say why a download is paused or failed.
    const std::shared_ptr<UILabel>& mapStatusLabel() const { return mapStatusLabel_; }
    const std::shared_ptr<UILabel>& wikiStatusLabel() const { return wikiStatusLabel_; }
    const std::shared_ptr<UIImageView>& mapCoverView() const { return mapCoverView_; }
    const std::shared_ptr<UIActivityIndicatorView>& mapCoverLoadingIndicator() const {
        return mapCoverLoadingIndicator_;
    }
    const std::shared_ptr<UILabel>& editCoverLabel() const { return editCoverLabel_; }
    const std::shared_ptr<UILabel>& generalMapStats() const { return generalMapStats_; }
    const std::shared_ptr<UILabel>& wikipediaStats() const { return wikipediaStats_; }
    const std::shared_ptr<CBStatsBar>& statsBar() const { return statsBar_; }
    const std::shared_ptr<CBMapScrollView>& mapView() const { return mapView_; }
    // Everything under the bar; it scrolls where the screen is shorter than
    // its layout (a phone on its side).
    const std::shared_ptr<UIScrollView>& contentView() const { return contentView_; }
    const std::shared_ptr<UIView>& headerContainerView() const { return headerContainerView_; }
    const std::shared_ptr<UIView>& mapViewContainer() const { return mapViewContainer_; }
    const std::shared_ptr<UIActivityIndicatorView>& updatingActivity() const {
        return updatingActivity_;
    }
    const std::shared_ptr<UIView>& updatingView() const { return updatingView_; }
    const std::shared_ptr<UILabel>& updatingLabel() const { return updatingLabel_; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewDidLayoutSubviews() override;
    // Portrait on the phone, every orientation on the pad.
    unsigned long supportedInterfaceOrientations() const override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    void userMapStoreDownloadStatusChangedToForMapWithIdentifier(
        CBUserMapStoreEngine&, const ZELDownloadStatus& status,
        const std::string& identifier) override;
    void userMapStoreDownloadProgressChangedToForMapWithIdentifier(
        CBUserMapStoreEngine&, const ZELDownloadStatus& status,
        const std::string& identifier) override;
    void wikipediaManagerDownloadStatusChangedToForMapWithIdentifier(
        CBWikipediaManager&, const ZELDownloadStatus& status,
        const std::string& identifier) override;
    void wikipediaManagerDownloadProgressChangedToForMapWithIdentifier(
        CBWikipediaManager&, const ZELDownloadStatus& status,
        const std::string& identifier) override;
    // A download of this map or of its articles failed: the store's failure
    // alert, once per screen.
    void downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine&, const Download& download);
    // The engine's words for the changes that the registry and the Wikipedia
    // manager report: a download of this map or of its articles was added,
    // started loading, is installed or left the queue (the buttons follow its
    // status), or loaded further (its progress bar and extracting title).
    void downloadManagerDidAdd(ZELDownloadManagerEngine& engine, const Download& download);
    void downloadManagerWillStartLoading(ZELDownloadManagerEngine& engine,
                                         const Download& download);
    void downloadManagerDidStartPostProcessingForDownload(ZELDownloadManagerEngine& engine,
                                                          const Download& download);
    void downloadManagerDidRemoveDownloadWithIdentifierAndType(ZELDownloadManagerEngine&,
                                                               const std::string& identifier,
                                                               const std::string& type);
    void downloadManagerUpdatedProgressToForDownload(ZELDownloadManagerEngine& engine,
                                                     double progress, const Download& download);

    void alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) override;

    // The preview map's tiles go to the store's online tile cache.
    std::optional<std::string> imageDataSourcePathForCachedImageWithUrl(CBImageDataSource&,
                                                                        const NSURL& url) override;

    // Scales the picked photo on a global queue, stores it as the map's own
    // cover and shows it.
    void imagePickerControllerDidFinishPickingMediaWithInfo(
        UIImagePickerController& picker, const UIImagePickerMediaInfo& info) override;
    void imagePickerControllerDidCancel(UIImagePickerController& picker) override;
    void popoverControllerDidDismissPopover(UIPopoverController&) override;

  private:
    bool concernsThisMap(const std::string& identifier, const std::string& type) const;
    bool isThisMap(const std::string& identifier) const;
    void downloadStatusChanged(const ZELDownloadStatus& status);
    void downloadOfEngineChanged(const Download& download);
    void mapProgressChanged(const ZELDownloadStatus& status, const std::string& identifier);
    void wikipediaProgressChanged(const ZELDownloadStatus& status, const std::string& identifier);
    void showDownloadFailure(const ZELDownloadStatus& status);
    // The registry's record of the map once it was installed (a map loading
    // for the first time has a record but is not installed).
    std::shared_ptr<CBMapStoreMap> installedMap() const;
    bool userHasWikipedia() const;
    void deleteWikipedia();
    void buildViews();
    void loadMapInfo();
    void buildPreviewMap();
    void zoomPreviewMap();
    void loadCover();
    void updateMapButton();
    void updateWikipediaButton(bool installed);
    void closeImagePicker();

    std::shared_ptr<CBMapStoreMap> map_;
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager_;
    std::shared_ptr<CBMapStoreEngine> engine_;
    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine_;
    std::shared_ptr<CBWikipediaManager> wikipediaManager_;
    bool rightButtonAfterDownload_ = false;
    std::shared_ptr<UIBarButtonItem> originalBarButtonItem_;
    std::shared_ptr<CBMapStoreInfoMap> mapInfo_;
    Download mapDownload_;
    Download wikipediaDownload_;
    ZELDownloadStatus mapStatus_;
    ZELDownloadStatus wikipediaStatus_;
    bool errorUpdatingInfo_ = false;
    bool displayedDownloadError_ = false;
    std::shared_ptr<UIAlertView> coverInfoAlert_;
    std::shared_ptr<UIAlertView> deleteWikipediaAlert_;
    std::shared_ptr<UIImagePickerController> imagePicker_;
    std::shared_ptr<UIPopoverController> activePopover_;
    std::shared_ptr<CBMapScrollView> mapView_;
    CGSize laidOutHeaderSize_{};
    std::shared_ptr<CBImageDataSource> mapTileDataSource_;

    std::shared_ptr<UIScrollView> contentView_;
    std::shared_ptr<UIView> headerContainerView_;
    std::shared_ptr<UIView> mapViewContainer_;
    std::shared_ptr<UIImageView> mapCoverView_;
    std::shared_ptr<UIActivityIndicatorView> mapCoverLoadingIndicator_;
    std::shared_ptr<UILabel> editCoverLabel_;
    std::shared_ptr<UIButton> downloadMapButton_;
    std::shared_ptr<UIProgressView> mapProgress_;
    std::shared_ptr<UILabel> mapStatusLabel_;
    std::shared_ptr<ZELRoundedGradientButton> downloadWikipediaButton_;
    std::shared_ptr<UIProgressView> wikiProgress_;
    std::shared_ptr<UILabel> wikiStatusLabel_;
    std::shared_ptr<UILabel> generalMapStats_;
    std::shared_ptr<UILabel> wikipediaStats_;
    std::shared_ptr<CBStatsBar> statsBar_;
    std::shared_ptr<UIView> updatingView_;
    std::shared_ptr<UIActivityIndicatorView> updatingActivity_;
    std::shared_ptr<UILabel> updatingLabel_;
    std::shared_ptr<UIButton> retryInfoButton_;
};
