#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSNotificationCenter.h"
#include "Foundation/NSPathUtilities.h"
#include "Host/HostApplication.h"
#include "Host/HostLogRecorder.h"
#include "Host/HostScenario.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UILabel.h"
#include "UIKit/UILongPressGestureRecognizer.h"
#include "UIKit/UIMenuController.h"
#include "UIKit/UIPasteboard.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UISearchDisplayController.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "UIKit/UITextField.h"
#include "UIKit/UIViewController.h"
#include "UIKit/UIWindow.h"
#include "platform/Foundation/TemporaryDirectory.h"
#include "platform/UIKit/UIKitTestSupport.h"

namespace {

class ScenarioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CAFrameClock::shared().setManual(false);
        UIScreen::mainScreen()->setScale(2);
        UIScreen::mainScreen()->setBoundsSize({320, 568});
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window->setBackgroundColor(UIColor::whiteColor());
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        if (auto responder = UIResponder::currentFirstResponder()) {
            responder->resignFirstResponder();
        }
        UIMenuController::sharedMenuController()->setMenuVisibleAnimated(false, false);
    }
    HostScenarioResult play(const std::string& script) {
        HostScenarioSettings settings;
        settings.name = "test.scenario";
        settings.output = &dump;
        return HostRunScenario(window, script, settings);
    }
    std::shared_ptr<UIWindow> window;
    std::ostringstream dump;
};

// Records the phases and window points of the touches it is sent.
class TouchRecorder : public UIView {
  public:
    TouchRecorder(const CGRect& frame,
                  std::vector<std::pair<UITouchPhase, std::vector<CGPoint>>>& seen)
        : UIView(frame), seen_(seen) {}
    void touchesBegan(const UITouchSet& touches, UIEvent*) override {
        record(UITouchPhaseBegan, touches);
    }
    void touchesEnded(const UITouchSet& touches, UIEvent*) override {
        record(UITouchPhaseEnded, touches);
    }

  private:
    void record(UITouchPhase phase, const UITouchSet& touches) {
        std::vector<CGPoint> points;
        for (const auto& touch : touches)
            points.push_back(touch->locationInView(nullptr));
        seen_.emplace_back(phase, points);
    }
    std::vector<std::pair<UITouchPhase, std::vector<CGPoint>>>& seen_;
};

// Places to search: the names, filtered by what the search bar holds.
class PlaceSearch : public UITableViewDataSource, public UISearchDisplayDelegate {
  public:
    std::vector<std::string> places{"Berlin",   "Bern",    "Bergen", "Hamburg",
                                    "Hannover", "Oberhof", "Rostock"};
    std::vector<std::string> shown;
    std::vector<std::string> calls;

    long tableViewNumberOfRowsInSection(UITableView&, long) override { return long(shown.size()); }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& path) override {
        auto cell = table.dequeueReusableCellWithIdentifier("place");
        if (!cell) {
            cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "place");
        }
        cell->textLabel()->setText(shown[size_t(path.row)]);
        return cell;
    }
    bool searchDisplayControllerShouldReloadTableForSearchString(UISearchDisplayController&,
                                                                 const std::string& text) override {
        calls.push_back("reload " + text);
        shown.clear();
        std::string lower = text;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        for (const std::string& place : places) {
            std::string name = place;
            std::transform(name.begin(), name.end(), name.begin(), ::tolower);
            if (name.find(lower) != std::string::npos) {
                shown.push_back(place);
            }
        }
        return true;
    }
    void searchDisplayControllerWillBeginSearch(UISearchDisplayController&) override {
        calls.push_back("willBegin");
    }
    void searchDisplayControllerDidBeginSearch(UISearchDisplayController&) override {
        calls.push_back("didBegin");
    }
    void searchDisplayControllerWillEndSearch(UISearchDisplayController&) override {
        calls.push_back("willEnd");
    }
    void searchDisplayControllerDidEndSearch(UISearchDisplayController&) override {
        calls.push_back("didEnd");
    }
};

