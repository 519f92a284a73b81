#pragma once

#include <optional>
#include <string>

#include "CoreGraphics/CGImage.h"
#include "Foundation/NSDate.h"

// The screenshot key (F12 or Print): the window's picture is saved as
// "Screenshot <date> <time>.png" in the folder (the image picker's Pictures
// folder) and UIApplicationUserDidTakeScreenshotNotification is posted, as
// the phone does after its own screenshot. Answers the file's path; nullopt
// (logged, nothing posted) when it cannot be written.
std::optional<std::string> HostSaveScreenshot(const CGImageRef& image, const std::string& folder,
                                              const NSDate& date);
