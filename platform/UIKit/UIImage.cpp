#include "UIKit/UIImage.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIScreen.h"

namespace {

std::mutex& cacheMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, std::shared_ptr<UIImage>>& namedCache() {
    static std::map<std::string, std::shared_ptr<UIImage>> cache;
    return cache;
}

CGFloat scaleFromName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.find("@3x") != std::string::npos) {
        return 3;
    }
    if (name.find("@2x") != std::string::npos) {
        return 2;
    }
    return 1;
}

}  // namespace

UIImage::UIImage(CGImageRef image, CGFloat scale)
    : image_(std::move(image)), scale_(scale > 0 ? scale : 1) {}

std::shared_ptr<UIImage> UIImage::imageWithCGImage(CGImageRef image, CGFloat scale) {
    return image ? std::make_shared<UIImage>(std::move(image), scale) : nullptr;
}

std::shared_ptr<UIImage> UIImage::imageWithData(const std::vector<uint8_t>& data, CGFloat scale) {
    auto source = CGImageSource::createWithData(data);
    CGImageRef image = source ? source->createImageAtIndex(0) : nullptr;
    if (!image) {
        NSLogWithLevel(NSLogLevel::Error, "UIImage: undecodable image data (%zu bytes)",
                       data.size());
        return nullptr;
    }
    return imageWithCGImage(std::move(image), scale);
}

std::shared_ptr<UIImage> UIImage::imageWithContentsOfFile(const std::string& path) {
    auto source = CGImageSource::createWithURL(path);
    CGImageRef image = source ? source->createImageAtIndex(0) : nullptr;
    return image ? imageWithCGImage(std::move(image), scaleFromName(path)) : nullptr;
}

std::shared_ptr<UIImage> UIImage::imageNamed(const std::string& name) {
    if (name.empty()) {
        return nullptr;
    }
    {
        std::lock_guard lock(cacheMutex());
        auto it = namedCache().find(name);
        if (it != namedCache().end()) {
            return it->second;
        }
    }
    std::string base = name, type = "png";
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && name.find('/', dot) == std::string::npos) {
        base = name.substr(0, dot);
        type = name.substr(dot + 1);
    }
    auto bundle = NSBundle::mainBundle();
    const int screenScale = int(std::lround(UIScreen::mainScreen()->scale()));
    std::vector<std::string> candidates;
    for (int s = std::clamp(screenScale, 1, 3); s >= 1; --s) {
        candidates.push_back(s == 1 ? base : base + "@" + std::to_string(s) + "x");
    }
    for (int s = screenScale + 1; s <= 3; ++s) {
        candidates.push_back(base + "@" + std::to_string(s) + "x");
    }
    std::shared_ptr<UIImage> image;
    for (const std::string& candidate : candidates) {
        if (auto path = bundle->pathForResource(candidate, type)) {
            if ((image = imageWithContentsOfFile(*path))) {
                break;
            }
        }
    }
    if (image) {
        std::lock_guard lock(cacheMutex());
        namedCache()[name] = image;
    }
    return image;
}

void UIImage::clearNamedCache() {
    std::lock_guard lock(cacheMutex());
    namedCache().clear();
}

CGSize UIImage::size() const {
    return {CGFloat(image_->width()) / scale_, CGFloat(image_->height()) / scale_};
}

std::shared_ptr<UIImage> UIImage::imageWithRenderingMode(UIImageRenderingMode mode) const {
    auto copy = std::make_shared<UIImage>(*this);
    copy->renderingMode_ = mode;
    return copy;
}

std::shared_ptr<UIImage> UIImage::resizableImageWithCapInsets(const UIEdgeInsets& insets,
                                                              UIImageResizingMode mode) const {
    auto copy = std::make_shared<UIImage>(*this);
    copy->capInsets_ = insets;
    copy->resizingMode_ = mode;
    copy->resizable_ = true;
    return copy;
}

std::shared_ptr<UIImage> UIImage::stretchableImageWithLeftCapWidthTopCapHeight(long left,
                                                                               long top) const {
    const CGSize s = size();
    const CGFloat l = CGFloat(std::max(0L, left)), t = CGFloat(std::max(0L, top));
    return resizableImageWithCapInsets(
        {t, l, top > 0 ? s.height - t - 1 : 0, left > 0 ? s.width - l - 1 : 0});
}

std::shared_ptr<UIImage> UIImage::imageTintedWithColor(const UIColor& color) const {
    const CGSize s = size();
    UIGraphicsBeginImageContextWithOptions(s, false, scale_);
    std::shared_ptr<UIImage> result;
    if (CGContextRef context = UIGraphicsGetCurrentContext()) {
        drawInContext(*context, {CGPointZero, s});
        context->setBlendMode(kCGBlendModeSourceIn);
        context->setFillColorWithColor(color.CGColor());
        context->fillRect({CGPointZero, s});
        result = UIGraphicsGetImageFromCurrentImageContext();
    }
    UIGraphicsEndImageContext();
    if (result) {
        result->renderingMode_ = UIImageRenderingMode::AlwaysOriginal;
        result->capInsets_ = capInsets_;
        result->resizable_ = resizable_;
        result->resizingMode_ = resizingMode_;
    }
    return result;
}

