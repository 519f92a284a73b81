#include "UIKit/UILocalNotification.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Dispatch/NSRunLoop.h"
#include "UIKit/UIApplication.h"

namespace fs = std::filesystem;

namespace {

class NotifiedDelegate : public UIApplicationDelegate {
  public:
    void applicationDidReceiveLocalNotification(UIApplication&,
                                                const UILocalNotification& notification) override {
        received.push_back(notification.userInfo());
    }
    std::vector<Value::Dictionary> received;
};

// A PATH of one folder holding a notify-send of the test's own, which keeps
// its arguments and answers as the test says; or no notify-send at all.
class UILocalNotificationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("kelvara-notify-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        if (const char* path = std::getenv("PATH"))
            path_ = path;
        ::setenv("PATH", folder_.c_str(), 1);
        application_ = UIApplication::sharedApplication();
        previous_ = application_->delegate();
        application_->setDelegate(delegate_);
        application_->takeActivationRequest();
    }
    void TearDown() override {
        application_->setDelegate(previous_);
        ::setenv("PATH", path_.c_str(), 1);
        fs::remove_all(folder_);
    }
    // notify-send as a shell script: `answer` is what it does after noting
    // its arguments.
    void notifier(const std::string& answer) {
        const fs::path script = folder_ / "notify-send";
        std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '"
                              << (folder_ / "args").string() << "'\n"
                              << answer << "\n";
        ::chmod(script.c_str(), 0755);
    }
    std::vector<std::string> arguments() {
        std::ifstream file(folder_ / "args");
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }
    bool waitForArguments() {
        return NSRunLoop::mainRunLoop()->runUntil([&] { return fs::exists(folder_ / "args"); }, 10);
    }
    std::shared_ptr<UILocalNotification> notification() {
        auto note = std::make_shared<UILocalNotification>();
        note->setAlertBody("Liechtenstein & Vaduz <installed>");
        note->setAlertAction("Open");
        note->setUserInfo({{"mapIdentifier", Value(std::string("liechtenstein"))}});
        return note;
    }

    fs::path folder_;
    std::string path_;
    std::shared_ptr<UIApplication> application_;
    std::shared_ptr<UIApplicationDelegate> previous_;
    std::shared_ptr<NotifiedDelegate> delegate_ = std::make_shared<NotifiedDelegate>();
};

TEST_F(UILocalNotificationTest, ChoosingTheNotificationTellsTheApplicationAndRaisesIt) {
    notifier("echo default");
    ASSERT_TRUE(application_->presentLocalNotificationNow(notification()));
    ASSERT_TRUE(
        NSRunLoop::mainRunLoop()->runUntil([&] { return !delegate_->received.empty(); }, 10));
    EXPECT_EQ(delegate_->received[0].at("mapIdentifier"), Value(std::string("liechtenstein")));
    EXPECT_TRUE(application_->takeActivationRequest());
    EXPECT_FALSE(application_->takeActivationRequest());
    const auto args = arguments();
    ASSERT_GE(args.size(), 3u);
    EXPECT_EQ(args.front().rfind("--app-name=", 0), 0u);
    EXPECT_NE(std::find(args.begin(), args.end(), "--action=default=Open"), args.end());
    // The texts come last, after the end of the options; the body's markup
    // characters are escaped.
    EXPECT_EQ(args[args.size() - 3], "--");
    EXPECT_EQ(args.back(), "Liechtenstein &amp; Vaduz &lt;installed&gt;");
}

// Closed without choosing it, or no notification service to show it
// (notify-send fails), or no notify-send at all: nothing happens, nothing
// fails.
TEST_F(UILocalNotificationTest, WithoutANotificationServiceNothingHappens) {
    notifier("exit 0");
    ASSERT_TRUE(application_->presentLocalNotificationNow(notification()));
    ASSERT_TRUE(waitForArguments());
    fs::remove(folder_ / "args");
    notifier("echo 'GDBus.Error: no notification service' >&2; exit 1");
    ASSERT_TRUE(application_->presentLocalNotificationNow(notification()));
    ASSERT_TRUE(waitForArguments());
    NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.3));
    fs::remove(folder_ / "notify-send");
    EXPECT_FALSE(application_->presentLocalNotificationNow(notification()));
    EXPECT_TRUE(delegate_->received.empty());
    EXPECT_FALSE(application_->takeActivationRequest());
}

}  // namespace
