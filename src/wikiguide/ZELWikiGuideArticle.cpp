#include "wikiguide/ZELWikiGuideArticle.h"

#include "CoreLocation/CLLocation.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "location/CBLocationManager.h"

using D = ZELJSONObjectDescriptor;

ZELJSONObject::Descriptors ZELWikiGuideArticle::jsonDescriptors() const {
    return {
        {"title", D::descriptorForStringWithDefaultWithJsonKey("title")},
        {"sourceUrlString", D::descriptorForStringWithDefaultWithJsonKey("url")},
        {"imageUrlString", D::descriptorForStringWithDefaultWithJsonKey("image")},
        {"coordinateLatitude", D::descriptorForNumberWithDefaultWithJsonKey("latitude", true)},
        {"coordinateLongitude", D::descriptorForNumberWithDefaultWithJsonKey("longitude", true)},
        {"distanceAlongWalk",
         D::descriptorForNumberWithDefaultWithJsonKey("distanceAlongWalk", true)},
        {"typeString", D::descriptorForStringWithDefaultWithJsonKey("type", true)}};
}

CLLocationCoordinate2D ZELWikiGuideArticle::coordinate() const {
    return CLLocationCoordinate2DMake(coordinateLatitude().value_or(0.0),
                                      coordinateLongitude().value_or(0.0));
}

std::optional<double> ZELWikiGuideArticle::distanceFromLastLocation() const {
    const auto manager = CBLocationManager::sharedInstance();
    const auto last = manager ? manager->location() : nullptr;
    if (!last)
        return std::nullopt;
    const auto here = coordinate();
    return CLLocation(here.latitude, here.longitude).distanceFromLocation(*last);
}

std::optional<std::string> ZELWikiGuideArticle::subtitle() const {
    const auto metres = distanceFromLastLocation();
    if (!metres)
        return std::nullopt;
    return stringWithDistanceFromFloat(static_cast<float>(*metres));
}
