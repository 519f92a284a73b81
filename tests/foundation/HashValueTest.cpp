#include "foundation/HashValue.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/NSString+HashValue.h"

namespace {

Value::Data bytes(const std::string& text) {
    return Value::Data(text.begin(), text.end());
}

}  // namespace

TEST(HashValue, DigestsOfKnownInputs) {
    EXPECT_EQ(HashValue::md5HashWithData({}).description(), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(HashValue::md5HashWithData(bytes("abc")).description(),
              "900150983cd24fb0d6963f7d28e17f72");
    const HashValue sha = HashValue::sha256HashWithBytes("abc", 3);
    EXPECT_EQ(sha.type(), HashValueTypeSHA256);
    EXPECT_EQ(sha.description(),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // The buffer beyond the digest stays zero.
    for (size_t i = 32; i < HashValue::kBufferLength; ++i) {
        EXPECT_EQ(sha.value()[i], 0) << i;
    }
    EXPECT_EQ(sha.hash(), 0xbf1678bau);
}

TEST(HashValue, Sha256StringIsLowerCaseHexOfTheUTF8Bytes) {
    EXPECT_EQ(sha256String(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256String("\xc3\xa4"),
              "33e6d73fee82904c8d7afb78de1154d1e8dc2a0edb08120e63df5b9385c2d9cc");
}

TEST(HashValue, BufferConstructorCopiesTheDigestLengthOfItsType) {
    Value::Data full(HashValue::kBufferLength, 0xab);
    const HashValue md5(full, HashValueTypeMD5);
    EXPECT_EQ(md5.value()[15], 0xab);
    EXPECT_EQ(md5.value()[16], 0);
    std::string expected;
    for (int i = 0; i < 16; ++i) {
        expected += "ab";
    }
    EXPECT_EQ(md5.description(), expected);

    const HashValue sha(full, HashValueTypeSHA256);
    EXPECT_EQ(sha.value()[31], 0xab);
    EXPECT_EQ(sha.value()[32], 0);

    const HashValue unknown(full, 7);
    EXPECT_EQ(unknown.type(), 7);
    EXPECT_EQ(unknown.description(), "");
    EXPECT_EQ(unknown.hash(), 0u);

    // A short buffer is copied as far as it goes.
    const HashValue shortBuffer(Value::Data{1, 2, 3}, HashValueTypeSHA256);
    EXPECT_EQ(shortBuffer.value()[2], 3);
    EXPECT_EQ(shortBuffer.value()[3], 0);
}

TEST(HashValue, EqualityNeedsTypeAndBytes) {
    const Value::Data digest(16, 0x11);
    const HashValue md5(digest, HashValueTypeMD5);
    const HashValue sha(digest, HashValueTypeSHA256);
    EXPECT_FALSE(md5.isEqual(sha));
    EXPECT_EQ(md5, HashValue(digest, HashValueTypeMD5));
    EXPECT_NE(md5, HashValue::md5HashWithData(digest));
    const HashValue copy = sha;
    EXPECT_EQ(copy, sha);
    EXPECT_EQ(copy.hash(), sha.hash());
}

TEST(HashValue, KeyedCoding) {
    const HashValue sha = HashValue::sha256HashWithData(bytes("kelvara"));
    const Value::Dictionary coded = sha.encode();
    ASSERT_NE(coded.at("value").dataValue(), nullptr);
    EXPECT_EQ(coded.at("value").dataValue()->size(), 48u);
    EXPECT_EQ(coded.at("type").integerValue(), 1);
    const auto decoded = HashValue::decode(coded);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, sha);
    Value::Dictionary coder{{"other", Value(1)}};
    sha.encodeWithCoder(coder);
    EXPECT_EQ(coder.size(), 3u);
    EXPECT_EQ(coder.at("value"), coded.at("value"));
    EXPECT_EQ(coder.at("type"), coded.at("type"));

    Value longer = coded;
    Value::Data oversized(60, 0x5a);
    longer["value"] = oversized;
    const auto clipped = HashValue::decode(longer);
    ASSERT_TRUE(clipped);
    EXPECT_EQ(clipped->value()[47], 0x5a);

    Value shorter = coded;
    shorter["value"] = Value::Data{9, 8};
    const auto padded = HashValue::decode(shorter);
    ASSERT_TRUE(padded);
    EXPECT_EQ(padded->value()[1], 8);
    EXPECT_EQ(padded->value()[2], 0);

    Value wrongKind = coded;
    wrongKind["value"] = "not data";
    EXPECT_FALSE(HashValue::decode(wrongKind));
    Value outOfRange = coded;
    outOfRange["type"] = int64_t{1} << 40;
    EXPECT_FALSE(HashValue::decode(outOfRange));
    EXPECT_FALSE(HashValue::decode(Value::Dictionary{{"type", 1}}));
    EXPECT_FALSE(HashValue::decode(Value("text")));
}
