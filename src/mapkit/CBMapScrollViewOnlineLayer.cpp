// The map view's online raster layer.
#include "CBGeoData/CBBoundingBox.h"
#include "Foundation/NSUserDefaults.h"
#include "mapkit/CBImageDataSource.h"
#include "mapkit/CBMapScrollView.h"

std::string CBMapScrollView::onlineTileServiceURLPattern() {
    const auto host =
        NSUserDefaults::standardUserDefaults()->stringForKey("CBOnlineTileServiceHost");
    return "http://" + host.value_or("127.0.0.1:8091") +
           "/neighbourhood/%i/%i/%i.png?apikey=" + kOnlineTileServiceKey;
}

std::shared_ptr<CBImageDataSource> CBMapScrollView::setupForThunderforestLayerWithBoundingBox(
    const std::shared_ptr<CBBoundingBox>& box) {
    auto mapBox = box ? box
                      : CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
                            CLLocationCoordinate2DMake(75.0, 179.5),
                            CLLocationCoordinate2DMake(-70.0, -179.5));
    setMapBoundingBox(mapBox);
    setMaximumZoomLevel(11);
    removeVectorDataSource();
    auto source = std::make_shared<CBImageDataSource>();
    source->setUrlPatternType(2);
    source->setOpacity(1.0f);
    source->setUrlPattern(onlineTileServiceURLPattern());
    addDatasource(source);
    return source;
}
