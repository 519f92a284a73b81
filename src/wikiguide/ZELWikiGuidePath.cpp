#include "wikiguide/ZELWikiGuidePath.h"

#include <cmath>

using D = ZELJSONObjectDescriptor;
using AD = ZELJSONObjectArrayDescriptor;

ZELJSONObject::Descriptors ZELWikiGuidePath::jsonDescriptors() const {
    return {
        {"title", D::descriptorForStringWithDefaultWithJsonKey("title", true)},
        {"totalDistance", D::descriptorForNumberWithDefaultWithJsonKey("totalDistance", true)},
        {"segments",
         AD::descriptorWithJsonKeyMemberValidationClassAndMemberDefaultValue(
             "segments", ZELJSONClass::model<ZELWikiGuidePathSegment>("ZELWikiGuidePathSegment"),
             std::nullopt, true)}};
}

std::optional<double> ZELWikiGuidePath::totalDistance() {
    if (auto metres = numberForProperty("totalDistance"))
        return metres;
    const auto& distances = cumulatedDistances();
    if (distances.empty())
        return std::nullopt;
    double total = 0.0;
    for (const auto& segment : distances)
        total += segment.back();
    setTotalDistance(total);
    return total;
}

void ZELWikiGuidePath::setTotalDistance(std::optional<double> metres) {
    setValueForProperty("totalDistance", metres ? ZELJSONValue(Value(*metres)) : ZELJSONValue());
}

const std::vector<ZELWikiGuidePath::Locations>& ZELWikiGuidePath::pathSegmentLocations() {
    if (!pathSegmentLocations_) {
        std::vector<Locations> all;
        for (const auto& segment : segments()) {
            const auto numbers = segment->coordinates();
            if (numbers.size() % 2 != 0)
                continue;
            Locations locations;
            locations.reserve(numbers.size() / 2);
            for (size_t i = 0; i + 1 < numbers.size(); i += 2) {
                const auto here = CLLocationCoordinate2DMake(numbers[i], numbers[i + 1]);
                if (std::isfinite(here.latitude) && std::isfinite(here.longitude) &&
                    CLLocationCoordinate2DIsValid(here))
                    locations.push_back(
                        std::make_shared<CLLocation>(here.latitude, here.longitude));
            }
            all.push_back(std::move(locations));
        }
        pathSegmentLocations_ = std::move(all);
    }
    return *pathSegmentLocations_;
}

void ZELWikiGuidePath::setPathSegmentLocations(std::vector<Locations> locations) {
    pathSegmentLocations_ = std::move(locations);
}

const std::vector<std::vector<double>>& ZELWikiGuidePath::cumulatedDistances() {
    if (!cumulatedDistances_) {
        std::vector<std::vector<double>> all;
        for (const auto& locations : pathSegmentLocations()) {
            std::vector<double> running{0.0};
            for (size_t i = 1; i < locations.size(); ++i)
                running.push_back(running.back() +
                                  locations[i - 1]->distanceFromLocation(*locations[i]));
            all.push_back(std::move(running));
        }
        cumulatedDistances_ = std::move(all);
    }
    return *cumulatedDistances_;
}

void ZELWikiGuidePath::setCumulatedDistances(std::vector<std::vector<double>> distances) {
    cumulatedDistances_ = std::move(distances);
}

std::shared_ptr<CBCoordinatePath> ZELWikiGuidePath::coordinatePath() {
    if (!coordinatePath_) {
        std::vector<Locations> drawn;
        for (const auto& locations : pathSegmentLocations())
            if (!locations.empty())
                drawn.push_back(locations);
        coordinatePath_ = std::make_shared<CBCoordinatePath>(drawn);
    }
    return coordinatePath_;
}

void ZELWikiGuidePath::setCoordinatePath(std::shared_ptr<CBCoordinatePath> path) {
    coordinatePath_ = std::move(path);
}
