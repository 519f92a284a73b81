#include "CBGeoData/CBBoundingBox.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <numbers>

#include "Foundation/NSLog.h"

namespace {

constexpr CLLocationCoordinate2D kSentinelNE{-90, -180};
constexpr CLLocationCoordinate2D kSentinelSW{90, 180};
constexpr double kEarthRadius = 6371000;
constexpr float kDefaultFactor = 3.0f;

double radians(double degrees) {
    return degrees * std::numbers::pi / 180;
}
double degrees(double radians) {
    return radians * 180 / std::numbers::pi;
}

std::string formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string formatted(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string text(static_cast<size_t>(std::max(length, 0)), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return text;
}

CLLocationCoordinate2D coordinateOf(const std::shared_ptr<CLLocation>& location) {
    return location ? location->coordinate() : CLLocationCoordinate2D{};
}

// The box between the great-circle destinations of the two distances from the
// centre: north and south along the meridian, east and west from there.
std::shared_ptr<CBBoundingBox> boxWithCenterAndEdgeDistances(CLLocationCoordinate2D center,
                                                             double latitudinalDistance,
                                                             double longitudinalDistance) {
    const double phi = radians(center.latitude);
    const double delta = latitudinalDistance / kEarthRadius;
    const double delta2 = longitudinalDistance / kEarthRadius;
    const double north =
        std::asin(std::sin(phi) * std::cos(delta) + std::cos(phi) * std::sin(delta));
    const double south =
        std::asin(std::sin(phi) * std::cos(delta) - std::cos(phi) * std::sin(delta));
    const double east = std::atan2(std::cos(phi) * std::sin(delta2),
                                   std::cos(delta2) - std::sin(phi) * std::sin(north));
    const double west = std::atan2(-std::cos(phi) * std::sin(delta2),
                                   std::cos(delta2) - std::sin(phi) * std::sin(south));
    return CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
        {degrees(north), center.longitude + degrees(east)},
        {degrees(south), center.longitude + degrees(west)});
}

}  // namespace

CBBoundingBox::CBBoundingBox() : ne_(kSentinelNE), sw_(kSentinelSW) {}

CBBoundingBox::CBBoundingBox(CLLocationCoordinate2D ne, CLLocationCoordinate2D sw)
    : ne_(ne), sw_(sw) {
    heal();
}

CBBoundingBox::CBBoundingBox(const CBBoundingBox& other) : ne_(other.NE()), sw_(other.SW()) {}

CBBoundingBox& CBBoundingBox::operator=(const CBBoundingBox& other) {
    if (this != &other) {
        const CLLocationCoordinate2D ne = other.NE();
        const CLLocationCoordinate2D sw = other.SW();
        setNE(ne);
        setSW(sw);
    }
    return *this;
}

std::shared_ptr<CBBoundingBox> CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
    CLLocationCoordinate2D ne, CLLocationCoordinate2D sw) {
    return std::make_shared<CBBoundingBox>(ne, sw);
}

std::shared_ptr<CBBoundingBox> CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan(
    CLLocationCoordinate2D center, double latitudeSpan, double longitudeSpan) {
    return boundingBoxWithCoordinateNEAndSW(
        {center.latitude + latitudeSpan / 2, center.longitude + longitudeSpan / 2},
        {center.latitude - latitudeSpan / 2, center.longitude - longitudeSpan / 2});
}

std::shared_ptr<CBBoundingBox> CBBoundingBox::boundingBoxWithCenterAndSpan(
    CLLocationCoordinate2D center, double span) {
    return boundingBoxWithCoordinateNEAndSW({center.latitude + span, center.longitude + span},
                                            {center.latitude - span, center.longitude - span});
}

std::shared_ptr<CBBoundingBox>
CBBoundingBox::boundingBoxWithCenterLatitudinalDistanceSpanLongitudinalDistanceSpan(
    CLLocationCoordinate2D center, double latitudinalDistance, double longitudinalDistance) {
    return boxWithCenterAndEdgeDistances(center, latitudinalDistance * 0.5,
                                         longitudinalDistance * 0.5);
}

