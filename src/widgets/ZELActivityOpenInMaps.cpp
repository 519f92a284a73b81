#include "widgets/ZELActivityOpenInMaps.h"

#include <any>

#include "Foundation/NSLog.h"

namespace {
const MKMapItem* firstMapItem(const UIActivityItems& items) {
    for (const auto& item : items)
        if (const auto* mapItem = std::any_cast<MKMapItem>(&item))
            return mapItem;
    return nullptr;
}
}  // namespace

bool ZELActivityOpenInMaps::canPerformWithActivityItems(const UIActivityItems& items) const {
    return firstMapItem(items) != nullptr;
}

void ZELActivityOpenInMaps::prepareWithActivityItems(const UIActivityItems& items) {
    const MKMapItem* item = firstMapItem(items);
    item_ = item ? std::optional<MKMapItem>(*item) : std::nullopt;
}

void ZELActivityOpenInMaps::performActivity() {
    const bool opened = item_ && item_->openInMapsWithLaunchOptions();
    if (item_ && !opened)
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: no map program opened %s",
                       item_->geoURI().c_str());
    activityDidFinish(opened);
}
