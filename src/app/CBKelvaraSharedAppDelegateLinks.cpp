// The ways into a place or a map from outside: kelvara2 links open their
// place on the map, or offer the store's page of the map that holds it; the
// notification of an installed map opens that map.
#include "Foundation/NSLog.h"
#include "UIKit/UILocalNotification.h"
#include "app/CBBrokenLinksAlert.h"
#include "app/CBKelvaraLink.h"
#include "app/CBKelvaraSharedAppDelegate.h"
#include "app/CBLinkedStoreMapOffer.h"
#include "app/CBMapInstalledNotification.h"
#include "app/CBMapViewController.h"
#include "app/CBRootViewController.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "shelf/CBMapShelfViewController.h"

bool CBKelvaraSharedAppDelegate::openLink(const std::string& url) {
    std::string error;
    auto link = CBKelvaraLink::parse(url, &error);
    if (!link) {
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: broken link %s: %s", url.c_str(),
                       error.c_str());
        brokenLinksAlert_->reportBrokenLinkWithReason(error);
        return false;
    }
    if (!mapViewController_)
        return false;
    // A place on no installed map: the store's page of the map that holds it.
    if (!mapViewController_->holdsCoordinate(link->coordinate) && rootViewController_ &&
        userMapStoreEngine_ && !options_.mapPath) {
        if (auto map =
                catalogue_ ? catalogue_->mapIncludingCoordinate(link->coordinate) : nullptr) {
            std::weak_ptr<CBRootViewController> root = rootViewController_;
            storeMapOffer_ = CBLinkedStoreMapOffer::show(*map, [root](const std::string& id) {
                if (auto container = root.lock())
                    container->showStorePageForMapWithIdentifier(id);
            });
            return false;
        }
    }
    return mapViewController_->openLink(*link);
}

// Only the application's own links are ours; the desktop opens the rest.
bool CBKelvaraSharedAppDelegate::applicationOpenURL(UIApplication&, const std::string& url) {
    if (!CBKelvaraLink::isKelvaraLink(url))
        return false;
    return openLink(url);
}

void CBKelvaraSharedAppDelegate::applicationDidReceiveLocalNotification(
    UIApplication&, const UILocalNotification& notification) {
    auto found = notification.userInfo().find(CBMapInstalledNotification::kMapIdentifierKey);
    const std::string* identifier =
        found == notification.userInfo().end() ? nullptr : found->second.stringValue();
    if (!identifier || !openInstalledMapWithIdentifier(*identifier))
        NSLogWithLevel(NSLogLevel::Info, "Kelvara: the notification names no installed map");
}

bool CBKelvaraSharedAppDelegate::openInstalledMapWithIdentifier(const std::string& identifier) {
    auto map = userMapStoreEngine_ ? userMapStoreEngine_->mapForIdentifier(identifier) : nullptr;
    if (!map || map->isDownloading() || !rootViewController_)
        return false;
    dismissCoveringScreens();
    userMapStoreEngine_->setCurrentMap(map);
    rootViewController_->transitionToMapViewControllerWithCompletion(nullptr);
    return true;
}

void CBKelvaraSharedAppDelegate::dismissCoveringScreens() {
    if (auto shelf = rootViewController_ ? rootViewController_->shelf() : nullptr;
        shelf && shelf->presentedViewController())
        shelf->dismissViewControllerAnimatedCompletion(false, nullptr);
    if (mapViewController_ && mapViewController_->presentedViewController())
        mapViewController_->dismissViewControllerAnimatedCompletion(false, nullptr);
}
