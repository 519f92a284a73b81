#include "Foundation/NSPropertyListSerialization.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cmath>
#include <cstring>

#include "Foundation/NSLog.h"
#include "TemporaryDirectory.h"

namespace {

using Format = NSPropertyListSerialization::Format;

Value everyKind() {
    Value::Dictionary dictionary;
    dictionary["bool"] = true;
    dictionary["false"] = false;
    dictionary["small"] = 7;
    dictionary["negative"] = -123456789012LL;
    dictionary["large"] = INT64_MAX;
    dictionary["smallest"] = INT64_MIN;
    dictionary["real"] = 3.25;
    dictionary["string"] = "plain";
    dictionary["unicode <&>"] = "Zürich 東京 😀";
    dictionary["empty string"] = "";
    dictionary["data"] = Value::Data{0, 1, 2, 254, 255};
    dictionary["empty data"] = Value::Data{};
    dictionary["date"] = NSDate::dateWithTimeIntervalSinceReferenceDate(-86400.0 * 400);
    dictionary["far"] = NSDate::distantFuture();
    dictionary["past"] = NSDate::distantPast();
    dictionary["array"] = Value::Array{1, "two", Value::Array{}, Value::Dictionary{}};
    dictionary["nested"] = Value::Dictionary{{"inner", Value::Dictionary{{"deep", 1.5}}}};
    Value::Array many;
    for (int i = 0; i < 300; ++i)
        many.push_back("item " + std::to_string(i % 20));
    dictionary["many"] = many;  // more than 255 objects: two-byte references
    return Value(dictionary);
}

Value::Data bytes(const std::string& text) {
    return Value::Data(text.begin(), text.end());
}

// A binary property list from raw object bytes and an offset table.
Value::Data binary(const Value::Data& objects, const std::vector<uint64_t>& offsets,
                   uint8_t referenceSize, uint64_t top, std::optional<uint64_t> tableOffset = {},
                   std::optional<uint64_t> count = {}) {
    Value::Data data = bytes("bplist00");
    data.insert(data.end(), objects.begin(), objects.end());
    const uint64_t table = data.size();
    for (uint64_t offset : offsets)
        data.push_back(static_cast<uint8_t>(offset));
    data.insert(data.end(), 6, 0);
    data.push_back(1);
    data.push_back(referenceSize);
    auto put64 = [&](uint64_t value) {
        for (int i = 7; i >= 0; --i)
            data.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    put64(count.value_or(offsets.size()));
    put64(top);
    put64(tableOffset.value_or(table));
    return data;
}

class NSPropertyListSerializationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = NSLogSetSink([this](NSLogLevel, const std::string& line) { logged_ += line; });
    }
    void TearDown() override { NSLogSetSink(previous_); }

    void expectRejected(const Value::Data& data) {
        NSError error;
        logged_.clear();
        EXPECT_FALSE(NSPropertyListSerialization::propertyListWithData(data, nullptr, &error));
        EXPECT_EQ(error.domain, "NSCocoaErrorDomain");
        EXPECT_EQ(error.code, 3840);
        EXPECT_FALSE(logged_.empty());
    }

    NSLogSink previous_;
    std::string logged_;
};

}  // namespace

TEST_F(NSPropertyListSerializationTest, EveryKindRoundTripsInBothForms) {
    const Value original = everyKind();
    for (Format format : {Format::XML, Format::Binary}) {
        std::optional<Value::Data> data =
            NSPropertyListSerialization::dataWithPropertyList(original, format);
        ASSERT_TRUE(data);
        Format detected = format == Format::XML ? Format::Binary : Format::XML;
        std::optional<Value> read =
            NSPropertyListSerialization::propertyListWithData(*data, &detected);
        ASSERT_TRUE(read);
        EXPECT_EQ(detected, format);
        EXPECT_EQ(*read, original) << (format == Format::XML ? "XML" : "binary");
    }
}

TEST_F(NSPropertyListSerializationTest, RealsKeepFullPrecisionAndSpecialValues) {
    Value::Array reals{0.1, -1e-300, 1e300, INFINITY, -INFINITY};
    for (Format format : {Format::XML, Format::Binary}) {
        auto data = NSPropertyListSerialization::dataWithPropertyList(Value(reals), format);
        auto read = NSPropertyListSerialization::propertyListWithData(*data);
        ASSERT_TRUE(read);
        EXPECT_EQ(*read, Value(reals));
        auto nan = NSPropertyListSerialization::dataWithPropertyList(Value(std::nan("")), format);
        EXPECT_TRUE(
            std::isnan(*NSPropertyListSerialization::propertyListWithData(*nan)->doubleValue()));
    }
}

