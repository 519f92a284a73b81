#pragma once

#include <memory>

#include "CoreGraphics/CGPath.h"
#include "CoreText/CFRange.h"
#include "CoreText/CTFrame.h"
#include "CoreText/NSAttributedString.h"

// Wraps an attributed string into frames and measures wrapped text.
class CTFramesetter {
  public:
    static std::shared_ptr<CTFramesetter> createWithAttributedString(
        const NSAttributedString& string);

    const NSAttributedString& attributedString() const { return string_; }
    // The text of range (length 0: to the end) set into the bounding box of
    // path; frames are rectangular.
    CTFrameRef createFrame(CFRange range, const CGPath& path) const;
    // CTFramesetterSuggestFrameSizeWithConstraints: the size the text of
    // range needs when wrapped at constraints.width (unlimited when it is not
    // finite or above 1e7), keeping only whole lines within
    // constraints.height; fitRange receives the characters that fit.
    CGSize suggestFrameSizeWithConstraints(CFRange range, CGSize constraints,
                                           CFRange* fitRange = nullptr) const;

    explicit CTFramesetter(NSAttributedString string) : string_(std::move(string)) {}

  private:
    NSAttributedString string_;
};

using CTFramesetterRef = std::shared_ptr<CTFramesetter>;
