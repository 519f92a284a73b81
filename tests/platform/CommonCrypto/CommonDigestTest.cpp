#include "CommonCrypto/CommonDigest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string hex(const unsigned char* md, int length) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < length; ++i) {
        out += digits[md[i] >> 4];
        out += digits[md[i] & 0xF];
    }
    return out;
}

const std::string kAbc = "abc";
const std::string k448Bits = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";

std::string md5(const std::string& s) {
    unsigned char md[CC_MD5_DIGEST_LENGTH];
    EXPECT_EQ(CC_MD5(s.data(), static_cast<CC_LONG>(s.size()), md), md);
    return hex(md, CC_MD5_DIGEST_LENGTH);
}

std::string sha1(const std::string& s) {
    unsigned char md[CC_SHA1_DIGEST_LENGTH];
    EXPECT_EQ(CC_SHA1(s.data(), static_cast<CC_LONG>(s.size()), md), md);
    return hex(md, CC_SHA1_DIGEST_LENGTH);
}

std::string sha256(const std::string& s) {
    unsigned char md[CC_SHA256_DIGEST_LENGTH];
    EXPECT_EQ(CC_SHA256(s.data(), static_cast<CC_LONG>(s.size()), md), md);
    return hex(md, CC_SHA256_DIGEST_LENGTH);
}

}  // namespace

TEST(CommonDigestTest, MD5StandardVectors) {
    EXPECT_EQ(md5(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5(kAbc), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5(k448Bits), "8215ef0796a20bcaaae116d3876c664a");
}

TEST(CommonDigestTest, SHA1StandardVectors) {
    EXPECT_EQ(sha1(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(sha1(kAbc), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(sha1(k448Bits), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
}

TEST(CommonDigestTest, SHA256StandardVectors) {
    EXPECT_EQ(sha256(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256(kAbc), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256(k448Bits), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(sha256(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(CommonDigestTest, EmptyInputMayBeNull) {
    unsigned char md[CC_SHA256_DIGEST_LENGTH];
    CC_SHA256(nullptr, 0, md);
    EXPECT_EQ(hex(md, CC_SHA256_DIGEST_LENGTH),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

namespace {

TEST(CommonDigestTest, MD5InPiecesEqualsTheOneShotDigest) {
    CC_MD5_CTX context;
    ASSERT_EQ(CC_MD5_Init(&context), 1);
    for (size_t i = 0; i < k448Bits.size(); i += 7) {
        const std::string piece = k448Bits.substr(i, 7);
        ASSERT_EQ(CC_MD5_Update(&context, piece.data(), static_cast<CC_LONG>(piece.size())), 1);
    }
    unsigned char md[CC_MD5_DIGEST_LENGTH];
    ASSERT_EQ(CC_MD5_Final(md, &context), 1);
    EXPECT_EQ(hex(md, CC_MD5_DIGEST_LENGTH), md5(k448Bits));
    EXPECT_EQ(context.context, nullptr);
}

}  // namespace
