#include "sdk/NSData+BITGZIP.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

namespace {

Value::Data bytesOf(const std::string& text) {
    return Value::Data(text.begin(), text.end());
}

Value::Data randomBytes(size_t count) {
    std::mt19937 random(7);
    Value::Data data(count);
    for (auto& byte : data)
        byte = static_cast<uint8_t>(random());
    return data;
}

TEST(NSDataBITGZIPTest, EmptyInputGivesNothing) {
    EXPECT_FALSE(bit_gzippedData({}));
    EXPECT_FALSE(bit_gunzippedData({}));
}

TEST(NSDataBITGZIPTest, GzipMemberRoundTrips) {
    // Larger than one output chunk, and incompressible, so the buffer must grow.
    for (const Value::Data& input : {bytesOf("{\"ver\":1}\n"), randomBytes(100000)}) {
        const auto gzipped = bit_gzippedData(input);
        ASSERT_TRUE(gzipped);
        ASSERT_GE(gzipped->size(), 18u);
        EXPECT_EQ((*gzipped)[0], 0x1f);
        EXPECT_EQ((*gzipped)[1], 0x8b);
        EXPECT_EQ(bit_gunzippedData(*gzipped), input);
    }
}

TEST(NSDataBITGZIPTest, LevelsMapOntoZlibLevels) {
    const Value::Data input(50000, 'a');
    const auto stored = bit_gzippedDataWithCompressionLevel(input, 0.0f);
    const auto best = bit_gzippedDataWithCompressionLevel(input, 1.0f);
    ASSERT_TRUE(stored && best);
    EXPECT_GT(stored->size(), input.size());  // level 0 stores
    EXPECT_LT(best->size(), input.size() / 20);
    EXPECT_EQ(bit_gunzippedData(*stored), input);
}

TEST(NSDataBITGZIPTest, ZlibDataAlsoInflates) {
    const Value::Data input = bytesOf("zlib wrapped text");
    uLongf length = compressBound(input.size());
    Value::Data wrapped(length);
    ASSERT_EQ(compress(wrapped.data(), &length, input.data(), input.size()), Z_OK);
    wrapped.resize(length);
    EXPECT_EQ(bit_gunzippedData(wrapped), input);
}

TEST(NSDataBITGZIPTest, DamagedStreamsGiveNothing) {
    const auto gzipped = bit_gzippedData(randomBytes(5000));
    ASSERT_TRUE(gzipped);
    const Value::Data truncated(gzipped->begin(), gzipped->begin() + gzipped->size() / 2);
    EXPECT_FALSE(bit_gunzippedData(truncated));
    EXPECT_FALSE(bit_gunzippedData(bytesOf("not compressed at all")));
    Value::Data corrupt = *gzipped;
    corrupt[corrupt.size() - 5] ^= 0xff;  // the CRC no longer matches
    EXPECT_FALSE(bit_gunzippedData(corrupt));
}

TEST(NSDataBITGZIPTest, OutputIsBounded) {
    const auto bomb = bit_gzippedData(Value::Data(1 << 20, 0));
    ASSERT_TRUE(bomb);
    EXPECT_FALSE(bit_gunzippedData(*bomb, 4096));
}

}  // namespace
