#include "CBGeoData/CBCoordinatePathValueTransformer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "Foundation/NSLog.h"

namespace {

constexpr int32_t kHeaderBase = 2000000000;
constexpr double kScale = 1e7;

void appendWord(Value::Data& data, int32_t word) {
    const auto bits = static_cast<uint32_t>(word);
    for (int shift = 0; shift < 32; shift += 8) {
        data.push_back(static_cast<uint8_t>(bits >> shift));
    }
}

int32_t readWord(const Value::Data& data, size_t offset) {
    uint32_t bits = 0;
    for (int byte = 3; byte >= 0; --byte) {
        bits = (bits << 8) | data[offset + static_cast<size_t>(byte)];
    }
    return static_cast<int32_t>(bits);
}

// Degrees times 10^7, halves away from zero. Invalid coordinates are stored
// as they are, but a value beyond the word's range saturates instead of
// wrapping (and NaN becomes 0).
int32_t coordinateWord(double degrees) {
    const double scaled = std::round(degrees * kScale);
    if (std::isnan(scaled)) {
        return 0;
    }
    return static_cast<int32_t>(std::clamp(scaled, double{std::numeric_limits<int32_t>::min()},
                                           double{std::numeric_limits<int32_t>::max()}));
}

void appendCoordinate(Value::Data& data, CLLocationCoordinate2D coordinate) {
    if (!(std::fabs(coordinate.latitude) <= 90) ||
        !(std::fabs(static_cast<float>(coordinate.longitude)) <= 180)) {
        NSLog("WARNING: invalid coordinate in path with lat, lon: %f, %f", coordinate.latitude,
              coordinate.longitude);
    }
    appendWord(data, coordinateWord(coordinate.latitude));
    appendWord(data, coordinateWord(coordinate.longitude));
}

std::shared_ptr<CBCoordinatePath> readOneSegment(const Value::Data& data) {
    const size_t count = data.size() / 8;
    auto path = std::make_shared<CBCoordinatePath>(1);
    path->setupPathForSegmentWithNumberOfCoordinates(0, count);
    for (size_t index = 0; index < count; ++index) {
        path->setCoordinateAtIndexOfSegment(
            {readWord(data, index * 8) / kScale, readWord(data, index * 8 + 4) / kScale}, index, 0);
    }
    return path;
}

// Every count is checked against the bytes left before anything is sized by
// it, so a hostile header cannot make us allocate more than the blob implies.
// Bytes after the last segment are ignored.
std::shared_ptr<CBCoordinatePath> readSegments(const Value::Data& data, int64_t segments) {
    if (segments > static_cast<int64_t>((data.size() - 4) / 4)) {
        NSLogWithLevel(NSLogLevel::Error,
                       "CBCoordinatePathValueTransformer: %lld segments cannot fit in %zu bytes",
                       static_cast<long long>(segments), data.size());
        return nullptr;
    }
    auto path = std::make_shared<CBCoordinatePath>(static_cast<size_t>(segments));
    size_t offset = 4;
    for (size_t segment = 0; segment < static_cast<size_t>(segments); ++segment) {
        const int64_t count = data.size() - offset >= 4 ? readWord(data, offset) : -1;
        offset += 4;
        if (count < 0 || static_cast<uint64_t>(count) > (data.size() - offset) / 8) {
            NSLogWithLevel(NSLogLevel::Error,
                           "CBCoordinatePathValueTransformer: segment %zu of %lld runs past the "
                           "end of %zu bytes",
                           segment, static_cast<long long>(segments), data.size());
            return nullptr;
        }
        path->setupPathForSegmentWithNumberOfCoordinates(segment, static_cast<size_t>(count));
        for (size_t index = 0; index < static_cast<size_t>(count); ++index) {
            path->setCoordinateAtIndexOfSegment(
                {readWord(data, offset) / kScale, readWord(data, offset + 4) / kScale}, index,
                segment);
            offset += 8;
        }
    }
    return path;
}

}  // namespace

void CBCoordinatePathValueTransformer::registerTransformer() {
    setValueTransformerForName(std::make_shared<CBCoordinatePathValueTransformer>(),
                               defaultTransformerName());
}

std::any CBCoordinatePathValueTransformer::transformedValue(const std::any& value) const {
    std::shared_ptr<const CBCoordinatePath> path;
    if (const auto* mutablePath = std::any_cast<std::shared_ptr<CBCoordinatePath>>(&value)) {
        path = *mutablePath;
    } else if (const auto* constPath =
                   std::any_cast<std::shared_ptr<const CBCoordinatePath>>(&value)) {
        path = *constPath;
    } else if (value.has_value()) {
        NSLogWithLevel(NSLogLevel::Error,
                       "CBCoordinatePathValueTransformer: cannot store a value of type %s",
                       value.type().name());
    }
    if (!path) {
        return {};
    }
    return dataFromPath(*path);
}

std::any CBCoordinatePathValueTransformer::reverseTransformedValue(const std::any& value) const {
    const Value::Data* data = std::any_cast<Value::Data>(&value);
    if (const auto* stored = std::any_cast<Value>(&value)) {
        data = stored->dataValue();
    }
    if (!data) {
        if (value.has_value()) {
            NSLogWithLevel(NSLogLevel::Error,
                           "CBCoordinatePathValueTransformer: cannot read a path from a value of "
                           "type %s",
                           value.type().name());
        }
        return {};
    }
    auto path = pathFromData(*data);
    if (!path) {
        return {};
    }
    return path;
}

Value::Data CBCoordinatePathValueTransformer::dataFromPath(const CBCoordinatePath& path) {
    const size_t segments = path.segmentCount();
    Value::Data data;
    // A one-segment path whose first latitude is beyond 200 degrees would read
    // back as a header; it is written in the counted form with one segment.
    const bool counted =
        segments >= 2 || (segments == 1 && path.count() > 0 &&
                          coordinateWord(path.coordinateAtIndex(0).latitude) > kHeaderBase);
    if (counted) {
        appendWord(data, kHeaderBase + static_cast<int32_t>(segments));
    }
    for (size_t segment = 0; segment < segments; ++segment) {
        const size_t count = path.numberOfCoordinatesAtSegment(segment);
        if (counted) {
            appendWord(data, static_cast<int32_t>(count));
        }
        for (size_t index = 0; index < count; ++index) {
            appendCoordinate(data, path.coordinateAtIndexOfSegment(index, segment));
        }
    }
    return data;
}

std::shared_ptr<CBCoordinatePath> CBCoordinatePathValueTransformer::pathFromData(
    const Value::Data& data) {
    if (data.size() < 4) {
        return std::make_shared<CBCoordinatePath>(1);
    }
    const int32_t first = readWord(data, 0);
    if (first > kHeaderBase) {
        return readSegments(data, int64_t{first} - kHeaderBase);
    }
    return readOneSegment(data);
}
