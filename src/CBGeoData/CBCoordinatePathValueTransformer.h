#pragma once

#include <any>
#include <memory>
#include <string>

#include "CBGeoData/CBCoordinatePath.h"
#include "Foundation/NSValueTransformer.h"
#include "Foundation/Value.h"

// Stores coordinate paths in the geo database as blobs of little-endian signed
// 32-bit words, each coordinate as latitude then longitude in degrees times
// 10^7 (rounded half away from zero):
//   no segments or an empty segment   no bytes
//   one segment of n coordinates      n pairs, no header
//   s >= 2 segments                   2000000000 + s, then per segment its
//                                     coordinate count and its pairs
// A first word above 2000000000 is a header (a latitude word never gets there).
//
// Forward: std::any holding std::shared_ptr<CBCoordinatePath> -> Value::Data.
// Reverse: Value::Data (or a Value holding data) -> std::shared_ptr<CBCoordinatePath>;
// a blob whose counts run past its end gives nil (an empty std::any).
class CBCoordinatePathValueTransformer : public NSValueTransformer {
  public:
    static std::string defaultTransformerName() { return "CBCoordinatePathTransformer"; }
    // Registers an instance under defaultTransformerName(); the application does
    // this at launch, before any geo store is opened.
    static void registerTransformer();

    std::any transformedValue(const std::any& value) const override;
    std::any reverseTransformedValue(const std::any& value) const override;

    static Value::Data dataFromPath(const CBCoordinatePath& path);
    // nullptr for a blob whose counts do not fit its length.
    static std::shared_ptr<CBCoordinatePath> pathFromData(const Value::Data& data);
};