TEST_F(ScenarioTest, SearchBarFiltersAResultsTableAndCancelRestoresTheScreen) {
    auto controller = std::make_shared<UIViewController>();
    auto root = std::make_shared<UIView>(window->bounds());
    root->setBackgroundColor(UIColor::whiteColor());
    controller->setView(root);
    auto bar = std::make_shared<UISearchBar>(CGRectMake(0, 20, 320, 44));
    bar->setPlaceholder("Search places");
    root->addSubview(bar);
    auto heading = std::make_shared<UILabel>(CGRectMake(16, 80, 288, 30));
    heading->setText("All places");
    root->addSubview(heading);
    window->setRootViewController(controller);
    auto search = std::make_shared<PlaceSearch>();
    auto display = UISearchDisplayController::create(bar, controller);
    display->setDelegate(search);
    display->setSearchResultsDataSource(search);

    HostScenarioResult result = play(R"(# Search, look, cancel.
tap "Search places"
expect "Cancel"
expect "All places"
type "ber"
expect "Berlin"
expect "Oberhof"
expect-not "Hamburg"
idle
)");
    ASSERT_TRUE(result.passed) << result.message;
    EXPECT_TRUE(display->isActive());
    EXPECT_TRUE(matchesReference(window->renderImage(2), "search-bar-results"));

    result = play(R"(key Backspace
key Backspace
expect "Hamburg"
tap "Cancel"
idle
expect "All places"
expect "Search places"
expect-not "Cancel"
expect-not "Berlin"
)");
    ASSERT_TRUE(result.passed) << result.message;
    EXPECT_FALSE(display->isActive());
    EXPECT_EQ(bar->text(), "");
    EXPECT_FALSE(bar->isFirstResponder());
    EXPECT_EQ(root->subviews().size(), 2u);
    EXPECT_EQ(search->calls, (std::vector<std::string>{"willBegin", "didBegin", "reload b",
                                                       "reload be", "reload ber", "reload be",
                                                       "reload b", "willEnd", "didEnd"}));
}

// A label a person can copy: a long press shows the Copy bubble.
class CopyableLabel : public UILabel {
  public:
    using UILabel::UILabel;
    bool canBecomeFirstResponder() const override { return true; }
    bool canPerformAction(UIEditAction action, UIResponder*) const override {
        return action == UIEditActionCopy;
    }
    void performEditAction(UIEditAction action, UIResponder*) override {
        if (action == UIEditActionCopy) {
            UIPasteboard::generalPasteboard()->setString(text());
        }
    }
    void attach() {
        setUserInteractionEnabled(true);
        addGestureRecognizer(
            std::make_shared<UILongPressGestureRecognizer>([this](UIGestureRecognizer& press) {
                if (press.state() != UIGestureRecognizerStateBegan) {
                    return;
                }
                becomeFirstResponder();
                auto menu = UIMenuController::sharedMenuController();
                menu->setTargetRectInView(bounds(),
                                          std::static_pointer_cast<UIView>(shared_from_this()));
                menu->setMenuVisibleAnimated(true, true);
            }));
    }
};

TEST_F(ScenarioTest, CopyBubblePutsALabelsTextOnThePasteboard) {
    auto label = std::make_shared<CopyableLabel>(CGRectMake(20, 200, 280, 30));
    label->setText("Tram stop Friedrichstra\u00DFe");
    label->attach();
    window->addSubview(label);
    UIPasteboard::generalPasteboard()->setString("");
    const HostScenarioResult result = play(R"(expect-not "Copy"
long-press "Tram stop Friedrichstraße"
expect "Copy"
expect-not "Paste"
tap "Copy"
expect-not "Copy"
)");
    ASSERT_TRUE(result.passed) << result.message;
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), "Tram stop Friedrichstra\u00DFe");
}

TEST_F(ScenarioTest, ThreeFingerTapAndTheScreenshotKey) {
    TemporaryDirectory home;
    NSSetApplicationHome(home.path());
    int threeFingerTaps = 0;
    auto tap = std::make_shared<UITapGestureRecognizer>([&](UIGestureRecognizer& recognizer) {
        threeFingerTaps += recognizer.state() == UIGestureRecognizerStateEnded;
    });
    tap->setNumberOfTouchesRequired(3);
    window->addGestureRecognizer(tap);
    std::string saved;
    auto observer = NSNotificationCenter::defaultCenter()->addObserverForName(
        UIApplicationUserDidTakeScreenshotNotification, nullptr, {},
        [&](const NSNotification& notification) {
            saved = *notification.userInfo.at(UIApplicationScreenshotPathKey).stringValue();
        });
    const HostScenarioResult result = play("tap 100 100\nthree-finger-tap 100 100\nscreenshot-key");
    NSNotificationCenter::defaultCenter()->removeObserver(observer);
    NSSetApplicationHome("");
    ASSERT_TRUE(result.passed) << result.message;
    EXPECT_EQ(threeFingerTaps, 1);
    EXPECT_EQ(std::filesystem::path(saved).parent_path(),
              std::filesystem::path(home.path()) / "Library" / "Screenshots");
    EXPECT_TRUE(std::filesystem::is_regular_file(saved));
}

