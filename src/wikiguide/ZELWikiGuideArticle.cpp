#include "wikiguide/ZELWikiGuideArticle.h"

#include <algorithm>
#include <cmath>

#include "CoreLocation/CLLocation.h"
#include "Foundation/NSStringFormat.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "location/CBLocationManager.h"
#include "wikiguide/ZELWikiGuideGroup.h"

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

std::optional<std::string> ZELWikiGuideArticle::walkSubtitle() const {
    const auto manager = CBLocationManager::sharedInstance();
    const auto analyzer = manager ? manager->currentPathAnalyzer() : nullptr;
    const auto along = distanceAlongWalk();
    const auto walk = group();
    if (!analyzer || !along || !std::isfinite(*along) || *along < 0 || !walk)
        return std::nullopt;
    const auto stops = walk->articles();
    const auto found = std::find_if(stops.begin(), stops.end(),
                                    [this](const auto& stop) { return stop.get() == this; });
    if (found == stops.end())
        return std::nullopt;
    // Before the first fix the walker stands at the start.
    const double behind = analyzer->distanceBehind().value_or(0.0);
    const long number = static_cast<long>(found - stops.begin()) + 1;
    const std::string distance =
        stringWithDistanceFromFloat(static_cast<float>(std::fabs(behind - *along)));
    if (distance.empty())
        return std::nullopt;
    return NSLocalizedFormat("WikiGuideArticleWalkSubtitleFormat", {number, distance});
}

std::optional<std::string> ZELWikiGuideArticle::subtitle() const {
    if (auto walk = walkSubtitle())
        return walk;
    const auto metres = distanceFromLastLocation();
    const std::string distance =
        metres ? stringWithDistanceFromFloat(static_cast<float>(*metres)) : std::string();
    if (distance.empty())
        return std::nullopt;
    return distance;
}
