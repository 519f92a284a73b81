#pragma once

#include <memory>
#include <string>

#include "CoreGraphics/CGGeometry.h"
#include "Foundation/NSTextCheckingResult.h"

class BITAttributedLabel;

// What a label tells about its links, chosen by the kind of link. Every
// method is optional: a method for one kind answers whether it took the
// link, and one that does not (the default) leaves it to the method for
// any text checking result, whose default does nothing.
class BITAttributedLabelDelegate {
  public:
    using Components = NSTextCheckingResult::Components;

    virtual ~BITAttributedLabelDelegate() = default;

    // A tap on a link.
    virtual bool attributedLabelDidSelectLinkWithURL(BITAttributedLabel&, const std::string&) {
        return false;
    }
    virtual bool attributedLabelDidSelectLinkWithAddress(BITAttributedLabel&, const Components&) {
        return false;
    }
    virtual bool attributedLabelDidSelectLinkWithPhoneNumber(BITAttributedLabel&,
                                                             const std::string&) {
        return false;
    }
    virtual bool attributedLabelDidSelectLinkWithDate(BITAttributedLabel&, NSDate) { return false; }
    // Only for dates written with a time zone.
    virtual bool attributedLabelDidSelectLinkWithDateTimeZoneDuration(
        BITAttributedLabel&, NSDate, const std::shared_ptr<NSTimeZone>&, double) {
        return false;
    }
    virtual bool attributedLabelDidSelectLinkWithTransitInformation(BITAttributedLabel&,
                                                                    const Components&) {
        return false;
    }
    virtual void attributedLabelDidSelectLinkWithTextCheckingResult(BITAttributedLabel&,
                                                                    const NSTextCheckingResult&) {}

    // A long press on a link, at a point in the label.
    virtual bool attributedLabelDidLongPressLinkWithURLAtPoint(BITAttributedLabel&,
                                                               const std::string&, CGPoint) {
        return false;
    }
    virtual bool attributedLabelDidLongPressLinkWithAddressAtPoint(BITAttributedLabel&,
                                                                   const Components&, CGPoint) {
        return false;
    }
    virtual bool attributedLabelDidLongPressLinkWithPhoneNumberAtPoint(BITAttributedLabel&,
                                                                       const std::string&,
                                                                       CGPoint) {
        return false;
    }
    virtual bool attributedLabelDidLongPressLinkWithDateAtPoint(BITAttributedLabel&, NSDate,
                                                                CGPoint) {
        return false;
    }
    virtual bool attributedLabelDidLongPressLinkWithDateTimeZoneDurationAtPoint(
        BITAttributedLabel&, NSDate, const std::shared_ptr<NSTimeZone>&, double, CGPoint) {
        return false;
    }
    virtual bool attributedLabelDidLongPressLinkWithTransitInformationAtPoint(BITAttributedLabel&,
                                                                              const Components&,
                                                                              CGPoint) {
        return false;
    }
    virtual void attributedLabelDidLongPressLinkWithTextCheckingResultAtPoint(
        BITAttributedLabel&, const NSTextCheckingResult&, CGPoint) {}
};
