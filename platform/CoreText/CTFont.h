#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CoreGraphics/CGContext.h"
#include "CoreGraphics/CGFont.h"
#include "CoreGraphics/CGGeometry.h"
#include "CoreText/CTFontSubstitution.h"

typedef struct _PangoFontDescription PangoFontDescription;
typedef struct _PangoFont PangoFont;

// A font at one size. The name is kept as asked ("Helvetica-Bold"); the face
// drawn is the installed substitute (CTFontSubstitution.h). Metrics are in
// points, measured unhinted. Immutable, so shared freely between threads.
class CTFont {
  public:
    // CTFontCreateWithName. A size of 0 or less means 12, as on the platform.
    static std::shared_ptr<const CTFont> createWithName(const std::string& name, CGFloat size);
    static std::shared_ptr<const CTFont> systemFontOfSize(CGFloat size);
    static std::shared_ptr<const CTFont> boldSystemFontOfSize(CGFloat size);
    std::shared_ptr<const CTFont> copyWithSize(CGFloat size) const;

    const std::string& name() const { return name_; }  // CTFontCopyPostScriptName
    CGFloat size() const { return size_; }
    // The installed family actually drawn.
    const std::string& familyName() const { return family_; }
    const CTFontFace& face() const { return face_; }

    CGFloat ascent() const { return ascent_; }
    CGFloat descent() const { return descent_; }  // positive, below the baseline
    CGFloat leading() const { return leading_; }
    CGFloat lineHeight() const { return ascent_ + descent_ + leading_; }
    CGFloat capHeight() const { return capHeight_; }
    CGFloat xHeight() const { return xHeight_; }
    CGFloat underlinePosition() const { return underlinePosition_; }  // negative: below
    CGFloat underlineThickness() const { return underlineThickness_; }

    // CTFontGetGlyphsForCharacters: one glyph per character of the UTF-8
    // text, 0 where the face has none.
    std::vector<CGGlyph> glyphsForCharacters(const std::string& text) const;
    // CTFontGetAdvancesForGlyphs: horizontal advances.
    std::vector<CGFloat> advancesForGlyphs(const std::vector<CGGlyph>& glyphs) const;
    // CTFontDrawGlyphs: glyphs at positions in text space (the context's text
    // matrix, then its transform; y up), filled with the fill colour.
    void drawGlyphs(const std::vector<CGGlyph>& glyphs, const std::vector<CGPoint>& positions,
                    CGContext& context) const;

    // A new pango description of this font, and the font loaded in the
    // calling thread's font map (a new reference); the caller frees both.
    PangoFontDescription* createPangoDescription() const;
    PangoFont* pangoFont() const;

    bool operator==(const CTFont& other) const {
        return name_ == other.name_ && size_ == other.size_;
    }

    CTFont(std::string name, CGFloat size, CTFontFace face);

  private:
    std::string name_;
    CGFloat size_;
    CTFontFace face_;
    std::string family_;
    CGFloat ascent_ = 0, descent_ = 0, leading_ = 0, capHeight_ = 0, xHeight_ = 0;
    CGFloat underlinePosition_ = 0, underlineThickness_ = 0;
};

using CTFontRef = std::shared_ptr<const CTFont>;
