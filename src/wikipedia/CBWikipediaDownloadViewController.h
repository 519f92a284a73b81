#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIViewController.h"
#include "model/CBWikipediaManagerDelegate.h"
#include "model/CBWikipediaPackageList.h"
#include "packages/ZELDownloadStatus.h"
#include "wikipedia/CBWikipediaServices.h"

class CBUserMapStoreEngine;
class CBWikipediaDownloadViewControllerDelegate;
class CBWikipediaManager;
class UIButton;
class UILabel;
class UIProgressView;
class UIScrollView;
class ZELDownloadManagerDownload;
class ZELDownloadManagerEngine;

// The Wikipedia tab while the current map has no articles: the button that
// asks for the language and queues the package, and then what its download
// is at. It follows only the download of the current map's package. A
// failed one shows the store's failure alert once until the button is
// tapped again, and the button to try again. Once the package is installed
// the delegate hears of it. An article store that is there but cannot be
// read is told in one line, and nothing is deleted. Before a download it
// follows the store's list of packages: while it is asked for, when the map
// has none, and when it could not be loaded (with the button that asks
// again). It hears what the download is at from the Wikipedia manager.
class CBWikipediaDownloadViewController : public UIViewController,
                                          public CBWikipediaManagerDelegate {
  public:
    using Download = std::shared_ptr<ZELDownloadManagerDownload>;

    explicit CBWikipediaDownloadViewController(CBWikipediaServices services);
    ~CBWikipediaDownloadViewController() override;

    const std::shared_ptr<ZELDownloadManagerEngine>& downloadManager() const {
        return services_.downloads;
    }
    const std::shared_ptr<CBWikipediaManager>& wikipediaManager() const {
        return services_.manager;
    }
    const std::shared_ptr<CBUserMapStoreEngine>& userMapStoreEngine() const {
        return services_.registry;
    }
    std::shared_ptr<CBWikipediaDownloadViewControllerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<CBWikipediaDownloadViewControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    bool displayedDownloadError() const { return displayedDownloadError_; }

    const std::shared_ptr<UIButton>& downloadWikipediaButton() const { return button_; }
    const std::shared_ptr<UIProgressView>& downloadProgressView() const { return progress_; }
    const std::shared_ptr<UILabel>& wikipediaNotLoadedLabel() const { return label_; }

    void updateDownloadButton();
    void startDownload();

    void loadView() override;
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewDidAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    void wikipediaManagerPackageListChangedForMapWithIdentifier(
        CBWikipediaManager&, const std::string& identifier) override;
    void wikipediaManagerDownloadStatusChangedToForMapWithIdentifier(
        CBWikipediaManager&, const ZELDownloadStatus& status,
        const std::string& identifier) override;
    void wikipediaManagerDownloadProgressChangedToForMapWithIdentifier(
        CBWikipediaManager&, const ZELDownloadStatus& status,
        const std::string& identifier) override;

    // The engine's words for what the Wikipedia manager reports of a
    // download of articles: each follows its status, or its progress.
    void downloadManagerDidAdd(ZELDownloadManagerEngine& engine, const Download& download);
    void downloadManagerWillStartLoading(ZELDownloadManagerEngine& engine,
                                         const Download& download);
    void downloadManagerDidStartPostProcessingForDownload(ZELDownloadManagerEngine& engine,
                                                          const Download& download);
    void downloadManagerUpdatedProgressToForDownload(ZELDownloadManagerEngine& engine,
                                                     double progress, const Download& download);
    void downloadManagerFinishedLoadingDownload(ZELDownloadManagerEngine& engine,
                                                const Download& download);
    void downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine& engine,
                                             const Download& download);

  private:
    void downloadOfEngineChanged(ZELDownloadManagerEngine& engine, const Download& download);
    std::optional<std::string> currentMapIdentifier() const;
    // The download of the current map's package as it stands.
    ZELDownloadStatus currentStatus() const;
    CBWikipediaPackageList packageList() const;
    // The screen before any download: what the store's list says.
    void showPackageList();
    // Installed or cancelled: the guide takes over, or the screen shows what
    // is left.
    void downloadLeftQueue(const std::string& identifier);

    CBWikipediaServices services_;
    std::weak_ptr<CBWikipediaDownloadViewControllerDelegate> delegate_;
    bool displayedDownloadError_ = false;
    // What the screen last showed: a download that appears fades in.
    ZELDownloadStatus shownStatus_;
    // Holds the line, the button and the bar; it scrolls where the screen
    // is shorter than its upright layout (a phone on its side).
    std::shared_ptr<UIScrollView> contentView_;
    std::shared_ptr<UIButton> button_;
    std::shared_ptr<UIProgressView> progress_;
    std::shared_ptr<UILabel> label_;
};
