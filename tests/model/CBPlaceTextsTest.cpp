#include "model/CBPlaceTexts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CBPlaceTexts, WebAddressesGetASchemeOnlyWhenTheyHaveNoneAndOnlyWebPagesOpen) {
    EXPECT_EQ(CBWebAddressForTagAttribute("www.irisapotheke-nb.de"),
              "http://www.irisapotheke-nb.de");
    EXPECT_EQ(CBWebAddressForTagAttribute("berlin-nb.de/karte?tag=1"),
              "http://berlin-nb.de/karte?tag=1");
    // A host with a port is no scheme.
    EXPECT_EQ(CBWebAddressForTagAttribute("www.example.de:8080/x"), "http://www.example.de:8080/x");
    // An address with its own scheme stays as it is, whatever its case.
    const std::string sparda =
        "https://www.sparda-filialfinder.de/Partners/SpardaBank/Start.aspx?BC=SPADxBER";
    EXPECT_EQ(CBWebAddressForTagAttribute(sparda), sparda);
    EXPECT_EQ(CBWebAddressForTagAttribute(" HTTP://Example.org/ "), "HTTP://Example.org/");
    // Nothing but web pages goes to the desktop, even when "http://"
    // appears somewhere inside.
    EXPECT_FALSE(CBWebAddressForTagAttribute("file:///etc/passwd?http://x"));
    EXPECT_FALSE(CBWebAddressForTagAttribute("javascript:alert('http://x')"));
    EXPECT_FALSE(CBWebAddressForTagAttribute("mailto:info@berlin-nb.de"));
    EXPECT_FALSE(CBWebAddressForTagAttribute("tel:0395"));
    // Blanks and control characters inside, or no host: not an address.
    EXPECT_FALSE(CBWebAddressForTagAttribute("www.a.de www.b.de"));
    EXPECT_FALSE(CBWebAddressForTagAttribute("www.a.de\nwww.b.de"));
    EXPECT_FALSE(CBWebAddressForTagAttribute("http://"));
    EXPECT_FALSE(CBWebAddressForTagAttribute("https:///path"));
    EXPECT_FALSE(CBWebAddressForTagAttribute("   "));
}

TEST(CBPlaceTexts, TextsAreCutAtWholeCharactersWithinTheirLimit) {
    EXPECT_EQ(CBUTF16LengthOfText("Caf\u00e9"), 4u);
    EXPECT_EQ(CBUTF16LengthOfText("\U0001F37A"), 2u);  // one character, two units
    const std::string hundred(100, 'a');
    EXPECT_EQ(CBTextShortenedToLengthWithEllipsis(hundred, 100, "..."), hundred);
    EXPECT_EQ(CBTextShortenedToLengthWithEllipsis(hundred + "b", 100, "..."),
              std::string(97, 'a') + "...");
    // A character of two units, or a letter with its accent, at the cut
    // goes whole or not at all.
    const std::string beer = std::string(96, 'a') + "\U0001F37A" + "bbbb";
    EXPECT_EQ(CBTextShortenedToLengthWithEllipsis(beer, 100, "..."), std::string(96, 'a') + "...");
    const std::string accent = std::string(96, 'a') + "e\u0301" + "bbbb";
    EXPECT_EQ(CBTextShortenedToLengthWithEllipsis(accent, 100, "..."),
              std::string(96, 'a') + "...");
    EXPECT_EQ(CBTextPrefixWithinLength(std::string(99, 'a') + "\U0001F37A", 100),
              std::string(99, 'a'));
    EXPECT_EQ(CBTextPrefixWithinLength("short", 100), "short");
    // Bytes that are no UTF-8 are cut as bytes, never read past.
    EXPECT_EQ(CBTextPrefixWithinLength(std::string(5, '\xff'), 3), std::string(3, '\xff'));

    EXPECT_EQ(CBFirstCharacterOfText("\u00c4rztehaus"), "\u00c4");
    EXPECT_EQ(CBFirstCharacterOfText("e\u0301cole"), "e\u0301");
    EXPECT_EQ(CBFirstCharacterOfText(""), "");
}

TEST(CBPlaceTexts, TagValuesShowOnOneLineAndLongOnesAreCut) {
    EXPECT_EQ(CBTextForDisplay("Mo\tFr\r\n8-18\x7f"), "Mo Fr  8-18 ");
    const std::string shown = CBTextForDisplay(std::string(10000, 'x'));
    EXPECT_EQ(CBUTF16LengthOfText(shown), 500u);
    EXPECT_EQ(shown.substr(shown.size() - 3), "\u2026");
}

}  // namespace
