#include "UIKit/UILongPressGestureRecognizer.h"
#include "UIKit/UIPasteboard.h"
#include "UIKit/UITouch.h"
#include "sdk/feedback/BITAttributedLabel.h"

std::shared_ptr<UIView> BITAttributedLabel::hitTest(CGPoint point, UIEvent* event) {
    if (isUserInteractionEnabled() && !isHidden() && alpha() >= 0.01 && containslinkAtPoint(point))
        return std::static_pointer_cast<UIView>(shared_from_this());
    return UILabel::hitTest(point, event);
}

std::shared_ptr<BITAttributedLabelLink> BITAttributedLabel::linkForTouches(
    const UITouchSet& touches) const {
    const auto self =
        std::const_pointer_cast<UIView>(std::static_pointer_cast<const UIView>(shared_from_this()));
    for (const auto& touch : touches) {
        if (auto link = linkAtPoint(touch->locationInView(self)))
            return link;
    }
    return nullptr;
}

void BITAttributedLabel::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    setActiveLink(linkForTouches(touches));
    if (!activeLink_)
        UILabel::touchesBegan(touches, event);
}

void BITAttributedLabel::touchesMoved(const UITouchSet& touches, UIEvent* event) {
    if (!activeLink_) {
        UILabel::touchesMoved(touches, event);
        return;
    }
    // Off the link the press is given up: lifting then does nothing.
    if (linkForTouches(touches) != activeLink_)
        setActiveLink(nullptr);
}

void BITAttributedLabel::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    if (!activeLink_) {
        UILabel::touchesEnded(touches, event);
        return;
    }
    const auto link = activeLink_;
    if (link->linkTapBlock()) {
        link->linkTapBlock()(*this, *link);
        setActiveLink(nullptr);
        return;
    }
    setActiveLink(nullptr);
    if (link->result())
        tellDelegate(*link->result(), std::nullopt);
}

void BITAttributedLabel::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    if (activeLink_)
        setActiveLink(nullptr);
    else
        UILabel::touchesCancelled(touches, event);
}

bool BITAttributedLabel::gestureRecognizerShouldReceiveTouch(UIGestureRecognizer&, UITouch& touch) {
    return containslinkAtPoint(
        touch.locationInView(std::static_pointer_cast<UIView>(shared_from_this())));
}

void BITAttributedLabel::longPressGestureDidFire(UIGestureRecognizer& recognizer) {
    if (recognizer.state() != UIGestureRecognizerStateBegan)
        return;
    const CGPoint point =
        recognizer.locationInView(std::static_pointer_cast<UIView>(shared_from_this()));
    const auto link = linkAtPoint(point);
    if (!link)
        return;
    if (link->linkLongPressBlock())
        link->linkLongPressBlock()(*this, *link);
    else if (link->result())
        tellDelegate(*link->result(), point);
}

void BITAttributedLabel::tellDelegate(const NSTextCheckingResult& result,
                                      std::optional<CGPoint> longPressAt) {
    const auto delegate = delegate_.lock();
    if (!delegate)
        return;
    auto& d = *delegate;
    const bool press = longPressAt.has_value();
    const CGPoint at = longPressAt.value_or(CGPointZero);
    bool taken = false;
    switch (result.resultType) {
        case NSTextCheckingTypeDate:
            if (!result.date)
                break;
            if (result.timeZone)
                taken = press ? d.attributedLabelDidLongPressLinkWithDateTimeZoneDurationAtPoint(
                                    *this, *result.date, result.timeZone, result.duration, at)
                              : d.attributedLabelDidSelectLinkWithDateTimeZoneDuration(
                                    *this, *result.date, result.timeZone, result.duration);
            if (!taken)
                taken = press ? d.attributedLabelDidLongPressLinkWithDateAtPoint(*this,
                                                                                 *result.date, at)
                              : d.attributedLabelDidSelectLinkWithDate(*this, *result.date);
            break;
        case NSTextCheckingTypeAddress:
            taken =
                press ? d.attributedLabelDidLongPressLinkWithAddressAtPoint(
                            *this, result.addressComponents, at)
                      : d.attributedLabelDidSelectLinkWithAddress(*this, result.addressComponents);
            break;
        case NSTextCheckingTypeLink:
            taken = press ? d.attributedLabelDidLongPressLinkWithURLAtPoint(*this, result.URL, at)
                          : d.attributedLabelDidSelectLinkWithURL(*this, result.URL);
            break;
        case NSTextCheckingTypePhoneNumber:
            taken = press
                        ? d.attributedLabelDidLongPressLinkWithPhoneNumberAtPoint(
                              *this, result.phoneNumber, at)
                        : d.attributedLabelDidSelectLinkWithPhoneNumber(*this, result.phoneNumber);
            break;
        case NSTextCheckingTypeTransitInformation:
            taken = press ? d.attributedLabelDidLongPressLinkWithTransitInformationAtPoint(
                                *this, result.components, at)
                          : d.attributedLabelDidSelectLinkWithTransitInformation(*this,
                                                                                 result.components);
            break;
        default:
            break;
    }
    if (taken)
        return;
    if (press)
        d.attributedLabelDidLongPressLinkWithTextCheckingResultAtPoint(*this, result, at);
    else
        d.attributedLabelDidSelectLinkWithTextCheckingResult(*this, result);
}

bool BITAttributedLabel::canPerformAction(UIEditAction action, UIResponder*) const {
    return action == UIEditActionCopy;
}

void BITAttributedLabel::performEditAction(UIEditAction action, UIResponder* sender) {
    if (action == UIEditActionCopy)
        UIPasteboard::generalPasteboard()->setString(text());
    else
        UILabel::performEditAction(action, sender);
}
