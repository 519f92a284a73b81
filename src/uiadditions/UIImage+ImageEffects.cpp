#include "uiadditions/UIImage+ImageEffects.h"

#include <cfloat>
#include <cmath>
#include <vector>

#include "Accelerate/vImage.h"
#include "Foundation/NSLog.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIScreen.h"

namespace {

std::string describe(const UIImage& image) {
    char text[96];
    std::snprintf(text, sizeof text, "<UIImage %p size {%.2f, %.2f} scale %.0f>",
                  static_cast<const void*>(&image), double(image.size().width),
                  double(image.size().height), double(image.scale()));
    return text;
}

// The luminance weights in the pixels' memory order (blue, green, red),
// each row the contribution of one input channel to the outputs.
std::vector<int16_t> saturationMatrix(CGFloat s) {
    // clang-format off
    const CGFloat m[16] = {
        0.0722 + 0.9278 * s, 0.0722 - 0.0722 * s, 0.0722 - 0.0722 * s, 0,
        0.7152 - 0.7152 * s, 0.7152 + 0.2848 * s, 0.7152 - 0.7152 * s, 0,
        0.2126 - 0.2126 * s, 0.2126 - 0.2126 * s, 0.2126 + 0.7873 * s, 0,
        0,                   0,                   0,                   1,
    };
    // clang-format on
    std::vector<int16_t> matrix(16);
    for (int i = 0; i < 16; ++i)
        matrix[i] = int16_t(std::lround(m[i] * 256));
    return matrix;
}

// Blur and saturation over a copy of the image's pixels; nullptr when the
// pixel buffers cannot be made.
CGImageRef effectImage(const UIImage& image, CGFloat scale, bool blur, CGFloat blurRadius,
                       bool saturate, CGFloat saturation) {
    const CGSize size = image.size();
    UIGraphicsBeginImageContextWithOptions(size, false, scale);
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context || !context->data()) {
        UIGraphicsEndImageContext();
        return nullptr;
    }
    image.drawInRect({{0, 0}, size});
    vImage_Buffer input{context->data(), context->height(), context->width(),
                        context->bytesPerRow()};
    std::vector<uint8_t> second(input.rowBytes * input.height);
    vImage_Buffer output{second.data(), input.height, input.width, input.rowBytes};
    bool resultInOutput = false;
    if (blur) {
        const uint32_t box = ZELBoxSizeForBlurRadius(blurRadius * scale);
        vImageBoxConvolve_ARGB8888(&input, &output, nullptr, 0, 0, box, box, nullptr,
                                   kvImageEdgeExtend);
        vImageBoxConvolve_ARGB8888(&output, &input, nullptr, 0, 0, box, box, nullptr,
                                   kvImageEdgeExtend);
        vImageBoxConvolve_ARGB8888(&input, &output, nullptr, 0, 0, box, box, nullptr,
                                   kvImageEdgeExtend);
        resultInOutput = true;
    }
    if (saturate) {
        const std::vector<int16_t> matrix = saturationMatrix(saturation);
        const vImage_Buffer& from = resultInOutput ? output : input;
        const vImage_Buffer& to = resultInOutput ? input : output;
        vImageMatrixMultiply_ARGB8888(&from, &to, matrix.data(), 256, nullptr, nullptr,
                                      kvImageNoFlags);
        resultInOutput = !resultInOutput;
    }
    const vImage_Buffer& result = resultInOutput ? output : input;
    CGImageRef effect = CGImage::createWithARGB32(result.width, result.height, result.rowBytes,
                                                  static_cast<const uint8_t*>(result.data), false);
    UIGraphicsEndImageContext();
    return effect;
}

}  // namespace

uint32_t ZELBoxSizeForBlurRadius(CGFloat pixelRadius) {
    const double size = std::floor(double(pixelRadius) * 3.0 * std::sqrt(2 * M_PI) / 4 + 0.5);
    uint32_t box = size < 1 ? 0 : uint32_t(std::min(size, 65535.0));
    if (box % 2 == 0)
        ++box;
    return box;
}

