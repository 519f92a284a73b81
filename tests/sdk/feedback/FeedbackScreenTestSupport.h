#pragma once

#include <memory>
#include <string>

#include "UIKit/UIImage.h"
#include "UIKit/UIViewController.h"
#include "platform/UIKit/UIKitTestSupport.h"
#include "sdk/SdkServiceProcess.h"
#include "sdk/feedback/BITFeedbackManager.h"

constexpr const char* kFeedbackTestAppID = "0123456789abcdef0123456789abcdef";

// A test bundle (useTestBundleWithInfo) that carries the SDK's real texts and pictures.
void useTestBundleWithSdkResources(const Value::Dictionary& info = {});

// The feedback screens on a 2x phone window, with the SDK's real texts and
// pictures, an empty store and attachments folder, and a manager that knows
// no service until a test gives it one.
class FeedbackScreenTest : public UIKitTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Points the manager at a service of its own.
    void useService();
    // Sends a message and waits until nothing is in flight.
    void send(const std::string& text, const BITFeedbackMessage::Attachments& attachments = {});
    void settle();
    // A developer reply on the service, with a file when bytes are given.
    void reply(const std::string& text, const std::string& fileName = {},
               const std::string& contentType = {}, const std::string& bytes = {});
    // The body the service answers for one of its URLs.
    std::string fetch(const std::string& url) const;
    // The service's threads as it keeps them (a JSON text).
    std::string threadsJSON() const;

    // Plays scenario steps on the window; fails the test on a failed step.
    void play(const std::string& script);
    // A picture of the size in one colour with a darker square in the middle.
    static std::shared_ptr<UIImage> picture(CGSize size, double red, double green, double blue);
    // Black and white squares of 10 points: every 30-point block mixes both.
    static std::shared_ptr<UIImage> checkerboard(CGSize size, CGFloat scale);
    // The files in the attachments folder.
    static size_t storedAttachmentFiles();

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIViewController> root;
    std::shared_ptr<BITFeedbackManager> manager;
    std::unique_ptr<SdkServiceProcess> service;
};
