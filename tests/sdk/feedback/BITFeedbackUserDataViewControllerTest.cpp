#include <gtest/gtest.h>

#include "Foundation/NSIndexPath.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITableViewCell.h"
#include "sdk/feedback/BITFeedbackManager.h"
#include "sdk/feedback/BITFeedbackUserDataViewController.h"

namespace {

struct Delegate : BITFeedbackUserDataDelegate {
    void userDataUpdateCancelled() override { ++cancelled; }
    void userDataUpdateFinished() override { ++finished; }
    int cancelled = 0, finished = 0;
};

struct Form {
    explicit Form(BITFeedbackUserDataElement name, BITFeedbackUserDataElement email) {
        manager->setRequireUserName(name);
        manager->setRequireUserEmail(email);
        form->setDelegate(delegate);
        form->tableView();
        form->viewDidLoad();
        form->viewWillAppear(false);
    }
    long rows() { return form->tableViewNumberOfRowsInSection(*form->tableView(), 0); }
    bool saveEnabled() const { return form->saveItem()->isEnabled(); }

    std::shared_ptr<BITFeedbackManager> manager = std::make_shared<BITFeedbackManager>(
        "0123456789abcdef0123456789abcdef", BITAppEnvironmentOther);
    std::shared_ptr<BITFeedbackUserDataViewController> form =
        std::make_shared<BITFeedbackUserDataViewController>(manager);
    std::shared_ptr<Delegate> delegate = std::make_shared<Delegate>();
};

}  // namespace

TEST(BITFeedbackUserDataViewController, RowsFollowTheRequirements) {
    EXPECT_EQ(Form(BITFeedbackUserDataNotAsked, BITFeedbackUserDataNotAsked).rows(), 0);
    EXPECT_EQ(Form(BITFeedbackUserDataRequired, BITFeedbackUserDataNotAsked).rows(), 1);
    Form both(BITFeedbackUserDataOptional, BITFeedbackUserDataRequired);
    EXPECT_EQ(both.rows(), 2);
    EXPECT_TRUE(both.manager->didAskUserData());
}

TEST(BITFeedbackUserDataViewController, SaveWaitsForRequiredFieldsAndAValidAddress) {
    Form form(BITFeedbackUserDataRequired, BITFeedbackUserDataOptional);
    EXPECT_FALSE(form.saveEnabled());
    form.form->userNameEntered("Ada");
    EXPECT_TRUE(form.saveEnabled());
    form.form->userEmailEntered("not an address");
    EXPECT_FALSE(form.saveEnabled());  // optional, but filled in: must be valid
    form.form->userEmailEntered("ada@example.org");
    EXPECT_TRUE(form.saveEnabled());
    form.form->saveAction();
    EXPECT_EQ(form.manager->userName(), "Ada");
    EXPECT_EQ(form.manager->userEmail(), "ada@example.org");
    EXPECT_EQ(form.delegate->finished, 1);
}

TEST(BITFeedbackUserDataViewController, SavingAnEmptyOptionalNameStoresTheEmptyString) {
    Form form(BITFeedbackUserDataOptional, BITFeedbackUserDataNotAsked);
    EXPECT_TRUE(form.saveEnabled());
    form.form->saveAction();
    EXPECT_EQ(form.manager->userName(), "");
    EXPECT_FALSE(form.manager->userEmail());
    form.form->dismissAction();
    EXPECT_EQ(form.delegate->cancelled, 1);
}

TEST(BITFeedbackUserDataViewController, TypingAndReturnGoFromNameToAddressToSave) {
    Form form(BITFeedbackUserDataRequired, BITFeedbackUserDataRequired);
    auto& table = *form.form->tableView();
    const auto nameCell = form.form->tableViewCellForRowAtIndexPath(table, NSIndexPath{0, 0});
    const auto emailCell = form.form->tableViewCellForRowAtIndexPath(table, NSIndexPath{0, 1});
    std::shared_ptr<UITextField> name, email;
    for (const auto& view : nameCell->contentView()->subviews())
        name = name ? name : std::dynamic_pointer_cast<UITextField>(view);
    for (const auto& view : emailCell->contentView()->subviews())
        email = email ? email : std::dynamic_pointer_cast<UITextField>(view);
    ASSERT_TRUE(name && email);
    EXPECT_EQ(name->returnKeyType(), UIReturnKeyNext);
    EXPECT_EQ(email->keyboardType(), UIKeyboardTypeEmailAddress);
    name->insertText("Ada");
    email->insertText("ada@example.org");
    EXPECT_EQ(form.form->name(), "Ada");
    EXPECT_EQ(form.form->email(), "ada@example.org");
    EXPECT_FALSE(form.form->textFieldShouldReturn(*email));
    EXPECT_EQ(form.delegate->finished, 1);
}
