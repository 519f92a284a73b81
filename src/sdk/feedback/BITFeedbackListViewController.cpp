#include "sdk/feedback/BITFeedbackListViewController.h"

#include <algorithm>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSDateFormatter.h"
#include "Foundation/NSIndexPath.h"
#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIPasteboard.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIWindow.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaManager.h"
#include "sdk/feedback/BITFeedbackAttachmentDownload.h"
#include "sdk/feedback/BITFeedbackManager.h"

namespace {

constexpr const char* kMessageCell = "MessageCell";
constexpr const char* kButtonCells[] = {"ButtonTopCell", "ButtonBottomCell", "ButtonDeleteCell"};
constexpr long kMessageSection = 1;
constexpr long kSeparatorTag = 4711;
constexpr CGFloat kButtonRowHeight = 44;

UIColor grey(int level) {
    return UIColor::colorWithWhiteAlpha(level / 255.0, 1);
}

bool onPad() {
    return UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad;
}

}  // namespace

BITFeedbackListViewController::BITFeedbackListViewController(
    UITableViewStyle style, bool modal, std::shared_ptr<BITFeedbackManager> manager)
    : BITZizavaBaseViewController(style, modal) {
    if (!manager) {
        if (const auto front = BITZizavaManager::sharedZizavaManager())
            manager = std::dynamic_pointer_cast<BITFeedbackManager>(front->feedbackManager());
    }
    manager_ = manager;
}

BITFeedbackListViewController::~BITFeedbackListViewController() {
    const auto center = NSNotificationCenter::defaultCenter();
    for (const auto& observer : {loadingStartedObserver_, loadingFinishedObserver_}) {
        if (observer)
            center->removeObserver(observer);
    }
}

std::shared_ptr<BITFeedbackListViewController> BITFeedbackListViewController::self() {
    return std::static_pointer_cast<BITFeedbackListViewController>(
        std::static_pointer_cast<UIViewController>(shared_from_this()));
}

void BITFeedbackListViewController::viewDidLoad() {
    BITZizavaBaseViewController::viewDidLoad();
    const std::weak_ptr<BITFeedbackListViewController> weak = self();
    const auto center = NSNotificationCenter::defaultCenter();
    const auto main = DispatchQueue::main()->scheduler();
    loadingStartedObserver_ = center->addObserverForName(
        kBITFeedbackMessagesLoadingStarted, nullptr, main, [weak](const NSNotification&) {
            if (const auto screen = weak.lock())
                screen->startLoadingIndicator();
        });
    loadingFinishedObserver_ = center->addObserverForName(
        kBITFeedbackMessagesLoadingFinished, nullptr, main, [weak](const NSNotification&) {
            if (const auto screen = weak.lock())
                screen->updateList();
        });
    setTitle(bit_localizedString("ZizavaFeedbackListTitle"));
    tableView()->setDelegate(std::weak_ptr<UITableViewDelegate>(self()));
    tableView()->setDataSource(std::weak_ptr<UITableViewDataSource>(self()));
    tableView()->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    tableView()->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                     UIViewAutoresizingFlexibleHeight);
    refreshItem_ =
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemRefresh, [weak](UIBarButtonItem&) {
            if (const auto screen = weak.lock())
                screen->reloadList();
        });
    navigationItem()->setRightBarButtonItem(refreshItem_);
}

void BITFeedbackListViewController::startLoadingIndicator() {
    if (refreshItem_)
        refreshItem_->setEnabled(false);
}

void BITFeedbackListViewController::stopLoadingIndicator() {
    if (refreshItem_)
        refreshItem_->setEnabled(true);
}

void BITFeedbackListViewController::reloadList() {
    startLoadingIndicator();
    if (const auto manager = manager_.lock())
        manager->updateMessagesList();
}

void BITFeedbackListViewController::updateList() {
    const std::weak_ptr<BITFeedbackListViewController> weak = self();
    DispatchQueue::main()->async([weak] {
        const auto screen = weak.lock();
        if (!screen)
            return;
        const auto table = screen->tableView();
        const CGFloat before = table->contentSize().height;
        const CGPoint offset = table->contentOffset();
        screen->refreshPreviewItems();
        table->reloadData();
        table->layoutIfNeeded();
        const CGFloat after = table->contentSize().height;
        // Rows in view stay where they are when the thread grew above them.
        if (before > 0 && after > table->UIView::frame().size.height && after > before)
            table->setContentOffset(CGPointMake(offset.x, offset.y + (after - before)));
        screen->stopLoadingIndicator();
    });
}

