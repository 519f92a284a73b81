// Local notifications on the desktop: notify-send (libnotify) shows them; its
// action, when chosen, comes back on its standard output.
#include "UIKit/UILocalNotification.h"

#include <utility>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/DesktopLauncher.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSString+MarkupEscaping.h"
#include "UIKit/UIApplication.h"

namespace {

constexpr const char* kNotifier = "notify-send";
// The action of choosing the notification itself (its body, where the
// notification service shows no button).
constexpr const char* kActionName = "default";

std::string applicationName() {
    auto bundle = NSBundle::mainBundle();
    for (const char* key : {"CFBundleDisplayName", "CFBundleName"})
        if (auto name = bundle->objectForInfoDictionaryKey(key); name && name->stringValue())
            return *name->stringValue();
    return "Kelvara";
}

}  // namespace

bool UIApplication::presentLocalNotificationNow(
    const std::shared_ptr<UILocalNotification>& notification) {
    if (!notification)
        return false;
    if (!DesktopLauncher::isProgramAvailable(kNotifier)) {
        NSLogWithLevel(NSLogLevel::Info, "UIApplication: no %s, the notification is not shown",
                       kNotifier);
        return false;
    }
    const std::string name = applicationName();
    std::vector<std::string> argv{kNotifier, "--app-name=" + name};
    if (auto icon = NSBundle::mainBundle()->pathForResource("Icon", "png"))
        argv.push_back("--icon=" + *icon);
    const bool action = notification->hasAction();
    if (action)
        argv.push_back(std::string("--action=") + kActionName + "=" +
                       notification->alertAction().value_or(name));
    // Texts that start with a dash are texts, not options; the body is read
    // as the notification service's small markup.
    argv.insert(argv.end(),
                {"--", name, NSStringByEscapingMarkup(notification->alertBody().value_or(""))});
    return DesktopLauncher::launchReadingOutput(
        argv, [notification, action](int status, const std::string& output) {
            if (status != 0) {
                NSLogWithLevel(NSLogLevel::Info,
                               "UIApplication: %s ended with status %d, the notification was "
                               "not shown",
                               kNotifier, status);
                return;
            }
            if (!action || output.substr(0, output.find('\n')) != kActionName)
                return;
            DispatchQueue::main()->async([notification] {
                if (auto application = UIApplication::existingApplication())
                    application->receiveLocalNotification(*notification);
            });
        });
}

void UIApplication::receiveLocalNotification(const UILocalNotification& notification) {
    requestActivation();
    if (delegate_)
        delegate_->applicationDidReceiveLocalNotification(*this, notification);
}

bool UIApplication::takeActivationRequest() {
    return std::exchange(activationRequested_, false);
}
