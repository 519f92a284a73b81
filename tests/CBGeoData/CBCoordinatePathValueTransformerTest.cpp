#include "CBGeoData/CBCoordinatePathValueTransformer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "CBGeoData/LogCapture.h"

namespace {

Value::Data words(std::initializer_list<int64_t> values) {
    Value::Data data;
    for (const int64_t value : values) {
        const auto bits = static_cast<uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            data.push_back(static_cast<uint8_t>(bits >> shift));
        }
    }
    return data;
}

std::shared_ptr<CBCoordinatePath> segments(
    const std::vector<std::vector<CLLocationCoordinate2D>>& runs) {
    auto path = std::make_shared<CBCoordinatePath>(runs.size());
    for (size_t segment = 0; segment < runs.size(); ++segment) {
        path->setupPathForSegmentWithNumberOfCoordinates(segment, runs[segment].size());
        for (size_t index = 0; index < runs[segment].size(); ++index) {
            path->setCoordinateAtIndexOfSegment(runs[segment][index], index, segment);
        }
    }
    return path;
}

Value::Data encode(const std::shared_ptr<CBCoordinatePath>& path) {
    return CBCoordinatePathValueTransformer::dataFromPath(*path);
}

std::shared_ptr<CBCoordinatePath> decode(const Value::Data& data) {
    return CBCoordinatePathValueTransformer::pathFromData(data);
}

}  // namespace

TEST(CBCoordinatePathValueTransformer, OneSegmentHasNoHeader) {
    auto path = segments({{{1.5, 2.25}, {-1.5, -2.25}}});
    const Value::Data data = encode(path);
    EXPECT_EQ(data, words({15000000, 22500000, -15000000, -22500000}));
    EXPECT_EQ(data[0], 0xc0);  // little-endian: 15000000 = 0x00e4e1c0
    EXPECT_EQ(data[3], 0x00);

    auto back = decode(data);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(*back, *path);
}

TEST(CBCoordinatePathValueTransformer, SeveralSegmentsAreCounted) {
    auto path = segments({{{1, 2}}, {{3, 4}, {-5, -6}}});
    const Value::Data data = encode(path);
    EXPECT_EQ(data, words({2000000002, 1, 10000000, 20000000, 2, 30000000, 40000000, -50000000,
                           -60000000}));
    auto back = decode(data);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(*back, *path);

    auto withEmptySegment = segments({{}, {{3, 4}}, {}});
    EXPECT_EQ(encode(withEmptySegment), words({2000000003, 0, 1, 30000000, 40000000, 0}));
    EXPECT_EQ(*decode(encode(withEmptySegment)), *withEmptySegment);
}

TEST(CBCoordinatePathValueTransformer, WordsRoundHalvesAwayFromZero) {
    EXPECT_EQ(encode(segments({{{0.00000005, -0.00000005}}})), words({1, -1}));
    EXPECT_EQ(encode(segments({{{0.00000004, -0.00000004}}})), words({0, 0}));
    EXPECT_EQ(encode(segments({{{90, 180}, {-90, -180}}})),
              words({900000000, 1800000000, -900000000, -1800000000}));
    auto back = decode(words({123456789, -1}));
    EXPECT_DOUBLE_EQ(back->coordinateAtIndex(0).latitude, 12.3456789);
    EXPECT_DOUBLE_EQ(back->coordinateAtIndex(0).longitude, -0.0000001);
}

TEST(CBCoordinatePathValueTransformer, EmptyPaths) {
    EXPECT_TRUE(encode(std::make_shared<CBCoordinatePath>(0)).empty());
    EXPECT_TRUE(encode(CBCoordinatePath::createWithNumberOfCoordinates(0)).empty());
    for (const Value::Data& data : {Value::Data{}, Value::Data{1, 2, 3}}) {
        auto path = decode(data);
        ASSERT_NE(path, nullptr);
        EXPECT_EQ(path->segmentCount(), 1u);
        EXPECT_EQ(path->count(), 0u);
    }
}