void BITFeedbackListViewController::viewDidAppear(bool animated) {
    userDataComposeFlow_ = false;
    const auto manager = manager_.lock();
    if (!manager) {
        BITZizavaBaseViewController::viewDidAppear(animated);
        return;
    }
    manager->setCurrentFeedbackListViewController(self());
    manager->updateMessagesListIfRequired();
    if (manager->numberOfMessages() == 0 && manager->askManualUserDataAvailable() &&
        manager->requireManualUserDataMissing() && !manager->didAskUserData()) {
        userDataComposeFlow_ = true;
        if (manager->showFirstRequiredPresentationModal()) {
            setUserDataAction();
        } else {
            const std::weak_ptr<BITFeedbackListViewController> weak = self();
            DispatchQueue::main()->after(0, [weak] {
                if (const auto screen = weak.lock())
                    screen->showDelayedUserDataViewController();
            });
        }
        BITZizavaBaseViewController::viewDidAppear(animated);
        return;
    }
    tableView()->reloadData();
    BITZizavaBaseViewController::viewDidAppear(animated);
}

void BITFeedbackListViewController::viewWillDisappear(bool animated) {
    if (const auto manager = manager_.lock();
        manager && manager->currentFeedbackListViewController().get() == this)
        manager->setCurrentFeedbackListViewController({});
    BITZizavaBaseViewController::viewWillDisappear(animated);
}

void BITFeedbackListViewController::showDelayedUserDataViewController() {
    auto form = std::make_shared<BITFeedbackUserDataViewController>(manager_.lock());
    form->setDelegate(std::weak_ptr<BITFeedbackUserDataDelegate>(self()));
    userDataPushed_ = true;
    if (const auto navigation = navigationController())
        navigation->pushViewControllerAnimated(form, true);
}

void BITFeedbackListViewController::setUserDataAction() {
    const auto manager = manager_.lock();
    if (!manager)
        return;
    auto form = std::make_shared<BITFeedbackUserDataViewController>(manager);
    form->setDelegate(std::weak_ptr<BITFeedbackUserDataDelegate>(self()));
    userDataPushed_ = false;
    presentViewControllerAnimatedCompletion(
        manager->customNavigationControllerWithRootViewControllerPresentationStyle(
            form, UIModalPresentationFormSheet),
        true, nullptr);
}

void BITFeedbackListViewController::newFeedbackAction() {
    const auto manager = manager_.lock();
    if (!manager)
        return;
    presentViewControllerAnimatedCompletion(
        manager->customNavigationControllerWithRootViewControllerPresentationStyle(
            manager->feedbackComposeViewController(), UIModalPresentationFormSheet),
        true, nullptr);
}

void BITFeedbackListViewController::deleteAllMessages() {
    if (const auto manager = manager_.lock())
        manager->deleteAllMessages();
    refreshPreviewItems();
    tableView()->reloadData();
}

void BITFeedbackListViewController::deleteAllMessagesAction() {
    const std::string cancel = bit_localizedString("ZizavaFeedbackListDeleteAllCancel");
    const std::string destroy = bit_localizedString("ZizavaFeedbackListDeleteAllDelete");
    if (onPad()) {
        auto alert = std::make_shared<UIAlertView>(
            bit_localizedString("ZizavaFeedbackListButtonDeleteAllMessages"),
            bit_localizedString("ZizavaFeedbackListDeleteAllTitle"),
            std::weak_ptr<UIAlertViewDelegate>(self()), cancel, std::vector{destroy});
        alert->setTag(kDeleteAllTag);
        alert->show();
        return;
    }
    auto sheet = std::make_shared<UIActionSheet>(
        bit_localizedString("ZizavaFeedbackListDeleteAllTitle"),
        std::weak_ptr<UIActionSheetDelegate>(self()), cancel, destroy);
    sheet->setTag(kDeleteAllTag);
    sheet->showInView(viewForShowingActionSheetOnPhone());
}

std::shared_ptr<UIView> BITFeedbackListViewController::viewForShowingActionSheetOnPhone() {
    const auto window = UIApplication::sharedApplication()->keyWindow();
    std::shared_ptr<UIViewController> top = window ? window->rootViewController() : nullptr;
    while (top && top->presentedViewController())
        top = top->presentedViewController();
    return top ? top->view() : view();
}

