// A program that starts the SDK crashes in a child process; the next start
// asks the user and, on Send, the service gets one report whose XML parses,
// whose log names the crashed thread's frames and whose user name came
// through intact; nothing of the report is left behind. The children are
// this test program run again with a CrashManagerChild test selected.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "../SdkServiceProcess.h"
#include "../SdkTestSupport.h"
#include "CrashManagerTestSupport.h"
#include "CrashTestSupport.h"
#include "Foundation/NSPathUtilities.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIWindow.h"
#include "sdk/BITZizavaManager.h"

extern char** environ;

using namespace CrashManagerTestSupport;

namespace {

constexpr const char* kUserName = "O'Brien & Co <x>";

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Runs one CrashManagerChild test in a new process; answers its wait status.
int runChild(const std::string& test, const std::string& home, const std::string& url,
             const std::string& answer = "", const std::string& expect = "") {
    setenv("KELVARA_E2E_HOME", home.c_str(), 1);
    setenv("KELVARA_E2E_SDK_URL", url.c_str(), 1);
    setenv("KELVARA_E2E_ANSWER", answer.c_str(), 1);
    setenv("KELVARA_E2E_EXPECT", expect.c_str(), 1);
    std::string self = "/proc/self/exe";
    std::string filter = "--gtest_filter=CrashManagerChild." + test;
    char* argv[] = {self.data(), filter.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// What every child does first: the shared home, and the SDK started with
// the crash manager against the service.
std::shared_ptr<BITCrashManager> startSDK(bool withUser) {
    NSSetApplicationHome(environment("KELVARA_E2E_HOME"));
    BITCrashManager::registerComponent();
    const auto front = BITZizavaManager::sharedZizavaManager();
    front->setServerURL(environment("KELVARA_E2E_SDK_URL"));
    front->configureWithIdentifier(std::string(kAppIdentifier));
    if (withUser)
        front->setUserName(std::string(kUserName));
    auto crash = std::dynamic_pointer_cast<BITCrashManager>(front->crashManager());
    // The service does not symbolicate: frames are named where the crash happened.
    crash->setEnableOnDeviceSymbolication(true);
    return crash;
}

extern "C" __attribute__((noinline)) void crashInMapLayer() {
    *reinterpret_cast<volatile int*>(uintptr_t{0xdead0010}) = 1;
}

extern "C" __attribute__((noinline)) void throwFromCatalogue() {
    throw std::runtime_error("the map store is gone");
}

TEST(CrashManagerChild, CrashesWithSignal) {
    startSDK(true);
    BITZizavaManager::sharedZizavaManager()->startManager();
    crashInMapLayer();
}

TEST(CrashManagerChild, CrashesWithException) {
    startSDK(true);
    BITZizavaManager::sharedZizavaManager()->startManager();
    // On a thread of its own, where no test harness catches it.
    std::thread(throwFromCatalogue).join();
}

// The next start: answers the consent alert as KELVARA_E2E_ANSWER says
// ("send", "dontsend", or "" when no alert may come), then checks that the
// report is gone ("sent", "declined") or kept ("kept").
TEST(CrashManagerChild, NextStart) {
    auto crash = startSDK(false);
    auto delegate = std::make_shared<RecordingDelegate>();
    crash->setCrashManagerDelegate(delegate);
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
    window->makeKeyAndVisible();
    UIApplication::sharedApplication()->becomeActive();
    BITZizavaManager::sharedZizavaManager()->startManager();
    const std::string answer = environment("KELVARA_E2E_ANSWER");
    // A report kept from an earlier start is not a crash of the last session.
    EXPECT_EQ(crash->didCrashInLastSession(), !answer.empty());
    if (!answer.empty()) {
        ASSERT_TRUE(runMainLoopUntil([&] { return crash->consentAlert() != nullptr; }));
        const auto alert = crash->consentAlert();
        EXPECT_TRUE(alert->isVisible());
        EXPECT_EQ(alert->numberOfButtons(), 3);  // Don't send, Send, Always send
        alert->dismissWithClickedButtonIndexAnimated(answer == "send" ? 1 : 0, true);
    }
    const std::string expect = environment("KELVARA_E2E_EXPECT");
    if (expect == "declined") {
        EXPECT_EQ(delegate->cancels, 1);
        EXPECT_EQ(delegate->sends, 0);
    } else {
        ASSERT_TRUE(runMainLoopUntil([&] { return delegate->uploadEnded(); }));
        EXPECT_EQ(delegate->alerts, answer.empty() ? 0 : 1);
        EXPECT_EQ(delegate->finished, expect == "sent" ? 1 : 0);
    }
    const bool kept = expect == "kept";
    EXPECT_EQ(reportFolderEntries().size(), kept ? 2u : 0u);  // the report and its .meta
    EXPECT_EQ(crashKeychainItems().size(), kept ? 3u : 0u);
}

class CrashManagerEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(service->running()); }

    // One crash on the service: its decoded values and its log.
    Value::Dictionary onlyCrash() const {
        const Value crashes = service->crashes();
        EXPECT_EQ(crashes.arrayValue()->size(), 1u);
        if (crashes.arrayValue()->size() != 1)
            return {};
        return *crashes.arrayValue()->front().dictionaryValue()->at("values").dictionaryValue();
    }

    CrashTestSupport::TemporaryHome home;
    std::unique_ptr<SdkServiceProcess> service = std::make_unique<SdkServiceProcess>();
};

TEST_F(CrashManagerEndToEnd, SegmentationFaultIsAskedAboutAndSentIntact) {
    const int crashed = runChild("CrashesWithSignal", home.path(), service->baseURL());
    ASSERT_TRUE(WIFSIGNALED(crashed));
    EXPECT_EQ(WTERMSIG(crashed), SIGSEGV);
    EXPECT_EQ(runChild("NextStart", home.path(), service->baseURL(), "send", "sent"), 0);
    const Value::Dictionary values = onlyCrash();
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(*values.at("username").stringValue(), kUserName);
    const std::string& log = *values.at("log").stringValue();
    EXPECT_NE(log.find("SIGSEGV"), std::string::npos);
    EXPECT_NE(log.find("crashInMapLayer"), std::string::npos) << log;
    EXPECT_EQ(*values.at("bundleidentifier").stringValue(), kTestBundleIdentifier);
}

TEST_F(CrashManagerEndToEnd, UncaughtExceptionIsSentWithTheThrowingFrames) {
    const int crashed = runChild("CrashesWithException", home.path(), service->baseURL());
    ASSERT_TRUE(WIFSIGNALED(crashed));
    EXPECT_EQ(WTERMSIG(crashed), SIGABRT);
    EXPECT_EQ(runChild("NextStart", home.path(), service->baseURL(), "send", "sent"), 0);
    const Value::Dictionary values = onlyCrash();
    ASSERT_FALSE(values.empty());
    const std::string& log = *values.at("log").stringValue();
    EXPECT_NE(log.find("std::runtime_error"), std::string::npos) << log;
    EXPECT_NE(log.find("throwFromCatalogue"), std::string::npos) << log;
    EXPECT_EQ(*values.at("username").stringValue(), kUserName);
}

TEST_F(CrashManagerEndToEnd, DontSendLeavesNothing) {
    ASSERT_TRUE(WIFSIGNALED(runChild("CrashesWithSignal", home.path(), service->baseURL())));
    EXPECT_EQ(runChild("NextStart", home.path(), service->baseURL(), "dontsend", "declined"), 0);
    EXPECT_TRUE(service->crashes().arrayValue()->empty());
}

TEST_F(CrashManagerEndToEnd, ReportWaitsForTheServiceAndGoesOutOnceItIsBack) {
    ASSERT_TRUE(WIFSIGNALED(runChild("CrashesWithSignal", home.path(), service->baseURL())));
    const std::string url = service->baseURL();
    service.reset();
    EXPECT_EQ(runChild("NextStart", home.path(), url, "send", "kept"), 0);
    service = std::make_unique<SdkServiceProcess>();
    // Approved before: it goes out without a second question.
    EXPECT_EQ(runChild("NextStart", home.path(), service->baseURL(), "", "sent"), 0);
    EXPECT_EQ(*onlyCrash().at("username").stringValue(), kUserName);
}

}  // namespace