std::shared_ptr<CBBoundingBox>
CBBoundingBox::boundingBoxWithCenterAndLatitudinalDistanceSpanLongitudinalDistanceSpan(
    CLLocationCoordinate2D center, double latitudinalDistance, double longitudinalDistance) {
    return boxWithCenterAndEdgeDistances(center, latitudinalDistance, longitudinalDistance);
}

std::shared_ptr<CBBoundingBox> CBBoundingBox::boundingBoxWithRect(const CGRect& rect) {
    if (CGRectIsNull(rect)) {
        return nullptr;
    }
    return boundingBoxWithCoordinateNEAndSW(
        {rect.origin.y + rect.size.height, rect.origin.x + rect.size.width},
        {rect.origin.y, rect.origin.x});
}

std::shared_ptr<CBBoundingBox> CBBoundingBox::bboxFromDictionary(const Value& dictionary) {
    const Value::Dictionary* entries = dictionary.dictionaryValue();
    return entries ? bboxFromDictionary(*entries) : nullptr;
}

std::shared_ptr<CBBoundingBox> CBBoundingBox::bboxFromDictionary(
    const Value::Dictionary& dictionary) {
    auto number = [&](const char* key) -> std::optional<double> {
        auto it = dictionary.find(key);
        return it == dictionary.end() ? std::nullopt : it->second.doubleValue();
    };
    const auto neLatitude = number("NELatitude");
    const auto neLongitude = number("NELongitude");
    const auto swLatitude = number("SWLatitude");
    const auto swLongitude = number("SWLongitude");
    if (!neLatitude || !neLongitude || !swLatitude || !swLongitude) {
        return nullptr;
    }
    return boundingBoxWithCoordinateNEAndSW({*neLatitude, *neLongitude},
                                            {*swLatitude, *swLongitude});
}

std::shared_ptr<CBBoundingBox> CBBoundingBox::boundingBoxIntersectionOfBoundingBoxAndBoundingBox(
    const std::shared_ptr<CBBoundingBox>& a, const std::shared_ptr<CBBoundingBox>& b) {
    if (!a || !b) {
        return a ? a : b;
    }
    return boundingBoxWithRect(CGRectIntersection(a->rect(), b->rect()));
}

std::shared_ptr<CBBoundingBox> CBBoundingBox::significantlyWiderBBoxFrom(
    const std::shared_ptr<CBBoundingBox>& box) {
    return significantlyWiderBBoxFromWithFactor(box, kDefaultFactor);
}

std::shared_ptr<CBBoundingBox> CBBoundingBox::significantlyWiderBBoxFromWithFactor(
    const std::shared_ptr<CBBoundingBox>& box, float factor) {
    return box ? box->boundingBoxMultipliedByFactor(factor) : nullptr;
}

CLLocationCoordinate2D CBBoundingBox::NE() const {
    std::lock_guard lock(mutex_);
    return ne_;
}

CLLocationCoordinate2D CBBoundingBox::SW() const {
    std::lock_guard lock(mutex_);
    return sw_;
}

void CBBoundingBox::setNE(CLLocationCoordinate2D ne) {
    std::lock_guard lock(mutex_);
    ne_ = ne;
}

void CBBoundingBox::setSW(CLLocationCoordinate2D sw) {
    std::lock_guard lock(mutex_);
    sw_ = sw;
}

void CBBoundingBox::heal() {
    const CLLocationCoordinate2D ne = NE();
    const CLLocationCoordinate2D sw = SW();
    if (ne == kSentinelNE && sw == kSentinelSW) {
        return;
    }
    setNE({std::max(ne.latitude, sw.latitude), std::max(ne.longitude, sw.longitude)});
    setSW({std::min(ne.latitude, sw.latitude), std::min(ne.longitude, sw.longitude)});
}

