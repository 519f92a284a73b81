#include "sdk/BITZizavaBaseManager.h"

#include <elf.h>
#include <link.h>

#include <ctime>
#include <iomanip>
#include <sstream>

#include "Dispatch/DispatchQueue.h"
#include "Security/SecItem.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIWindow.h"
#include "sdk/BITKeychainUtils.h"
#include "sdk/BITZizavaBaseViewController.h"
#include "sdk/BITZizavaDevice.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/BITZizavaManager.h"
#include "sdk/BITZizavaManagerDelegate.h"

namespace {

// The first loaded object is the executable itself.
int readBuildID(dl_phdr_info* info, size_t, void* context) {
    auto* result = static_cast<std::string*>(context);
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_NOTE)
            continue;
        const auto* notes = reinterpret_cast<const uint8_t*>(info->dlpi_addr + segment.p_vaddr);
        size_t offset = 0;
        while (offset + sizeof(ElfW(Nhdr)) <= segment.p_memsz) {
            const auto* note = reinterpret_cast<const ElfW(Nhdr)*>(notes + offset);
            const size_t nameSize = (note->n_namesz + 3) & ~size_t{3};
            const size_t descriptionSize = (note->n_descsz + 3) & ~size_t{3};
            const size_t description = offset + sizeof(ElfW(Nhdr)) + nameSize;
            if (description + note->n_descsz > segment.p_memsz)
                break;
            if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4 &&
                std::string_view(reinterpret_cast<const char*>(note + 1), 3) == "GNU") {
                static constexpr char digits[] = "0123456789abcdef";
                for (size_t k = 0; k < note->n_descsz; ++k) {
                    const uint8_t byte = notes[description + k];
                    *result += digits[byte >> 4];
                    *result += digits[byte & 0x0F];
                }
                return 1;
            }
            offset = description + descriptionSize;
        }
    }
    return 1;
}

// How a window shows in the log.
std::string describe(const std::shared_ptr<UIWindow>& window) {
    if (!window)
        return "(null)";
    const CGRect frame = window->frame();
    std::ostringstream text;
    text << "<UIWindow: " << static_cast<const void*>(window.get()) << "; frame = ("
         << frame.origin.x << " " << frame.origin.y << "; " << frame.size.width << " "
         << frame.size.height << ")" << (window->isHidden() ? "; hidden" : "") << ">";
    return text.str();
}

}  // namespace

BITZizavaBaseManager::BITZizavaBaseManager(std::string appIdentifier,
                                           BITAppEnvironment appEnvironment)
    : appIdentifier_(std::move(appIdentifier)),
      appEnvironment_(appEnvironment),
      barStyle_(isPreiOS7Environment() ? UIBarStyleBlack : UIBarStyleDefault) {
    if (isPreiOS7Environment())
        navigationBarTintColor_ =
            UIColor::colorWithRedGreenBlueAlpha(25.0 / 255, 25.0 / 255, 25.0 / 255, 1);
}

std::shared_ptr<UIWindow> BITZizavaBaseManager::findVisibleWindow() const {
    const auto application = UIApplication::sharedApplication();
    std::shared_ptr<UIWindow> visible = application->keyWindow();
    if (visible && !visible->isHidden())
        return visible;
    for (const auto& window : application->windows()) {
        if (window->isHidden())
            continue;
        if (!visible)
            visible = window;
        if (window->rootViewController()) {
            BITZizavaLogDebug("INFO: UIWindow with rootViewController found: %s",
                              describe(window).c_str());
            return window;
        }
    }
    return visible;
}

std::shared_ptr<UINavigationController>
BITZizavaBaseManager::customNavigationControllerWithRootViewControllerPresentationStyle(
    const std::shared_ptr<UIViewController>& viewController, UIModalPresentationStyle) const {
    auto navigation = std::make_shared<UINavigationController>(viewController);
    navigation->navigationBar()->setBarStyle(barStyle_);
    if (navigationBarTintColor_)
        navigation->navigationBar()->setTintColor(navigationBarTintColor_);
    else if (!isPreiOS7Environment())
        navigation->navigationBar()->setTintColor(
            UIColor::colorWithRedGreenBlueAlpha(0, 122.0 / 255, 1, 1));
    navigation->setModalPresentationStyle(modalPresentationStyle_);
    return navigation;
}

std::shared_ptr<UIViewController> BITZizavaBaseManager::visibleWindowRootViewController() {
    std::shared_ptr<UIViewController> parent;
    if (auto delegate = this->delegate())
        parent = delegate->viewControllerForZizavaManagerComponentManager(
            *BITZizavaManager::sharedZizavaManager(), *this);
    if (!parent) {
        if (auto window = findVisibleWindow())
            parent = window->rootViewController();
    }
    while (parent && parent->presentedViewController())
        parent = parent->presentedViewController();
    return parent;
}