namespace {

// Draws image pixels src (in pixels) upright into dst of a y-down context.
void drawPart(CGContext& context, const CGImage& image, const CGRect& src, const CGRect& dst,
              bool tile, CGFloat scale) {
    if (CGRectIsEmpty(dst) || CGRectIsEmpty(src)) {
        return;
    }
    CGImageRef part = CGImage::createWithImageInRect(image, src);
    if (!part) {
        return;
    }
    context.saveGState();
    context.clipToRect(dst);
    context.translateCTM(0, dst.origin.y * 2 + dst.size.height);
    context.scaleCTM(1, -1);
    if (tile) {
        const CGRect cell{dst.origin, {src.size.width / scale, src.size.height / scale}};
        context.drawTiledImage(cell, *part);
    } else {
        context.drawImage(dst, *part);
    }
    context.restoreGState();
}

}  // namespace

void UIImage::drawInContext(CGContext& context, const CGRect& rect) const {
    const ::CGImage& image = *image_;
    const CGFloat W = CGFloat(image.width()), H = CGFloat(image.height());
    if (!resizable_ || capInsets_ == UIEdgeInsetsZero) {
        if (resizable_ && resizingMode_ == UIImageResizingMode::Tile) {
            drawPart(context, image, {{0, 0}, {W, H}}, rect, true, scale_);
        } else {
            drawPart(context, image, {{0, 0}, {W, H}}, rect, false, scale_);
        }
        return;
    }
    // Nine parts: the corners keep their size, the edges and middle stretch.
    const UIEdgeInsets& c = capInsets_;
    const CGFloat xs[4] = {0, c.left * scale_, W - c.right * scale_, W};
    const CGFloat ys[4] = {0, c.top * scale_, H - c.bottom * scale_, H};
    const CGFloat dx[4] = {rect.origin.x, rect.origin.x + c.left, CGRectGetMaxX(rect) - c.right,
                           CGRectGetMaxX(rect)};
    const CGFloat dy[4] = {rect.origin.y, rect.origin.y + c.top, CGRectGetMaxY(rect) - c.bottom,
                           CGRectGetMaxY(rect)};
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
            const CGRect src = CGRectMake(xs[i], ys[j], xs[i + 1] - xs[i], ys[j + 1] - ys[j]);
            const CGRect dst = CGRectMake(dx[i], dy[j], dx[i + 1] - dx[i], dy[j + 1] - dy[j]);
            const bool tile = resizingMode_ == UIImageResizingMode::Tile && (i == 1 || j == 1);
            drawPart(context, image, src, dst, tile, scale_);
        }
    }
}

void UIImage::drawAtPoint(CGPoint point) const {
    drawInRect({point, size()});
}

void UIImage::drawInRect(const CGRect& rect) const {
    if (CGContextRef context = UIGraphicsGetCurrentContext()) {
        drawInContext(*context, rect);
    }
}

void UIImage::drawInRectBlendModeAlpha(const CGRect& rect, CGBlendMode mode, CGFloat alpha) const {
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context) {
        return;
    }
    context->saveGState();
    context->setBlendMode(mode);
    context->setAlpha(alpha);
    drawInContext(*context, rect);
    context->restoreGState();
}

void UIImage::drawAsPatternInRect(const CGRect& rect) const {
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context) {
        return;
    }
    const CGFloat W = CGFloat(image_->width()), H = CGFloat(image_->height());
    drawPart(*context, *image_, {{0, 0}, {W, H}}, rect, true, scale_);
}

std::vector<uint8_t> UIImagePNGRepresentation(const std::shared_ptr<UIImage>& image) {
    std::vector<uint8_t> data;
    if (!image) {
        return data;
    }
    auto destination = CGImageDestination::createWithData(&data, kUTTypePNG);
    destination->addImage(image->CGImage());
    if (!destination->finalize()) {
        data.clear();
    }
    return data;
}

std::vector<uint8_t> UIImageJPEGRepresentation(const std::shared_ptr<UIImage>& image,
                                               CGFloat compressionQuality) {
    std::vector<uint8_t> data;
    if (!image) {
        return data;
    }
    auto destination = CGImageDestination::createWithData(&data, kUTTypeJPEG);
    destination->addImage(image->CGImage(), {std::clamp(compressionQuality, 0.0, 1.0)});
    if (!destination->finalize()) {
        data.clear();
    }
    return data;
}

UIColor UIColor::colorWithPatternImage(const std::shared_ptr<UIImage>& image) {
    if (!image) {
        return clearColor();
    }
    const CGSize s = image->size();
    UIColor color(kCGColorSpaceModelPattern, {1});
    color.pattern_ =
        CGPattern::create({CGPointZero, s}, CGAffineTransformIdentity, s.width, s.height,
                          kCGPatternTilingConstantSpacing, true, [image](CGContext& context) {
                              image->drawInContext(context, {CGPointZero, image->size()});
                          });
    return color;
}
