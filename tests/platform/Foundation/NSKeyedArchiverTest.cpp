// Keyed archives: nested objects through the bytes, and what a reader makes
// of a damaged one.
#include "Foundation/NSKeyedArchiver.h"

#include <gtest/gtest.h>

#include "Foundation/NSKeyedUnarchiver.h"
#include "Foundation/NSPropertyListSerialization.h"

namespace {

TEST(NSKeyedArchiver, NestedObjectsComeBackByKeyAndClass) {
    NSKeyedArchiver link("Link");
    link.encodeValueForKey(Value("http://example.org"), "url");
    NSKeyedArchiver label("Label");
    label.encodeValueForKey(Value(2.5), "kern");
    label.encodeValueForKey(Value(true), "enabled");
    label.encodeValueForKey(Value(Value::Array{Value(1), Value(2.5)}), "offset");
    label.encodeObjectForKey(link, "first");
    label.encodeObjectsForKey({link, link}, "links");
    const auto data = label.archivedData();
    ASSERT_TRUE(data);

    auto coder = NSKeyedUnarchiver::unarchiverForReadingFromData(*data);
    ASSERT_TRUE(coder);
    EXPECT_EQ(coder->className(), "Label");
    EXPECT_EQ(coder->decodeDoubleForKey("kern"), 2.5);
    EXPECT_EQ(coder->decodeBoolForKey("enabled"), true);
    EXPECT_EQ(coder->decodeNumbersForKey("offset", 2), (std::vector<double>{1, 2.5}));
    auto first = coder->decodeObjectOfClassForKey("Link", "first");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->decodeStringForKey("url"), "http://example.org");
    auto links = coder->decodeObjectsOfClassForKey("Link", "links");
    ASSERT_TRUE(links);
    EXPECT_EQ(links->size(), 2u);
    // A missing key is no damage.
    EXPECT_FALSE(coder->decodeStringForKey("title"));
    EXPECT_FALSE(coder->failed());

    // A value of another kind, an object of another class: damaged, and the
    // first reason is the one kept, for the nested coders too.
    EXPECT_FALSE(coder->decodeStringForKey("kern"));
    EXPECT_FALSE(coder->decodeObjectOfClassForKey("Button", "first"));
    EXPECT_TRUE(first->failed());
    EXPECT_EQ(coder->error().code, NSKeyedUnarchiver::kReadCorruptError);
    EXPECT_NE(coder->error().localizedDescription().find("\"kern\""), std::string::npos);
    auto again = *NSKeyedUnarchiver::unarchiverForReadingFromData(*data);
    EXPECT_FALSE(again.decodeObjectsOfClassForKey("Button", "links"));
    EXPECT_FALSE(again.decodeNumbersForKey("offset", 3));
    EXPECT_TRUE(again.failed());
}

TEST(NSKeyedArchiver, WhatIsNoKeyedArchiveIsRefused) {
    NSError error;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiverForReadingFromData({'n', 'o'}, &error));
    EXPECT_EQ(error.code, NSKeyedUnarchiver::kReadCorruptError);
    // A property list, but no archive.
    const auto plist = NSPropertyListSerialization::dataWithPropertyList(
        Value(Value::Dictionary{{"root", Value("Label")}}),
        NSPropertyListSerialization::Format::Binary);
    ASSERT_TRUE(plist);
    NSError notArchive;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiverForReadingFromData(*plist, &notArchive));
    EXPECT_EQ(notArchive.domain, NSError::NSCocoaErrorDomain);
}

}  // namespace