// Two fingers put down rest while other steps run, until they are released.
TEST_F(ScenarioTest, TwoFingersRestUntilReleased) {
    std::vector<std::pair<UITouchPhase, std::vector<CGPoint>>> seen;
    auto view = std::make_shared<TouchRecorder>(window->bounds(), seen);
    view->setMultipleTouchEnabled(true);
    window->addSubview(view);
    HostScenarioResult result = play("two-finger-press 60 284\nwait 0.5\nrelease");
    ASSERT_TRUE(result.passed) << result.message;
    std::vector<CGPoint> down, up;
    for (const auto& [phase, points] : seen) {
        auto& into = phase == UITouchPhaseBegan ? down : up;
        into.insert(into.end(), points.begin(), points.end());
    }
    // The second finger mirrors the first around the window's centre.
    ASSERT_EQ(down.size(), 2u);
    EXPECT_TRUE(
        std::any_of(down.begin(), down.end(), [](CGPoint p) { return p.x == 260 && p.y == 284; }));
    EXPECT_EQ(up.size(), 2u);
    EXPECT_EQ(seen.back().first, UITouchPhaseEnded);

    result = play("release");
    EXPECT_FALSE(result.passed);
    EXPECT_NE(result.message.find("no fingers are down"), std::string::npos) << result.message;
    result = play("two-finger-press 10 10\ntwo-finger-press 20 20");
    EXPECT_FALSE(result.passed);
    EXPECT_NE(result.message.find("already down"), std::string::npos) << result.message;
}

// A held drag leaves its finger where it ended while the next steps run,
// until it is released there; a plain drag lifts it.
TEST_F(ScenarioTest, AHeldDragRestsUntilReleased) {
    std::vector<std::pair<UITouchPhase, std::vector<CGPoint>>> seen;
    auto view = std::make_shared<TouchRecorder>(window->bounds(), seen);
    window->addSubview(view);
    HostScenarioResult result = play("drag-hold 20 20 120 220 0.2\nwait 0.3\nrelease");
    ASSERT_TRUE(result.passed) << result.message;
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen.back().first, UITouchPhaseEnded);
    ASSERT_EQ(seen.back().second.size(), 1u);
    EXPECT_EQ(seen.back().second.front().x, 120);
    EXPECT_EQ(seen.back().second.front().y, 220);

    result = play("drag-hold 20 20 30 30\ndrag 40 40 50 50");
    EXPECT_FALSE(result.passed);
    EXPECT_NE(result.message.find("already down"), std::string::npos) << result.message;
    result = play("drag 20 20 30 30\nrelease");
    EXPECT_FALSE(result.passed);
    EXPECT_NE(result.message.find("no fingers are down"), std::string::npos) << result.message;
}

TEST_F(ScenarioTest, LongPressOnAFieldOffersPaste) {
    auto field = std::make_shared<UITextField>(CGRectMake(10, 40, 300, 30));
    field->setPlaceholder("Note");
    window->addSubview(field);
    UIPasteboard::generalPasteboard()->setString("Kelvara");
    const HostScenarioResult result = play(R"(long-press "Note"
expect "Paste"
expect-not "Copy"
tap "Paste"
expect "Kelvara"
expect-not "Paste"
)");
    ASSERT_TRUE(result.passed) << result.message;
    EXPECT_TRUE(field->isEditing());
}

TEST_F(ScenarioTest, KeysTabBetweenFieldsAndShortcutsCopyAndPaste) {
    auto first = std::make_shared<UITextField>(CGRectMake(10, 40, 300, 30));
    first->setPlaceholder("Street");
    auto second = std::make_shared<UITextField>(CGRectMake(10, 80, 300, 30));
    second->setPlaceholder("City");
    window->addSubview(first);
    window->addSubview(second);
    int returns = 0;
    second->addTargetForControlEvents([&](UIControl&) { ++returns; },
                                      UIControlEventEditingDidEndOnExit);
    const HostScenarioResult result = play(R"(tap "Street"
type "Hauptstraße 1"
key Ctrl+A
key Ctrl+C
key Tab
key Ctrl+V
key Backspace
type "2"
key Home
key Shift+Right
key Delete
key Return
dump
)");
    ASSERT_TRUE(result.passed) << result.message;
    EXPECT_EQ(first->text(), "Hauptstraße 1");
    EXPECT_EQ(second->text(), "auptstraße 2");
    EXPECT_EQ(returns, 1);
    EXPECT_FALSE(second->isFirstResponder());
    EXPECT_NE(dump.str().find("\"auptstraße 2\" at (10, 80"), std::string::npos) << dump.str();
}

