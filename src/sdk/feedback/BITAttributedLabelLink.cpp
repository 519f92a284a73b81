#include "sdk/feedback/BITAttributedLabelLink.h"

#include "Foundation/NSDateFormatter.h"
#include "sdk/feedback/BITAttributedLabel.h"

BITAttributedLabelLink::BITAttributedLabelLink(std::optional<CTStringAttributes> attributes,
                                               std::optional<CTStringAttributes> activeAttributes,
                                               std::optional<CTStringAttributes> inactiveAttributes,
                                               std::optional<NSTextCheckingResult> result)
    : result_(std::move(result)),
      attributes_(std::move(attributes)),
      activeAttributes_(std::move(activeAttributes)),
      inactiveAttributes_(std::move(inactiveAttributes)) {}

BITAttributedLabelLink::BITAttributedLabelLink(const BITAttributedLabel& label,
                                               std::optional<NSTextCheckingResult> result)
    : BITAttributedLabelLink(label.linkAttributes(), label.activeLinkAttributes(),
                             label.inactiveLinkAttributes(), std::move(result)) {}

CFRange BITAttributedLabelLink::range() const {
    if (!result_)
        return CFRangeMake(0, 0);
    return CFRangeMake(static_cast<long>(result_->range.location),
                       static_cast<long>(result_->range.length));
}

const std::string& BITAttributedLabelLink::accessibilityValue() {
    if (accessibilityValue_.empty() && result_) {
        switch (result_->resultType) {
            case NSTextCheckingTypePhoneNumber:
                accessibilityValue_ = result_->phoneNumber;
                break;
            case NSTextCheckingTypeLink:
                accessibilityValue_ = result_->URL;
                break;
            case NSTextCheckingTypeDate:
                if (result_->date)
                    accessibilityValue_ =
                        NSDateFormatter::localizedStringFromDateDateStyleTimeStyle(
                            *result_->date, NSDateFormatterStyle::FullStyle,
                            NSDateFormatterStyle::FullStyle);
                break;
            default:
                break;
        }
    }
    return accessibilityValue_;
}
