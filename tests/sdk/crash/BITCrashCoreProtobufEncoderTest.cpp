#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CrashTestSupport.h"
#include "sdk/crash/BITCrashCoreFileWriter.h"
#include "sdk/crash/BITCrashCoreProtobufEncoder.h"

namespace {

using T = BITCrashCoreProtobufType;

// Encodes through a real file writer and returns the bytes written.
template <typename Body>
std::vector<uint8_t> encode(Body body) {
    std::string path = CrashTestSupport::temporaryPath("encode.bin");
    BITCrashCoreFileWriter writer;
    writer.initWithDescriptor(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644), 0);
    body(&writer);
    EXPECT_TRUE(writer.close());
    return CrashTestSupport::readFile(path);
}

TEST(BITCrashCoreProtobufEncoder, VarintsAndKeys) {
    uint64_t value = 300;
    auto bytes = encode([&](BITCrashCoreFileWriter* w) {
        EXPECT_EQ(BITCrashCoreProtobufWriteField(w, 2, T::UInt64, &value), 3u);
    });
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x10, 0xac, 0x02}));
    EXPECT_EQ(BITCrashCoreProtobufWriteField(nullptr, 2, T::UInt64, &value), 3u);
}

TEST(BITCrashCoreProtobufEncoder, NegativeInt32TakesTenBytesUnlikeUInt32) {
    int32_t negative = -1;
    uint32_t sameBits = 0xffffffff;
    EXPECT_EQ(BITCrashCoreProtobufWriteField(nullptr, 1, T::Int32, &negative), 11u);
    EXPECT_EQ(BITCrashCoreProtobufWriteField(nullptr, 1, T::UInt32, &sameBits), 6u);
}

TEST(BITCrashCoreProtobufEncoder, ZigZagStringsBytesAndWireTypes) {
    int32_t small = -1;
    int64_t big = -2;
    bool yes = true;
    double real = 1.5;
    float single = 2.5f;
    const char* text = "abc";
    const uint8_t raw[2] = {0x00, 0xff};
    BITCrashCoreProtobufBytes data = {raw, 2};
    uint32_t length = 7;
    auto bytes = encode([&](BITCrashCoreFileWriter* w) {
        BITCrashCoreProtobufWriteField(w, 1, T::SInt32, &small);
        BITCrashCoreProtobufWriteField(w, 1, T::SInt64, &big);
        BITCrashCoreProtobufWriteField(w, 1, T::Bool, &yes);
        BITCrashCoreProtobufWriteField(w, 1, T::Double, &real);
        BITCrashCoreProtobufWriteField(w, 1, T::Float, &single);
        BITCrashCoreProtobufWriteField(w, 1, T::String, text);
        BITCrashCoreProtobufWriteField(w, 1, T::Bytes, &data);
        BITCrashCoreProtobufWriteField(w, 1, T::Message, &length);
    });
    std::vector<uint8_t> expected = {0x08, 0x01, 0x08, 0x03, 0x08, 0x01, 0x09};
    uint8_t realBytes[8];
    memcpy(realBytes, &real, 8);
    expected.insert(expected.end(), realBytes, realBytes + 8);
    expected.push_back(0x0d);
    uint8_t singleBytes[4];
    memcpy(singleBytes, &single, 4);
    expected.insert(expected.end(), singleBytes, singleBytes + 4);
    for (uint8_t b :
         std::vector<uint8_t>{0x0a, 0x03, 'a', 'b', 'c', 0x0a, 0x02, 0x00, 0xff, 0x0a, 0x07}) {
        expected.push_back(b);
    }
    EXPECT_EQ(bytes, expected);
}

}  // namespace