class Choice : public UIAlertViewDelegate {
  public:
    long clicked = -1;
    void alertViewClickedButtonAtIndex(UIAlertView&, long index) override { clicked = index; }
};

TEST_F(ScenarioTest, AlertsShowTheirTextsAndTakeTaps) {
    auto choice = std::make_shared<Choice>();
    auto alert = std::make_shared<UIAlertView>("Delete the map?", "Neubrandenburg, 12 MB", choice,
                                               "Keep", std::vector<std::string>{"Delete"});
    alert->show();
    const HostScenarioResult result = play(R"(idle
expect "Delete the map?"
expect "Neubrandenburg, 12 MB"
expect "Keep"
tap "Delete"
idle
expect-not "Delete the map?"
)");
    ASSERT_TRUE(result.passed) << result.message;
    EXPECT_EQ(choice->clicked, 1);
}

TEST_F(ScenarioTest, AFailingStepNamesItsLineAndTheTextsOnScreen) {
    auto label = std::make_shared<UILabel>(CGRectMake(10, 10, 200, 30));
    label->setText("Welcome");
    window->addSubview(label);
    auto cover = std::make_shared<UIView>(CGRectMake(0, 0, 320, 100));
    window->addSubview(cover);
    HostScenarioResult result = play("# greeting\nexpect \"Wel*\"\nexpect \"Goodbye\"\n");
    EXPECT_FALSE(result.passed);
    EXPECT_NE(result.message.find("test.scenario:3: step \"expect \"Goodbye\"\" failed: no "
                                  "\"Goodbye\" on screen"),
              std::string::npos)
        << result.message;
    EXPECT_NE(result.message.find("\"Welcome\" at (10, 10"), std::string::npos) << result.message;
    result = play("tap \"Welcome\"\n");
    EXPECT_NE(result.message.find("covered or not touchable"), std::string::npos) << result.message;
    result = play("type \"x\"\n");
    EXPECT_NE(result.message.find("no first responder"), std::string::npos);
    result = play("wait 0.05\nkey Hyper\n");
    EXPECT_NE(result.message.find(":2: step \"key Hyper\" failed: unknown key"), std::string::npos);
}

TEST_F(ScenarioTest, IdleWaitsForASingleTapThatMayStillBecomeADoubleTap) {
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 320, 300));
    window->addSubview(view);
    int singles = 0;
    auto single = std::make_shared<UITapGestureRecognizer>([&](UIGestureRecognizer& r) {
        singles += r.state() == UIGestureRecognizerStateRecognized;
    });
    auto twice = std::make_shared<UITapGestureRecognizer>([](UIGestureRecognizer&) {});
    twice->setNumberOfTapsRequired(2);
    single->requireGestureRecognizerToFail(twice);
    view->addGestureRecognizer(single);
    view->addGestureRecognizer(twice);
    const HostScenarioResult result = play("tap 100 100\nidle\n");
    ASSERT_TRUE(result.passed) << result.message;
    EXPECT_EQ(singles, 1);
}

TEST_F(ScenarioTest, WaitForWaitsAsLongAsATextTakesToComeOrGo) {
    auto label = std::make_shared<UILabel>(CGRectMake(10, 10, 200, 30));
    window->addSubview(label);
    DispatchQueue::main()->after(0.5, [label] { label->setText("Map downloaded"); });
    DispatchQueue::main()->after(1.0, [label] { label->setHidden(true); });
    HostScenarioResult result = play(R"(expect-not "Map downloaded"
wait-for "Map *" 5
wait-for-not "Map downloaded"
)");
    ASSERT_TRUE(result.passed) << result.message;
    result = play("wait-for \"Never\" 0.2\n");
    EXPECT_NE(result.message.find("no \"Never\" on screen after 0.2 s"), std::string::npos)
        << result.message;
    label->setHidden(false);
    result = play("wait-for-not \"Map downloaded\" 0.2\n");
    EXPECT_NE(result.message.find("still \"Map downloaded\" on screen"), std::string::npos)
        << result.message;
}

