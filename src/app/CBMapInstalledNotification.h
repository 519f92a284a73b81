#pragma once

#include <memory>

#include "packages/CBUserMapStoreEngineDelegate.h"

class UILocalNotification;

// Tells the desktop when a map has finished installing while Kelvara's
// window is not in front: a notification whose action opens that map (its
// identifier under "mapIdentifier"). The application delegate opens it.
class CBMapInstalledNotification : public CBUserMapStoreEngineDelegate {
  public:
    static constexpr const char* kMapIdentifierKey = "mapIdentifier";

    // The notification for the map.
    static std::shared_ptr<UILocalNotification> notificationForMap(CBMapStoreMap& map);

    void userMapStoreDownloadStatusChangedToForMapWithIdentifier(
        CBUserMapStoreEngine& registry, const ZELDownloadStatus& status,
        const std::string& identifier) override;
};
