#include "FeedbackScreenTestSupport.h"

#include <httplib.h>

#include <filesystem>

#include "CoreGraphics/CGContext.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Host/HostScenario.h"
#include "Net/NSURL.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIWindow.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/SdkTestSupport.h"

namespace fs = std::filesystem;

void useTestBundleWithSdkResources(const Value::Dictionary& info) {
    useTestBundleWithInfo(info);
    fs::copy(KELVARA_SDK_RESOURCES,
             NSBundle::mainBundle()->resourcePath() + "/ZizavaSDKResources.bundle",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

void FeedbackScreenTest::SetUp() {
    UIKitTest::SetUp();
    useTestBundleWithSdkResources({{"NSPhotoLibraryUsageDescription", "Pictures for feedback"}});
    std::error_code error;
    fs::remove_all(BITFeedbackMessageAttachment::attachmentsFolder(), error);
    fs::remove(bit_settingsDir() + "/BITFeedbackManager.plist", error);
    UIImage::clearNamedCache();
    window = makeWindow({320, 568});
    root = std::make_shared<UIViewController>();
    window->setRootViewController(root);
    manager = std::make_shared<BITFeedbackManager>(kFeedbackTestAppID, BITAppEnvironmentOther);
    manager->removeKeyFromKeychain("ZizavaFeedbackToken");
    manager->setServerURL("http://127.0.0.1:1/");
}

void FeedbackScreenTest::TearDown() {
    window->setHidden(true);
    UIKitTest::TearDown();
}

namespace {

httplib::Client controlOf(const SdkServiceProcess& service) {
    const std::string base = service.baseURL();
    return httplib::Client("127.0.0.1", std::stoi(base.substr(base.rfind(':') + 1)));
}

}  // namespace

void FeedbackScreenTest::useService() {
    service = std::make_unique<SdkServiceProcess>(std::vector<std::string>{kFeedbackTestAppID});
    ASSERT_TRUE(service->running());
    manager->setServerURL(service->baseURL());
}

void FeedbackScreenTest::send(const std::string& text,
                              const BITFeedbackMessage::Attachments& attachments) {
    manager->submitMessageWithTextAndAttachments(text, attachments);
    settle();
}

void FeedbackScreenTest::settle() {
    const auto idle = [this] { return !manager->networkRequestInProgress(); };
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(idle, 10));
    runMainLoopFor(0.2);
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(idle, 10));
}

void FeedbackScreenTest::reply(const std::string& text, const std::string& fileName,
                               const std::string& contentType, const std::string& bytes) {
    std::string path = "/_feedback/reply?thread=" + NSURL::percentEncode(*manager->token()) +
                       "&text=" + NSURL::percentEncode(text);
    if (!fileName.empty())
        path += "&file_name=" + NSURL::percentEncode(fileName) +
                "&content_type=" + NSURL::percentEncode(contentType);
    auto client = controlOf(*service);
    ASSERT_TRUE(client.Post(path.c_str(), bytes, "application/octet-stream"));
}

std::string FeedbackScreenTest::fetch(const std::string& url) const {
    auto client = controlOf(*service);
    const auto result = client.Get(url.substr(url.find("/_feedback")).c_str());
    return result ? result->body : std::string();
}

std::string FeedbackScreenTest::threadsJSON() const {
    auto client = controlOf(*service);
    const auto result = client.Get("/_feedback/threads");
    return result ? result->body : "{}";
}

void FeedbackScreenTest::play(const std::string& script) {
    const HostScenarioResult result = HostRunScenario(window, script);
    EXPECT_TRUE(result.passed) << result.message;
}

std::shared_ptr<UIImage> FeedbackScreenTest::picture(CGSize size, double red, double green,
                                                     double blue) {
    UIGraphicsBeginImageContextWithOptions(size, true, 1);
    CGContext& context = *UIGraphicsGetCurrentContext();
    context.setFillColorWithColor(CGColorCreateGenericRGB(red, green, blue, 1));
    context.fillRect(CGRectMake(0, 0, size.width, size.height));
    context.setFillColorWithColor(CGColorCreateGenericRGB(red / 3, green / 3, blue / 3, 1));
    context.fillRect(CGRectMake(size.width / 4, size.height / 4, size.width / 2, size.height / 2));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

std::shared_ptr<UIImage> FeedbackScreenTest::checkerboard(CGSize size, CGFloat scale) {
    UIGraphicsBeginImageContextWithOptions(size, true, scale);
    CGContext& context = *UIGraphicsGetCurrentContext();
    context.setFillColorWithColor(CGColorCreateGenericRGB(1, 1, 1, 1));
    context.fillRect(CGRectMake(0, 0, size.width, size.height));
    context.setFillColorWithColor(CGColorCreateGenericRGB(0, 0, 0, 1));
    for (int y = 0; y < size.height; y += 10) {
        for (int x = (y / 10) % 2 * 10; x < size.width; x += 20)
            context.fillRect(CGRectMake(x, y, 10, 10));
    }
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

size_t FeedbackScreenTest::storedAttachmentFiles() {
    std::error_code error;
    size_t count = 0;
    for (fs::directory_iterator it(BITFeedbackMessageAttachment::attachmentsFolder(), error), end;
         !error && it != end; it.increment(error))
        ++count;
    return count;
}