// What a screen cannot show is counted in the log: lines logged before and
// during the script count, other lines do not.
TEST_F(ScenarioTest, ExpectLoggedCountsTheMatchingLinesOfTheLog) {
    HostStartRecordingLog();
    NSLog("Opened the map scenario-%s", "alpha");
    HostScenarioResult result = play(R"(expect-logged "Opened the map scenario-alpha" 1
expect-logged "Opened the map scenario-*" 1
expect-logged "Closed the map scenario-*" 0
)");
    ASSERT_TRUE(result.passed) << result.message;
    NSLog("Opened the map scenario-%s", "beta");
    result = play("expect-logged \"Opened the map scenario-*\" 1\n");
    EXPECT_NE(result.message.find("\"Opened the map scenario-*\" logged 2 times, not 1"),
              std::string::npos)
        << result.message;
}

TEST(ScenarioParseTest, UnknownStepsAndBadArgumentsAreClearErrors) {
    std::string error;
    EXPECT_TRUE(
        HostParseScenario("# only a comment\n\n  idle\r\ndrag 1 2 3 4\ndrag 1 2 3 4 0.5\n"
                          "tap \"say \\\"hi\\\"\"\n",
                          &error));
    auto steps = HostParseScenario("tap 10 20\ntap \"A \\\"B\\\"\"\n", &error);
    ASSERT_TRUE(steps);
    EXPECT_EQ((*steps)[1].words, (std::vector<std::string>{"tap", "A \"B\""}));
    EXPECT_EQ((*steps)[1].line, 2);

    EXPECT_FALSE(HostParseScenario("idle\n\nswipe 1 2\n", &error));
    EXPECT_EQ(error.rfind("line 3: unknown step \"swipe\"", 0), 0u) << error;
    EXPECT_FALSE(HostParseScenario("tap 10\n", &error));
    EXPECT_NE(error.find("bad arguments, expected tap X Y | tap \"Text\""), std::string::npos);
    EXPECT_FALSE(HostParseScenario("expect Welcome\n", &error));
    EXPECT_FALSE(HostParseScenario("type \"open\n", &error));
    EXPECT_NE(error.find("not closed"), std::string::npos);
    EXPECT_FALSE(HostParseScenario("idle now\n", &error));
    EXPECT_FALSE(HostParseScenario("wait x\n", &error));
    EXPECT_TRUE(HostParseScenario("wait-for \"Done\"\nwait-for \"Done\" 5\n", &error));
    EXPECT_FALSE(HostParseScenario("wait-for Done\n", &error));
    EXPECT_FALSE(HostParseScenario("expect-logged \"Opened\"\n", &error));
    EXPECT_NE(error.find("expected expect-logged \"Text\" COUNT"), std::string::npos) << error;
}

class LabelDelegate : public UIApplicationDelegate {
  public:
    bool applicationDidFinishLaunchingWithOptions(UIApplication&, const Value&) override {
        window = std::make_shared<UIWindow>();
        window->setBackgroundColor(UIColor::whiteColor());
        auto label = std::make_shared<UILabel>(CGRectMake(20, 100, 200, 30));
        label->setText("Ready");
        window->addSubview(label);
        window->makeKeyAndVisible();
        return true;
    }
};

TEST(HostApplicationScenarioTest, ScenarioOptionPlaysTheScriptHeadless) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("kelvara-host-scenario-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(folder / name) << text;
        return (folder / name).string();
    };
    auto run = [&](const std::string& path) {
        const std::string output = (folder / "out").string();
        const char* argv[] = {"kelvara",    "--scale",           "1",           "--scenario",
                              path.c_str(), "--scenario-output", output.c_str()};
        const int status = HostApplicationMain(
            7, argv, [](const auto&) { return std::make_shared<LabelDelegate>(); });
        UIApplication::sharedApplication()->setDelegate(nullptr);
        return status;
    };
    EXPECT_EQ(run(write("good.scenario", "expect \"Ready\"\nscreenshot shots/ready.png\n")), 0);
    EXPECT_TRUE(std::filesystem::exists(folder / "out" / "shots" / "ready.png"));
    EXPECT_EQ(run(write("missing.scenario", "expect \"Gone\"\n")), 1);
    EXPECT_EQ(run(write("unknown.scenario", "fly away\n")), 2);
    EXPECT_EQ(run((folder / "absent.scenario").string()), 2);
    std::filesystem::remove_all(folder);
}

}  // namespace
