#include "CoreText/CTFontSubstitution.h"

#include <map>

namespace {

// Never destroyed: labels are laid out on worker threads, which may still be
// drawing while the process exits.
const std::map<std::string, CTFontFace>& table() {
    static const auto* faces = new std::map<std::string, CTFontFace>([] {
        const CTFontFace regular{"Noto Sans", 400, false, false};
        const CTFontFace bold{"Noto Sans", 700, false, false};
        const CTFontFace italic{"Noto Sans", 400, true, false};
        const CTFontFace boldItalic{"Noto Sans", 700, true, false};
        // Noto Sans has no light face; DejaVu Sans ExtraLight is the thin sans at hand.
        const CTFontFace light{"DejaVu Sans", 200, false, false};
        const CTFontFace lightItalic{"DejaVu Sans", 200, true, false};
        const CTFontFace condensedBold{"DejaVu Sans", 700, false, true};
        const CTFontFace mono{"DejaVu Sans Mono", 400, false, false};
        const CTFontFace monoBold{"DejaVu Sans Mono", 700, false, false};
        const CTFontFace serif{"DejaVu Serif", 400, false, false};
        const CTFontFace serifBold{"DejaVu Serif", 700, false, false};
        return std::map<std::string, CTFontFace>{
            {"Helvetica", regular},
            {"Helvetica-Bold", bold},
            {"Helvetica-Oblique", italic},
            {"Helvetica-BoldOblique", boldItalic},
            {"Helvetica-Light", light},
            {"Helvetica-LightOblique", lightItalic},
            {"Helvetica Neue", regular},
            {"HelveticaNeue", regular},
            {"HelveticaNeue-Bold", bold},
            {"HelveticaNeue-Italic", italic},
            {"HelveticaNeue-BoldItalic", boldItalic},
            // Medium falls between the two installed weights; regular keeps it legible.
            {"HelveticaNeue-Medium", regular},
            {"HelveticaNeue-MediumItalic", italic},
            {"HelveticaNeue-Light", light},
            {"HelveticaNeue-LightItalic", lightItalic},
            {"HelveticaNeue-Thin", light},
            {"HelveticaNeue-ThinItalic", lightItalic},
            {"HelveticaNeue-UltraLight", light},
            {"HelveticaNeue-UltraLightItalic", lightItalic},
            {"HelveticaNeue-CondensedBold", condensedBold},
            {"HelveticaNeue-CondensedBlack", condensedBold},
            {"Arial", regular},
            {"ArialMT", regular},
            {"Arial-BoldMT", bold},
            {"Arial-ItalicMT", italic},
            {"Arial-BoldItalicMT", boldItalic},
            {"System", regular},
            {"System-Bold", bold},
            {".SFUIText", regular},
            {".SFUIText-Bold", bold},
            {".SFUIText-Semibold", bold},
            {".HelveticaNeueInterface-Regular", regular},
            {".HelveticaNeueInterface-Bold", bold},
            {"Courier", mono},
            {"Courier-Bold", monoBold},
            {"CourierNewPSMT", mono},
            {"Menlo-Regular", mono},
            {"Georgia", serif},
            {"Georgia-Bold", serifBold},
            {"Times-Roman", serif},
            {"TimesNewRomanPSMT", serif},
        };
    }());
    return *faces;
}

bool contains(const std::string& s, const char* part) {
    return s.find(part) != std::string::npos;
}

}  // namespace

std::optional<CTFontFace> CTFontSubstituteForName(const std::string& name) {
    const auto it = table().find(name);
    if (it == table().end()) {
        return std::nullopt;
    }
    return it->second;
}

CTFontFace CTFontFaceFromName(const std::string& name) {
    CTFontFace face;
    const size_t dash = name.rfind('-');
    face.family = name.substr(0, dash);
    if (dash == std::string::npos) {
        return face;
    }
    const std::string style = name.substr(dash + 1);
    if (contains(style, "Bold") || contains(style, "Black") || contains(style, "Heavy") ||
        contains(style, "Semibold")) {
        face.weight = 700;
    } else if (contains(style, "Light") || contains(style, "Thin")) {
        face.weight = 200;
    } else if (contains(style, "Medium")) {
        face.weight = 500;
    }
    face.italic = contains(style, "Italic") || contains(style, "Oblique");
    face.condensed = contains(style, "Condensed");
    return face;
}