bool CBBoundingBox::includesCoordinate(CLLocationCoordinate2D coordinate) const {
    const CLLocationCoordinate2D ne = NE();
    const CLLocationCoordinate2D sw = SW();
    return sw.latitude <= coordinate.latitude && coordinate.latitude <= ne.latitude &&
           sw.longitude <= coordinate.longitude && coordinate.longitude <= ne.longitude;
}

bool CBBoundingBox::includesLocation(const std::shared_ptr<CLLocation>& location) const {
    return includesCoordinate(coordinateOf(location));
}

void CBBoundingBox::growToIncludeCoordinate(CLLocationCoordinate2D coordinate) {
    CLLocationCoordinate2D ne = NE();
    CLLocationCoordinate2D sw = SW();
    // Four independent comparisons, so the crossed sentinel collapses onto
    // the first coordinate.
    if (coordinate.latitude > ne.latitude) {
        ne.latitude = coordinate.latitude;
    }
    if (coordinate.latitude < sw.latitude) {
        sw.latitude = coordinate.latitude;
    }
    if (coordinate.longitude > ne.longitude) {
        ne.longitude = coordinate.longitude;
    }
    if (coordinate.longitude < sw.longitude) {
        sw.longitude = coordinate.longitude;
    }
    setNE(ne);
    setSW(sw);
}

void CBBoundingBox::growToIncludeLocation(const std::shared_ptr<CLLocation>& location) {
    growToIncludeCoordinate(coordinateOf(location));
}

void CBBoundingBox::multiplyByFactor(double factor) {
    CLLocationCoordinate2D ne = NE();
    CLLocationCoordinate2D sw = SW();
    const double k = factor * 0.5 - 0.5;
    const double dLatitude = k * (ne.latitude - sw.latitude);
    const double dLongitude = k * (ne.longitude - sw.longitude);
    ne.latitude += dLatitude;
    ne.longitude += dLongitude;
    sw.latitude -= dLatitude;
    sw.longitude -= dLongitude;
    setNE(ne);
    setSW(sw);
}

std::shared_ptr<CBBoundingBox> CBBoundingBox::boundingBoxMultipliedByFactor(double factor) const {
    auto box = std::make_shared<CBBoundingBox>(*this);
    box->multiplyByFactor(factor);
    return box;
}

CLLocationCoordinate2D CBBoundingBox::centerCoordinate() const {
    const CLLocationCoordinate2D ne = NE();
    const CLLocationCoordinate2D sw = SW();
    return {(ne.latitude + sw.latitude) / 2, (ne.longitude + sw.longitude) / 2};
}

double CBBoundingBox::latitudeSpan() const {
    return NE().latitude - SW().latitude;
}

double CBBoundingBox::longitudeSpan() const {
    return NE().longitude - SW().longitude;
}

void CBBoundingBox::setLatitudeSpan(double span) {
    if (span == 0) {
        NSLog("latitudeSpan ==0, will not set");
        return;
    }
    const CLLocationCoordinate2D center = centerCoordinate();
    const double half = std::fabs(span) / 2;
    setNE({center.latitude + half, NE().longitude});
    setSW({center.latitude - half, SW().longitude});
}

void CBBoundingBox::setLongitudeSpan(double span) {
    if (span == 0) {
        NSLog("longitudeSpan ==0, will not set");
        return;
    }
    const CLLocationCoordinate2D center = centerCoordinate();
    const double half = std::fabs(span) / 2;
    setNE({NE().latitude, center.longitude + half});
    setSW({SW().latitude, center.longitude - half});
}

CGRect CBBoundingBox::rect() const {
    const CLLocationCoordinate2D ne = NE();
    const CLLocationCoordinate2D sw = SW();
    return CGRectStandardize(CGRectMake(sw.longitude, sw.latitude, ne.longitude - sw.longitude,
                                        ne.latitude - sw.latitude));
}

