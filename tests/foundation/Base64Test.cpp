#include <gtest/gtest.h>

#include <string>

#include "foundation/NSData+Base64.h"
#include "foundation/NSString+Base64.h"

namespace {

Value::Data bytes(const std::string& text) {
    return Value::Data(text.begin(), text.end());
}

}  // namespace

TEST(Base64, RFC4648Vectors) {
    const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(base64EncodedString(bytes(plain)), encoded);
        EXPECT_EQ(dataFromBase64String(encoded), bytes(plain)) << encoded;
        EXPECT_EQ(base64EncodedString(std::string(plain)), encoded);
        EXPECT_EQ(stringFromBase64String(encoded), plain);
    }
}

TEST(Base64, LinesBreakAfterFortyEightBytesWhenMoreFollows) {
    const std::string line48 = base64EncodedString(Value::Data(48, 0xff));
    EXPECT_EQ(line48, std::string(64, '/'));

    const std::string text49 = base64EncodedString(Value::Data(49, 0xff));
    EXPECT_EQ(text49, std::string(64, '/') + "\r\n/w==");

    const std::string text96 = base64EncodedString(Value::Data(96, 0));
    EXPECT_EQ(text96, std::string(64, 'A') + "\r\n" + std::string(64, 'A'));

    EXPECT_EQ(base64EncodedString(Value::Data(49, 0xff), false), std::string(64, '/') + "/w==");
    EXPECT_EQ(base64EncodedStringBreakingLines(Value::Data(49, 0xff), false),
              std::string(64, '/') + "/w==");
    EXPECT_EQ(base64EncodedStringBreakingLines(Value::Data(49, 0xff), true), text49);
    EXPECT_EQ(base64EncodedString(std::string(49, 'a'), false)->find('\r'), std::string::npos);
    EXPECT_EQ(base64EncodedStringBreakingLines(std::string(49, 'a'), true),
              base64EncodedString(std::string(49, 'a')));
    EXPECT_EQ(base64EncodedStringBreakingLines(std::string("\xc3\xa4"), false), std::nullopt);
}

TEST(Base64, EveryByteValueRoundTrips) {
    Value::Data all;
    for (int i = 0; i < 256; ++i) {
        all.push_back(static_cast<uint8_t>(i));
    }
    EXPECT_EQ(dataFromBase64String(base64EncodedString(all)), all);
    EXPECT_EQ(dataFromBase64String(base64EncodedString(all, false)), all);
}

TEST(Base64, DecodingSkipsEverythingOutsideTheAlphabet) {
    EXPECT_EQ(dataFromBase64String("Zm9v\r\nYmFy"), bytes("foobar"));
    EXPECT_EQ(dataFromBase64String(" Zm =9v\tY\nm=Fy=="), bytes("foobar"));
    EXPECT_EQ(dataFromBase64String("Zm9v\n"), bytes("foo"));
    EXPECT_EQ(dataFromBase64String("Zm9v!@#$%"), bytes("foo"));
    // One stray alphabet character at the end gives no byte.
    EXPECT_EQ(dataFromBase64String("Zm9vY"), bytes("foo"));
    EXPECT_EQ(dataFromBase64String("Z"), Value::Data{});
    // Text that is not ASCII decodes to nothing.
    EXPECT_EQ(dataFromBase64String("Zm9v\xc3\xa4"), Value::Data{});
}

TEST(Base64, StringFormsAreASCIIOnly) {
    EXPECT_EQ(base64EncodedString(std::string("\xc3\xa4")), std::nullopt);
    // "w6Q=" is the Base64 text of the UTF-8 bytes of "ä".
    EXPECT_EQ(stringFromBase64String("w6Q="), std::nullopt);
    EXPECT_EQ(stringFromBase64String("AGE="), std::string("\0a", 2));
}

TEST(Base64, URLEscaping) {
    EXPECT_EQ(urlEncoded("a b"), "a%20b");
    EXPECT_EQ(urlEncoded("!*'\"();:@&=+$,/?%#[]"),
              "%21%2A%27%22%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D");
    EXPECT_EQ(urlEncoded("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(urlEncoded("<>{}|\\^`"), "%3C%3E%7B%7D%7C%5C%5E%60");
    EXPECT_EQ(urlEncoded("Z\xc3\xbcrich"), "Z%C3%BCrich");

    EXPECT_EQ(urlDecoded("Z%C3%BCrich+a%20b"), "Z\xc3\xbcrich+a b");
    EXPECT_EQ(urlDecoded("%e2%82%ac"), "\xe2\x82\xac");
    const std::string mixed = "key=a&b/c?d #\xe2\x82\xac";
    EXPECT_EQ(urlDecoded(urlEncoded(mixed)), mixed);

    EXPECT_EQ(urlDecoded("%"), std::nullopt);
    EXPECT_EQ(urlDecoded("abc%4"), std::nullopt);
    EXPECT_EQ(urlDecoded("%zz"), std::nullopt);
    EXPECT_EQ(urlDecoded("%FF"), std::nullopt);
    EXPECT_EQ(urlDecoded("%C0%AF"), std::nullopt);     // overlong "/"
    EXPECT_EQ(urlDecoded("%ED%A0%80"), std::nullopt);  // surrogate
}