void BITFeedbackListViewController::refreshPreviewItems() {
    // Heights of messages no longer in the thread go with the old items.
    std::erase_if(rowHeights_, [](const auto& entry) { return entry.second.message.expired(); });
    BITFeedbackMessage::Attachments items;
    if (const auto manager = manager_.lock()) {
        for (const auto& message : manager->feedbackList()) {
            const auto previewable = message->previewableAttachments();
            items.insert(items.end(), previewable.begin(), previewable.end());
        }
    }
    cachedPreviewItems_ = std::move(items);
}

std::shared_ptr<BITFeedbackMessageAttachment> BITFeedbackListViewController::placeholder() {
    // Without a file or a source the attachment previews the SDK's
    // placeholder picture; nothing is written to the attachments folder.
    auto attachment = std::make_shared<BITFeedbackMessageAttachment>();
    attachment->setContentType("image/png");
    return attachment;
}

long BITFeedbackListViewController::numberOfSectionsInTableView(UITableView&) {
    deleteButtonSection_ = userButtonSection_ = -1;
    long count = 2;
    const auto manager = manager_.lock();
    if (!manager)
        return count;
    if (manager->isManualUserDataAvailable() || manager->didAskUserData())
        userButtonSection_ = count++;
    if (manager->numberOfMessages() > 0)
        deleteButtonSection_ = count++;
    return count;
}

long BITFeedbackListViewController::tableViewNumberOfRowsInSection(UITableView&, long section) {
    if (section != kMessageSection)
        return 1;
    const auto manager = manager_.lock();
    return manager ? static_cast<long>(manager->numberOfMessages()) : 0;
}

std::optional<CGFloat> BITFeedbackListViewController::tableViewHeightForHeaderInSection(
    UITableView&, long section) {
    if (section == 0)
        return 30;
    return std::nullopt;
}

std::shared_ptr<UIView> BITFeedbackListViewController::tableViewViewForHeaderInSection(
    UITableView&, long section) {
    if (section != 0)
        return nullptr;
    const CGFloat width = view()->frame().size.width;
    auto header = std::make_shared<UIView>(CGRectMake(0, 0, width, 30));
    auto label = std::make_shared<UILabel>(CGRectMake(16, 5, width - 32, 25));
    label->setFont(UIFont::systemFontOfSize(10));
    label->setTextColor(grey(75));
    const auto manager = manager_.lock();
    const auto lastCheck = manager ? manager->lastCheck() : std::nullopt;
    // A load that found no store sets the distant past: never updated.
    if (lastCheck && lastCheck->timeIntervalSince1970() > 0)
        label->setText(bit_localizedStringWithFormat(
            "ZizavaFeedbackListLastUpdated",
            NSDateFormatter::localizedStringFromDateDateStyleTimeStyle(
                *lastCheck, NSDateFormatterStyle::ShortStyle, NSDateFormatterStyle::ShortStyle)));
    else
        label->setText(bit_localizedString("ZizavaFeedbackListNeverUpdated"));
    header->addSubview(label);
    return header;
}

std::string BITFeedbackListViewController::userButtonText() {
    const auto manager = manager_.lock();
    const auto withName = [&] {
        return bit_localizedStringWithFormat("ZizavaFeedbackListButtonUserDataWithName",
                                             manager->userName().value_or("-"));
    };
    const auto withEmail = [&] {
        return bit_localizedStringWithFormat("ZizavaFeedbackListButtonUserDataWithEmail",
                                             manager->userEmail().value_or("-"));
    };
    if (manager->requireUserName() == BITFeedbackUserDataRequired ||
        (manager->requireUserName() == BITFeedbackUserDataOptional && manager->userName()))
        return withName();
    if (manager->requireUserEmail() == BITFeedbackUserDataRequired ||
        (manager->requireUserEmail() == BITFeedbackUserDataOptional && manager->userEmail()))
        return withEmail();
    return bit_localizedString(manager->requireUserName() == BITFeedbackUserDataOptional
                                   ? "ZizavaFeedbackListButtonUserDataSetName"
                                   : "ZizavaFeedbackListButtonUserDataSetEmail");
}