std::shared_ptr<UIImage> applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(
    const std::shared_ptr<UIImage>& image, CGFloat blurRadius,
    const std::optional<UIColor>& tintColor, CGFloat saturationDeltaFactor,
    const std::shared_ptr<UIImage>& maskImage) {
    if (!image)
        return nullptr;
    const CGSize size = image->size();
    if (size.width < 1 || size.height < 1) {
        NSLogWithLevel(NSLogLevel::Error,
                       "*** error: invalid size: (%.2f x %.2f). Both dimensions "
                       "must be >= 1: %s",
                       double(size.width), double(size.height), describe(*image).c_str());
        return nullptr;
    }
    if (!image->CGImage()) {
        NSLogWithLevel(NSLogLevel::Error, "*** error: image must be backed by a CGImage: %s",
                       describe(*image).c_str());
        return nullptr;
    }
    if (maskImage && !maskImage->CGImage()) {
        NSLogWithLevel(NSLogLevel::Error, "*** error: maskImage must be backed by a CGImage: %s",
                       describe(*maskImage).c_str());
        return nullptr;
    }

    const CGFloat scale = UIScreen::mainScreen()->scale();
    const bool blur = blurRadius > FLT_EPSILON;
    const bool saturate = std::fabs(saturationDeltaFactor - 1.0) > FLT_EPSILON;
    CGImageRef effect;
    if (blur || saturate)
        effect = effectImage(*image, scale, blur, blurRadius, saturate, saturationDeltaFactor);

    const CGRect rect{{0, 0}, size};
    UIGraphicsBeginImageContextWithOptions(size, false, scale);
    CGContextRef output = UIGraphicsGetCurrentContext();
    if (!output) {
        UIGraphicsEndImageContext();
        return nullptr;
    }
    image->drawInRect(rect);
    // A saturation change alone is drawn too: it is an effect of its own.
    if (effect) {
        output->saveGState();
        if (maskImage) {
            // Masks lie with their top row at the rectangle's top, like images.
            output->translateCTM(0, size.height);
            output->scaleCTM(1, -1);
            output->clipToMask(rect, *maskImage->CGImage());
            output->scaleCTM(1, -1);
            output->translateCTM(0, -size.height);
        }
        UIImage(effect, scale).drawInRect(rect);
        output->restoreGState();
    }
    if (tintColor) {
        output->saveGState();
        output->setFillColorWithColor(tintColor->CGColor());
        output->fillRect(rect);
        output->restoreGState();
    }
    std::shared_ptr<UIImage> result = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return result;
}

std::shared_ptr<UIImage> applyLightEffect(const std::shared_ptr<UIImage>& image) {
    return applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(
        image, 30, UIColor::colorWithWhiteAlpha(1.0, 0.3), 1.8, nullptr);
}

std::shared_ptr<UIImage> applyMediumLightEffect(const std::shared_ptr<UIImage>& image) {
    return applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(
        image, 25, UIColor::colorWithWhiteAlpha(1.0, 0.5), 1.8, nullptr);
}

std::shared_ptr<UIImage> applyExtraLightEffect(const std::shared_ptr<UIImage>& image) {
    return applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(
        image, 20, UIColor::colorWithWhiteAlpha(0.97, 0.82), 1.8, nullptr);
}

std::shared_ptr<UIImage> applyDarkEffect(const std::shared_ptr<UIImage>& image) {
    return applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(
        image, 20, UIColor::colorWithWhiteAlpha(0.11, 0.73), 1.8, nullptr);
}

std::shared_ptr<UIImage> applyTintEffectWithColor(const std::shared_ptr<UIImage>& image,
                                                  const UIColor& tintColor) {
    constexpr CGFloat kEffectColorAlpha = 0.6;
    UIColor effectColor = tintColor;
    CGFloat white, red, green, blue;
    if (tintColor.numberOfComponents() == 2 && tintColor.getWhiteAlpha(&white, nullptr))
        effectColor = UIColor::colorWithWhiteAlpha(white, kEffectColorAlpha);
    else if (tintColor.getRedGreenBlueAlpha(&red, &green, &blue, nullptr))
        effectColor = UIColor::colorWithRedGreenBlueAlpha(red, green, blue, kEffectColorAlpha);
    return applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(image, 10, effectColor, -1,
                                                                      nullptr);
}
