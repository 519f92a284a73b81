#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "Foundation/Value.h"

class CGContext;
class NSBundle;
class UIImage;

// Images of the SDK's screens: its own pictures, the application's icon,
// thumbnails, rounded icons and a screenshot of the application.

// The file name inside the folder bundleName of the main bundle's resources.
std::shared_ptr<UIImage> bit_bundleImage(const std::string& name, const std::string& bundleName);
// The "@2x" sibling of the file on a screen of scale 2 when it exists, else
// the file itself; nullptr when nothing loads.
std::shared_ptr<UIImage> bit_loadImageFile(const std::string& path);
// The image itself when its pixels carry alpha, else a copy that does.
std::shared_ptr<UIImage> bit_imageWithAlphaChannel(const std::shared_ptr<UIImage>& image);

// The best icon file name of the application from infoBundle's Info.plist,
// looked up in resourceBundle; nullopt when no icon fits.
std::optional<std::string> bit_appIconName(const NSBundle& infoBundle,
                                           const NSBundle& resourceBundle);
// The name whose image is as high as the device's icon, else the highest one
// below it; nullopt when iconFiles is no list or no image is small enough.
std::optional<std::string> bit_bestAppIconName(const NSBundle& resourceBundle,
                                               const std::optional<Value>& iconFiles);

// The image fitted into size keeping its aspect ratio; nullptr for no image.
std::shared_ptr<UIImage> bit_scaledImage(const std::shared_ptr<UIImage>& image, CGSize size,
                                         bool honourScale);
// The image clipped to a rounded rectangle inset by borderSize.
std::shared_ptr<UIImage> bit_roundedIconImage(const std::shared_ptr<UIImage>& image,
                                              long cornerSize, long borderSize);
// Adds a closed rounded rectangle to the context's path; a zero oval size
// adds the plain rectangle.
void bit_addRoundedRectPath(CGContext& context, const CGRect& rect, CGFloat ovalWidth,
                            CGFloat ovalHeight);
// Every window of the application on the main screen, upright for the
// status bar's orientation.
std::shared_ptr<UIImage> bit_appScreenshot();
