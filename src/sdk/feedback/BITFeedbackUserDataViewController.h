#pragma once

#include <memory>
#include <string>

#include "UIKit/UITableViewController.h"
#include "UIKit/UITextField.h"

class BITFeedbackManager;
class UIBarButtonItem;

class BITFeedbackUserDataDelegate {
  public:
    virtual ~BITFeedbackUserDataDelegate() = default;
    virtual void userDataUpdateCancelled() {}
    virtual void userDataUpdateFinished() {}
};

// The form for the name and e-mail address that go with feedback messages:
// one row for each the manager asks for. Save stays off until every required
// field is filled and an entered address is valid.
class BITFeedbackUserDataViewController : public UITableViewController, public UITextFieldDelegate {
  public:
    // Without a manager the front's feedback manager is used.
    explicit BITFeedbackUserDataViewController(
        std::shared_ptr<BITFeedbackManager> manager = nullptr);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    bool allRequiredFieldsEntered() const;
    void userNameEntered(const std::string& text);
    void userEmailEntered(const std::string& text);
    void dismissAction();
    void saveAction();

    long tableViewNumberOfRowsInSection(UITableView&, long) override;
    std::optional<std::string> tableViewTitleForFooterInSection(UITableView&,
                                                                long section) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& path) override;
    bool textFieldShouldReturn(UITextField& field) override;

    void setDelegate(std::weak_ptr<BITFeedbackUserDataDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    const std::string& name() const { return name_; }
    const std::string& email() const { return email_; }
    const std::shared_ptr<UIBarButtonItem>& saveItem() const { return saveItem_; }

  private:
    void updateSaveItem();

    std::weak_ptr<BITFeedbackUserDataDelegate> delegate_;
    std::weak_ptr<BITFeedbackManager> manager_;
    std::string name_;
    std::string email_;
    std::shared_ptr<UIBarButtonItem> saveItem_;
};
