#include "sdk/BITImageHelpers.h"

#include <cmath>
#include <filesystem>
#include <functional>
#include <numbers>

#include "CoreGraphics/CGContext.h"
#include "Foundation/NSBundle.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"
#include "sdk/BITZizavaHelper.h"

namespace {

// Draws with draw (y down, in points) into an image context of size, or
// when the platform cannot make one, into a plain bitmap of size pixels;
// either is the current context while draw runs.
std::shared_ptr<UIImage> renderImage(CGSize size, bool opaque, CGFloat scale,
                                     const std::function<void(CGContext&)>& draw) {
    std::shared_ptr<UIImage> result;
    UIGraphicsBeginImageContextWithOptions(size, opaque, scale);
    if (const CGContextRef context = UIGraphicsGetCurrentContext()) {
        draw(*context);
        result = UIGraphicsGetImageFromCurrentImageContext();
    }
    UIGraphicsEndImageContext();
    if (result)
        return result;
    const auto bitmap = CGContext::createBitmapContext(
        size_t(std::max<CGFloat>(size.width, 0)), size_t(std::max<CGFloat>(size.height, 0)),
        opaque ? kCGImageAlphaNoneSkipFirst : kCGImageAlphaPremultipliedFirst);
    if (!bitmap)
        return nullptr;
    // A bitmap context has y up; the drawing expects it down.
    bitmap->translateCTM(0, size.height);
    bitmap->scaleCTM(1, -1);
    UIGraphicsPushContext(bitmap);
    draw(*bitmap);
    UIGraphicsPopContext();
    const CGImageRef pixels = bitmap->createImage();
    return pixels ? UIImage::imageWithCGImage(pixels) : nullptr;
}

const Value::Array* iconFileList(const std::optional<Value>& icons) {
    const Value::Dictionary* dictionary = icons ? icons->dictionaryValue() : nullptr;
    if (!dictionary)
        return nullptr;
    const auto primary = dictionary->find("CFBundlePrimaryIcon");
    const Value::Dictionary* primaryIcon =
        primary == dictionary->end() ? nullptr : primary->second.dictionaryValue();
    if (!primaryIcon)
        return nullptr;
    const auto files = primaryIcon->find("CFBundleIconFiles");
    return files == primaryIcon->end() ? nullptr : files->second.arrayValue();
}

// The icon height in points the device shows on its home screen.
CGFloat targetIconHeight() {
    const bool pad = UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad;
    const bool retina = UIScreen::mainScreen()->scale() >= 2;
    if (bit_isPreiOS7Environment())
        return pad ? (retina ? 144 : 72) : (retina ? 114 : 57);
    return pad ? (retina ? 152 : 76) : 120;
}

}  // namespace

std::shared_ptr<UIImage> bit_bundleImage(const std::string& name, const std::string& bundleName) {
    const std::string folder = NSBundle::mainBundle()->resourcePath() + "/" + bundleName;
    return bit_loadImageFile(folder + "/" + name);
}

std::shared_ptr<UIImage> bit_loadImageFile(const std::string& path) {
    if (std::lround(UIScreen::mainScreen()->scale()) == 2) {
        const std::filesystem::path file(path);
        const std::filesystem::path retina =
            file.parent_path() / (file.stem().string() + "@2x" + file.extension().string());
        std::error_code error;
        if (std::filesystem::is_regular_file(retina, error))
            return UIImage::imageWithContentsOfFile(retina.string());
    }
    return UIImage::imageWithContentsOfFile(path);
}

std::shared_ptr<UIImage> bit_imageWithAlphaChannel(const std::shared_ptr<UIImage>& image) {
    if (!image)
        return nullptr;
    switch (image->CGImage()->alphaInfo()) {
        case kCGImageAlphaPremultipliedLast:
        case kCGImageAlphaPremultipliedFirst:
        case kCGImageAlphaLast:
        case kCGImageAlphaFirst:
            return image;
        default:
            break;
    }
    const CGImage& source = *image->CGImage();
    const auto context = CGContext::createBitmapContext(source.width(), source.height(),
                                                        kCGImageAlphaPremultipliedFirst);
    if (!context)
        return nullptr;
    context->translateCTM(0, CGFloat(source.height()));
    context->scaleCTM(1, -1);
    image->drawInContext(*context, {CGPointZero, image->size()});
    const CGImageRef pixels = context->createImage();
    return pixels ? UIImage::imageWithCGImage(pixels, image->scale()) : nullptr;
}

std::optional<std::string> bit_appIconName(const NSBundle& infoBundle,
                                           const NSBundle& resourceBundle) {
    const auto files = infoBundle.objectForInfoDictionaryKey("CFBundleIconFiles");
    if (files && files->arrayValue())
        return bit_bestAppIconName(resourceBundle, files);
    std::optional<Value> list;
    if (const Value::Array* primary =
            iconFileList(infoBundle.objectForInfoDictionaryKey("CFBundleIcons")))
        list = Value(*primary);
    else if (UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad) {
        if (const Value::Array* pad =
                iconFileList(infoBundle.objectForInfoDictionaryKey("CFBundleIcons~ipad")))
            list = Value(*pad);
    }
    if (!list) {
        const auto file = infoBundle.objectForInfoDictionaryKey("CFBundleIconFile");
        if (file && file->stringValue())
            list = Value(Value::Array{*file});
    }
    if (!list)
        list = Value(Value::Array{Value(std::string("Icon.png"))});
    return bit_bestAppIconName(resourceBundle, list);
}

