#include "app/CBMapInstalledNotification.h"

#include "Foundation/NSBundle.h"
#include "Foundation/NSStringFormat.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UILocalNotification.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadStatus.h"

std::shared_ptr<UILocalNotification> CBMapInstalledNotification::notificationForMap(
    CBMapStoreMap& map) {
    auto notification = std::make_shared<UILocalNotification>();
    notification->setAlertBody(
        NSLocalizedFormat("MapInstalledNotificationFormat", {map.shortTitle()}));
    notification->setAlertAction(NSLocalizedString("MapInstalledNotificationAction"));
    notification->setUserInfo({{kMapIdentifierKey, Value(map.identifier().value_or(""))}});
    return notification;
}

void CBMapInstalledNotification::userMapStoreDownloadStatusChangedToForMapWithIdentifier(
    CBUserMapStoreEngine& registry, const ZELDownloadStatus& status,
    const std::string& identifier) {
    auto application = UIApplication::existingApplication();
    if (status.phase != ZELDownloadPhase::Installed || !application ||
        application->applicationState() == UIApplicationStateActive)
        return;
    if (auto map = registry.mapForIdentifier(identifier))
        application->presentLocalNotificationNow(notificationForMap(*map));
}
