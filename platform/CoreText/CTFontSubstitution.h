#pragma once

#include <optional>
#include <string>

// The installed face that stands in for a font name the system uses. The
// phone's Helvetica and Helvetica Neue faces are not on Linux; each name maps
// to the nearest face of the fonts the build installs (Noto Sans, DejaVu).
struct CTFontFace {
    std::string family;
    int weight = 400;  // CSS numbering: 200 extra light, 400 regular, 700 bold
    bool italic = false;
    bool condensed = false;
    bool operator==(const CTFontFace&) const = default;
};

// The face for a known name (PostScript or family name, as the system writes
// it); nullopt for names outside the table.
std::optional<CTFontFace> CTFontSubstituteForName(const std::string& name);

// For other names: family and style read from "Family-Style" (Bold, Italic,
// Oblique, Light, Medium, Condensed...), e.g. "DejaVuSans-Bold" -> "DejaVuSans"
// weight 700. Callers fall back to kCTFontDefaultFamily when the family is
// not installed.
CTFontFace CTFontFaceFromName(const std::string& name);

inline constexpr const char* kCTFontDefaultFamily = "Noto Sans";
