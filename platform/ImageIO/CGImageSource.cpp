#include "ImageIO/CGImageSource.h"

#include "Foundation/NSData+Files.h"
#include "Foundation/NSLog.h"
#include "ImageIO/JPEGCodec.h"
#include "ImageIO/PNGCodec.h"

namespace {
// Encoded images larger than this are not read into memory.
constexpr size_t kMaxEncodedSize = size_t{256} << 20;
}  // namespace

std::shared_ptr<CGImageSource> CGImageSource::createWithData(std::vector<uint8_t> data) {
    return std::make_shared<CGImageSource>(std::move(data));
}

std::shared_ptr<CGImageSource> CGImageSource::createWithURL(const std::string& path) {
    auto data = dataWithContentsOfFile(path, nullptr, kMaxEncodedSize);
    if (!data) {
        NSLogWithLevel(NSLogLevel::Error, "CGImageSource: cannot read %s", path.c_str());
        return nullptr;
    }
    return createWithData(std::move(*data));
}

std::string CGImageSource::type() const {
    if (PNGCodec::isPNG(data_.data(), data_.size())) {
        return kUTTypePNG;
    }
    if (JPEGCodec::isJPEG(data_.data(), data_.size())) {
        return kUTTypeJPEG;
    }
    return {};
}

CGImageRef CGImageSource::createImageAtIndex(size_t index) const {
    if (index != 0 || count() == 0) {
        NSLogWithLevel(NSLogLevel::Error, "CGImageSource: no image %zu in %zu bytes", index,
                       data_.size());
        return nullptr;
    }
    if (PNGCodec::isPNG(data_.data(), data_.size())) {
        return PNGCodec::decode(data_.data(), data_.size());
    }
    return JPEGCodec::decode(data_.data(), data_.size());
}
