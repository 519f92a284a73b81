#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreGraphics/CGContext.h"
#include "CoreGraphics/CGImage.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIGeometry.h"

enum class UIImageRenderingMode { Automatic, AlwaysOriginal, AlwaysTemplate };
enum class UIImageResizingMode { Tile, Stretch };

// A bitmap with a scale (pixels per point): its size is in points.
// Immutable; shared between threads.
class UIImage {
  public:
    // From the main bundle: "name" or "name.png", preferring "@3x"/"@2x"
    // variants that match the screen scale, and cached by name. nullptr when
    // absent.
    static std::shared_ptr<UIImage> imageNamed(const std::string& name);
    // From a file; the scale comes from an "@2x"/"@3x" suffix of the name.
    static std::shared_ptr<UIImage> imageWithContentsOfFile(const std::string& path);
    // PNG or JPEG bytes; nullptr (logged) for anything else.
    static std::shared_ptr<UIImage> imageWithData(const std::vector<uint8_t>& data,
                                                  CGFloat scale = 1);
    static std::shared_ptr<UIImage> imageWithCGImage(CGImageRef image, CGFloat scale = 1);
    // Forgets imageNamed's cache (memory warnings, tests).
    static void clearNamedCache();

    CGSize size() const;
    CGFloat scale() const { return scale_; }
    const CGImageRef& CGImage() const { return image_; }
    UIImageRenderingMode renderingMode() const { return renderingMode_; }
    const UIEdgeInsets& capInsets() const { return capInsets_; }
    UIImageResizingMode resizingMode() const { return resizingMode_; }

    std::shared_ptr<UIImage> imageWithRenderingMode(UIImageRenderingMode mode) const;
    // Drawn into larger rectangles, the corners keep their size and the
    // middle stretches (or tiles).
    std::shared_ptr<UIImage> resizableImageWithCapInsets(
        const UIEdgeInsets& insets, UIImageResizingMode mode = UIImageResizingMode::Stretch) const;
    std::shared_ptr<UIImage> stretchableImageWithLeftCapWidthTopCapHeight(long left,
                                                                          long top) const;
    // The image's alpha filled with the colour (template images in a tint).
    std::shared_ptr<UIImage> imageTintedWithColor(const UIColor& color) const;

    // Drawing into the current context (UIGraphicsGetCurrentContext), y down.
    void drawAtPoint(CGPoint point) const;
    void drawInRect(const CGRect& rect) const;
    void drawInRectBlendModeAlpha(const CGRect& rect, CGBlendMode mode, CGFloat alpha) const;
    void drawAsPatternInRect(const CGRect& rect) const;
    // The same into a given context.
    void drawInContext(CGContext& context, const CGRect& rect) const;

    UIImage(CGImageRef image, CGFloat scale);

  private:
    CGImageRef image_;
    CGFloat scale_;
    UIImageRenderingMode renderingMode_ = UIImageRenderingMode::Automatic;
    UIEdgeInsets capInsets_;
    UIImageResizingMode resizingMode_ = UIImageResizingMode::Stretch;
    bool resizable_ = false;
};

using UIImageRef = std::shared_ptr<UIImage>;

// PNG and JPEG encodings; empty for a missing image.
std::vector<uint8_t> UIImagePNGRepresentation(const std::shared_ptr<UIImage>& image);
std::vector<uint8_t> UIImageJPEGRepresentation(const std::shared_ptr<UIImage>& image,
                                               CGFloat compressionQuality);
