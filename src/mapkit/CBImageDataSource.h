#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "Foundation/Value.h"
#include "Net/NSURLRequest.h"
#include "Net/NSURLResponse.h"
#include "mapkit/CBGeoDataSource.h"

class CBImageDataSource;
class CBMapScrollView;
class DispatchQueue;
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

// A tile URL that takes precedence over the URL pattern. The tile's request
// carries what a map view would have told of it (its rectangle, projector
// and store).
class CBImageDataSourceWMSDelegate {
  public:
    virtual ~CBImageDataSourceWMSDelegate() = default;
    virtual std::optional<NSURL> imageDataSourceWmsUrlForTileRequest(
        CBImageDataSource& source, const CBTileRequest& request) = 0;
    // The URL for tile X/Y/Z of a map: the answer for the request the map's
    // renderer makes for that tile.
    std::optional<NSURL> imageDataSourceWmsUrlForMapAtXYZ(CBImageDataSource& source,
                                                          const CBMapScrollView& map, int x, int y,
                                                          int z);
};

// Told on the main queue around each download.
class CBImageDataSourceConnectionDelegate {
  public:
    virtual ~CBImageDataSourceConnectionDelegate() = default;
    virtual void imageDataSourceWillStartLoadingImage(CBImageDataSource&) {}
    virtual void imageDataSourceDidFinishLoadingImage(CBImageDataSource&) {}
    // After the finish of a download that brought a picture.
    virtual void imageDataSourceDidLoadImage(CBImageDataSource&) {}
    // After the finish of a download that brought no picture (no answer, or
    // one that is no image).
    virtual void imageDataSourceDidFailLoadingImage(CBImageDataSource&) {}
};

// Draws map tiles from raster images: a local file named by a path pattern,
// bytes the cache delegate holds, or an HTTP server named by a URL pattern,
// with a file cache the cache delegate places. Downloads never run on a
// drawing thread: the URL loading engine fetches them (one at a time per
// URL) and a tile whose request can be redrawn is drawn without its image
// and asked for again when the image has arrived; a request that cannot
// (a snapshot, a one-off drawing) waits for the fetch. Patterns hold three
// integer placeholders ("%i" or "%d"), which are replaced as text: any other
// "%" in a URL stays as it is.
class CBImageDataSource : public CBGeoDataSource,
                          public std::enable_shared_from_this<CBImageDataSource> {
  public:
    static constexpr uint64_t kDefaultReservedDiskSpace = 524288000;
    static constexpr double kDownloadTimeout = 5.0;

    CBImageDataSource() = default;
    ~CBImageDataSource() override;

    std::optional<std::string> pathForXYZ(int x, int y, int z) const;
    std::optional<NSURL> urlForXYZ(int x, int y, int z) const;

    void drawTileRequestInContext(const CBTileRequest& request, CGContext& context) override;

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

    // The delegates are held weakly.
    std::shared_ptr<CBImageDataSourceCacheDelegate> cacheDelegate() const;
    void setCacheDelegate(std::weak_ptr<CBImageDataSourceCacheDelegate> delegate);
    std::shared_ptr<CBImageDataSourceWMSDelegate> wmsDelegate() const;
    void setWmsDelegate(std::weak_ptr<CBImageDataSourceWMSDelegate> delegate);
    std::shared_ptr<CBImageDataSourceConnectionDelegate> connectionDelegate() const;
    void setConnectionDelegate(std::weak_ptr<CBImageDataSourceConnectionDelegate> delegate);

  private:
    // One download of a tile's URL and who waits for it.
    struct Fetch {
        bool done = false;
        std::shared_ptr<UIImage> image;
        std::vector<std::function<void()>> redraws;
    };
    // Images fetched for tiles that are drawn again, kept until drawn once.
    static constexpr size_t kArrivedImages = 64;

    // The running fetch of the URL, or a new one; redraw (when set) is called
    // once the image has arrived.
    std::shared_ptr<Fetch> fetchImage(const NSURL& url, const std::optional<std::string>& cachePath,
                                      const std::function<void()>& redraw);
    void finishFetch(const std::string& key, const std::shared_ptr<Fetch>& fetch,
                     const std::optional<std::string>& cachePath,
                     const std::optional<NSHTTPURLResponse>& response,
                     const std::optional<Value::Data>& data);
    std::shared_ptr<UIImage> takeArrivedImage(const std::string& key);
    void notifyConnectionDelegate(bool started, bool failed = false);
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

    std::mutex fetchMutex_;  // fetches_, arrived_, every Fetch
    std::condition_variable fetchDone_;
    std::map<std::string, std::shared_ptr<Fetch>> fetches_;  // by URL
    std::deque<std::pair<std::string, std::shared_ptr<UIImage>>> arrived_;
    // Where downloads end: never a drawing thread, never the main thread
    // (which may wait for a fetch while it draws a snapshot).
    std::shared_ptr<DispatchQueue> fetchQueue_;
};
