#include <filesystem>

#include "Foundation/DesktopLauncher.h"
#include "MessageUI/MFMailActivity.h"
#include "MessageUI/MFMailComposeFormController.h"
#include "Net/NSURL.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIActivityViewController.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIPasteboard.h"
#include "UIKit/UIPopoverPresentationController.h"
#include "UIKit/UITextField.h"
#include "UIKit/UITextView.h"
#include "UIKitTestSupport.h"
#include "platform/Foundation/RecordedLaunches.h"
#include "platform/Foundation/TemporaryDirectory.h"

namespace {

// An application's own activity, for any URL.
struct PinActivity : UIActivity {
    std::string activityType() const override { return "PinActivity"; }
    std::string activityTitle() const override { return "Pin"; }
    bool canPerformWithActivityItems(const UIActivityItems& items) const override {
        for (const auto& item : items)
            if (std::any_cast<NSURL>(&item))
                return true;
        return false;
    }
};

class UIActivityViewControllerTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        MFMailActivity::registerBuiltIn();
        DesktopLauncher::setLookup([this](const std::string&) { return mailProgram; });
        MFMailComposeViewController::setOutboxDirectory(home.path());
        window = makeWindow({320, 480});
        root = std::make_shared<UIViewController>();
        window->setRootViewController(root);
        UIPasteboard::generalPasteboard()->setString("");
    }
    void TearDown() override {
        DesktopLauncher::setLookup(nullptr);
        MFMailComposeViewController::setOutboxDirectory("");
        UIKitTest::TearDown();
    }
    std::shared_ptr<UIActivityViewController> present(
        UIActivityItems items, std::vector<std::shared_ptr<UIActivity>> own = {}) {
        auto sheet = std::make_shared<UIActivityViewController>(std::move(items), std::move(own));
        sheet->setCompletionHandler([this](const std::string& type, bool completed) {
            results.emplace_back(type, completed);
        });
        root->presentViewControllerAnimatedCompletion(sheet, false, nullptr);
        window->layoutIfNeeded();
        return sheet;
    }
    std::vector<std::string> types(const UIActivityViewController& sheet) {
        std::vector<std::string> out;
        for (const auto& activity : sheet.activities())
            out.push_back(activity->activityType());
        return out;
    }
    // Taps the sheet's row for an activity, as a finger does.
    void tapRow(UIActivityViewController& sheet, size_t index) {
        const auto& row = sheet.view()->subviews()[index];
        const CGRect frame = row->convertRectToView(row->bounds(), nullptr);
        TouchDriver(window).tap({CGRectGetMidX(frame), CGRectGetMidY(frame)});
        CAFrameClock::shared().advance(1);
    }

    TemporaryDirectory home;
    RecordedLaunches launched;
    bool mailProgram = false;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIViewController> root;
    std::vector<std::pair<std::string, bool>> results;
};

TEST_F(UIActivityViewControllerTest, TextIsCopiedToThePasteboard) {
    auto sheet = present({std::string("Harbour walk:\n\nhttps://example.org/w")});
    ASSERT_EQ(types(*sheet), std::vector<std::string>{UIActivityTypeCopyToPasteboard});
    tapRow(*sheet, 0);
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(),
              "Harbour walk:\n\nhttps://example.org/w");
    EXPECT_EQ(results,
              (std::vector<std::pair<std::string, bool>>{{UIActivityTypeCopyToPasteboard, true}}));
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(UIActivityViewControllerTest, SheetMatchesReference) {
    mailProgram = true;
    present({std::string("Fish market"), *NSURL::URLWithString("https://example.org/p")},
            {std::make_shared<PinActivity>()});
    CAFrameClock::shared().advance(1);
    EXPECT_TRUE(matchesReference(window->renderImage(2), "share-sheet"));
}

TEST_F(UIActivityViewControllerTest, OwnActivitiesComeFirstAndURLsOpenOnTheDesktop) {
    mailProgram = true;
    const NSURL url = *NSURL::URLWithString("geo:53.5,9.9");
    auto sheet = present({std::string("Fish market"), url, 42}, {std::make_shared<PinActivity>()});
    EXPECT_EQ(types(*sheet),
              (std::vector<std::string>{"PinActivity", UIActivityTypeCopyToPasteboard,
                                        UIActivityTypeMail, UIActivityTypeOpenInDefaultProgram}));
    sheet->setExcludedActivityTypes({UIActivityTypeMail});
    EXPECT_EQ(types(*sheet).size(), 3u);
    ASSERT_TRUE(sheet->chooseActivityAtIndex(2));
    CAFrameClock::shared().advance(1);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0], (std::vector<std::string>{"xdg-open", "geo:53.5,9.9"}));
    EXPECT_EQ(results.back(),
              std::make_pair(std::string(UIActivityTypeOpenInDefaultProgram), true));
}

