#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "Foundation/NSError.h"
#include "Foundation/Value.h"
#include "QuickLook/QLPreviewController.h"
#include "UIKit/UIActionSheet.h"
#include "UIKit/UIAlertView.h"
#include "sdk/BITZizavaBaseViewController.h"
#include "sdk/feedback/BITAttributedLabel.h"
#include "sdk/feedback/BITFeedbackComposeViewController.h"
#include "sdk/feedback/BITFeedbackListViewCell.h"
#include "sdk/feedback/BITFeedbackUserDataViewController.h"

class BITFeedbackManager;
class NSNotificationObserver;

// The user's feedback thread: when it was last updated, a button to write
// feedback or a response, the messages with their attachments (downloaded
// when they exist only on the service, previewed on a tap), the user's name
// or e-mail, and Delete all.
class BITFeedbackListViewController : public BITZizavaBaseViewController,
                                      public BITFeedbackUserDataDelegate,
                                      public BITFeedbackComposeViewControllerDelegate,
                                      public BITAttributedLabelDelegate,
                                      public BITFeedbackListViewCellDelegate,
                                      public UIActionSheetDelegate,
                                      public UIAlertViewDelegate,
                                      public QLPreviewControllerDataSource {
  public:
    enum ActionTag : long { kDeleteAllTag = 0, kLinkTag = 1 };

    // Without a manager the front's feedback manager is used.
    BITFeedbackListViewController(UITableViewStyle style, bool modal,
                                  std::shared_ptr<BITFeedbackManager> manager = nullptr);
    ~BITFeedbackListViewController() override;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    void startLoadingIndicator();
    void stopLoadingIndicator();
    void reloadList();
    void updateList();
    void showDelayedUserDataViewController();
    void setUserDataAction();
    void newFeedbackAction();
    void deleteAllMessages();
    void deleteAllMessagesAction();
    std::shared_ptr<UIView> viewForShowingActionSheetOnPhone();
    void refreshPreviewItems();
    std::shared_ptr<BITFeedbackMessageAttachment> placeholder();

    long numberOfSectionsInTableView(UITableView&) override;
    long tableViewNumberOfRowsInSection(UITableView&, long section) override;
    std::optional<CGFloat> tableViewHeightForHeaderInSection(UITableView&, long section) override;
    std::shared_ptr<UIView> tableViewViewForHeaderInSection(UITableView&, long section) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& path) override;
    bool tableViewCanEditRowAtIndexPath(UITableView&, const NSIndexPath& path) override;
    void tableViewCommitEditingStyleForRowAtIndexPath(UITableView& table,
                                                      UITableViewCellEditingStyle style,
                                                      const NSIndexPath& path) override;
    bool tableViewAllowsSwipeToDelete(UITableView&) override { return true; }
    std::optional<CGFloat> tableViewHeightForRowAtIndexPath(UITableView&,
                                                            const NSIndexPath& path) override;
    void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& path) override;

    bool attributedLabelDidSelectLinkWithURL(BITAttributedLabel&, const std::string& url) override;
    void alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) override;
    void actionSheetDidDismissWithButtonIndex(UIActionSheet& sheet, long index) override;
    void listCellDidSelectAttachment(BITFeedbackListViewCell&,
                                     const BITFeedbackMessageAttachment& attachment) override;
    long numberOfPreviewItemsInPreviewController(QLPreviewController&) override;
    std::shared_ptr<QLPreviewItem> previewControllerPreviewItemAtIndex(QLPreviewController& preview,
                                                                       long index) override;

    void userDataUpdateCancelled() override;
    void userDataUpdateFinished() override;
    bool feedbackComposeViewControllerDidFinishWithResult(
        BITFeedbackComposeViewController& composer, BITFeedbackComposeResult result) override;

    std::shared_ptr<BITFeedbackManager> manager() const { return manager_.lock(); }
    long userButtonSection() const { return userButtonSection_; }
    long deleteButtonSection() const { return deleteButtonSection_; }
    bool userDataComposeFlow() const { return userDataComposeFlow_; }
    const std::optional<BITFeedbackMessage::Attachments>& cachedPreviewItems() const {
        return cachedPreviewItems_;
    }
    // The Refresh button: this table has no pull-to-refresh control.
    const std::shared_ptr<UIBarButtonItem>& refreshItem() const { return refreshItem_; }
    // Whether the pull-to-refresh control is refreshing: never, as there is none.
    bool isRefreshingWithNewControl() const { return false; }
    // The end of a row's attachment download: a body is stored and the
    // thread saved. Downloads end this way whether or not the screen is open.
    void handleResponseForAttachmentResponseDataError(
        const std::shared_ptr<BITFeedbackMessageAttachment>& attachment,
        const std::optional<Value::Data>& responseData, const std::optional<NSError>& error);
    // The same for a preview's download, which then shows the preview anew.
    void previewControllerUpdateAttachmentData(
        QLPreviewController& preview,
        const std::shared_ptr<BITFeedbackMessageAttachment>& attachment,
        const std::optional<Value::Data>& data);

  private:
    struct RowHeight {
        std::weak_ptr<BITFeedbackMessage> message;
        CGFloat width = 0;
        std::optional<std::string> text;
        size_t previewable = 0;
        CGFloat height = 0;
    };

    std::shared_ptr<BITFeedbackListViewController> self();
    std::shared_ptr<UITableViewCell> buttonCell(UITableView& table, long section);
    std::string userButtonText();
    void showLinkChoices(const std::string& url);
    void linkAction(const std::string& url, bool open);
    void downloadForPreview(const std::shared_ptr<BITFeedbackMessageAttachment>& attachment,
                            const std::shared_ptr<QLPreviewController>& preview);
    void dismissFromFlow(bool thenCompose);

    long deleteButtonSection_ = -1;
    long userButtonSection_ = -1;
    bool userDataComposeFlow_ = false;
    bool userDataPushed_ = false;
    std::weak_ptr<BITFeedbackManager> manager_;
    std::optional<BITFeedbackMessage::Attachments> cachedPreviewItems_;
    std::shared_ptr<UIBarButtonItem> refreshItem_;
    std::shared_ptr<NSNotificationObserver> loadingStartedObserver_;
    std::shared_ptr<NSNotificationObserver> loadingFinishedObserver_;
    std::unordered_map<const BITFeedbackMessage*, RowHeight> rowHeights_;
};
