#pragma once

#include <memory>
#include <optional>
#include <string>

class BITZizavaManager;
class BITZizavaBaseManager;
class UIViewController;

// What the host may tell the SDK. Every method is optional: nullopt means the
// delegate does not answer. The application sets no delegate.
class BITZizavaManagerDelegate {
  public:
    virtual ~BITZizavaManagerDelegate() = default;

    virtual std::optional<bool> shouldUseLiveIdentifierForZizavaManager(BITZizavaManager&) {
        return std::nullopt;
    }
    virtual std::optional<std::string> userIDForZizavaManagerComponentManager(
        BITZizavaManager&, BITZizavaBaseManager&) {
        return std::nullopt;
    }
    virtual std::optional<std::string> userNameForZizavaManagerComponentManager(
        BITZizavaManager&, BITZizavaBaseManager&) {
        return std::nullopt;
    }
    virtual std::optional<std::string> userEmailForZizavaManagerComponentManager(
        BITZizavaManager&, BITZizavaBaseManager&) {
        return std::nullopt;
    }
    // The controller the SDK presents its screens on; nullptr leaves the
    // choice to the SDK.
    virtual std::shared_ptr<UIViewController> viewControllerForZizavaManagerComponentManager(
        BITZizavaManager&, BITZizavaBaseManager&) {
        return nullptr;
    }
};
