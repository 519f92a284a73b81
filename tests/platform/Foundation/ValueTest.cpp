#include "Foundation/Value.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ValueTest, KindsAndTypedGetters) {
    EXPECT_TRUE(Value().isNull());
    EXPECT_EQ(Value(nullptr).type(), Value::Type::Null);
    EXPECT_EQ(Value(true).type(), Value::Type::Bool);
    EXPECT_EQ(Value(42).type(), Value::Type::Integer);
    EXPECT_EQ(Value(2.5).type(), Value::Type::Real);
    EXPECT_EQ(Value("text").type(), Value::Type::String);
    EXPECT_EQ(Value(Value::Data{1, 2}).type(), Value::Type::Data);
    EXPECT_EQ(Value(NSDate::distantFuture()).type(), Value::Type::Date);
    EXPECT_EQ(Value(Value::Array{}).type(), Value::Type::Array);
    EXPECT_EQ(Value(Value::Dictionary{}).type(), Value::Type::Dictionary);

    // Numbers answer every numeric getter; nothing else does.
    EXPECT_EQ(Value(true).integerValue(), 1);
    EXPECT_EQ(Value(3.9).integerValue(), 3);
    EXPECT_EQ(Value(-3.9).integerValue(), -3);
    EXPECT_EQ(Value(7).doubleValue(), 7.0);
    EXPECT_EQ(Value(0.0).boolValue(), false);
    EXPECT_EQ(Value(2).boolValue(), true);
    EXPECT_FALSE(Value("1").integerValue());
    EXPECT_FALSE(Value("true").boolValue());
    EXPECT_EQ(Value(5).stringValue(), nullptr);
    EXPECT_EQ(Value("x").arrayValue(), nullptr);
    EXPECT_EQ(Value(Value::Array{}).dictionaryValue(), nullptr);
    EXPECT_FALSE(Value(1.0).dateValue());
    EXPECT_EQ(Value(Value::Data{}).stringValue(), nullptr);
}

TEST(ValueTest, OutOfRangeRealsClampWhenReadAsIntegers) {
    EXPECT_EQ(Value(1e300).integerValue(), INT64_MAX);
    EXPECT_EQ(Value(-1e300).integerValue(), INT64_MIN);
    EXPECT_EQ(Value(std::nan("")).integerValue(), 0);
}

TEST(ValueTest, CopiesNeverShareChanges) {
    Value original(Value::Dictionary{{"list", Value::Array{1, 2}}});
    Value copy = original;
    copy["list"].mutableArray().push_back(3);
    copy["added"] = "yes";
    EXPECT_EQ(original.get("list")->count(), 2u);
    EXPECT_EQ(original.get("added"), nullptr);
    EXPECT_EQ(copy.get("list")->count(), 3u);

    Value array(Value::Array{"a"});
    Value second = array;
    array.mutableArray()[0] = "changed";
    EXPECT_EQ(*second.at(0)->stringValue(), "a");
}

TEST(ValueTest, MutableAccessReplacesOtherKinds) {
    Value value(12);
    value["key"] = 1;
    EXPECT_EQ(value.type(), Value::Type::Dictionary);
    value.mutableArray().push_back("x");
    EXPECT_EQ(value.type(), Value::Type::Array);
    EXPECT_EQ(value.count(), 1u);
}

TEST(ValueTest, LookupsAnswerNullForMissingOrWrongKind) {
    Value dictionary(Value::Dictionary{{"a", 1}});
    EXPECT_EQ(dictionary.get("b"), nullptr);
    EXPECT_EQ(dictionary.at(0), nullptr);
    Value array(Value::Array{1});
    EXPECT_EQ(array.at(1), nullptr);
    EXPECT_EQ(array.get("a"), nullptr);
    EXPECT_EQ(Value("abc").count(), 0u);
    EXPECT_EQ(Value(Value::Data{1, 2, 3}).count(), 3u);
}

TEST(ValueTest, EqualityIsDeepAndKindStrict) {
    Value a(Value::Dictionary{{"x", Value::Array{1, "two", Value::Data{3}}}});
    Value b(Value::Dictionary{{"x", Value::Array{1, "two", Value::Data{3}}}});
    EXPECT_EQ(a, b);
    b["x"].mutableArray()[0] = 2;
    EXPECT_FALSE(a == b);
    EXPECT_FALSE(Value(1) == Value(1.0));
    EXPECT_FALSE(Value(true) == Value(1));
    EXPECT_EQ(Value(NSDate::dateWithTimeIntervalSinceReferenceDate(5)),
              Value(NSDate::dateWithTimeIntervalSinceReferenceDate(5)));
    EXPECT_EQ(Value(), Value(nullptr));
}
