#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CoreLocation/CLLocation.h"
#include "MapKit/MKMapItem.h"
#include "mapkit/CBAnnotation.h"

class CBGeoObject;
class CBGeoTag;

// A location with a title and subtitle that can share itself. Its identifier
// is the object's own identity (a serial number given at creation): two
// annotations at one place stay two.
class CBBasicAnnotation : public CBAnnotation {
  public:
    explicit CBBasicAnnotation(CLLocationCoordinate2D coordinate);
    CBBasicAnnotation(CLLocationDegrees latitude, CLLocationDegrees longitude)
        : CBBasicAnnotation(CLLocationCoordinate2D{latitude, longitude}) {}

    const CLLocation& location() const { return location_; }
    CLLocationCoordinate2D coordinate() const override { return location_.coordinate(); }
    std::optional<std::string> uniqueIdentifier() const override { return identifier_; }
    std::optional<std::string> title() const override;
    std::optional<std::string> subtitle() const override;
    void setTitle(std::optional<std::string> title);
    void setSubtitle(std::optional<std::string> subtitle);

    // "I am here: <title>\n\n(<coordinate>)\n\n<web link>\n\n<own link>".
    std::string textForSharing() const;
    // What a share sheet gets: the text, and a map item at a valid coordinate.
    struct ActivityItems {
        std::optional<std::string> text;
        std::optional<MKMapItem> mapItem;
    };
    ActivityItems activityItems() const;

  private:
    CLLocation location_;
    std::string identifier_;
    mutable std::mutex mutex_;
    std::optional<std::string> title_;
    std::optional<std::string> subtitle_;
};

// An annotation carrying geo tags (the categories a ring of buttons offers).
class CBTagsAnnotation : public CBBasicAnnotation {
  public:
    using CBBasicAnnotation::CBBasicAnnotation;
    const std::vector<std::shared_ptr<CBGeoTag>>& tags() const { return tags_; }
    void setTags(std::vector<std::shared_ptr<CBGeoTag>> tags) { tags_ = std::move(tags); }

  private:
    std::vector<std::shared_ptr<CBGeoTag>> tags_;
};

// An annotation carrying a map item of the platform.
class CBMapItemAnnotation : public CBBasicAnnotation {
  public:
    using CBBasicAnnotation::CBBasicAnnotation;
    const std::optional<MKMapItem>& mapItem() const { return mapItem_; }
    void setMapItem(std::optional<MKMapItem> item) { mapItem_ = std::move(item); }

  private:
    std::optional<MKMapItem> mapItem_;
};

// A named place of the map's data as an annotation; its identifier is the
// object's, so the same place found twice is one annotation. Its subtitle
// gives the distance from the location service's fix when it is made. Made
// on the main thread from an object of the main context.
class CBGeoObjectAnnotation : public CBBasicAnnotation {
  public:
    explicit CBGeoObjectAnnotation(const std::shared_ptr<CBGeoObject>& object);
    std::optional<std::string> uniqueIdentifier() const override { return objectIdentifier_; }
    const std::shared_ptr<CBGeoObject>& object() const { return object_; }

  private:
    std::shared_ptr<CBGeoObject> object_;
    std::string objectIdentifier_;
};
