#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIViewController.h"
#include "model/CBWikipediaManagerDelegate.h"
#include "model/CBWikipediaPackageList.h"
#include "packages/ZELDownloadManagerEngineDelegate.h"
#include "wikipedia/CBWikipediaServices.h"

class CBUserMapStoreEngine;
class CBWikipediaDownloadViewControllerDelegate;
class CBWikipediaManager;
class UIButton;
class UILabel;
class UIProgressView;
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
// again).
class CBWikipediaDownloadViewController : public UIViewController,
                                          public ZELDownloadManagerEngineDelegate,
                                          public CBWikipediaManagerDelegate {
  public:
    explicit CBWikipediaDownloadViewController(CBWikipediaServices services);
    ~CBWikipediaDownloadViewController() override;

    const std::shared_ptr<ZELDownloadManagerEngine>& downloadManager() const {
        return downloadManager_;
    }
    const std::shared_ptr<CBWikipediaManager>& wikipediaManager() const {
        return wikipediaManager_;
    }
    const std::shared_ptr<CBUserMapStoreEngine>& userMapStoreEngine() const {
        return userMapStoreEngine_;
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
    void viewDidAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    void wikipediaManagerPackageListChangedForMapWithIdentifier(
        CBWikipediaManager&, const std::string& identifier) override;

    void downloadManagerDidAdd(ZELDownloadManagerEngine&, const Download& download) override;
    void downloadManagerWillStartLoading(ZELDownloadManagerEngine&,
                                         const Download& download) override;
    void downloadManagerWillStartUnzippingDownload(ZELDownloadManagerEngine&,
                                                   const Download& download) override;
    void downloadManagerDidStartPostProcessingForDownload(ZELDownloadManagerEngine&,
                                                          const Download& download) override;
    void downloadManagerUpdatedProgressToForDownload(ZELDownloadManagerEngine&, double progress,
                                                     const Download& download) override;
    void downloadManagerFinishedLoadingDownload(ZELDownloadManagerEngine&,
                                                const Download& download) override;
    void downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine&,
                                             const Download& download) override;
    void downloadManagerDidRemoveDownloadWithIdentifierAndType(ZELDownloadManagerEngine&,
                                                               const std::string& identifier,
                                                               const std::string& type) override;

  private:
    std::optional<std::string> currentMapIdentifier() const;
    bool concernsThisScreen(const std::string& identifier, const std::string& type) const;
    bool concernsThisScreen(const Download& download) const;
    Download currentDownload() const;
    CBWikipediaPackageList packageList() const;
    // The screen before any download: what the store's list says.
    void showPackageList();

    std::weak_ptr<CBWikipediaHost> host_;
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager_;
    std::shared_ptr<CBWikipediaManager> wikipediaManager_;
    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine_;
    std::weak_ptr<CBWikipediaDownloadViewControllerDelegate> delegate_;
    bool displayedDownloadError_ = false;
    std::shared_ptr<UIButton> button_;
    std::shared_ptr<UIProgressView> progress_;
    std::shared_ptr<UILabel> label_;
};
