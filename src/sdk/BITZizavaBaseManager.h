#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/NSDate.h"
#include "Foundation/NSError.h"
#include "UIKit/UIColor.h"
#include "UIKit/UINavigationBar.h"
#include "UIKit/UIViewController.h"
#include "sdk/BITZizavaHelper.h"

class BITZizavaManagerDelegate;
class UINavigationController;
class UIWindow;

// The base of the SDK's component managers (crash, beta update, store
// update, feedback, telemetry): identifier, environment, server URL, keychain
// access under the SDK's service, the facts every manager reports, and the
// presentation of the SDK's own screens over the application.
class BITZizavaBaseManager : public std::enable_shared_from_this<BITZizavaBaseManager> {
  public:
    // The service's SDK endpoint, shared with the front.
    static constexpr const char* kDefaultServerURL = "https://sdk.zizava.app/";

    BITZizavaBaseManager(std::string appIdentifier, BITAppEnvironment appEnvironment);
    virtual ~BITZizavaBaseManager() = default;

    // Each manager starts its own work.
    virtual void startManager() {}

    // Settings the front passes on; a manager overrides those that are its own.
    virtual void setDelegate(std::weak_ptr<BITZizavaManagerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    virtual void setDisableUpdateManager(bool) {}
    virtual void setEnableStoreUpdateManager(bool) {}
    virtual void setDisableFeedbackManager(bool) {}
    virtual void setDisabled(bool) {}

    std::shared_ptr<BITZizavaManagerDelegate> delegate() const { return delegate_.lock(); }
    const std::string& serverURL() const { return serverURL_; }
    virtual void setServerURL(std::string serverURL) { serverURL_ = std::move(serverURL); }
    const std::string& appIdentifier() const { return appIdentifier_; }
    void setAppIdentifier(std::string identifier) { appIdentifier_ = std::move(identifier); }
    BITAppEnvironment appEnvironment() const { return appEnvironment_; }

    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle style) { barStyle_ = style; }
    const std::optional<UIColor>& navigationBarTintColor() const { return navigationBarTintColor_; }
    void setNavigationBarTintColor(const std::optional<UIColor>& color) {
        navigationBarTintColor_ = color;
    }
    UIModalPresentationStyle modalPresentationStyle() const { return modalPresentationStyle_; }
    void setModalPresentationStyle(UIModalPresentationStyle style) {
        modalPresentationStyle_ = style;
    }
    // The navigation controller of the SDK screen shown last.
    const std::shared_ptr<UINavigationController>& navController() const { return navController_; }

    // The key window when it is shown; else the first shown window with a
    // root controller; else the first shown window (or the hidden key window).
    std::shared_ptr<UIWindow> findVisibleWindow() const;
    // A navigation controller around the screen in the SDK's bar look. The
    // style argument is not used: the manager's own style applies.
    std::shared_ptr<UINavigationController>
    customNavigationControllerWithRootViewControllerPresentationStyle(
        const std::shared_ptr<UIViewController>& viewController,
        UIModalPresentationStyle style) const;
    // The controller SDK screens are presented on: the delegate's choice, else
    // the visible window's root, followed down to what it presents.
    std::shared_ptr<UIViewController> visibleWindowRootViewController();
    // Shows an SDK screen in a navigation controller: presented on
    // visibleWindowRootViewController, or laid straight on the visible window
    // when there is no controller. Waits while that controller is still
    // being presented itself.
    void showView(const std::shared_ptr<UIViewController>& viewController);

    void reportError(const NSError& error) const;
    std::string encodedAppIdentifier() const;
    bool isPreiOS7Environment() const;
    std::string getDevicePlatform() const;
    // The GNU build-id of the running executable as lower-case hexadecimal;
    // "" when it has none.
    std::string executableUUID() const;
    // "yyyy-MM-ddTHH:mm:ssZ" in UTC; nullopt (and a warning) otherwise.
    std::optional<NSDate> parseRFC3339Date(const std::optional<std::string>& text) const;

    bool addStringValueToKeychainForKey(const std::optional<std::string>& value,
                                        const std::optional<std::string>& key);
    bool addStringValueToKeychainForThisDeviceOnlyForKey(const std::optional<std::string>& value,
                                                         const std::optional<std::string>& key);
    std::optional<std::string> stringValueFromKeychainForKey(
        const std::optional<std::string>& key) const;
    bool removeKeyFromKeychain(const std::optional<std::string>& key);

  private:
    std::string appIdentifier_;
    BITAppEnvironment appEnvironment_;
    std::string serverURL_ = kDefaultServerURL;
    std::weak_ptr<BITZizavaManagerDelegate> delegate_;
    std::shared_ptr<UINavigationController> navController_;
    UIBarStyle barStyle_;
    std::optional<UIColor> navigationBarTintColor_;
    UIModalPresentationStyle modalPresentationStyle_ = UIModalPresentationFormSheet;
};
