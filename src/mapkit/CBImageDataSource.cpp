#include "mapkit/CBImageDataSource.h"

#include <array>

#include "CoreGraphics/CGContext.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSFileManager.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPathUtilities.h"
#include "Net/NSURLConnection.h"
#include "UIKit/UIImage.h"

namespace {

constexpr int kDiskSpaceCheckInterval = 10;

// The pattern with its first three "%i" or "%d" placeholders replaced by the
// numbers in order; nullopt when it holds fewer than three.
std::optional<std::string> fillPattern(const std::string& pattern, std::array<int, 3> values) {
    std::string result;
    size_t used = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const bool placeholder = used < values.size() && pattern[i] == '%' &&
                                 i + 1 < pattern.size() &&
                                 (pattern[i + 1] == 'i' || pattern[i + 1] == 'd');
        if (placeholder) {
            result += std::to_string(values[used++]);
            ++i;
        } else {
            result += pattern[i];
        }
    }
    if (used < values.size())
        return std::nullopt;
    return result;
}

}  // namespace

CBImageDataSource::~CBImageDataSource() = default;

std::optional<std::string> CBImageDataSource::urlPattern() const {
    std::lock_guard lock(mutex_);
    return urlPattern_;
}

void CBImageDataSource::setUrlPattern(std::optional<std::string> pattern) {
    std::lock_guard lock(mutex_);
    urlPattern_ = std::move(pattern);
}

std::optional<std::string> CBImageDataSource::pathPattern() const {
    std::lock_guard lock(mutex_);
    return pathPattern_;
}

void CBImageDataSource::setPathPattern(std::optional<std::string> pattern) {
    std::lock_guard lock(mutex_);
    pathPattern_ = std::move(pattern);
}

void CBImageDataSource::setCacheVolumePath(std::string path) {
    std::lock_guard lock(mutex_);
    cacheVolumePath_ = std::move(path);
}

std::optional<std::string> CBImageDataSource::pathForXYZ(int x, int y, int z) const {
    const auto pattern = pathPattern();
    return pattern ? fillPattern(*pattern, {x, y, z}) : std::nullopt;
}

std::optional<NSURL> CBImageDataSource::urlForXYZ(int x, int y, int z) const {
    const auto pattern = urlPattern();
    if (!pattern)
        return std::nullopt;
    const auto text =
        urlPatternType_ == 2 ? fillPattern(*pattern, {z, x, y}) : fillPattern(*pattern, {x, y, z});
    return text ? NSURL::URLWithString(*text) : std::nullopt;
}

void CBImageDataSource::drawImage(const UIImage& image, const CGRect& rect,
                                  CGContext& context) const {
    if (!image.CGImage())
        return;
    context.saveGState();
    context.setBlendMode(kCGBlendModeNormal);
    context.setAlpha(opacity_);
    // Tiles are drawn y-down; images are placed y-up.
    context.translateCTM(rect.origin.x, rect.origin.y + rect.size.height);
    context.scaleCTM(1, -1);
    context.drawImage(CGRectMake(0, 0, rect.size.width, rect.size.height), *image.CGImage());
    context.restoreGState();
}

void CBImageDataSource::drawDataSourceInMapInRectForXYZAtScaleInContext(
    const std::shared_ptr<CBMapScrollView>& map, const CGRect& rect, int x, int y, int z, float,
    CGContext& context) {
    std::shared_ptr<UIImage> image;
    if (auto path = pathForXYZ(x, y, z))
        image = UIImage::imageWithContentsOfFile(*path);
    std::shared_ptr<CBImageDataSourceCacheDelegate> cache;
    std::shared_ptr<CBImageDataSourceWMSDelegate> wms;
    {
        std::lock_guard lock(mutex_);
        cache = cacheDelegate_.lock();
        wms = wmsDelegate_.lock();
    }
    if (cache) {
        if (auto data = cache->imageDataSourceCachedDataForTileAtXYZ(*this, x, y, z))
            if (auto held = UIImage::imageWithData(*data))
                image = held;
    }
    if (image) {
        drawImage(*image, rect, context);
        return;
    }
    std::optional<NSURL> url =
        wms ? wms->imageDataSourceWmsUrlForMapAtXYZ(*this, map, x, y, z) : std::nullopt;
    if (!url)
        url = urlForXYZ(x, y, z);
    if (!url)
        return;
    const auto cachePath =
        cache ? cache->imageDataSourcePathForCachedImageWithUrl(*this, *url) : std::nullopt;
    if (cachePath && NSFileManager::defaultManager()->fileExistsAtPath(*cachePath)) {
        if (auto cached = UIImage::imageWithContentsOfFile(*cachePath)) {
            drawImage(*cached, rect, context);
            return;
        }
    }
    if (auto downloaded = downloadImage(*url, cachePath))
        drawImage(*downloaded, rect, context);
}

