#include "ImageIO/CGImageDestination.h"

#include "Foundation/NSData+Files.h"
#include "Foundation/NSLog.h"
#include "ImageIO/CGImageSource.h"
#include "ImageIO/JPEGCodec.h"
#include "ImageIO/PNGCodec.h"

namespace {
// The quality the platform uses when none is given.
constexpr CGFloat kDefaultJPEGQuality = 0.75;

bool supported(const std::string& type, size_t count) {
    if (count != 1 || (type != kUTTypePNG && type != kUTTypeJPEG)) {
        NSLogWithLevel(NSLogLevel::Error,
                       "CGImageDestination: cannot write %zu image(s) of type %s", count,
                       type.c_str());
        return false;
    }
    return true;
}
}  // namespace

CGImageDestination::CGImageDestination(std::vector<uint8_t>* data, std::string path,
                                       std::string type)
    : data_(data), path_(std::move(path)), type_(std::move(type)) {}

std::shared_ptr<CGImageDestination> CGImageDestination::createWithData(std::vector<uint8_t>* data,
                                                                       const std::string& type,
                                                                       size_t count) {
    if (data == nullptr || !supported(type, count)) {
        return nullptr;
    }
    return std::make_shared<CGImageDestination>(data, std::string(), type);
}

std::shared_ptr<CGImageDestination> CGImageDestination::createWithURL(const std::string& path,
                                                                      const std::string& type,
                                                                      size_t count) {
    if (path.empty() || !supported(type, count)) {
        return nullptr;
    }
    return std::make_shared<CGImageDestination>(nullptr, path, type);
}

void CGImageDestination::addImage(CGImageRef image,
                                  const CGImageDestinationProperties& properties) {
    if (image_) {
        NSLogWithLevel(NSLogLevel::Error, "CGImageDestination: only one image per destination");
        return;
    }
    image_ = std::move(image);
    properties_ = properties;
}

bool CGImageDestination::finalize() {
    if (finalized_ || !image_) {
        NSLogWithLevel(NSLogLevel::Error, "CGImageDestination: %s",
                       finalized_ ? "already finalised" : "no image added");
        return false;
    }
    finalized_ = true;
    std::optional<std::vector<uint8_t>> encoded =
        type_ == kUTTypePNG
            ? PNGCodec::encode(*image_)
            : JPEGCodec::encode(*image_,
                                properties_.lossyCompressionQuality.value_or(kDefaultJPEGQuality));
    if (!encoded) {
        return false;
    }
    if (data_ != nullptr) {
        *data_ = std::move(*encoded);
        return true;
    }
    NSError error;
    if (!writeDataToFile(*encoded, path_, true, &error)) {
        NSLogWithLevel(NSLogLevel::Error, "CGImageDestination: cannot write %s", path_.c_str());
        return false;
    }
    return true;
}
