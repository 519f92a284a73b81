#pragma once

#include <memory>
#include <string>
#include <vector>

#include "UIKit/UIColor.h"
#include "sdk/BITZizavaBaseViewController.h"
#include "sdk/update/BITStoreButton.h"
#include "sdk/update/BITUpdateManager.h"

class BITAppStoreHeader;
class BITAppVersionMetaInfo;
class BITWebTableViewCell;
class NSNotificationObserver;
class UIButton;

// The action button's states.
enum BITUpdateStoreButtonState : long {
    BITUpdateStateOffline = 0,
    BITUpdateCheckStatus = 1,
    BITUpdateStateSearching = 2,
    BITUpdateStateUpdate = 3,
    BITUpdateStateInstalling = 4,
};

// The builds the beta update manager knows, newest first, each with its
// version, date, size and release notes, under a store-like header with the
// application's icon, name and owner and one button that checks for updates
// or installs the newest build. Older builds wait behind "Show previous
// versions". A mandatory update leaves no way to close the screen.
class BITUpdateViewController : public BITZizavaBaseViewController,
                                public BITStoreButtonDelegate,
                                public BITUpdateManagerObserver {
  public:
    BITUpdateViewController(const std::shared_ptr<BITUpdateManager>& manager, bool modal);
    ~BITUpdateViewController() override;

    std::shared_ptr<BITUpdateManager> updateManager() const { return updateManager_.lock(); }
    // The screen's own background, which the cells and a table without a
    // footer take.
    UIColor backgroundColor() const;
    bool mandatoryUpdate() const { return mandatoryUpdate_; }
    void setMandatoryUpdate(bool mandatory) { mandatoryUpdate_ = mandatory; }
    BITUpdateStoreButtonState appStoreButtonState() const { return appStoreButtonState_; }
    void setAppStoreButtonState(BITUpdateStoreButtonState state) {
        setAppStoreButtonStateAnimated(state, false);
    }
    void setAppStoreButtonStateAnimated(BITUpdateStoreButtonState state, bool animated);
    bool showAllVersions() const { return showAllVersions_; }
    const std::vector<std::shared_ptr<BITWebTableViewCell>>& cells() const { return cells_; }
    const std::shared_ptr<BITAppStoreHeader>& appStoreHeader() const { return appStoreHeader_; }
    const std::shared_ptr<BITStoreButton>& appStoreButton() const { return appStoreButton_; }
    // The "Show previous versions" button while it is offered.
    const std::shared_ptr<UIButton>& previousVersionsButton() const {
        return previousVersionsButton_;
    }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    void redrawTableView();
    void showPreviousVersionAction();
    void appDidBecomeActive();
    // The cell's page body for a build: heading, installed marker, date and
    // size, then the notes; plain texts escaped.
    std::string webContentForAppVersion(const BITAppVersionMetaInfo& version, bool newest) const;

    void storeButtonFired(BITStoreButton& button) override;
    void updateManagerDidChangeValueForKey(BITUpdateManager& manager,
                                           const std::string& key) override;

    long tableViewNumberOfRowsInSection(UITableView&, long) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&,
                                                                    const NSIndexPath&) override;
    std::optional<CGFloat> tableViewHeightForRowAtIndexPath(UITableView&,
                                                            const NSIndexPath&) override;

  private:
    std::shared_ptr<BITUpdateViewController> self();
    void restoreStoreButtonStateAnimated(bool animated);
    void updateAppStoreHeader();
    void showHidePreviousVersionsButton();
    void realignPreviousVersionButton();
    // The pressed look of the previous-versions button: a 10 x 70 point
    // vertical gradient, dark enough for its white pressed title.
    static std::shared_ptr<UIImage> gradientButtonHighlightImage();
    // A cell for the version's release notes, configured and rendering.
    std::shared_ptr<BITWebTableViewCell> webCellWithAppVersion(
        const std::shared_ptr<BITAppVersionMetaInfo>& version);
    void configureWebCellForAppVersion(BITWebTableViewCell& cell,
                                       const std::shared_ptr<BITAppVersionMetaInfo>& version);
    void webViewSizeChanged();
    bool isOnScreen();

    std::weak_ptr<BITUpdateManager> updateManager_;
    BITAppEnvironment appEnvironment_;
    bool showAllVersions_ = false;
    std::vector<std::shared_ptr<BITWebTableViewCell>> cells_;
    std::shared_ptr<BITAppStoreHeader> appStoreHeader_;
    std::shared_ptr<BITStoreButton> appStoreButton_;
    std::shared_ptr<UIView> footer_;
    std::shared_ptr<UIButton> previousVersionsButton_;
    bool mandatoryUpdate_ = false;
    BITUpdateStoreButtonState appStoreButtonState_ = BITUpdateCheckStatus;
    std::shared_ptr<NSNotificationObserver> activeObserver_;
};