void CBImageDataSource::notifyConnectionDelegate(bool started) {
    std::shared_ptr<CBImageDataSourceConnectionDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        delegate = connectionDelegate_.lock();
    }
    if (!delegate)
        return;
    auto self = shared_from_this();
    DispatchQueue::main()->async([self, delegate, started] {
        if (started)
            delegate->imageDataSourceWillStartLoadingImage(*self);
        else
            delegate->imageDataSourceDidFinishLoadingImage(*self);
    });
}

std::shared_ptr<UIImage> CBImageDataSource::downloadImage(
    const NSURL& url, const std::optional<std::string>& cachePath) {
    NSMutableURLRequest request(url, NSURLRequestCachePolicy::ReturnCacheDataElseLoad,
                                kDownloadTimeout);
    if (auto headers = httpHeaderFields())
        for (const auto& [field, value] : *headers)
            request.setValueForHTTPHeaderField(value, field);
    notifyConnectionDelegate(true);
    std::optional<NSHTTPURLResponse> response;
    const auto data = NSURLConnection::sendSynchronousRequest(request, &response);
    notifyConnectionDelegate(false);
    auto image = data ? UIImage::imageWithData(*data) : nullptr;
    // Error answers may carry a picture (a refused key, a server fault): they
    // are shown once but never kept, or the tile would stay wrong for ever.
    if (image && response && response->statusCode() == 200)
        cacheImageDataAtPath(data, cachePath);
    return image;
}

void CBImageDataSource::calculateAvailableDiskSpace() {
    std::optional<std::string> volume;
    {
        std::lock_guard lock(mutex_);
        volume = cacheVolumePath_;
    }
    NSError error;
    const auto attributes = NSFileManager::defaultManager()->attributesOfFileSystemForPath(
        volume.value_or(NSSearchPathForDirectory(NSSearchPathDirectory::Caches)), &error);
    if (!attributes) {
        NSLog("Error Obtaining System Memory Info: Domain = %s, Code = %li", error.domain.c_str(),
              error.code);
        availableDiskSpace_ = 0;
        return;
    }
    availableDiskSpace_ = attributes->fileSystemFreeSize;
}

uint64_t CBImageDataSource::availableDiskSpaceForCaching() {
    if (countDownToNextDiskSpaceCheck_ < 1) {
        calculateAvailableDiskSpace();
        countDownToNextDiskSpaceCheck_ = kDiskSpaceCheckInterval;
    } else {
        --countDownToNextDiskSpaceCheck_;
    }
    return availableDiskSpace_;
}

void CBImageDataSource::cacheImageDataAtPath(const std::optional<Value::Data>& data,
                                             const std::optional<std::string>& path) {
    if (!data || !path)
        return;
    auto self = shared_from_this();
    DispatchQueue::global()->async([self, data = *data, path = *path] {
        const uint64_t available = self->availableDiskSpaceForCaching();
        const uint64_t reserved = self->reservedDiskSpace_;
        // Compared without subtracting first: free space below the reserve
        // must not wrap round into an enormous number.
        if (available <= reserved || available - reserved < data.size())
            return;
        self->availableDiskSpace_ = available - data.size();
        const auto slash = path.find_last_of('/');
        if (slash != std::string::npos && slash > 0 &&
            !NSFileManager::defaultManager()->createDirectoryAtPathWithIntermediateDirectories(
                path.substr(0, slash), true))
            return;
        writeDataToFile(data, path, true);
    });
}

void CBImageDataSource::setValueForHTTPHeaderField(const std::optional<std::string>& value,
                                                   const std::optional<std::string>& field) {
    if (!field)
        return;
    std::lock_guard lock(mutex_);
    if (value) {
        if (!httpHeaderFields_)
            httpHeaderFields_.emplace();
        (*httpHeaderFields_)[*field] = *value;
        return;
    }
    if (!httpHeaderFields_)
        return;
    httpHeaderFields_->erase(*field);
    if (httpHeaderFields_->empty())
        httpHeaderFields_.reset();
}

std::optional<NSHTTPHeaderFields> CBImageDataSource::httpHeaderFields() const {
    std::lock_guard lock(mutex_);
    return httpHeaderFields_;
}
