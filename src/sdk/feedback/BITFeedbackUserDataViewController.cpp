#include "sdk/feedback/BITFeedbackUserDataViewController.h"

#include "Foundation/NSIndexPath.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITableViewCell.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaManager.h"
#include "sdk/feedback/BITFeedbackManager.h"

namespace {

constexpr const char* kInputCell = "InputCell";
// Field tags count from here, clear of the untagged views' 0.
constexpr long kFirstFieldTag = 100;
constexpr CGFloat kFieldX = 110;

}  // namespace

BITFeedbackUserDataViewController::BITFeedbackUserDataViewController(
    std::shared_ptr<BITFeedbackManager> manager)
    : UITableViewController(UITableViewStyleGrouped) {
    if (!manager) {
        if (const auto front = BITZizavaManager::sharedZizavaManager())
            manager = std::dynamic_pointer_cast<BITFeedbackManager>(front->feedbackManager());
    }
    manager_ = manager;
}

void BITFeedbackUserDataViewController::viewDidLoad() {
    setTitle(bit_localizedString("ZizavaFeedbackUserDataTitle"));
    tableView()->setScrollEnabled(false);
}

void BITFeedbackUserDataViewController::viewWillAppear(bool animated) {
    UITableViewController::viewWillAppear(animated);
    const auto weak = std::weak_ptr(std::static_pointer_cast<BITFeedbackUserDataViewController>(
        std::static_pointer_cast<UIViewController>(shared_from_this())));
    navigationItem()->setLeftBarButtonItem(
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemCancel, [weak](UIBarButtonItem&) {
            if (const auto self = weak.lock())
                self->dismissAction();
        }));
    saveItem_ =
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemSave, [weak](UIBarButtonItem&) {
            if (const auto self = weak.lock())
                self->saveAction();
        });
    navigationItem()->setRightBarButtonItem(saveItem_);
    if (const auto manager = manager_.lock()) {
        if (manager->userName())
            name_ = *manager->userName();
        if (manager->userEmail())
            email_ = *manager->userEmail();
        manager->updateDidAskUserData();
    }
    updateSaveItem();
}

bool BITFeedbackUserDataViewController::allRequiredFieldsEntered() const {
    const auto manager = manager_.lock();
    if (!manager)
        return false;
    if (manager->requireUserName() == BITFeedbackUserDataRequired && name_.empty())
        return false;
    if (manager->requireUserEmail() == BITFeedbackUserDataRequired && email_.empty())
        return false;
    return email_.empty() || bit_validateEmail(email_);
}

void BITFeedbackUserDataViewController::updateSaveItem() {
    if (saveItem_)
        saveItem_->setEnabled(allRequiredFieldsEntered());
}

void BITFeedbackUserDataViewController::userNameEntered(const std::string& text) {
    name_ = text;
    updateSaveItem();
}

void BITFeedbackUserDataViewController::userEmailEntered(const std::string& text) {
    email_ = text;
    updateSaveItem();
}

void BITFeedbackUserDataViewController::dismissAction() {
    if (const auto delegate = delegate_.lock())
        delegate->userDataUpdateCancelled();
}

void BITFeedbackUserDataViewController::saveAction() {
    if (const auto manager = manager_.lock()) {
        if (manager->requireUserName() != BITFeedbackUserDataNotAsked)
            manager->setUserName(name_);
        if (manager->requireUserEmail() != BITFeedbackUserDataNotAsked)
            manager->setUserEmail(email_);
    }
    if (const auto delegate = delegate_.lock())
        delegate->userDataUpdateFinished();
}

long BITFeedbackUserDataViewController::tableViewNumberOfRowsInSection(UITableView&, long) {
    const auto manager = manager_.lock();
    if (!manager)
        return 0;
    return (manager->requireUserName() != BITFeedbackUserDataNotAsked ? 1 : 0) +
           (manager->requireUserEmail() != BITFeedbackUserDataNotAsked ? 1 : 0);
}

std::optional<std::string> BITFeedbackUserDataViewController::tableViewTitleForFooterInSection(
    UITableView&, long section) {
    if (section != 0)
        return std::nullopt;
    return bit_localizedString("ZizavaFeedbackUserDataDescription");
}

std::shared_ptr<UITableViewCell> BITFeedbackUserDataViewController::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
    const auto manager = manager_.lock();
    auto cell = table.dequeueReusableCellWithIdentifier(kInputCell);
    if (!cell) {
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, kInputCell);
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    }
    // A reused cell still holds the field of the row it showed before.
    const auto subviews = cell->contentView()->subviews();
    for (const auto& view : subviews) {
        if (std::dynamic_pointer_cast<UITextField>(view))
            view->removeFromSuperview();
    }
    const CGFloat width = table.bounds().size.width - kFieldX - 35;
    auto field = std::make_shared<UITextField>(CGRectMake(kFieldX, 11, width, 24));
    field->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    field->setAutocorrectionType(UITextAutocorrectionTypeNo);
    field->setClearButtonMode(UITextFieldViewModeWhileEditing);
    field->setTag(kFirstFieldTag + path.row);
    field->setDelegate(std::static_pointer_cast<BITFeedbackUserDataViewController>(
        std::static_pointer_cast<UIViewController>(shared_from_this())));
    const bool nameRow =
        path.row == 0 && manager && manager->requireUserName() != BITFeedbackUserDataNotAsked;
    const bool emailAsked = manager && manager->requireUserEmail() != BITFeedbackUserDataNotAsked;
    UITextField* raw = field.get();
    if (nameRow) {
        cell->textLabel()->setText(bit_localizedString("ZizavaFeedbackUserDataName"));
        field->setPlaceholder(bit_localizedString("ZizavaFeedbackUserDataNamePlaceHolder"));
        field->setText(name_);
        field->setReturnKeyType(emailAsked ? UIReturnKeyNext : UIReturnKeyDone);
        field->setAutocapitalizationType(UITextAutocapitalizationTypeWords);
        field->addTargetForControlEvents([this, raw](UIControl&) { userNameEntered(raw->text()); },
                                         UIControlEventEditingChanged);
    } else {
        cell->textLabel()->setText(bit_localizedString("ZizavaFeedbackUserDataEmail"));
        field->setPlaceholder(bit_localizedString("ZizavaFeedbackUserDataEmailPlaceholder"));
        field->setText(email_);
        field->setKeyboardType(UIKeyboardTypeEmailAddress);
        field->setReturnKeyType(UIReturnKeyDone);
        field->setAutocapitalizationType(UITextAutocapitalizationTypeNone);
        field->addTargetForControlEvents([this, raw](UIControl&) { userEmailEntered(raw->text()); },
                                         UIControlEventEditingChanged);
    }
    cell->contentView()->addSubview(field);
    const bool takesKeyboard =
        nameRow || !(manager && manager->requireUserName() != BITFeedbackUserDataNotAsked);
    if (takesKeyboard)
        field->becomeFirstResponder();
    return cell;
}

bool BITFeedbackUserDataViewController::textFieldShouldReturn(UITextField& field) {
    if (const auto next = tableView()->viewWithTag(field.tag() + 1)) {
        next->becomeFirstResponder();
    } else if (allRequiredFieldsEntered()) {
        field.resignFirstResponder();
        saveAction();
    }
    return false;
}