std::shared_ptr<UITableViewCell> BITFeedbackListViewController::buttonCell(UITableView& table,
                                                                           long section) {
    const int kind = section == 0 ? 0 : section == userButtonSection_ ? 1 : 2;
    auto cell = table.dequeueReusableCellWithIdentifier(kButtonCells[kind]);
    if (!cell) {
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, kButtonCells[kind]);
        cell->textLabel()->setFont(UIFont::systemFontOfSize(14));
        cell->textLabel()->setNumberOfLines(0);
        cell->setAccessoryType(UITableViewCellAccessoryNone);
        cell->setSelectionStyle(UITableViewCellSelectionStyleGray);
    }
    const auto manager = manager_.lock();
    cell->textLabel()->setTextColor(
        kind == 2 ? UIColor::colorWithRedGreenBlueAlpha(251 / 255.0, 35 / 255.0, 35 / 255.0, 1)
                  : view()->tintColor());
    if (kind == 0)
        cell->textLabel()->setText(bit_localizedString(
            manager && manager->numberOfMessages() > 0 ? "ZizavaFeedbackListButtonWriteResponse"
                                                       : "ZizavaFeedbackListButtonWriteFeedback"));
    else if (kind == 1)
        cell->textLabel()->setText(manager ? userButtonText() : std::string());
    else
        cell->textLabel()->setText(
            bit_localizedString("ZizavaFeedbackListButtonDeleteAllMessages"));
    return cell;
}

std::shared_ptr<UITableViewCell> BITFeedbackListViewController::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
    if (path.section != kMessageSection)
        return buttonCell(table, path.section);
    auto cell = std::dynamic_pointer_cast<BITFeedbackListViewCell>(
        table.dequeueReusableCellWithIdentifier(kMessageCell));
    if (!cell) {
        cell = std::make_shared<BITFeedbackListViewCell>(kMessageCell);
        cell->setAccessoryType(UITableViewCellAccessoryNone);
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
        auto line = std::make_shared<UIView>(CGRectMake(0, 0, table.UIView::frame().size.width, 1));
        line->setBackgroundColor(grey(215));
        line->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
        line->setTag(kSeparatorTag);
        cell->addSubview(line);
    }
    cell->setBackgroundStyle(path.row % 2 == 0 ? 1 : 0);
    cell->setCellStyle(1);
    const auto manager = manager_.lock();
    const auto message = manager ? manager->messageAtIndex(static_cast<size_t>(path.row)) : nullptr;
    cell->setMessage(message);
    cell->labelText()->setDelegate(std::weak_ptr<BITAttributedLabelDelegate>(self()));
    cell->labelText()->setUserInteractionEnabled(true);
    cell->setDelegate(std::weak_ptr<BITFeedbackListViewCellDelegate>(self()));
    if (message) {
        // Every attachment that lives only on the service is fetched, not only
        // the previewable ones the cell shows; a stored one is saved with the thread.
        const std::weak_ptr<BITFeedbackManager> weakManager = manager_;
        for (const auto& attachment : message->attachments)
            bit_downloadFeedbackAttachment(attachment, [weakManager](bool stored) {
                if (const auto owner = weakManager.lock(); owner && stored)
                    owner->saveMessages();
            });
        cell->setAttachments(message->previewableAttachments());
    }
    if (const auto line = cell->viewWithTag(kSeparatorTag))
        line->setHidden(path.row == 0);
    cell->setNeedsLayout();
    return cell;
}

bool BITFeedbackListViewController::tableViewCanEditRowAtIndexPath(UITableView&,
                                                                   const NSIndexPath& path) {
    return path.section == kMessageSection;
}

void BITFeedbackListViewController::tableViewCommitEditingStyleForRowAtIndexPath(
    UITableView& table, UITableViewCellEditingStyle style, const NSIndexPath& path) {
    const auto manager = manager_.lock();
    if (style != UITableViewCellEditingStyleDelete || !manager)
        return;
    const auto message = manager->messageAtIndex(static_cast<size_t>(path.row));
    const bool hadAttachments = message && !message->attachments.empty();
    if (!manager->deleteMessageAtIndex(static_cast<size_t>(path.row)))
        return;
    if (manager->numberOfMessages() > 0)
        table.deleteRowsAtIndexPathsWithRowAnimation({path}, UITableViewRowAnimationAutomatic);
    else
        table.reloadData();
    if (hadAttachments)
        refreshPreviewItems();
}

