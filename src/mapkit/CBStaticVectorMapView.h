#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "mapkit/CBVectorMapView.h"

// The geometry of a map without a screen: one store, web-Mercator tiles of
// 256 points, zoom 18 the deepest. Renders tiles headless (benchmarks,
// reference images, tools) the way the map view lays them out.
class CBStaticVectorMapView : public CBVectorMapView {
  public:
    static constexpr int kMaximumZoomLevel = 18;
    static constexpr CGFloat kTileSize = 256;

    CBStaticVectorMapView(std::string storePath, std::shared_ptr<CBGeoDataManager> dataManager);

    std::string currentMapStorePath() const override { return storePath_; }
    std::shared_ptr<CBGeoDataManager> dataManager() const override { return dataManager_; }
    bool cacheTransparentTileImages() const override { return transparent_; }
    void setCacheTransparentTileImages(bool transparent) { transparent_ = transparent; }
    CGRect rectForXYZ(int x, int y, int z) const override;
    float scaleForNativeZoomlevel(int level) const override;
    CGPoint offsetForCoordinate(CLLocationCoordinate2D coordinate) const override;
    void calculatePointPathAndCGPathRefForGeoPathObject(bool wantPoints, bool wantPath,
                                                        CBGeoElement& element) const override;

  private:
    std::string storePath_;
    std::shared_ptr<CBGeoDataManager> dataManager_;
    std::atomic<bool> transparent_ = false;
};
