#pragma once

#include <memory>
#include <optional>

#include "UIKit/UIColor.h"

class CBGeoDataSource;
class CBGeoDisplayManager;
class CBGeoObject;
class CBGeoRelation;
class CBGeoStyle;
class CBMapScrollView;
class CBPathDataSource;

// What one map view draws over its map, in the overlay layer of its content
// view: overlay data sources (routes, outlines, a walk's track), the colour
// that dims the map under them, and one highlight at a time. The overlays
// draw through the map's renderer; the host holds its map weakly.
//
// Threads: main thread.
class CBMapOverlays {
  public:
    explicit CBMapOverlays(std::weak_ptr<CBMapScrollView> map);

    // The map drawn over, while it lives.
    std::shared_ptr<CBMapScrollView> map() const { return map_.lock(); }
    // The map's renderer: where coordinates land, its data and style.
    std::shared_ptr<CBGeoDisplayManager> renderer() const;

    void addOverlayDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void removeOverlayDatasource(const std::shared_ptr<CBGeoDataSource>& source);
    void removeAllOverlayDatasources();
    void overlaysNeedDisplay();
    // Drops what the overlay layer drew and draws it again.
    void resetOverlayContents();
    // The colour the overlay layer lays over the map (the transit mode dims
    // the map with it); nullopt: clear.
    void setBackgroundColorForOverlay(const std::optional<UIColor>& color);

    // Outlines an object or a relation over the map (blue unless a style is
    // given); one highlight at a time.
    void highlightObjectWithStyle(const std::shared_ptr<CBGeoObject>& object,
                                  const std::shared_ptr<CBGeoStyle>& style);
    void highlightRelationWithStyle(const std::shared_ptr<CBGeoRelation>& relation,
                                    const std::shared_ptr<CBGeoStyle>& style);
    void removeHighlight();
    const std::shared_ptr<CBPathDataSource>& hightLightDatasource() const {
        return hightLightDatasource_;
    }

  private:
    void showHighlight(std::shared_ptr<CBPathDataSource> highlight);

    std::weak_ptr<CBMapScrollView> map_;
    std::shared_ptr<CBPathDataSource> hightLightDatasource_;
};