std::optional<CGFloat> BITFeedbackListViewController::tableViewHeightForRowAtIndexPath(
    UITableView&, const NSIndexPath& path) {
    if (path.section != kMessageSection)
        return kButtonRowHeight;
    const auto manager = manager_.lock();
    const auto message = manager ? manager->messageAtIndex(static_cast<size_t>(path.row)) : nullptr;
    if (!message)
        return kButtonRowHeight;
    // Every reload asks for every row; laying out a text is what costs.
    const CGFloat width = view()->frame().size.width;
    const size_t previewable = message->previewableAttachments().size();
    RowHeight& cached = rowHeights_[message.get()];
    if (cached.message.lock() != message || cached.width != width || cached.text != message->text ||
        cached.previewable != previewable)
        cached = {message, width, message->text, previewable,
                  BITFeedbackListViewCell::heightForRowWithMessageTableViewWidth(*message, width)};
    return cached.height;
}

void BITFeedbackListViewController::tableViewDidSelectRowAtIndexPath(UITableView& table,
                                                                     const NSIndexPath& path) {
    table.deselectRowAtIndexPathAnimated(path, true);
    if (path.section == 0)
        newFeedbackAction();
    else if (path.section == userButtonSection_)
        setUserDataAction();
    else if (path.section == deleteButtonSection_)
        deleteAllMessagesAction();
}

bool BITFeedbackListViewController::attributedLabelDidSelectLinkWithURL(BITAttributedLabel&,
                                                                        const std::string& url) {
    showLinkChoices(url);
    return true;
}

void BITFeedbackListViewController::showLinkChoices(const std::string& url) {
    const std::string cancel = bit_localizedString("ZizavaFeedbackListLinkActionCancel");
    const std::vector<std::string> others = {
        bit_localizedString("ZizavaFeedbackListLinkActionOpen"),
        bit_localizedString("ZizavaFeedbackListLinkActionCopy")};
    if (onPad()) {
        auto alert = std::make_shared<UIAlertView>(
            url, "", std::weak_ptr<UIAlertViewDelegate>(self()), cancel, others);
        alert->setTag(kLinkTag);
        alert->show();
        return;
    }
    auto sheet = std::make_shared<UIActionSheet>(url, std::weak_ptr<UIActionSheetDelegate>(self()),
                                                 cancel, std::nullopt, others);
    sheet->setTag(kLinkTag);
    sheet->showInView(viewForShowingActionSheetOnPhone());
}

void BITFeedbackListViewController::linkAction(const std::string& url, bool open) {
    if (open)
        UIApplication::sharedApplication()->openURL(url);
    else
        UIPasteboard::generalPasteboard()->setString(url);
}

void BITFeedbackListViewController::alertViewDidDismissWithButtonIndex(UIAlertView& alert,
                                                                       long index) {
    if (index == alert.cancelButtonIndex())
        return;
    if (alert.tag() == kLinkTag)
        linkAction(alert.title(), index == alert.firstOtherButtonIndex());
    else if (index == alert.firstOtherButtonIndex())
        deleteAllMessages();
}

void BITFeedbackListViewController::actionSheetDidDismissWithButtonIndex(UIActionSheet& sheet,
                                                                         long index) {
    if (index == sheet.cancelButtonIndex())
        return;
    if (sheet.tag() == kLinkTag)
        linkAction(sheet.title().value_or(""), index == sheet.firstOtherButtonIndex());
    else if (index == sheet.destructiveButtonIndex())
        deleteAllMessages();
}

void BITFeedbackListViewController::listCellDidSelectAttachment(
    BITFeedbackListViewCell&, const BITFeedbackMessageAttachment& attachment) {
    auto preview = std::make_shared<QLPreviewController>();
    preview->setDataSource(std::weak_ptr<QLPreviewControllerDataSource>(self()));
    if (!cachedPreviewItems_)
        refreshPreviewItems();
    const auto& items = *cachedPreviewItems_;
    const auto found = std::find_if(items.begin(), items.end(),
                                    [&](const auto& item) { return item.get() == &attachment; });
    if (found != items.end())
        preview->setCurrentPreviewItemIndex(static_cast<long>(found - items.begin()));
    presentViewControllerAnimatedCompletion(preview, true, nullptr);
}

long BITFeedbackListViewController::numberOfPreviewItemsInPreviewController(QLPreviewController&) {
    if (!cachedPreviewItems_)
        refreshPreviewItems();
    return static_cast<long>(cachedPreviewItems_->size());
}

