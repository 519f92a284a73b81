#include "Foundation/NSJSONSerialization.h"

#include <gtest/gtest.h>

#include <cmath>

#include "Foundation/NSLog.h"

namespace {

class NSJSONSerializationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = NSLogSetSink([this](NSLogLevel, const std::string& line) { logged_ += line; });
    }
    void TearDown() override { NSLogSetSink(previous_); }

    NSLogSink previous_;
    std::string logged_;
};

}  // namespace

TEST_F(NSJSONSerializationTest, ReadsEveryJSONKind) {
    auto value = NSJSONSerialization::JSONObjectWithString(
        R"({"n": null, "t": true, "i": -42, "big": 9223372036854775807, "huge": 18446744073709551615,
            "r": 1.5, "e": 1e3, "s": "caf\u00e9 \ud83d\ude00", "a": [1, [2, {}]], "dup": 1, "dup": 2})");
    ASSERT_TRUE(value);
    EXPECT_TRUE(value->get("n")->isNull());
    EXPECT_EQ(*value->get("t"), Value(true));
    EXPECT_EQ(*value->get("i"), Value(-42));
    EXPECT_EQ(*value->get("big"), Value(INT64_MAX));
    EXPECT_EQ(value->get("huge")->type(), Value::Type::Real);
    EXPECT_EQ(*value->get("r"), Value(1.5));
    EXPECT_EQ(value->get("e")->type(), Value::Type::Real);
    EXPECT_EQ(*value->get("s")->stringValue(), "café 😀");
    EXPECT_EQ(value->get("a")->at(1)->at(1)->type(), Value::Type::Dictionary);
    EXPECT_EQ(*value->get("dup"), Value(2));
    EXPECT_EQ(NSJSONSerialization::JSONObjectWithString("\"fragment\""), Value("fragment"));
}

TEST_F(NSJSONSerializationTest, RoundTripKeepsKindsAndSortsKeys) {
    const Value original(Value::Dictionary{{"z", Value::Array{1, 2.25, "x", true, Value()}},
                                           {"a", Value::Dictionary{{"k", "line\n\"quoted\""}}},
                                           {"min", INT64_MIN}});
    for (bool pretty : {false, true}) {
        auto text = NSJSONSerialization::stringWithJSONObject(original, pretty);
        ASSERT_TRUE(text);
        EXPECT_LT(text->find("\"a\""), text->find("\"z\""));
        EXPECT_EQ(NSJSONSerialization::JSONObjectWithString(*text), original);
        auto data = NSJSONSerialization::dataWithJSONObject(original, pretty);
        EXPECT_EQ(NSJSONSerialization::JSONObjectWithData(*data), original);
    }
    EXPECT_EQ(NSJSONSerialization::stringWithJSONObject(Value(Value::Array{1, "a"})), "[1,\"a\"]");
}

TEST_F(NSJSONSerializationTest, BadJSONGivesAnErrorNotACrash) {
    for (const char* text :
         {"", "{", "[1,]", "{\"a\" 1}", "{1: 2}", "tru", "\"unterminated", "[1] [2]", "01",
          "1e99999", "\"\\uZZZZ\"", "\xff\xfe", "nan", "{\"a\":1,}", "// comment\n1"}) {
        SCOPED_TRACE(text);
        NSError error;
        logged_.clear();
        EXPECT_FALSE(NSJSONSerialization::JSONObjectWithString(text, &error));
        EXPECT_EQ(error.domain, "NSCocoaErrorDomain");
        EXPECT_EQ(error.code, 3840);
        EXPECT_FALSE(logged_.empty());
    }
    const Value::Data invalidUTF8{'"', 0xC3, 0x28, '"'};
    EXPECT_FALSE(NSJSONSerialization::JSONObjectWithData(invalidUTF8));
}

TEST_F(NSJSONSerializationTest, DeepNestingIsRefused) {
    EXPECT_FALSE(NSJSONSerialization::JSONObjectWithString(std::string(100000, '[')));
    EXPECT_FALSE(
        NSJSONSerialization::JSONObjectWithString(std::string(600, '[') + std::string(600, ']')));
    EXPECT_TRUE(
        NSJSONSerialization::JSONObjectWithString(std::string(500, '[') + std::string(500, ']')));
    Value deep = 1;
    for (int i = 0; i < 1000; ++i)
        deep = Value(Value::Array{deep});
    EXPECT_FALSE(NSJSONSerialization::stringWithJSONObject(deep));
}

TEST_F(NSJSONSerializationTest, ValuesWithoutAJSONFormAreRefused) {
    for (const Value& value : {Value(Value::Data{1}), Value(NSDate::date()), Value(INFINITY),
                               Value(std::nan("")), Value(Value::Array{1, Value(Value::Data{})})}) {
        NSError error;
        EXPECT_FALSE(NSJSONSerialization::dataWithJSONObject(value, false, &error));
        EXPECT_EQ(error.domain, "NSCocoaErrorDomain");
    }
}

TEST_F(NSJSONSerializationTest, MalformedUTF8IsReplacedWhenWriting) {
    auto text =
        NSJSONSerialization::stringWithJSONObject(Value(std::string("a\xff"
                                                                    "b")));
    ASSERT_TRUE(text);
    EXPECT_EQ(NSJSONSerialization::JSONObjectWithString(*text), Value("a\xEF\xBF\xBD"
                                                                      "b"));
}