TEST_F(NSPropertyListSerializationTest, XMLDatesKeepWholeSecondsBinaryDatesKeepFractions) {
    const NSDate date = NSDate::dateWithTimeIntervalSinceReferenceDate(1000.75);
    auto xml = NSPropertyListSerialization::dataWithPropertyList(Value(date), Format::XML);
    EXPECT_NE(std::string(xml->begin(), xml->end()).find("<date>2001-01-01T00:16:40Z</date>"),
              std::string::npos);
    EXPECT_EQ(NSPropertyListSerialization::propertyListWithData(*xml)->dateValue(),
              NSDate::dateWithTimeIntervalSinceReferenceDate(1000));
    // Years before the common era keep their sign.
    const Value ancient(NSDate::dateWithTimeIntervalSince1970(-64000000000.0));
    auto ancientXML = NSPropertyListSerialization::dataWithPropertyList(ancient, Format::XML);
    EXPECT_EQ(NSPropertyListSerialization::propertyListWithData(*ancientXML), ancient);
    auto binaryData =
        NSPropertyListSerialization::dataWithPropertyList(Value(date), Format::Binary);
    EXPECT_EQ(NSPropertyListSerialization::propertyListWithData(*binaryData)->dateValue(), date);
}

TEST_F(NSPropertyListSerializationTest, NullCannotBeWritten) {
    for (Format format : {Format::XML, Format::Binary}) {
        NSError error;
        EXPECT_FALSE(NSPropertyListSerialization::dataWithPropertyList(
            Value(Value::Array{1, Value()}), format, &error));
        EXPECT_EQ(error.code, 3851);
    }
}

TEST_F(NSPropertyListSerializationTest, BinaryAgreesWithLibplist) {
    // Our writer's output is read by libplist, and libplist's by our reader.
    auto data = NSPropertyListSerialization::dataWithPropertyList(
        Value(Value::Dictionary{{"name", "Zürich"},
                                {"count", 300},
                                {"ratio", 0.5},
                                {"flags", Value::Array{true, false}}}),
        Format::Binary);
    plist_t node = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(data->data()), static_cast<uint32_t>(data->size()),
                   &node);
    ASSERT_NE(node, nullptr);
    char* name = nullptr;
    plist_get_string_val(plist_dict_get_item(node, "name"), &name);
    EXPECT_STREQ(name, "Zürich");
    free(name);
    uint64_t count = 0;
    plist_get_uint_val(plist_dict_get_item(node, "count"), &count);
    EXPECT_EQ(count, 300u);

    plist_t huge = plist_new_array();
    plist_array_append_item(huge, plist_new_string("東京"));
    plist_array_append_item(huge, node);
    char* out = nullptr;
    uint32_t length = 0;
    plist_to_bin(huge, &out, &length);
    plist_free(huge);
    auto read = NSPropertyListSerialization::propertyListWithData(Value::Data(out, out + length));
    free(out);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read->at(0)->stringValue(), "東京");
    EXPECT_EQ(*read->at(1)->get("count")->integerValue(), 300);
}

TEST_F(NSPropertyListSerializationTest, CarriageReturnsSurviveXMLReaders) {
    // An XML reader turns raw line ends into line feeds; libplist must read
    // back exactly the string we wrote, as must our own reader.
    const std::string text = "one\r\ntwo\rthree\n";
    auto data = NSPropertyListSerialization::dataWithPropertyList(
        Value(Value::Dictionary{{"text", text}}), Format::XML);
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->begin(), data->end()).find('\r'), std::string::npos);
    plist_t node = nullptr;
    plist_from_xml(reinterpret_cast<const char*>(data->data()), static_cast<uint32_t>(data->size()),
                   &node);
    ASSERT_NE(node, nullptr);
    char* read = nullptr;
    plist_get_string_val(plist_dict_get_item(node, "text"), &read);
    EXPECT_EQ(std::string(read ? read : ""), text);
    free(read);
    plist_free(node);
    auto ours = NSPropertyListSerialization::propertyListWithData(*data);
    ASSERT_TRUE(ours);
    EXPECT_EQ(*ours->get("text")->stringValue(), text);
}

