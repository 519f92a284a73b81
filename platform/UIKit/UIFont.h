#pragma once

#include <memory>
#include <string>

#include "CoreText/CTFont.h"

// A font at a size, over a Core Text font. Immutable; shared between threads.
class UIFont {
  public:
    static std::shared_ptr<UIFont> systemFontOfSize(CGFloat size);
    static std::shared_ptr<UIFont> boldSystemFontOfSize(CGFloat size);
    static std::shared_ptr<UIFont> italicSystemFontOfSize(CGFloat size);
    // nullptr for an empty name.
    static std::shared_ptr<UIFont> fontWithNameSize(const std::string& name, CGFloat size);
    static CGFloat systemFontSize() { return 14; }
    static CGFloat labelFontSize() { return 17; }
    static CGFloat buttonFontSize() { return 18; }
    static CGFloat smallSystemFontSize() { return 12; }

    std::shared_ptr<UIFont> fontWithSize(CGFloat size) const;

    const std::string& fontName() const { return font_->name(); }
    const std::string& familyName() const { return font_->familyName(); }
    CGFloat pointSize() const { return font_->size(); }
    CGFloat ascender() const { return font_->ascent(); }
    CGFloat descender() const { return -font_->descent(); }  // negative, as on the phone
    CGFloat leading() const { return font_->leading(); }
    CGFloat lineHeight() const { return font_->ascent() + font_->descent(); }
    CGFloat capHeight() const { return font_->capHeight(); }
    CGFloat xHeight() const { return font_->xHeight(); }

    const CTFontRef& CTFont() const { return font_; }

    bool operator==(const UIFont& other) const { return *font_ == *other.font_; }

    explicit UIFont(CTFontRef font) : font_(std::move(font)) {}

  private:
    CTFontRef font_;
};

using UIFontRef = std::shared_ptr<UIFont>;
