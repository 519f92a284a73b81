#pragma once

#include <optional>
#include <string>

#include "CoreGraphics/CGImage.h"
#include "Foundation/NSDate.h"

// The screenshot key (F12 or Print): the window's picture is saved as
// "Screenshot <date> <time>.png" in the folder and
// UIApplicationUserDidTakeScreenshotNotification is posted with the file's
// path under UIApplicationScreenshotPathKey, as the phone does after its own
// screenshot. Answers the file's path; nullopt (logged, nothing posted) when
// it cannot be written.
// Where the key saves: "<Library>/Screenshots", the application's own
// folder, never the user's pictures.
std::string HostScreenshotsDirectory();
std::optional<std::string> HostSaveScreenshot(const CGImageRef& image, const std::string& folder,
                                              const NSDate& date);
