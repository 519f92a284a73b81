#include "UIKit/UIDevice.h"

#include <unistd.h>

std::shared_ptr<UIDevice> UIDevice::currentDevice() {
    // Never destroyed: caches made on worker threads ask for its idiom.
    static const auto* device = new std::shared_ptr<UIDevice>(std::make_shared<UIDevice>());
    return *device;
}

UIDevice::UIDevice() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0 && host[0]) {
        name_ = host;
    } else {
        name_ = "localhost";
    }
}

std::string UIDevice::model() const {
    return idiom_ == UIUserInterfaceIdiomPad ? "iPad" : "iPhone";
}