TEST_F(NSPropertyListSerializationTest, WideIntegersAboveInt64BecomeReals) {
    Value::Data unsignedMax{0x14};
    unsignedMax.insert(unsignedMax.end(), 8, 0x00);
    unsignedMax.insert(unsignedMax.end(), 8, 0xFF);
    auto read = NSPropertyListSerialization::propertyListWithData(binary(unsignedMax, {8}, 1, 0));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->type(), Value::Type::Real);
    EXPECT_DOUBLE_EQ(*read->doubleValue(), 18446744073709551615.0);

    Value::Data minusOne{0x14};
    minusOne.insert(minusOne.end(), 16, 0xFF);
    EXPECT_EQ(NSPropertyListSerialization::propertyListWithData(binary(minusOne, {8}, 1, 0)),
              Value(-1));
}

TEST_F(NSPropertyListSerializationTest, ReadsHandWrittenXML) {
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Example//DTD PLIST 1.0//EN" "http://example.org/plist.dtd">
<!-- a comment -->
<plist version="1.0">
<dict>
    <key>Name</key><string>A &amp; B &lt;&#x263A;&#65;&gt;</string>
    <key>Hex</key><integer>0x1F</integer>
    <key>Big</key><integer>18446744073709551615</integer>
    <key>Empty</key><string/>
    <key>CDATA</key><string><![CDATA[<raw>]]></string>
    <key>Data</key><data>
        AAEC
        /w==
    </data>
    <key>Yes</key><true/>
</dict>
</plist>
)";
    auto read = NSPropertyListSerialization::propertyListWithData(bytes(xml));
    ASSERT_TRUE(read);
    EXPECT_EQ(*read->get("Name")->stringValue(), "A & B <☺A>");
    EXPECT_EQ(read->get("Hex")->integerValue(), 31);
    EXPECT_EQ(read->get("Big")->type(), Value::Type::Real);
    EXPECT_EQ(*read->get("Empty")->stringValue(), "");
    EXPECT_EQ(*read->get("CDATA")->stringValue(), "<raw>");
    EXPECT_EQ(*read->get("Data")->dataValue(), (Value::Data{0, 1, 2, 255}));
    EXPECT_EQ(read->get("Yes")->boolValue(), true);
}

TEST_F(NSPropertyListSerializationTest, MalformedXMLIsRefused) {
    for (const char* text : {
             "",
             "<plist>",
             "<plist><dict><key>a</key></dict></plist>",
             "<plist><dict><string>a</string></dict></plist>",
             "<plist><integer>12x</integer></plist>",
             "<plist><integer>99999999999999999999999</integer></plist>",
             "<plist><integer>-9223372036854775809</integer></plist>",
             "<plist><real>abc</real></plist>",
             "<plist><date>2001-13-01T00:00:00Z</date></plist>",
             "<plist><data>@@@@</data></plist>",
             "<plist><array><string>a</array></plist>",
             "<plist><unknown/></plist>",
             "<plist><string>&bogus;</string></plist>",
             "<plist><string>&#0;</string></plist>",
             "<plist><string>&#xD800;</string></plist>",
             "<plist><string>\xC3\x28</string></plist>",
             "<plist><string>\xED\xA0\x80</string></plist>",
             "<plist><string>a</string><string>b</string></plist>",
             "<plist><string>a</string></plist> trailing",
             "<plist><!-- unterminated",
             "<!DOCTYPE x [ <!ENTITY e \"boom\"> ]><plist><string>&e;</string></plist>",
         }) {
        SCOPED_TRACE(text);
        expectRejected(bytes(text));
    }
}

TEST_F(NSPropertyListSerializationTest, DeepNestingIsRefusedNotOverflowingTheStack) {
    std::string xml = "<plist>";
    for (int i = 0; i < 100000; ++i)
        xml += "<array>";
    expectRejected(bytes(xml));

    std::string fine = "<plist>";
    for (int i = 0; i < 100; ++i)
        fine += "<array>";
    for (int i = 0; i < 100; ++i)
        fine += "</array>";
    fine += "</plist>";
    EXPECT_TRUE(NSPropertyListSerialization::propertyListWithData(bytes(fine)));

    Value deep = 1;
    for (int i = 0; i < 1000; ++i)
        deep = Value(Value::Array{deep});
    EXPECT_FALSE(NSPropertyListSerialization::dataWithPropertyList(deep, Format::Binary));
    EXPECT_FALSE(NSPropertyListSerialization::dataWithPropertyList(deep, Format::XML));
}

TEST_F(NSPropertyListSerializationTest, TruncatedBinaryIsRefused) {
    auto data = NSPropertyListSerialization::dataWithPropertyList(everyKind(), Format::Binary);
    for (size_t length :
         {size_t{0}, size_t{6}, size_t{8}, size_t{40}, data->size() / 2, data->size() - 1}) {
        SCOPED_TRACE(length);
        expectRejected(Value::Data(data->begin(), data->begin() + static_cast<long>(length)));
    }
}

