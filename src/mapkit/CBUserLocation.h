#pragma once

#include <memory>
#include <mutex>

#include "CoreLocation/CLLocation.h"
#include "mapkit/CBAnnotation.h"

// The user's position as an annotation: the last fix placed on the map.
class CBUserLocation : public CBAnnotation {
  public:
    static constexpr const char* kUniqueIdentifier = "UserLocationObjectID";

    std::shared_ptr<CLLocation> coreLocation() const;
    void setCoreLocation(std::shared_ptr<CLLocation> location);
    void setTitle(std::optional<std::string> title);
    void setSubtitle(std::optional<std::string> subtitle);

    // (0, 0) until the first fix.
    CLLocationCoordinate2D coordinate() const override;
    std::optional<std::string> uniqueIdentifier() const override { return kUniqueIdentifier; }
    std::optional<std::string> title() const override;
    std::optional<std::string> subtitle() const override;

  private:
    mutable std::mutex mutex_;
    std::shared_ptr<CLLocation> coreLocation_;
    std::optional<std::string> title_;
    std::optional<std::string> subtitle_;
};
