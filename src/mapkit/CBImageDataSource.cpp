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
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBTileRequest.h"

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

std::optional<NSURL> CBImageDataSourceWMSDelegate::imageDataSourceWmsUrlForMapAtXYZ(
    CBImageDataSource& source, const CBMapScrollView& map, int x, int y, int z) {
    const auto& renderer = map.displayManager();
    if (!renderer)
        return std::nullopt;
    return imageDataSourceWmsUrlForTileRequest(source, renderer->tileRequestForXYZ(x, y, z));
}

std::shared_ptr<CBImageDataSourceCacheDelegate> CBImageDataSource::cacheDelegate() const {
    std::lock_guard lock(mutex_);
    return cacheDelegate_.lock();
}

void CBImageDataSource::setCacheDelegate(std::weak_ptr<CBImageDataSourceCacheDelegate> delegate) {
    std::lock_guard lock(mutex_);
    cacheDelegate_ = std::move(delegate);
}

std::shared_ptr<CBImageDataSourceWMSDelegate> CBImageDataSource::wmsDelegate() const {
    std::lock_guard lock(mutex_);
    return wmsDelegate_.lock();
}

void CBImageDataSource::setWmsDelegate(std::weak_ptr<CBImageDataSourceWMSDelegate> delegate) {
    std::lock_guard lock(mutex_);
    wmsDelegate_ = std::move(delegate);
}

std::shared_ptr<CBImageDataSourceConnectionDelegate> CBImageDataSource::connectionDelegate() const {
    std::lock_guard lock(mutex_);
    return connectionDelegate_.lock();
}

void CBImageDataSource::setConnectionDelegate(
    std::weak_ptr<CBImageDataSourceConnectionDelegate> delegate) {
    std::lock_guard lock(mutex_);
    connectionDelegate_ = std::move(delegate);
}

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

void CBImageDataSource::drawTileRequestInContext(const CBTileRequest& request, CGContext& context) {
    const int x = request.x, y = request.y, z = request.zoom;
    const CGRect& rect = request.rect;
    std::shared_ptr<UIImage> image;
    if (auto path = pathForXYZ(x, y, z))
        image = UIImage::imageWithContentsOfFile(*path);
    const auto cache = cacheDelegate();
    const auto wms = wmsDelegate();
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
        wms ? wms->imageDataSourceWmsUrlForTileRequest(*this, request) : std::nullopt;
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
    if (auto arrived = takeArrivedImage(url->absoluteString())) {
        drawImage(*arrived, rect, context);
        return;
    }
    auto fetch = fetchImage(*url, cachePath, request.redraw);
    if (request.redraw)
        return;
    std::unique_lock lock(fetchMutex_);
    fetchDone_.wait(lock, [&] { return fetch->done; });
    if (auto downloaded = fetch->image) {
        lock.unlock();
        drawImage(*downloaded, rect, context);
    }
}

std::shared_ptr<UIImage> CBImageDataSource::takeArrivedImage(const std::string& key) {
    std::lock_guard lock(fetchMutex_);
    for (auto entry = arrived_.begin(); entry != arrived_.end(); ++entry) {
        if (entry->first == key) {
            auto image = std::move(entry->second);
            arrived_.erase(entry);
            return image;
        }
    }
    return nullptr;
}

std::shared_ptr<CBImageDataSource::Fetch> CBImageDataSource::fetchImage(
    const NSURL& url, const std::optional<std::string>& cachePath,
    const std::function<void()>& redraw) {
    const std::string key = url.absoluteString();
    std::shared_ptr<Fetch> fetch;
    {
        std::lock_guard lock(fetchMutex_);
        auto& running = fetches_[key];
        const bool started = running != nullptr;
        if (!running)
            running = std::make_shared<Fetch>();
        if (redraw)
            running->redraws.push_back(redraw);
        if (!fetchQueue_)
            fetchQueue_ = DispatchQueue::createSerial("kelvara.raster-tiles");
        fetch = running;
        if (started)
            return fetch;
    }
    NSMutableURLRequest request(url, NSURLRequestCachePolicy::ReturnCacheDataElseLoad,
                                kDownloadTimeout);
    if (auto headers = httpHeaderFields())
        for (const auto& [field, value] : *headers)
            request.setValueForHTTPHeaderField(value, field);
    notifyConnectionDelegate(true);
    // The source lives until its downloads end.
    auto self = shared_from_this();
    NSURLConnection::sendAsynchronousRequest(
        request, fetchQueue_,
        [self, key, fetch, cachePath](std::optional<NSHTTPURLResponse> response,
                                      std::optional<Value::Data> data, std::optional<NSError>) {
            self->finishFetch(key, fetch, cachePath, response, data);
        });
    return fetch;
}

void CBImageDataSource::finishFetch(const std::string& key, const std::shared_ptr<Fetch>& fetch,
                                    const std::optional<std::string>& cachePath,
                                    const std::optional<NSHTTPURLResponse>& response,
                                    const std::optional<Value::Data>& data) {
    auto image = data ? UIImage::imageWithData(*data) : nullptr;
    notifyConnectionDelegate(false, !image);
    // Error answers may carry a picture (a refused key, a server fault): they
    // are shown once but never kept, or the tile would stay wrong for ever.
    if (image && response && response->statusCode() == 200)
        cacheImageDataAtPath(data, cachePath);
    std::vector<std::function<void()>> redraws;
    {
        std::lock_guard lock(fetchMutex_);
        fetch->done = true;
        fetch->image = image;
        if (auto running = fetches_.find(key);
            running != fetches_.end() && running->second == fetch)
            fetches_.erase(running);
        redraws = std::move(fetch->redraws);
        if (image && !redraws.empty()) {
            arrived_.emplace_back(key, image);
            if (arrived_.size() > kArrivedImages)
                arrived_.pop_front();
        }
    }
    fetchDone_.notify_all();
    // Nothing came: the tile stays as drawn and asks again when next drawn.
    if (image) {
        for (const auto& redraw : redraws)
            redraw();
    }
}

void CBImageDataSource::notifyConnectionDelegate(bool started, bool failed) {
    const auto delegate = connectionDelegate();
    if (!delegate)
        return;
    auto self = shared_from_this();
    DispatchQueue::main()->async([self, delegate, started, failed] {
        if (started) {
            delegate->imageDataSourceWillStartLoadingImage(*self);
            return;
        }
        delegate->imageDataSourceDidFinishLoadingImage(*self);
        if (failed)
            delegate->imageDataSourceDidFailLoadingImage(*self);
        else
            delegate->imageDataSourceDidLoadImage(*self);
    });
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
