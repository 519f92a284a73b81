#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "CoreText/NSAttributedString.h"
#include "Foundation/NSKeyedArchiver.h"
#include "Foundation/NSKeyedUnarchiver.h"
#include "Foundation/NSTextCheckingResult.h"

class BITAttributedLabel;

// A tappable run of an attributed label: what was found there (its result,
// whose range is the run) and how it looks when normal, pressed and while
// the tint is dimmed. Blocks, when set, take a tap or long press instead of
// the label's delegate.
class BITAttributedLabelLink {
  public:
    using Block = std::function<void(BITAttributedLabel&, BITAttributedLabelLink&)>;

    BITAttributedLabelLink(std::optional<CTStringAttributes> attributes,
                           std::optional<CTStringAttributes> activeAttributes,
                           std::optional<CTStringAttributes> inactiveAttributes,
                           std::optional<NSTextCheckingResult> result);
    // With the label's link, active link and inactive link attributes.
    BITAttributedLabelLink(const BITAttributedLabel& label,
                           std::optional<NSTextCheckingResult> result);

    const std::optional<NSTextCheckingResult>& result() const { return result_; }
    // The result's range; (0, 0) for a link without a result.
    CFRange range() const;
    const std::optional<CTStringAttributes>& attributes() const { return attributes_; }
    // nullopt: the label's active link attributes.
    const std::optional<CTStringAttributes>& activeAttributes() const { return activeAttributes_; }
    const std::optional<CTStringAttributes>& inactiveAttributes() const {
        return inactiveAttributes_;
    }

    // What a screen reader says for the link. When none was set it is made
    // from the result: the phone number, the URL, or the date in full.
    const std::string& accessibilityValue();
    void setAccessibilityValue(std::string value) { accessibilityValue_ = std::move(value); }

    // Keyed archiving: the result, the three attribute sets and the
    // accessibility value; the blocks are not archived.
    static constexpr const char* kClassName = "BITAttributedLabelLink";
    void encodeWithCoder(NSKeyedArchiver& coder) const;
    // nullptr, with the coder failed, for a link that cannot be read.
    static std::shared_ptr<BITAttributedLabelLink> initWithCoder(const NSKeyedUnarchiver& coder);

    const Block& linkTapBlock() const { return linkTapBlock_; }
    void setLinkTapBlock(Block block) { linkTapBlock_ = std::move(block); }
    const Block& linkLongPressBlock() const { return linkLongPressBlock_; }
    void setLinkLongPressBlock(Block block) { linkLongPressBlock_ = std::move(block); }

  private:
    std::optional<NSTextCheckingResult> result_;
    std::optional<CTStringAttributes> attributes_;
    std::optional<CTStringAttributes> activeAttributes_;
    std::optional<CTStringAttributes> inactiveAttributes_;
    std::string accessibilityValue_;
    Block linkTapBlock_;
    Block linkLongPressBlock_;
};