bool CBBoundingBox::intersectsBoundingBox(const std::shared_ptr<CBBoundingBox>& other) const {
    return other && CGRectIntersectsRect(rect(), other->rect());
}

Value::Dictionary CBBoundingBox::dictionary() const {
    const CLLocationCoordinate2D ne = NE();
    const CLLocationCoordinate2D sw = SW();
    return {{"NELatitude", ne.latitude},
            {"NELongitude", ne.longitude},
            {"SWLatitude", sw.latitude},
            {"SWLongitude", sw.longitude}};
}

bool CBBoundingBox::isSignificantlyDifferentFromBBox(
    const std::shared_ptr<CBBoundingBox>& reference) const {
    return isSignificantlyDifferentFromBBoxWithFactor(reference, kDefaultFactor);
}

bool CBBoundingBox::isSignificantlyDifferentFromBBoxWithFactor(
    const std::shared_ptr<CBBoundingBox>& reference, float factor) const {
    if (!reference) {
        return true;
    }
    // Single precision throughout, as the map view's rectangles have always
    // been compared; a ratio that is not a number (zero-size boxes) counts as
    // different.
    const CGRect shownRect = rect();
    const CGRect referenceRect = reference->rect();
    const float shownX = static_cast<float>(shownRect.origin.x);
    const float shownY = static_cast<float>(shownRect.origin.y);
    const float shownWidth = static_cast<float>(shownRect.size.width);
    const float shownHeight = static_cast<float>(shownRect.size.height);
    const float referenceX = static_cast<float>(referenceRect.origin.x);
    const float referenceY = static_cast<float>(referenceRect.origin.y);
    const float referenceWidth = static_cast<float>(referenceRect.size.width);
    const float referenceHeight = static_cast<float>(referenceRect.size.height);

    const float expectedRatio = 1.0f / factor;
    const double widthDeviation = std::fabs(shownWidth / referenceWidth - expectedRatio);
    const double heightDeviation = std::fabs(shownHeight / referenceHeight - expectedRatio);
    if (!(widthDeviation <= 0.1) || !(heightDeviation <= 0.1)) {
        return true;
    }

    const float dx = 0.25f * referenceWidth / factor;
    const float dy = 0.25f * referenceHeight / factor;
    const float insetX = referenceX + dx;
    const float insetY = referenceY + dy;
    const float insetWidth = referenceWidth - 2 * dx;
    const float insetHeight = referenceHeight - 2 * dy;
    if (!(insetWidth >= 0) || !(insetHeight >= 0)) {
        return true;
    }
    const bool contained = insetX <= shownX && insetY <= shownY &&
                           shownX + shownWidth <= insetX + insetWidth &&
                           shownY + shownHeight <= insetY + insetHeight;
    return !contained;
}

std::string CBBoundingBox::osmLink() const {
    const CLLocationCoordinate2D ne = NE();
    const CLLocationCoordinate2D sw = SW();
    return formatted(
        "https://www.openstreetmap.org/?minlon=%f&minlat=%f&maxlon=%f&maxlat=%f&box=yes",
        sw.longitude, sw.latitude, ne.longitude, ne.latitude);
}

std::string CBBoundingBox::description() const {
    const CLLocationCoordinate2D ne = NE();
    const CLLocationCoordinate2D sw = SW();
    const CLLocationCoordinate2D center = centerCoordinate();
    return formatted(
        "CBBoundingBox:\rNE.lat, lon: %f, %f\rSW.lat, lon: %f, %f\rcenter: %f, %f\rlatSpan: "
        "%f,\rlonSpan: %f",
        ne.latitude, ne.longitude, sw.latitude, sw.longitude, center.latitude, center.longitude,
        ne.latitude - sw.latitude, ne.longitude - sw.longitude);
}

bool CBBoundingBox::operator==(const CBBoundingBox& other) const {
    return NE() == other.NE() && SW() == other.SW();
}