std::optional<std::string> bit_bestAppIconName(const NSBundle& resourceBundle,
                                               const std::optional<Value>& iconFiles) {
    const Value::Array* names = iconFiles ? iconFiles->arrayValue() : nullptr;
    if (!names)
        return std::nullopt;
    const CGFloat target = targetIconHeight();
    std::optional<std::string> best;
    CGFloat bestHeight = 0;
    for (const Value& entry : *names) {
        const std::string* name = entry.stringValue();
        if (!name)
            continue;
        const std::filesystem::path listed(*name);
        const std::string extension =
            listed.has_extension() ? listed.extension().string().substr(1) : std::string();
        const std::string stem = listed.has_extension() ? listed.stem().string() : *name;
        for (const std::string& candidate : {*name, *name + "@2x", stem, stem + "@2x"}) {
            auto path = resourceBundle.pathForResource(candidate, "png");
            if (!path && !extension.empty())
                path = resourceBundle.pathForResource(candidate, extension);
            if (!path)
                path = resourceBundle.pathForResource("AppIconPlaceHolder", "png");
            const auto image = path ? UIImage::imageWithContentsOfFile(*path) : nullptr;
            if (!image)
                continue;
            const CGFloat height = image->size().height;
            if (height == target)
                return candidate;
            if (height < target && height > bestHeight) {
                best = candidate;
                bestHeight = height;
            }
        }
    }
    return best;
}

std::shared_ptr<UIImage> bit_scaledImage(const std::shared_ptr<UIImage>& image, CGSize size,
                                         bool honourScale) {
    if (!image)
        return nullptr;
    const CGFloat factor = honourScale ? image->scale() : 1.0;
    const CGSize source{image->size().width * factor, image->size().height * factor};
    if (source.width <= 0 || source.height <= 0)
        return nullptr;
    const CGFloat aspect = source.width / source.height;
    if (aspect <= size.width / size.height)
        size.width = std::trunc(size.height * aspect);
    else
        size.height = std::trunc(size.width / aspect);
    const CGFloat scale = honourScale ? UIScreen::mainScreen()->scale() : 1.0;
    const CGRect target{CGPointZero, size};
    return renderImage(size, false, scale,
                       [&](CGContext& context) { image->drawInContext(context, target); });
}

std::shared_ptr<UIImage> bit_roundedIconImage(const std::shared_ptr<UIImage>& image,
                                              long cornerSize, long borderSize) {
    if (!image)
        return nullptr;
    const CGSize size = image->size();
    const auto border = CGFloat(borderSize);
    const auto corner = CGFloat(cornerSize);
    const auto withAlpha = bit_imageWithAlphaChannel(image);
    if (!withAlpha)
        return nullptr;
    return renderImage(size, false, 1.0, [&](CGContext& context) {
        context.beginPath();
        bit_addRoundedRectPath(
            context, {{border, border}, {size.width - 2 * border, size.height - 2 * border}},
            corner, corner);
        context.closePath();
        context.clip();
        withAlpha->drawInContext(context, {CGPointZero, size});
    });
}

void bit_addRoundedRectPath(CGContext& context, const CGRect& rect, CGFloat ovalWidth,
                            CGFloat ovalHeight) {
    if (ovalWidth == 0 || ovalHeight == 0) {
        context.addRect(rect);
        return;
    }
    context.saveGState();
    context.translateCTM(CGRectGetMinX(rect), CGRectGetMinY(rect));
    context.scaleCTM(ovalWidth, ovalHeight);
    const CGFloat fw = rect.size.width / ovalWidth;
    const CGFloat fh = rect.size.height / ovalHeight;
    context.moveToPoint(fw, fh / 2);
    context.addArcToPoint(fw, fh, fw / 2, fh, 1);
    context.addArcToPoint(0, fh, 0, fh / 2, 1);
    context.addArcToPoint(0, 0, fw / 2, 0, 1);
    context.addArcToPoint(fw, 0, fw, fh / 2, 1);
    context.closePath();
    context.restoreGState();
}

std::shared_ptr<UIImage> bit_appScreenshot() {
    const auto screen = UIScreen::mainScreen();
    const CGSize bounds = screen->bounds().size;
    const auto application = UIApplication::sharedApplication();
    const UIInterfaceOrientation orientation = application->statusBarOrientation();
    const bool landscape = orientation == UIInterfaceOrientationLandscapeLeft ||
                           orientation == UIInterfaceOrientationLandscapeRight;
    const bool swapped = bounds.width < bounds.height && landscape;
    const CGSize size = swapped ? CGSize{bounds.height, bounds.width} : bounds;
    return renderImage(size, true, screen->scale(), [&](CGContext& context) {
        // Every window of this platform lives on the one screen.
        for (const auto& window : application->windows()) {
            context.saveGState();
            const CGPoint center = window->center();
            const CGRect windowBounds = window->bounds();
            const CGPoint anchor = window->layer()->anchorPoint();
            context.translateCTM(center.x, center.y);
            context.concatCTM(window->transform());
            context.translateCTM(-windowBounds.size.width * anchor.x,
                                 -windowBounds.size.height * anchor.y);
            if (swapped && orientation == UIInterfaceOrientationLandscapeLeft) {
                context.translateCTM(size.width, 0);
                context.rotateCTM(std::numbers::pi / 2);
            } else if (swapped && orientation == UIInterfaceOrientationLandscapeRight) {
                context.translateCTM(0, size.height);
                context.rotateCTM(3 * std::numbers::pi / 2);
            } else if (!swapped && orientation == UIInterfaceOrientationPortraitUpsideDown) {
                context.translateCTM(size.width, size.height);
                context.rotateCTM(std::numbers::pi);
            }
            if (!window->drawViewHierarchyInRectAfterScreenUpdates(windowBounds, false))
                window->layer()->renderInContext(context);
            context.restoreGState();
        }
    });
}
