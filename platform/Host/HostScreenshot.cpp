#include "Host/HostScreenshot.h"

#include <ctime>
#include <filesystem>

#include "Foundation/NSLog.h"
#include "Foundation/NSNotificationCenter.h"
#include "Foundation/NSPathUtilities.h"
#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"
#include "UIKit/UIApplication.h"

namespace fs = std::filesystem;

std::string HostScreenshotsDirectory() {
    return NSSearchPathForDirectory(NSSearchPathDirectory::Library) + "/Screenshots";
}

std::optional<std::string> HostSaveScreenshot(const CGImageRef& image, const std::string& folder,
                                              const NSDate& date) {
    if (!image)
        return std::nullopt;
    const time_t seconds = time_t(date.timeIntervalSince1970());
    struct tm local;
    localtime_r(&seconds, &local);
    char stamp[64];
    strftime(stamp, sizeof stamp, "%Y-%m-%d %H.%M.%S", &local);
    std::error_code error;
    fs::create_directories(folder, error);
    fs::path path = fs::path(folder) / (std::string("Screenshot ") + stamp + ".png");
    for (int n = 2; fs::exists(path, error); ++n)
        path = fs::path(folder) /
               (std::string("Screenshot ") + stamp + " " + std::to_string(n) + ".png");
    auto destination = CGImageDestination::createWithURL(path.string(), kUTTypePNG);
    if (!destination) {
        NSLogWithLevel(NSLogLevel::Error, "Host: cannot write a screenshot to %s", path.c_str());
        return std::nullopt;
    }
    destination->addImage(image);
    if (!destination->finalize()) {
        NSLogWithLevel(NSLogLevel::Error, "Host: cannot write a screenshot to %s", path.c_str());
        return std::nullopt;
    }
    NSNotificationCenter::defaultCenter()->postNotificationName(
        UIApplicationUserDidTakeScreenshotNotification, UIApplication::existingApplication().get(),
        {{UIApplicationScreenshotPathKey, path.string()}});
    return path.string();
}
