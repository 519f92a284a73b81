#include <gtest/gtest.h>

#include "CoreText/CTFont.h"

TEST(CTFontTest, SystemNamesResolveToInstalledFamilies) {
    for (const char* name : {"Helvetica", "Helvetica-Bold", "HelveticaNeue", "HelveticaNeue-Light",
                             "HelveticaNeue-Medium", "HelveticaNeue-CondensedBold",
                             "HelveticaNeue-Italic", "Arial", "ArialMT"}) {
        const CTFontRef font = CTFont::createWithName(name, 14);
        ASSERT_TRUE(CTFontSubstituteForName(name)) << name;
        // The family drawn is the one the table names, so it is installed.
        EXPECT_EQ(font->familyName(), font->face().family) << name;
        EXPECT_EQ(font->name(), name);
        EXPECT_GT(font->ascent(), 0) << name;
    }
    EXPECT_EQ(CTFont::createWithName("Helvetica-Bold", 12)->face().weight, 700);
    EXPECT_TRUE(CTFont::createWithName("HelveticaNeue-CondensedBold", 12)->face().condensed);
}

TEST(CTFontTest, UnknownNamesKeepTheirStyleAndFallBackToTheDefaultFamily) {
    const CTFontRef unknown = CTFont::createWithName("NoSuchFamily-BoldItalic", 12);
    EXPECT_EQ(unknown->familyName(), kCTFontDefaultFamily);
    EXPECT_EQ(unknown->face().weight, 700);
    EXPECT_TRUE(unknown->face().italic);
    // An installed family asked for by name is used as it is.
    EXPECT_EQ(CTFont::createWithName("DejaVu Sans Mono", 12)->familyName(), "DejaVu Sans Mono");
    EXPECT_DOUBLE_EQ(CTFont::createWithName("Helvetica", 0)->size(), 12);
    EXPECT_DOUBLE_EQ(CTFont::createWithName("Helvetica", -3)->size(), 12);
}

TEST(CTFontTest, MetricsScaleWithSize) {
    const CTFontRef small = CTFont::createWithName("Helvetica", 10);
    const CTFontRef large = small->copyWithSize(20);
    EXPECT_NEAR(large->ascent(), 2 * small->ascent(), 0.05);
    EXPECT_NEAR(large->descent(), 2 * small->descent(), 0.05);
    EXPECT_GT(small->capHeight(), small->xHeight());
    EXPECT_LT(small->capHeight(), small->ascent());
    EXPECT_GT(small->underlineThickness(), 0);
    EXPECT_LT(small->underlinePosition(), 0);
    EXPECT_NEAR(small->lineHeight(), small->ascent() + small->descent() + small->leading(), 1e-9);
    EXPECT_EQ(*small, *CTFont::createWithName("Helvetica", 10));
    EXPECT_FALSE(*small == *large);
}

TEST(CTFontTest, GlyphsAndAdvancesForCharacters) {
    const CTFontRef font = CTFont::createWithName("Helvetica", 20);
    const auto glyphs = font->glyphsForCharacters("Aii\xE2\x82\xAC");  // A, i, i, euro sign
    ASSERT_EQ(glyphs.size(), 4u);
    EXPECT_NE(glyphs[0], 0u);
    EXPECT_EQ(glyphs[1], glyphs[2]);
    EXPECT_NE(glyphs[3], 0u);
    const auto advances = font->advancesForGlyphs(glyphs);
    EXPECT_GT(advances[0], advances[1]);                      // A is wider than i
    EXPECT_EQ(font->glyphsForCharacters("\xFF").size(), 1u);  // invalid byte: one missing glyph
}
