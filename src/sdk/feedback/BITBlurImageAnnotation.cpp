#include "sdk/feedback/BITBlurImageAnnotation.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "CoreGraphics/CGImage.h"
#include "QuartzCore/CALayer.h"
#include "QuartzCore/CATransaction.h"
#include "UIKit/UIImage.h"

namespace {

constexpr float kVeilOpacity = 0.6f;

}  // namespace

BITBlurImageAnnotation::BITBlurImageAnnotation(const CGRect& frame)
    : BITImageAnnotation(frame),
      imageLayer_(std::make_shared<CALayer>()),
      selectedLayer_(std::make_shared<CALayer>()) {
    setClipsToBounds(true);
    layer()->addSublayer(imageLayer_);
    selectedLayer_->setBackgroundColor(CGColorCreateGenericRGB(1, 0, 0, 0.5));
    selectedLayer_->setOpacity(kVeilOpacity);
    layer()->addSublayer(selectedLayer_);
}

std::shared_ptr<UIImage> BITBlurImageAnnotation::pixelatedImage(
    const std::shared_ptr<UIImage>& image) {
    const CGImageRef source = image ? image->CGImage() : nullptr;
    if (!source)
        return nullptr;
    const size_t width = source->width(), height = source->height();
    const auto block =
        std::max<size_t>(1, static_cast<size_t>(std::lround(kBlockSize * image->scale())));
    std::vector<uint32_t> pixels(width * height);
    // Averages of premultiplied channels are the right mean of colours with alpha.
    for (size_t top = 0; top < height; top += block) {
        for (size_t left = 0; left < width; left += block) {
            const size_t right = std::min(width, left + block);
            const size_t bottom = std::min(height, top + block);
            uint64_t sums[4] = {0, 0, 0, 0};
            for (size_t y = top; y < bottom; ++y) {
                for (size_t x = left; x < right; ++x) {
                    const uint32_t pixel = source->pixelAt(x, y);
                    for (int c = 0; c < 4; ++c)
                        sums[c] += (pixel >> (8 * c)) & 0xff;
                }
            }
            const uint64_t count = (right - left) * (bottom - top);
            uint32_t mean = 0;
            for (int c = 0; c < 4; ++c)
                mean |= static_cast<uint32_t>((sums[c] + count / 2) / count) << (8 * c);
            for (size_t y = top; y < bottom; ++y)
                std::fill_n(pixels.begin() + static_cast<std::ptrdiff_t>(y * width + left),
                            right - left, mean);
        }
    }
    const auto pixelated = CGImage::createWithARGB32(
        width, height, width * 4, reinterpret_cast<const uint8_t*>(pixels.data()),
        source->isOpaque());
    return pixelated ? UIImage::imageWithCGImage(pixelated, image->scale()) : nullptr;
}

void BITBlurImageAnnotation::setSourceImage(const std::shared_ptr<UIImage>& image) {
    scaledImage_ = pixelatedImage(image);
    imageLayer_->setContents(scaledImage_ ? scaledImage_->CGImage() : nullptr);
    if (scaledImage_)
        imageLayer_->setContentsScale(scaledImage_->scale());
}

void BITBlurImageAnnotation::setSelected(bool selected) {
    BITImageAnnotation::setSelected(selected);
    // At once: a picture saved right after drawing must not catch the veil fading.
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    selectedLayer_->setOpacity(selected ? kVeilOpacity : 0);
    CATransaction::commit();
}

void BITBlurImageAnnotation::layoutSubviews() {
    BITImageAnnotation::layoutSubviews();
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    // The pixelated picture lies exactly over the picture under the box.
    imageLayer_->setFrame(imageFrame());
    imageLayer_->setMasksToBounds(true);
    selectedLayer_->setFrame(bounds());
    CATransaction::commit();
}