std::shared_ptr<QLPreviewItem> BITFeedbackListViewController::previewControllerPreviewItemAtIndex(
    QLPreviewController& preview, long index) {
    if (!cachedPreviewItems_)
        refreshPreviewItems();
    if (index < 0 || index >= static_cast<long>(cachedPreviewItems_->size()))
        return placeholder();
    const auto item = (*cachedPreviewItems_)[static_cast<size_t>(index)];
    if (item->needsLoadingFromURL() && !item->isLoading())
        downloadForPreview(
            item, std::static_pointer_cast<QLPreviewController>(
                      std::static_pointer_cast<UIViewController>(preview.shared_from_this())));
    return item;
}

void BITFeedbackListViewController::downloadForPreview(
    const std::shared_ptr<BITFeedbackMessageAttachment>& attachment,
    const std::shared_ptr<QLPreviewController>& preview) {
    const std::weak_ptr<QLPreviewController> weakPreview = preview;
    const std::weak_ptr<BITFeedbackManager> weakManager = manager_;
    bit_downloadFeedbackAttachment(attachment, [weakPreview, weakManager](bool stored) {
        if (const auto owner = weakManager.lock(); owner && stored)
            owner->saveMessages();
        if (const auto shown = weakPreview.lock())
            shown->reloadData();
    });
}

void BITFeedbackListViewController::handleResponseForAttachmentResponseDataError(
    const std::shared_ptr<BITFeedbackMessageAttachment>& attachment,
    const std::optional<Value::Data>& responseData, const std::optional<NSError>&) {
    const auto owner = manager_.lock();
    if (bit_storeFeedbackAttachmentData(*attachment, responseData) && owner)
        owner->saveMessages();
}

void BITFeedbackListViewController::previewControllerUpdateAttachmentData(
    QLPreviewController& preview, const std::shared_ptr<BITFeedbackMessageAttachment>& attachment,
    const std::optional<Value::Data>& data) {
    handleResponseForAttachmentResponseDataError(attachment, data, std::nullopt);
    preview.reloadData();
}

void BITFeedbackListViewController::dismissFromFlow(bool thenCompose) {
    const std::weak_ptr<BITFeedbackListViewController> weak = self();
    dismissViewControllerAnimatedCompletion(true, [weak, thenCompose] {
        const auto screen = weak.lock();
        if (!screen)
            return;
        if (thenCompose)
            screen->newFeedbackAction();
        else
            screen->tableView()->reloadData();
    });
}

void BITFeedbackListViewController::userDataUpdateFinished() {
    if (const auto manager = manager_.lock())
        manager->saveMessages();
    refreshPreviewItems();
    if (!userDataComposeFlow_) {
        dismissViewControllerAnimatedCompletion(true, nullptr);
    } else if (!userDataPushed_) {
        dismissFromFlow(true);
    } else if (const auto navigation = navigationController()) {
        auto composer = std::make_shared<BITFeedbackComposeViewController>(manager_.lock());
        composer->setDelegate(std::weak_ptr<BITFeedbackComposeViewControllerDelegate>(self()));
        navigation->pushViewControllerAnimated(composer, true);
    }
}

void BITFeedbackListViewController::userDataUpdateCancelled() {
    if (!userDataComposeFlow_)
        dismissViewControllerAnimatedCompletion(true, nullptr);
    else if (!userDataPushed_)
        dismissFromFlow(false);
    else if (const auto navigation = navigationController())
        navigation->popToViewControllerAnimated(self(), true);
}

bool BITFeedbackListViewController::feedbackComposeViewControllerDidFinishWithResult(
    BITFeedbackComposeViewController& composer, BITFeedbackComposeResult result) {
    if (userDataComposeFlow_ && userDataPushed_) {
        if (const auto navigation = navigationController())
            navigation->popToViewControllerAnimated(self(), true);
    } else if (userDataComposeFlow_) {
        dismissFromFlow(false);
    } else {
        dismissViewControllerAnimatedCompletion(true, nullptr);
    }
    const auto manager = manager_.lock();
    if (const auto delegate =
            manager ? std::dynamic_pointer_cast<BITFeedbackComposeViewControllerDelegate>(
                          manager->feedbackDelegate())
                    : nullptr)
        delegate->feedbackComposeViewControllerDidFinishWithResult(composer, result);
    return true;
}