TEST_F(NSPropertyListSerializationTest, HostileBinaryIsRefused) {
    // Sound baseline: an array (object 0) holding the string "ab" (object 1).
    const Value::Data objects{0xA1, 0x01, 0x52, 'a', 'b'};
    ASSERT_TRUE(NSPropertyListSerialization::propertyListWithData(binary(objects, {8, 10}, 1, 0)));

    SCOPED_TRACE("offset beyond the data");
    expectRejected(binary(objects, {8, 200}, 1, 0));
    SCOPED_TRACE("offset into the header");
    expectRejected(binary(objects, {2, 10}, 1, 0));
    SCOPED_TRACE("object reference out of range");
    expectRejected(binary({0xA1, 0x07, 0x52, 'a', 'b'}, {8, 10}, 1, 0));
    SCOPED_TRACE("top object out of range");
    expectRejected(binary(objects, {8, 10}, 1, 5));
    SCOPED_TRACE("offset table beyond the data");
    expectRejected(binary(objects, {8, 10}, 1, 0, uint64_t{1} << 40));
    SCOPED_TRACE("object count beyond the table");
    expectRejected(binary(objects, {8, 10}, 1, 0, std::nullopt, UINT64_MAX / 2));
    SCOPED_TRACE("array containing itself");
    expectRejected(binary({0xA1, 0x00}, {8}, 1, 0));
    SCOPED_TRACE("two arrays referring to each other");
    expectRejected(binary({0xA1, 0x01, 0xA1, 0x00}, {8, 10}, 1, 0));
    SCOPED_TRACE("huge array count");
    expectRejected(binary({0xAF, 0x13, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {8}, 1, 0));
    SCOPED_TRACE("huge string count");
    expectRejected(binary({0x5F, 0x13, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {8}, 1, 0));
    SCOPED_TRACE("huge UTF-16 count");
    expectRejected(binary({0x6F, 0x13, 0x40, 0, 0, 0, 0, 0, 0, 0}, {8}, 1, 0));
    SCOPED_TRACE("dictionary key that is not a string");
    expectRejected(binary({0xD1, 0x01, 0x01, 0x10, 0x05}, {8, 11}, 1, 0));
    SCOPED_TRACE("unknown marker");
    expectRejected(binary({0x70}, {8}, 1, 0));
    SCOPED_TRACE("zero reference size");
    expectRejected(binary(objects, {8, 10}, 0, 0));
}

TEST_F(NSPropertyListSerializationTest, SharedObjectsCannotExpandWithoutBound) {
    // Forty arrays, each holding the next one twice: 2^40 elements if expanded.
    Value::Data objects;
    std::vector<uint64_t> offsets;
    for (uint8_t i = 0; i < 40; ++i) {
        offsets.push_back(8 + objects.size());
        objects.insert(objects.end(),
                       {0xA2, static_cast<uint8_t>(i + 1), static_cast<uint8_t>(i + 1)});
    }
    offsets.push_back(8 + objects.size());
    objects.push_back(0x09);
    expectRejected(binary(objects, offsets, 1, 0));
}

TEST_F(NSPropertyListSerializationTest, SharedObjectsWithinReasonAreRead) {
    // Two references to one string, as writers that store strings once produce.
    auto read = NSPropertyListSerialization::propertyListWithData(
        binary({0xA2, 0x01, 0x01, 0x51, 'x'}, {8, 11}, 1, 0));
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, Value(Value::Array{"x", "x"}));
}

TEST_F(NSPropertyListSerializationTest, FilesAreWrittenAtomicallyAndReadBack) {
    TemporaryDirectory folder;
    const std::string path = folder.file("settings.plist");
    EXPECT_TRUE(
        NSPropertyListSerialization::writePropertyListToFile(everyKind(), path, Format::XML));
    EXPECT_EQ(*NSPropertyListSerialization::propertyListWithContentsOfFile(path), everyKind());

    NSError error;
    EXPECT_FALSE(
        NSPropertyListSerialization::propertyListWithContentsOfFile(folder.file("none"), &error));
    EXPECT_EQ(error.code, 4);
    EXPECT_FALSE(NSPropertyListSerialization::writePropertyListToFile(
        Value(1), folder.file("missing/folder/x.plist"), Format::Binary, &error));
    EXPECT_EQ(error.domain, "NSCocoaErrorDomain");
}
