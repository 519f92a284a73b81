#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/Value.h"
#include "UIKit/UIAlertView.h"

class UIViewController;

// Fetches the server's notice (a binary property list with "version",
// "title", "message" and an optional "link") and shows it once per version:
// the version shown last is kept in the user default "lastServerNotification".
// The link, a page of the store server or an http(s) address, opens from the
// alert's second button. A request in flight keeps the controller alive.
class CBServerNotificationController
    : public UIAlertViewDelegate,
      public std::enable_shared_from_this<CBServerNotificationController> {
  public:
    static constexpr const char* kLastNotificationKey = "lastServerNotification";
    static constexpr double kTimeout = 20.0;

    struct Notice {
        int64_t version = 0;
        std::string title;
        std::string message;
        std::optional<std::string> link;
    };

    explicit CBServerNotificationController(std::string path);

    std::shared_ptr<UIViewController> mainViewController() const {
        return mainViewController_.lock();
    }
    void setMainViewController(std::weak_ptr<UIViewController> controller) {
        mainViewController_ = std::move(controller);
    }
    void start();

    // nullopt for anything but a well-formed notice.
    static std::optional<Notice> noticeFromData(const Value::Data& data);
    // The alert while the notice is shown.
    const std::shared_ptr<UIAlertView>& alert() const { return alert_; }
    // The address the link button opens; nullopt without a usable link.
    std::optional<std::string> linkURL() const;

    void alertViewClickedButtonAtIndex(UIAlertView& alert, long index) override;

  private:
    void showNoticeIfNew(const Notice& notice);

    std::string path_;
    std::weak_ptr<UIViewController> mainViewController_;
    std::optional<Notice> notice_;
    std::shared_ptr<UIAlertView> alert_;
    // Held while the alert is up: the alert keeps only a weak delegate.
    std::shared_ptr<CBServerNotificationController> keepAlive_;
};
