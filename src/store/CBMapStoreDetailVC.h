#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UIKit/UIAlertView.h"
#include "UIKit/UIViewController.h"
#include "packages/ZELDownloadManagerEngineDelegate.h"

class CBMapStoreEngine;
class CBMapStoreInfoMap;
class CBMapStoreMap;
class CBUserMapStoreEngine;
class UIActivityIndicatorView;
class UIBarButtonItem;
class UIButton;
class UIImageView;
class UILabel;
class UIProgressView;
class ZELDownloadManagerEngine;

// The store's detail screen of one catalogue map: its cover, its statistics
// and the button that downloads, updates or reports the map package. While
// the package loads it follows the download engine.
class CBMapStoreDetailVC : public UIViewController,
                           public ZELDownloadManagerEngineDelegate,
                           public UIAlertViewDelegate {
  public:
    using Download = ZELDownloadManagerEngineDelegate::Download;
    static constexpr long kCoverInfoAlertTag = 433;

    // Registers the screen with the download engine; it leaves when destroyed.
    static std::shared_ptr<CBMapStoreDetailVC> create(
        std::shared_ptr<CBMapStoreMap> map, std::shared_ptr<ZELDownloadManagerEngine> manager,
        std::shared_ptr<CBMapStoreEngine> engine,
        std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine);
    CBMapStoreDetailVC(std::shared_ptr<CBMapStoreMap> map,
                       std::shared_ptr<ZELDownloadManagerEngine> manager,
                       std::shared_ptr<CBMapStoreEngine> engine,
                       std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine);
    ~CBMapStoreDetailVC() override;

    const std::shared_ptr<CBMapStoreMap>& map() const { return map_; }
    // The right bar button comes back only once a download of the map exists.
    void setShowRightBarButtonItemAfterDownloadOnly(bool flag) { rightButtonAfterDownload_ = flag; }

    const std::shared_ptr<CBMapStoreInfoMap>& mapInfo() const { return mapInfo_; }
    const Download& mapDownload() const { return mapDownload_; }
    bool mapInfoIsValid() const;
    void updateDownloadButtons();
    void checkDownloadState();
    void updateMapStats();
    void downloadMap();
    void showMapCoverInfo();
    const std::shared_ptr<UIAlertView>& coverInfoAlert() const { return coverInfoAlert_; }

    // Outlets, for the scenarios and tests that look at the screen.
    const std::shared_ptr<UIButton>& downloadMapButton() const { return downloadMapButton_; }
    const std::shared_ptr<UIProgressView>& mapProgress() const { return mapProgress_; }
    const std::shared_ptr<UIImageView>& mapCoverView() const { return mapCoverView_; }
    const std::shared_ptr<UILabel>& generalMapStats() const { return generalMapStats_; }
    const std::shared_ptr<UILabel>& wikipediaStats() const { return wikipediaStats_; }
    const std::vector<std::shared_ptr<UILabel>>& statsLabels() const { return statsLabels_; }
    const std::shared_ptr<UIView>& updatingView() const { return updatingView_; }
    const std::shared_ptr<UILabel>& updatingLabel() const { return updatingLabel_; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidLayoutSubviews() override;

    void downloadManagerDidAdd(ZELDownloadManagerEngine&, const Download&) override;
    void downloadManagerWillStartLoading(ZELDownloadManagerEngine&, const Download&) override;
    std::optional<bool> downloadManagerDidStartPostProcessingForDownload(ZELDownloadManagerEngine&,
                                                                         const Download&) override;
    void downloadManagerDidRemoveDownloadWithIdentifierAndType(ZELDownloadManagerEngine&,
                                                               const std::string& identifier,
                                                               const std::string& type) override;
    void downloadManagerUpdatedProgressToForDownload(ZELDownloadManagerEngine&, double progress,
                                                     const Download&) override;
    void downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine&, const Download&) override;

    void alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) override;

  private:
    bool concernsThisMap(const std::string& identifier, const std::string& type) const;
    std::shared_ptr<CBMapStoreMap> installedMap() const;
    void buildViews();
    void loadCover();
    void updateMapButton();

    std::shared_ptr<CBMapStoreMap> map_;
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager_;
    std::shared_ptr<CBMapStoreEngine> engine_;
    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine_;
    bool rightButtonAfterDownload_ = false;
    std::shared_ptr<UIBarButtonItem> originalBarButtonItem_;
    std::shared_ptr<CBMapStoreInfoMap> mapInfo_;
    Download mapDownload_;
    bool errorUpdatingInfo_ = false;
    bool displayedDownloadError_ = false;
    std::shared_ptr<UIAlertView> coverInfoAlert_;

    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UIView> headerContainerView_;
    std::shared_ptr<UIImageView> mapCoverView_;
    std::shared_ptr<UIActivityIndicatorView> mapCoverLoadingIndicator_;
    std::shared_ptr<UILabel> editCoverLabel_;
    std::shared_ptr<UIButton> downloadMapButton_;
    std::shared_ptr<UIProgressView> mapProgress_;
    std::shared_ptr<UILabel> generalMapStats_;
    std::shared_ptr<UILabel> wikipediaStats_;
    std::vector<std::shared_ptr<UIImageView>> statsIcons_;
    std::vector<std::shared_ptr<UILabel>> statsLabels_;
    std::shared_ptr<UIView> updatingView_;
    std::shared_ptr<UIActivityIndicatorView> updatingActivity_;
    std::shared_ptr<UILabel> updatingLabel_;
};