void BITZizavaBaseManager::showView(const std::shared_ptr<UIViewController>& viewController) {
    if (!viewController)
        return;
    std::shared_ptr<UIViewController> parent = visibleWindowRootViewController();
    if (parent && parent->isBeingPresented()) {
        BITZizavaLogDebug(
            "INFO: There is already a view controller being presented onto the "
            "parentViewController. Delaying presenting the new view controller by 0.5s.");
        std::weak_ptr<BITZizavaBaseManager> weakSelf = weak_from_this();
        DispatchQueue::main()->after(0.5, [weakSelf, viewController] {
            if (auto self = weakSelf.lock())
                self->showView(viewController);
        });
        return;
    }
    navController_.reset();
    navController_ = customNavigationControllerWithRootViewControllerPresentationStyle(
        viewController, modalPresentationStyle_);
    auto screen = std::dynamic_pointer_cast<BITZizavaBaseViewController>(viewController);
    if (parent) {
        navController_->setModalTransitionStyle(UIModalTransitionStyleCoverVertical);
        if (UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad)
            navController_->setModalPresentationStyle(UIModalPresentationFormSheet);
        if (screen)
            screen->setModalAnimated(true);
        parent->presentViewControllerAnimatedCompletion(navController_, true, nullptr);
        return;
    }
    std::shared_ptr<UIWindow> window = findVisibleWindow();
    BITZizavaLogDebug("INFO: No rootViewController found, using UIWindow-approach: %s",
                      describe(window).c_str());
    if (screen)
        screen->setModalAnimated(false);
    if (!window)
        return;
    navController_->view()->setFrame(window->bounds());
    window->addSubview(navController_->view());
}

void BITZizavaBaseManager::reportError(const NSError& error) const {
    BITZizavaLogError("ERROR: %s", error.localizedDescription().c_str());
}

std::string BITZizavaBaseManager::encodedAppIdentifier() const {
    return bit_encodeAppIdentifier(appIdentifier_);
}

bool BITZizavaBaseManager::isPreiOS7Environment() const {
    return bit_isPreiOS7Environment();
}

std::string BITZizavaBaseManager::getDevicePlatform() const {
    return bit_devicePlatform();
}

std::string BITZizavaBaseManager::executableUUID() const {
    std::string identifier;
    dl_iterate_phdr(readBuildID, &identifier);
    return identifier;
}

std::optional<NSDate> BITZizavaBaseManager::parseRFC3339Date(
    const std::optional<std::string>& text) const {
    if (!text)
        return std::nullopt;
    std::tm parts{};
    std::istringstream stream(*text);
    char zone = 0;
    stream >> std::get_time(&parts, "%Y-%m-%dT%H:%M:%S") >> zone;
    if (text->size() != 20 || stream.fail() || zone != 'Z') {
        BITZizavaLogWarning("WARNING: Invalid date '%s' string: %s", text->c_str(),
                            "not of the form yyyy-MM-dd'T'HH:mm:ss'Z'");
        return std::nullopt;
    }
    return NSDate::dateWithTimeIntervalSince1970(static_cast<double>(timegm(&parts)));
}

bool BITZizavaBaseManager::addStringValueToKeychainForKey(const std::optional<std::string>& value,
                                                          const std::optional<std::string>& key) {
    if (!value || !key)
        return false;
    std::optional<NSError> error;
    return BITKeychainUtils::storeUsernameAndPasswordForServiceNameUpdateExistingAccessibilityError(
        key, value, bit_keychainServiceName(), true, kSecAttrAccessibleAlways, &error);
}

bool BITZizavaBaseManager::addStringValueToKeychainForThisDeviceOnlyForKey(
    const std::optional<std::string>& value, const std::optional<std::string>& key) {
    if (!value || !key)
        return false;
    std::optional<NSError> error;
    return BITKeychainUtils::storeUsernameAndPasswordForServiceNameUpdateExistingAccessibilityError(
        key, value, bit_keychainServiceName(), true,
        kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly, &error);
}

std::optional<std::string> BITZizavaBaseManager::stringValueFromKeychainForKey(
    const std::optional<std::string>& key) const {
    if (!key)
        return std::nullopt;
    std::optional<NSError> error;
    return BITKeychainUtils::getPasswordForUsernameAndServiceNameError(
        key, bit_keychainServiceName(), &error);
}

bool BITZizavaBaseManager::removeKeyFromKeychain(const std::optional<std::string>& key) {
    std::optional<NSError> error;
    return BITKeychainUtils::deleteItemForUsernameAndServiceNameError(
        key, bit_keychainServiceName(), &error);
}
