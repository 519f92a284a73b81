#include "MapKit/MKMapItem.h"

#include <cstdio>
#include <mutex>

#include "Foundation/NSString+PercentEncoding.h"
#include "UIKit/UIApplication.h"

namespace {

std::mutex& launcherMutex() {
    static std::mutex mutex;
    return mutex;
}

MKMapItem::Launcher& launcher() {
    static MKMapItem::Launcher current;
    return current;
}

}  // namespace

std::string MKMapItem::geoURI() const {
    char pair[64];
    std::snprintf(pair, sizeof pair, "%.6f,%.6f", placemark_.coordinate().latitude,
                  placemark_.coordinate().longitude);
    std::string uri = std::string("geo:") + pair;
    if (name_ && !name_->empty())
        uri += std::string("?q=") + pair + "(" +
               stringByAddingPercentEncodingForQueryValue(*name_) + ")";
    return uri;
}

bool MKMapItem::openInMapsWithLaunchOptions(const Value::Dictionary&) const {
    Launcher open;
    {
        std::lock_guard lock(launcherMutex());
        open = launcher();
    }
    if (open)
        return open(geoURI());
    return UIApplication::sharedApplication()->openURL(geoURI());
}

void MKMapItem::setLauncher(Launcher next) {
    std::lock_guard lock(launcherMutex());
    launcher() = std::move(next);
}
