#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "CoreGraphics/CGGeometry.h"
#include "CoreLocation/CLLocation.h"
#include "CoreLocation/CLLocationCoordinate2D.h"
#include "Foundation/Value.h"

// A geographic rectangle: the north-east corner holds the maxima, the
// south-west corner the minima, both in degrees. Longitudes are plain numbers
// (no antimeridian handling, no clamping).
//
// Boxes are objects held in std::shared_ptr (an intersection with nil hands out
// the other box itself). The corners are read and written whole under a lock;
// the other operations assume a box being changed belongs to one thread.
class CBBoundingBox {
  public:
    // The empty sentinel NE = (-90, -180), SW = (90, 180): the corners are
    // crossed so the first growToIncludeCoordinate sets both to that point.
    CBBoundingBox();
    // initWithCoordinateNE:andSW: the corners in any order, healed.
    CBBoundingBox(CLLocationCoordinate2D ne, CLLocationCoordinate2D sw);
    CBBoundingBox(const CBBoundingBox& other);
    CBBoundingBox& operator=(const CBBoundingBox& other);

    static std::shared_ptr<CBBoundingBox> boundingBoxWithCoordinateNEAndSW(
        CLLocationCoordinate2D ne, CLLocationCoordinate2D sw);
    // Full spans in degrees around the centre.
    static std::shared_ptr<CBBoundingBox> boundingBoxWithCenterLatitudeSpanLongitudeSpan(
        CLLocationCoordinate2D center, double latitudeSpan, double longitudeSpan);
    // Full spans in metres around the centre, on a sphere.
    static std::shared_ptr<CBBoundingBox>
    boundingBoxWithCenterLatitudinalDistanceSpanLongitudinalDistanceSpan(
        CLLocationCoordinate2D center, double latitudinalDistance, double longitudinalDistance);
    // nullptr for the null rectangle.
    static std::shared_ptr<CBBoundingBox> boundingBoxWithRect(const CGRect& rect);
    // nullptr unless the dictionary holds all four keys of `dictionary()` as numbers.
    static std::shared_ptr<CBBoundingBox> bboxFromDictionary(const Value& dictionary);
    static std::shared_ptr<CBBoundingBox> bboxFromDictionary(const Value::Dictionary& dictionary);
    // Both nil: nullptr; one nil: the other box itself; disjoint: nullptr.
    static std::shared_ptr<CBBoundingBox> boundingBoxIntersectionOfBoundingBoxAndBoundingBox(
        const std::shared_ptr<CBBoundingBox>& a, const std::shared_ptr<CBBoundingBox>& b);
    // The box with both spans multiplied by the factor (3 by default); nullptr for nil.
    static std::shared_ptr<CBBoundingBox> significantlyWiderBBoxFrom(
        const std::shared_ptr<CBBoundingBox>& box);
    static std::shared_ptr<CBBoundingBox> significantlyWiderBBoxFromWithFactor(
        const std::shared_ptr<CBBoundingBox>& box, float factor);

    // Older constructors that take their spans as centre-to-edge sizes.
    static std::shared_ptr<CBBoundingBox> boundingBoxWithCenterAndSpan(
        CLLocationCoordinate2D center, double span);
    static std::shared_ptr<CBBoundingBox>
    boundingBoxWithCenterAndLatitudinalDistanceSpanLongitudinalDistanceSpan(
        CLLocationCoordinate2D center, double latitudinalDistance, double longitudinalDistance);

    CLLocationCoordinate2D NE() const;
    CLLocationCoordinate2D SW() const;
    void setNE(CLLocationCoordinate2D ne);
    void setSW(CLLocationCoordinate2D sw);

    // Orders the corners, except on the exact empty sentinel.
    void heal();
    // Edges included.
    bool includesCoordinate(CLLocationCoordinate2D coordinate) const;
    // A nil location counts as (0, 0).
    bool includesLocation(const std::shared_ptr<CLLocation>& location) const;
    void growToIncludeCoordinate(CLLocationCoordinate2D coordinate);
    void growToIncludeLocation(const std::shared_ptr<CLLocation>& location);
    // Both spans become factor times as large around the same centre.
    void multiplyByFactor(double factor);
    std::shared_ptr<CBBoundingBox> boundingBoxMultipliedByFactor(double factor) const;

    CLLocationCoordinate2D centerCoordinate() const;
    double latitudeSpan() const;
    double longitudeSpan() const;
    // Keeps the centre; a zero span is refused with a log line.
    void setLatitudeSpan(double span);
    void setLongitudeSpan(double span);

    // x = SW longitude, y = SW latitude, standardised.
    CGRect rect() const;
    bool intersectsBoundingBox(const std::shared_ptr<CBBoundingBox>& other) const;
    // Doubles under "NELatitude", "NELongitude", "SWLatitude", "SWLongitude".
    Value::Dictionary dictionary() const;

    // Whether the shown box (this) has zoomed or moved enough against the
    // wider reference box made from an earlier shown box with the same factor.
    bool isSignificantlyDifferentFromBBox(const std::shared_ptr<CBBoundingBox>& reference) const;
    bool isSignificantlyDifferentFromBBoxWithFactor(const std::shared_ptr<CBBoundingBox>& reference,
                                                    float factor) const;

    std::string osmLink() const;
    std::string description() const;

    bool operator==(const CBBoundingBox& other) const;

  private:
    mutable std::mutex mutex_;
    CLLocationCoordinate2D ne_;
    CLLocationCoordinate2D sw_;
};
