// The bars, tabs, action sheets and segmented controls as a person uses
// them: found by their texts and tapped through the scenario runner.
#include <gtest/gtest.h>

#include <sstream>

#include "Host/HostScenario.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIActionSheet.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UISegmentedControl.h"
#include "UIKit/UITabBarController.h"
#include "UIKit/UITabBarItem.h"
#include "UIKit/UIWindow.h"

namespace {

// A list screen with a toolbar: a segmented control and a Sort button that
// asks how to sort in an action sheet; the label says what was chosen.
class ListScreen : public UIViewController, public UIActionSheetDelegate {
  public:
    explicit ListScreen(const std::string& title) { setTitle(title); }
    void loadView() override {
        label_ = std::make_shared<UILabel>();
        label_->setText(title() + " list");
        label_->setTextAlignment(NSTextAlignmentCenter);
        setView(label_);
    }
    void viewDidLoad() override {
        auto control =
            std::make_shared<UISegmentedControl>(std::vector<std::string>{"Recent", "Near"});
        control->setFrame(CGRectMake(0, 0, 160, 29));
        std::weak_ptr<UILabel> label = label_;
        control->addTargetForControlEvents(
            [label](UIControl& sender) {
                auto& segments = static_cast<UISegmentedControl&>(sender);
                if (auto shown = label.lock()) {
                    shown->setText("Showing " + *segments.titleForSegmentAtIndex(
                                                    segments.selectedSegmentIndex()));
                }
            },
            UIControlEventValueChanged);
        std::weak_ptr<ListScreen> self = std::static_pointer_cast<ListScreen>(shared_from_this());
        auto flexible =
            std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemFlexibleSpace, nullptr);
        setToolbarItems({std::make_shared<UIBarButtonItem>(control), flexible,
                         std::make_shared<UIBarButtonItem>(
                             "Sort", UIBarButtonItemStylePlain, [self](UIBarButtonItem& item) {
                                 if (auto screen = self.lock()) {
                                     auto sheet = std::make_shared<UIActionSheet>(
                                         "Sort by", screen, "Cancel", std::nullopt,
                                         std::vector<std::string>{"Name", "Distance"});
                                     sheet->showFromBarButtonItemAnimated(item.shared_from_this(),
                                                                          true);
                                 }
                             })});
    }
    void actionSheetClickedButtonAtIndex(UIActionSheet& sheet, long index) override {
        label_->setText("Sorted by " + sheet.buttonTitleAtIndex(index));
    }

  private:
    std::shared_ptr<UILabel> label_;
};

TEST(HostScenarioBarsTest, TabsToolbarsActionSheetsAndSegmentsByTheirTexts) {
    CAFrameClock::shared().setManual(false);
    UIScreen::mainScreen()->setScale(2);
    UIScreen::mainScreen()->setBoundsSize({320, 568});
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->setBackgroundColor(UIColor::whiteColor());
    window->makeKeyAndVisible();

    auto places = std::make_shared<UINavigationController>(std::make_shared<ListScreen>("Places"));
    places->setToolbarHidden(false);
    places->setTabBarItem(std::make_shared<UITabBarItem>("Places", nullptr, 1));
    auto history = std::make_shared<UINavigationController>(std::make_shared<ListScreen>("Visits"));
    history->setTabBarItem(std::make_shared<UITabBarItem>(UITabBarSystemItemHistory, 2));
    history->tabBarItem()->setBadgeValue("2");
    auto tabs = std::make_shared<UITabBarController>();
    tabs->setViewControllers({places, history});
    window->setRootViewController(tabs);

    std::ostringstream output;
    HostScenarioSettings settings;
    settings.name = "bars.scenario";
    settings.output = &output;
    const HostScenarioResult result = HostRunScenario(window, R"(
# The first tab's list with its toolbar; the second tab carries a badge.
expect "Places list"
expect "History"
expect "2"
tap "Near"
expect "Showing Near"
tap "Sort"
idle
expect "Sort by"
tap "Distance"
idle
expect-not "Sort by"
expect "Sorted by Distance"
# The other tab shows its own stack; the first one's list is gone.
tap "History"
idle
expect "Visits list"
expect-not "Sorted by Distance"
tap "Places"
expect "Sorted by Distance"
)",
                                                      settings);
    EXPECT_TRUE(result.passed) << result.message;
    window->setRootViewController(nullptr);
}

}  // namespace
