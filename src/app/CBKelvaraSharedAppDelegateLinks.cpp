// The application's links: kelvara2 links open their place on the map, or
// offer the store's page of the map that holds it.
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "UIKit/UIAlertView.h"
#include "app/CBKelvaraLink.h"
#include "app/CBKelvaraSharedAppDelegate.h"
#include "app/CBLinkedStoreMapOffer.h"
#include "app/CBMapViewController.h"
#include "app/CBRootViewController.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"

bool CBKelvaraSharedAppDelegate::openLink(const std::string& url) {
    std::string error;
    auto link = CBKelvaraLink::parse(url, &error);
    if (!link) {
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: broken link %s: %s", url.c_str(),
                       error.c_str());
        auto alert = std::make_shared<UIAlertView>(NSLocalizedString("LinkCannotOpenTitle"), error,
                                                   std::weak_ptr<UIAlertViewDelegate>(),
                                                   NSLocalizedString("OK"));
        alert->show();
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
