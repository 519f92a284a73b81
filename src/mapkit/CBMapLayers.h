#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

class CBBoundingBox;
class CBGeoDataSource;
class CBGeoDisplayManager;
class CBImageDataSource;
class CBMapScrollView;
class CBVectorDataSource;

// The layers one map view draws, bottom to top: the vector layer of its map
// with the style it is drawn in, and the data sources added over or under
// it, the online raster layer among them. Every change redraws the map and
// is told to the map's delegate. The layers hold their map weakly.
//
// Threads: main thread.
class CBMapLayers {
  public:
    // Adds the vector layer to the renderer.
    CBMapLayers(std::weak_ptr<CBMapScrollView> map,
                std::shared_ptr<CBGeoDisplayManager> displayManager);

    void addDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void removeDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void insertDatasourceAbove(const std::shared_ptr<CBGeoDataSource>& source,
                               const std::shared_ptr<CBGeoDataSource>& existing);
    void insertDatasourceBelow(const std::shared_ptr<CBGeoDataSource>& source,
                               const std::shared_ptr<CBGeoDataSource>& existing);
    // nullptr once removed.
    const std::shared_ptr<CBVectorDataSource>& vectorDataSourceLayer() const {
        return vectorDataSourceLayer_;
    }
    // The map then shows only its other data sources (such as a raster layer).
    void removeVectorDataSource();

    // Follows the style's base colours; reloads the map when the style changed.
    bool changeStyleToStylePlist(const std::string& path);
    std::optional<std::string> currentStylePlistPath() const;
    // The map's background takes the base style's fill colour or pattern.
    void setupMapViewForCurrentMapBaseStyle();

    // The online raster layer instead of map stores: the world (or the box)
    // from the neighbourhood tile service, zooming in no further than level 11.
    // The service's address is the user default "CBOnlineTileServiceHost"
    // ("host:port", 127.0.0.1:8091 when unset).
    std::shared_ptr<CBImageDataSource> setupForThunderforestLayerWithBoundingBox(
        const std::shared_ptr<CBBoundingBox>& box);
    // The same over the world.
    std::shared_ptr<CBImageDataSource> setupForThunderforestLayer();
    static std::string onlineTileServiceURLPattern();
    static constexpr const char* kOnlineTileServiceKey = "5f3c9a0e7b2d4c18a6e9f01b3d7c5a42";

  private:
    // Adds the source through add, then redraws and tells the delegate.
    void addThrough(const std::shared_ptr<CBGeoDataSource>& source,
                    const std::function<void()>& add);

    std::weak_ptr<CBMapScrollView> map_;
    std::shared_ptr<CBGeoDisplayManager> displayManager_;
    std::shared_ptr<CBVectorDataSource> vectorDataSourceLayer_;
};
