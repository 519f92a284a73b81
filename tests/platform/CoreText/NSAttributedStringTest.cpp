#include <gtest/gtest.h>

#include "CoreText/NSAttributedString.h"

namespace {
CTStringAttributes colored(CGFloat red) {
    CTStringAttributes a;
    a.foregroundColor = CGColorCreateGenericRGB(red, 0, 0, 1);
    return a;
}
}  // namespace

TEST(NSAttributedStringTest, LengthCountsUTF16Units) {
    EXPECT_EQ(NSAttributedString("abc").length(), 3u);
    EXPECT_EQ(NSAttributedString("\xC3\xA9t\xC3\xA9").length(), 3u);  // été
    EXPECT_EQ(NSAttributedString("a\xF0\x9F\x98\x80"
                                 "b")
                  .length(),
              4u);  // a, emoji pair, b
    EXPECT_EQ(NSAttributedString("").runs().size(), 0u);
    const NSAttributedString s(
        "a\xF0\x9F\x98\x80"
        "b");
    EXPECT_EQ(s.attributedSubstringFromRange(CFRangeMake(1, 2)).string(), "\xF0\x9F\x98\x80");
    EXPECT_EQ(s.attributedSubstringFromRange(CFRangeMake(3, 10)).string(), "b");
}

TEST(NSAttributedStringTest, AttributesSplitAndMergeRuns) {
    NSMutableAttributedString s("Hello world", colored(0));
    s.addAttributes(colored(1), CFRangeMake(6, 5));
    ASSERT_EQ(s.runs().size(), 2u);
    CFRange effective{};
    EXPECT_EQ(s.attributesAtIndex(7, &effective).foregroundColor->red, 1);
    EXPECT_EQ(effective, CFRangeMake(6, 5));
    // Adding merges into what is there; setting replaces.
    CTStringAttributes kern;
    kern.kern = 2;
    s.addAttributes(kern, CFRangeMake(4, 4));
    EXPECT_EQ(s.runs().size(), 4u);
    EXPECT_EQ(s.attributesAtIndex(7).foregroundColor->red, 1);
    EXPECT_EQ(*s.attributesAtIndex(7).kern, 2);
    s.setAttributes(colored(0), CFRangeMake(0, 100));
    EXPECT_EQ(s.runs().size(), 1u);
    EXPECT_FALSE(s.attributesAtIndex(7).kern);
    // Out of range.
    EXPECT_FALSE(s.attributesAtIndex(50).foregroundColor);
}

TEST(NSAttributedStringTest, AppendEnumerateAndEquality) {
    NSAttributedString a("ab", colored(0));
    a.appendAttributedString(NSAttributedString("cd", colored(0)));
    EXPECT_EQ(a.runs().size(), 1u);
    a.appendAttributedString(NSAttributedString("ef", colored(1)));
    EXPECT_EQ(a.string(), "abcdef");
    std::vector<CFRange> seen;
    a.enumerateAttributesInRange(CFRangeMake(1, 4),
                                 [&](const CTStringAttributes&, CFRange r) { seen.push_back(r); });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], CFRangeMake(1, 3));
    EXPECT_EQ(seen[1], CFRangeMake(4, 1));
    NSAttributedString b("abcdef", colored(0));
    EXPECT_FALSE(a == b);
    b.setAttributes(colored(1), CFRangeMake(4, 2));
    EXPECT_TRUE(a == b);
    CTStringAttributes withFont;
    withFont.font = CTFont::createWithName("Helvetica", 10);
    CTStringAttributes sameFont;
    sameFont.font = CTFont::createWithName("Helvetica", 10);
    EXPECT_TRUE(withFont == sameFont);
}

TEST(NSAttributedStringTest, RemovingAttributesUnsetsOnlyTheKeysGiven) {
    CTStringAttributes link = colored(0);
    link.underlineStyle = 1;
    link.kern = 1;
    link.extra.insert_or_assign("mark", 7);
    NSMutableAttributedString s("see here", link);
    CTStringAttributes keys;
    keys.underlineStyle = 0;  // the value does not matter
    keys.foregroundColor = CGColorCreateGenericGray(1, 1);
    keys.extra.insert_or_assign("mark", 0);
    s.removeAttributes(keys, CFRangeMake(4, 4));
    ASSERT_EQ(s.runs().size(), 2u);
    const CTStringAttributes& removed = s.attributesAtIndex(5);
    EXPECT_FALSE(removed.underlineStyle);
    EXPECT_FALSE(removed.foregroundColor);
    EXPECT_TRUE(removed.extra.empty());
    EXPECT_EQ(removed.kern, 1);
    EXPECT_EQ(s.attributesAtIndex(1), link);
}
