#include "SdkTestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "sdk/BITKeychainUtils.h"
#include "sdk/BITZizavaHelper.h"

namespace fs = std::filesystem;

namespace {

fs::path testRoot() {
    static const fs::path root =
        fs::temp_directory_path() / ("kelvara-sdk-tests-" + std::to_string(getpid()));
    return root;
}

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

class SdkTestEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        std::error_code error;
        fs::remove_all(testRoot(), error);
        NSSetApplicationHome((testRoot() / "home").string());
        useTestBundleWithInfo({});
        // With an id in place the SDK stores none in the background, which
        // could outlive the test's folder.
        std::optional<NSError> keychainError;
        BITKeychainUtils::storeUsernameAndPasswordForServiceNameUpdateExistingError(
            std::string("appAnonID"), std::string("00000000-0000-4000-8000-000000000000"),
            bit_keychainServiceName(), true, &keychainError);
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(testRoot(), error);
    }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new SdkTestEnvironment);

}  // namespace

void useTestBundleWithInfo(const Value::Dictionary& extra) {
    static std::atomic<int> count = 0;
    const fs::path bundle = testRoot() / ("bundle-" + std::to_string(count++));
    Value::Dictionary info{{"CFBundleIdentifier", kTestBundleIdentifier},
                           {"CFBundleVersion", "42"},
                           {"CFBundleShortVersionString", "1.0"},
                           {"CFBundleName", "Kelvara Tests"}};
    for (const auto& [key, value] : extra)
        info[key] = value;
    fs::create_directories(bundle);
    NSPropertyListSerialization::writePropertyListToFile(
        Value(info), (bundle / "Info.plist").string(), NSPropertyListSerialization::Format::XML);
    writeText(bundle / "en.lproj" / "Localizable.strings", "\"AppKey\" = \"From the app\";\n");
    writeText(bundle / "ZizavaSDKResources.bundle" / "en.lproj" / "ZizavaSDK.strings",
              "\"AppKey\" = \"From the SDK\";\n\"SdkKey\" = \"SDK text\";\n");
    NSBundle::setMainBundlePath(bundle.string());
}

LogCapture::LogCapture() {
    BITZizavaLogger::setLogHandler(
        [state = state_](const BITZizavaLogger::MessageProvider& provider, BITLogLevel level,
                         const char*, const char*, unsigned) {
            std::lock_guard lock(state->mutex);
            state->messages.emplace_back(level, provider());
        });
}

LogCapture::~LogCapture() {
    BITZizavaLogger::setLogHandler(BITZizavaLogger::defaultLogHandler);
}

bool LogCapture::contains(const std::string& text) const {
    std::lock_guard lock(state_->mutex);
    for (const auto& [level, message] : state_->messages) {
        if (message.find(text) != std::string::npos)
            return true;
    }
    return false;
}

bool LogCapture::waitFor(const std::string& text, double seconds) const {
    return NSRunLoop::mainRunLoop()->runUntil([&] { return contains(text); }, seconds);
}

std::vector<std::pair<BITLogLevel, std::string>> LogCapture::messages() const {
    std::lock_guard lock(state_->mutex);
    return state_->messages;
}

bool runMainLoopFor(double seconds) {
    // A due block joins the ready ones behind those already waiting, in the
    // order of the due times, so the marker runs after all of them.
    const auto reached = std::make_shared<std::atomic<bool>>(false);
    DispatchQueue::main()->after(seconds, [reached] { *reached = true; });
    return runMainLoopUntil([&] { return reached->load(); }, seconds + 60);
}

bool runMainLoopUntil(const std::function<bool()>& done, double seconds) {
    NSRunLoop::mainRunLoop()->runUntil(done, seconds);
    return done();
}
