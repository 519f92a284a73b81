#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Foundation/Value.h"
#include "Net/NSURLRequest.h"
#include "mapkit/CBGeoDataSource.h"

class CBImageDataSource;
class UIImage;

// Where tiles fetched from a URL are kept on disk.
class CBImageDataSourceCacheDelegate {
  public:
    virtual ~CBImageDataSourceCacheDelegate() = default;
    // The file of the tile of that URL; nullopt keeps no file cache.
    virtual std::optional<std::string> imageDataSourcePathForCachedImageWithUrl(
        CBImageDataSource& source, const NSURL& url) = 0;
    // Image bytes of a tile the delegate holds itself.
    virtual std::optional<Value::Data> imageDataSourceCachedDataForTileAtXYZ(CBImageDataSource&,
                                                                             int, int, int) {
        return std::nullopt;
    }
};

// A tile URL that takes precedence over the URL pattern.
class CBImageDataSourceWMSDelegate {
  public:
    virtual ~CBImageDataSourceWMSDelegate() = default;
    virtual std::optional<NSURL> imageDataSourceWmsUrlForMapAtXYZ(
        CBImageDataSource& source, const std::shared_ptr<CBMapScrollView>& map, int x, int y,
        int z) = 0;
};

// Told on the main queue around each download.
class CBImageDataSourceConnectionDelegate {
  public:
    virtual ~CBImageDataSourceConnectionDelegate() = default;
    virtual void imageDataSourceWillStartLoadingImage(CBImageDataSource&) {}
    virtual void imageDataSourceDidFinishLoadingImage(CBImageDataSource&) {}
};

// Draws map tiles from raster images: a local file named by a path pattern,
// bytes the cache delegate holds, or an HTTP server named by a URL pattern,
// with a file cache the cache delegate places. Downloads are synchronous on
// the drawing thread. Patterns hold three integer placeholders ("%i" or
// "%d"), which are replaced as text: any other "%" in a URL stays as it is.
class CBImageDataSource : public CBGeoDataSource,
                          public std::enable_shared_from_this<CBImageDataSource> {
  public:
    static constexpr uint64_t kDefaultReservedDiskSpace = 524288000;
    static constexpr double kDownloadTimeout = 5.0;

    CBImageDataSource() = default;
    ~CBImageDataSource() override;

    std::optional<std::string> pathForXYZ(int x, int y, int z) const;
    std::optional<NSURL> urlForXYZ(int x, int y, int z) const;

    void drawDataSourceInMapInRectForXYZAtScaleInContext(
        const std::shared_ptr<CBMapScrollView>& map, const CGRect& rect, int x, int y, int z,
        float scale, CGContext& context) override;

    // The free space of the caches volume, asked of the file system on the
    // first call and every 11th after; in between only what the cache wrote
    // is taken off. Unknown free space counts as none.
    uint64_t availableDiskSpaceForCaching();
    void calculateAvailableDiskSpace();
    // Writes in the background when the volume keeps reservedDiskSpace free
    // after it.
    void cacheImageDataAtPath(const std::optional<Value::Data>& data,
                              const std::optional<std::string>& path);

    void setValueForHTTPHeaderField(const std::optional<std::string>& value,
                                    const std::optional<std::string>& field);
    std::optional<NSHTTPHeaderFields> httpHeaderFields() const;

    std::optional<std::string> urlPattern() const;
    void setUrlPattern(std::optional<std::string> pattern);
    std::optional<std::string> pathPattern() const;
    void setPathPattern(std::optional<std::string> pattern);
    // 2: placeholders in the order Z, X, Y; anything else: X, Y, Z.
    int urlPatternType() const { return urlPatternType_; }
    void setUrlPatternType(int type) { urlPatternType_ = type; }
    float opacity() const { return opacity_; }
    void setOpacity(float opacity) { opacity_ = opacity; }
    uint64_t reservedDiskSpace() const { return reservedDiskSpace_; }
    void setReservedDiskSpace(uint64_t bytes) { reservedDiskSpace_ = bytes; }
    uint64_t availableDiskSpace() const { return availableDiskSpace_; }
    // The volume whose free space is measured (the caches folder by default).
    void setCacheVolumePath(std::string path);

    void setCacheDelegate(std::weak_ptr<CBImageDataSourceCacheDelegate> d) { cacheDelegate_ = d; }
    void setWmsDelegate(std::weak_ptr<CBImageDataSourceWMSDelegate> d) { wmsDelegate_ = d; }
    void setConnectionDelegate(std::weak_ptr<CBImageDataSourceConnectionDelegate> d) {
        connectionDelegate_ = d;
    }

  private:
    std::shared_ptr<UIImage> downloadImage(const NSURL& url,
                                           const std::optional<std::string>& cachePath);
    void notifyConnectionDelegate(bool started);
    void drawImage(const UIImage& image, const CGRect& rect, CGContext& context) const;

    std::atomic<int> countDownToNextDiskSpaceCheck_ = 0;
    std::atomic<uint64_t> availableDiskSpace_ = 0;
    mutable std::mutex mutex_;
    std::optional<std::string> urlPattern_;
    std::optional<std::string> pathPattern_;
    std::optional<NSHTTPHeaderFields> httpHeaderFields_;
    std::optional<std::string> cacheVolumePath_;
    std::atomic<int> urlPatternType_ = 1;
    std::atomic<float> opacity_ = 1.0f;
    std::weak_ptr<CBImageDataSourceWMSDelegate> wmsDelegate_;
    std::weak_ptr<CBImageDataSourceConnectionDelegate> connectionDelegate_;
    std::weak_ptr<CBImageDataSourceCacheDelegate> cacheDelegate_;
    std::atomic<uint64_t> reservedDiskSpace_ = kDefaultReservedDiskSpace;
};