TEST(CBCoordinatePathValueTransformer, OneSegmentReadsWholePairsOnly) {
    Value::Data data = words({10000000, 20000000});
    data.insert(data.end(), {1, 2, 3, 4, 5});
    auto path = decode(data);
    ASSERT_NE(path, nullptr);
    ASSERT_EQ(path->count(), 1u);
    EXPECT_EQ(path->coordinateAtIndex(0), (CLLocationCoordinate2D{1, 2}));
    // Latitude words never reach the header range, but negative ones are plain coordinates.
    EXPECT_EQ(decode(words({-2100000000, 0}))->count(), 1u);
    EXPECT_EQ(decode(words({2000000000, 0}))->count(), 1u);
}

TEST(CBCoordinatePathValueTransformer, CountsRunningPastTheEndAreRefused) {
    LogCapture log;
    EXPECT_EQ(decode(words({2000000002, 1, 10000000})), nullptr);
    EXPECT_EQ(decode(words({2000000002, 1, 10000000, 20000000})), nullptr);
    EXPECT_EQ(decode(words({2000000002, 1, 10000000, 20000000, 2, 1, 2, 3})), nullptr);
    EXPECT_EQ(decode(words({2000000002, -1, 0})), nullptr);
    EXPECT_EQ(decode(words({2000000002, 0x7fffffff, 0})), nullptr);
    // The largest segment count must not size anything before it is checked.
    EXPECT_EQ(decode(words({0x7fffffff, 0, 0})), nullptr);
    Value::Data partialWord = words({2000000002, 0});
    partialWord.insert(partialWord.end(), {0, 0});
    EXPECT_EQ(decode(partialWord), nullptr);
    EXPECT_EQ(log.lines().size(), 7u);
    EXPECT_TRUE(log.contains("CBCoordinatePathValueTransformer"));

    // Bytes after the last counted segment are not read.
    auto trailing = decode(words({2000000002, 0, 1, 10000000, 20000000, 99}));
    ASSERT_NE(trailing, nullptr);
    EXPECT_EQ(trailing->numberOfCoordinatesAtSegment(1), 1u);
}

TEST(CBCoordinatePathValueTransformer, InvalidCoordinatesAreKeptWithAWarning) {
    LogCapture log;
    auto path = segments({{{10, 190}}});
    EXPECT_EQ(encode(path), words({100000000, 1900000000}));
    EXPECT_TRUE(
        log.contains("WARNING: invalid coordinate in path with lat, lon: 10.000000, "
                     "190.000000"));

    // A latitude beyond 200 degrees would look like a header; it is written
    // counted so that it reads back the same.
    auto far = segments({{{210, 0}, {1, 1}}});
    const Value::Data data = encode(far);
    EXPECT_EQ(data, words({2000000001, 2, 2100000000, 0, 10000000, 10000000}));
    EXPECT_EQ(*decode(data), *far);

    // Beyond the word's range the value saturates instead of wrapping.
    EXPECT_EQ(encode(segments({{{-1e12, std::nan("")}}})),
              words({std::numeric_limits<int32_t>::min(), 0}));
}

TEST(CBCoordinatePathValueTransformer, TransformsThroughTheRegistry) {
    CBCoordinatePathValueTransformer::registerTransformer();
    auto transformer = NSValueTransformer::valueTransformerForName("CBCoordinatePathTransformer");
    ASSERT_NE(transformer, nullptr);
    EXPECT_TRUE(transformer->allowsReverseTransformation());

    auto path = segments({{{1, 2}}, {{3, 4}}});
    const std::any stored = transformer->transformedValue(path);
    const auto* data = std::any_cast<Value::Data>(&stored);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(*data, encode(path));

    const std::any loaded = transformer->reverseTransformedValue(*data);
    const auto* back = std::any_cast<std::shared_ptr<CBCoordinatePath>>(&loaded);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(**back, *path);

    const std::any fromValue = transformer->reverseTransformedValue(Value(*data));
    EXPECT_NE(std::any_cast<std::shared_ptr<CBCoordinatePath>>(&fromValue), nullptr);

    LogCapture log;
    EXPECT_FALSE(transformer->transformedValue(std::shared_ptr<CBCoordinatePath>()).has_value());
    EXPECT_FALSE(transformer->transformedValue(std::any()).has_value());
    EXPECT_FALSE(transformer->transformedValue(42).has_value());
    EXPECT_FALSE(transformer->reverseTransformedValue(Value("text")).has_value());
    EXPECT_FALSE(transformer->reverseTransformedValue(words({2000000002})).has_value());
    EXPECT_EQ(log.lines().size(), 3u);
}
