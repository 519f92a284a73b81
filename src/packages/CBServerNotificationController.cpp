#include "packages/CBServerNotificationController.h"

#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIApplication.h"
#include "packages/CBMapStoreFetch.h"
#include "packages/CBMapStoreURLManager.h"

namespace {
constexpr size_t kMaximumNoticeSize = 64 * 1024;
}

CBServerNotificationController::CBServerNotificationController(std::string path)
    : path_(std::move(path)) {}

std::optional<CBServerNotificationController::Notice>
CBServerNotificationController::noticeFromData(const Value::Data& data) {
    if (data.size() > kMaximumNoticeSize)
        return std::nullopt;
    NSPropertyListSerialization::Format format;
    auto plist = NSPropertyListSerialization::propertyListWithData(data, &format);
    if (!plist || format != NSPropertyListSerialization::Format::Binary)
        return std::nullopt;
    const Value* version = plist->get("version");
    const Value* title = plist->get("title");
    const Value* message = plist->get("message");
    const Value* link = plist->get("link");
    if (!version || !version->integerValue() || !title || !title->stringValue() || !message ||
        !message->stringValue())
        return std::nullopt;
    Notice notice{*version->integerValue(), *title->stringValue(), *message->stringValue(), {}};
    if (link && link->stringValue() && !link->stringValue()->empty())
        notice.link = *link->stringValue();
    return notice;
}

void CBServerNotificationController::start() {
    auto self = shared_from_this();
    CBMapStoreFetch::fetch(
        path_, "GET", [self](std::optional<Value::Data> body, std::optional<NSHTTPURLResponse>) {
            auto notice = body ? noticeFromData(*body) : std::nullopt;
            if (body && !notice)
                NSLog(
                    "CBServerNotificationController: the notice at %s is "
                    "malformed",
                    self->path_.c_str());
            if (notice)
                self->showNoticeIfNew(*notice);
        });
}

void CBServerNotificationController::showNoticeIfNew(const Notice& notice) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (notice.version <= defaults->integerForKey(kLastNotificationKey))
        return;
    defaults->setIntegerForKey(notice.version, kLastNotificationKey);
    notice_ = notice;
    std::vector<std::string> others;
    if (linkURL())
        others.push_back(NSLocalizedString("MoreInformation"));
    alert_ = std::make_shared<UIAlertView>(notice.title, notice.message, weak_from_this(),
                                           NSLocalizedString("OK"), others);
    keepAlive_ = shared_from_this();
    alert_->show();
}

std::optional<std::string> CBServerNotificationController::linkURL() const {
    if (!notice_ || !notice_->link)
        return std::nullopt;
    return CBMapStoreURLManager::resolvedURLForSource(*notice_->link);
}

void CBServerNotificationController::alertViewClickedButtonAtIndex(UIAlertView& alert, long index) {
    if (&alert != alert_.get())
        return;
    if (index != alert.cancelButtonIndex()) {
        if (auto url = linkURL())
            UIApplication::sharedApplication()->openURL(*url);
    }
    alert_.reset();
    keepAlive_.reset();
}
