#pragma once

#include <memory>
#include <optional>
#include <string>

#include "CoreLocation/CLLocationCoordinate2D.h"
#include "wikiguide/ZELWikiGuideItem.h"

class ZELWikiGuideGroup;

// A leaf of the guide: points to an article of the article store by its web
// address, with a position and, in a walk, its distance along the route.
class ZELWikiGuideArticle : public ZELWikiGuideItem {
  public:
    Descriptors jsonDescriptors() const override;
    std::string className() const override { return "ZELWikiGuideArticle"; }

    std::optional<double> coordinateLatitude() const {
        return numberForProperty("coordinateLatitude");
    }
    std::optional<double> coordinateLongitude() const {
        return numberForProperty("coordinateLongitude");
    }
    // Metres from the walk's start along its route.
    std::optional<double> distanceAlongWalk() const {
        return numberForProperty("distanceAlongWalk");
    }
    std::optional<std::string> sourceUrlString() const {
        return stringForProperty("sourceUrlString");
    }

    std::shared_ptr<ZELWikiGuideGroup> group() const { return group_.lock(); }
    void setGroup(const std::shared_ptr<ZELWikiGuideGroup>& group) { group_ = group; }

    // Missing numbers read as 0.
    CLLocationCoordinate2D coordinate() const;
    std::optional<std::string> uniqueIdentifier() const { return sourceUrlString(); }
    // Its absoluteString is the key of the article store's articleForUrl.
    std::optional<NSURL> sourceUrl() const { return encodedUrlFromString(sourceUrlString()); }
    // Metres to the location service's last position; nullopt without one.
    std::optional<double> distanceFromLastLocation() const;
    // While a walk is followed (the location service has a path analyzer)
    // and this is one of its group's stops with a distance along the walk:
    // the stop number and how far along the walk it lies from the walker.
    // Otherwise the distance text of distanceFromLastLocation, or nullopt.
    std::optional<std::string> subtitle() const;

  private:
    std::optional<std::string> walkSubtitle() const;

    std::weak_ptr<ZELWikiGuideGroup> group_;
};
