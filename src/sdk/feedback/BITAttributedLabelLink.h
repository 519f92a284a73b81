#pragma once

#include <functional>
#include <optional>

#include "CoreText/NSAttributedString.h"
#include "Foundation/NSDataDetector.h"

class BITAttributedLabel;

// A tappable run of an attributed label: what was found there and how it
// looks when normal, pressed and dimmed.
struct BITAttributedLabelLink {
    using Block = std::function<void(BITAttributedLabel&, const BITAttributedLabelLink&)>;

    std::optional<NSTextCheckingResult> result;
    std::optional<CTStringAttributes> attributes;
    std::optional<CTStringAttributes> activeAttributes;
    std::optional<CTStringAttributes> inactiveAttributes;
    Block linkTapBlock;
    Block linkLongPressBlock;
};