TEST_F(UIActivityViewControllerTest, MailOpensTheComposerAndFinishesWithItsResult) {
    mailProgram = true;
    auto sheet = present({std::string("Fish market"), Value::Data{1, 2, 3}});
    ASSERT_EQ(types(*sheet)[1], UIActivityTypeMail);
    ASSERT_TRUE(sheet->chooseActivityAtIndex(1));
    CAFrameClock::shared().advance(1);
    auto composer =
        std::dynamic_pointer_cast<MFMailComposeViewController>(sheet->presentedViewController());
    ASSERT_TRUE(composer);
    EXPECT_EQ(composer->message().body, "Fish market");
    ASSERT_EQ(composer->message().attachments.size(), 1u);
    // The form shows the body; the person addresses the mail and taps Send.
    auto form =
        std::dynamic_pointer_cast<MFMailComposeFormController>(composer->topViewController());
    ASSERT_TRUE(form);
    form->view();
    EXPECT_EQ(form->bodyView()->text(), "Fish market");
    form->toField()->setText(" a@example.org, b@example.org ");
    form->subjectField()->setText("Lunch");
    form->navigationItem()->rightBarButtonItem()->performAction();
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(results, (std::vector<std::pair<std::string, bool>>{{UIActivityTypeMail, true}}));
    EXPECT_EQ(composer->message().toRecipients,
              (std::vector<std::string>{"a@example.org", "b@example.org"}));
    EXPECT_EQ(composer->message().subject, "Lunch");
    EXPECT_TRUE(std::filesystem::is_regular_file(composer->writtenMessagePath()));
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(UIActivityViewControllerTest, CancelAndUnsuitableItems) {
    auto sheet = present({42});
    EXPECT_TRUE(sheet->activities().empty());
    tapRow(*sheet, 0);  // Cancel, the only row
    EXPECT_EQ(results, (std::vector<std::pair<std::string, bool>>{{"", false}}));
    EXPECT_FALSE(sheet->chooseActivityAtIndex(0));
}

// On the pad the sheet stands in a popover pointing at the bar item that
// asked for it, beside its presenter; a row closes it, and so does a tap
// beside it, which counts as Cancel. On the phone it covers the window.
TEST_F(UIActivityViewControllerTest, OnThePadTheSheetIsAPopoverAtItsBarItem) {
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    window = makeWindow({768, 1024});
    auto screen = std::make_shared<UIViewController>();
    auto navigation = std::make_shared<UINavigationController>(screen);
    auto share = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemAction, nullptr);
    screen->setToolbarItems({share});
    navigation->setToolbarHidden(false);
    window->setRootViewController(navigation);
    window->layoutIfNeeded();
    auto open = [&] {
        auto sheet = std::make_shared<UIActivityViewController>(
            UIActivityItems{std::string("Harbour")}, std::vector<std::shared_ptr<UIActivity>>{});
        sheet->setCompletionHandler([this](const std::string& type, bool completed) {
            results.emplace_back(type, completed);
        });
        auto popover = sheet->popoverPresentationController();
        EXPECT_NE(popover, nullptr);
        popover->setBarButtonItem(share);
        screen->presentViewControllerAnimatedCompletion(sheet, true, nullptr);
        CAFrameClock::shared().advance(1);
        window->layoutIfNeeded();
        return sheet;
    };

    auto sheet = open();
    ASSERT_NE(sheet->popoverPresentationController()->popover(), nullptr);
    EXPECT_EQ(screen->presentedViewController(), sheet);
    EXPECT_EQ(sheet->popoverPresentationController()->arrowDirection(),
              UIPopoverArrowDirectionDown);
    const CGRect item = share->view()->convertRectToView(share->view()->bounds(), nullptr);
    const CGRect box = sheet->popoverPresentationController()->popover()->popoverFrame();
    EXPECT_NEAR(CGRectGetMaxY(box), item.origin.y - 13, 0.5);
    EXPECT_EQ(box.size, sheet->contentSizeForViewInPopover());
    EXPECT_TRUE(screen->view()->window());
    tapRow(*sheet, 0);  // Copy
    EXPECT_EQ(screen->presentedViewController(), nullptr);
    EXPECT_EQ(sheet->popoverPresentationController()->popover(), nullptr);
    EXPECT_EQ(sheet->view()->window(), nullptr);

    sheet = open();
    TouchDriver(window).tap({100, 100});
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(screen->presentedViewController(), nullptr);
    EXPECT_EQ(sheet->presentingViewController(), nullptr);
    EXPECT_EQ(sheet->view()->window(), nullptr);
    using Result = std::pair<std::string, bool>;
    EXPECT_EQ(results, (std::vector<Result>{{UIActivityTypeCopyToPasteboard, true}, {"", false}}));

    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
    sheet = open();
    EXPECT_EQ(sheet->popoverPresentationController()->popover(), nullptr);
    EXPECT_EQ(sheet->view()->frame(), window->bounds());
    sheet->cancel();
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(screen->presentedViewController(), nullptr);
}

}  // namespace
