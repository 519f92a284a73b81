#include "sdk/feedback/BITFeedbackListViewCell.h"

#include <cmath>
#include <ctime>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSDateFormatter.h"
#include "Foundation/NSNotificationCenter.h"
#include "UIKit/NSString+UIKit.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/feedback/BITActivityIndicatorButton.h"
#include "sdk/feedback/BITAttributedLabel.h"
#include "sdk/feedback/BITFeedbackAttachmentDownload.h"

namespace {

constexpr CGFloat kMargin = 10;
constexpr CGFloat kTextTop = 25;
constexpr CGFloat kTextBottom = 5;
constexpr CGFloat kTitleTop = 8;
constexpr CGFloat kAttachmentRowHeight = 53;

UIColor grey(int level) {
    return UIColor::colorWithWhiteAlpha(level / 255.0, 1);
}

// Attachments per row; never 0, so narrow rows still hold one column.
long attachmentsPerRow(CGFloat width) {
    return std::max(1L, static_cast<long>(width / BITFeedbackListViewCell::kAttachmentPitch));
}

std::string formatted(NSDate date, NSDateFormatterStyle dateStyle, NSDateFormatterStyle timeStyle) {
    NSDateFormatter formatter;
    formatter.setDateStyle(dateStyle);
    formatter.setTimeStyle(timeStyle);
    formatter.setDoesRelativeDateFormatting(true);
    return formatter.stringFromDate(date);
}

}  // namespace

BITFeedbackListViewCell::BITFeedbackListViewCell(const std::string& reuseIdentifier)
    : UITableViewCell(UITableViewCellStyleDefault, reuseIdentifier),
      labelText_(std::make_shared<BITAttributedLabel>()),
      labelTitle_(std::make_shared<UILabel>()) {
    labelTitle_->setFont(UIFont::systemFontOfSize(12));
    labelText_->setFont(UIFont::systemFontOfSize(15));
    labelText_->setNumberOfLines(0);
    labelText_->setTextAlignment(NSTextAlignmentLeft);
    labelText_->setEnabledTextCheckingTypes(NSTextCheckingAllSystemTypes);
    registerObservers();
}

BITFeedbackListViewCell::~BITFeedbackListViewCell() {
    unregisterObservers();
}

void BITFeedbackListViewCell::registerObservers() {
    if (updateAttachmentNotification_)
        return;
    // The cell is not yet owned by a shared pointer here: the block checks
    // the object against the message it shows and runs on the main thread,
    // and the observer goes with the cell.
    updateAttachmentNotification_ = NSNotificationCenter::defaultCenter()->addObserverForName(
        kBITFeedbackUpdateAttachmentThumbnail, nullptr, DispatchQueue::main()->scheduler(),
        [this](const NSNotification& notification) {
            updateAttachmentFromNotification(notification);
        });
}

void BITFeedbackListViewCell::updateAttachmentFromNotification(const NSNotification& notification) {
    if (!message_)
        return;
    for (const auto& attachment : message_->attachments) {
        if (attachment.get() == notification.object) {
            setAttachments(message_->previewableAttachments());
            setNeedsLayout();
            return;
        }
    }
}

void BITFeedbackListViewCell::unregisterObservers() {
    if (updateAttachmentNotification_)
        NSNotificationCenter::defaultCenter()->removeObserver(updateAttachmentNotification_);
    updateAttachmentNotification_.reset();
}

UIColor BITFeedbackListViewCell::cellBackgroundColor() const {
    if (style_ == 1)
        return UIColor::colorWithWhiteAlpha(1, 1);
    return grey(backgroundStyle_ == 1 ? 235 : 245);
}

bool BITFeedbackListViewCell::isSameDayWithDate1Date2(NSDate date1, NSDate date2) {
    const auto day = [](NSDate date) {
        const std::time_t seconds = static_cast<std::time_t>(date.timeIntervalSince1970());
        std::tm parts{};
        localtime_r(&seconds, &parts);
        return std::tuple(parts.tm_year, parts.tm_mon, parts.tm_mday);
    };
    return day(date1) == day(date2);
}

CGFloat BITFeedbackListViewCell::heightForTextInRowWithMessageTableViewWidth(
    const BITFeedbackMessage& message, CGFloat width) {
    const CGSize size =
        sizeWithFontConstrainedToSize(message.text.value_or(""), UIFont::systemFontOfSize(15),
                                      CGSizeMake(width - 2 * kMargin, 100000));
    return std::ceil(size.height + kTitleTop + kTextTop + kTextBottom);
}

CGFloat BITFeedbackListViewCell::heightForRowWithMessageTableViewWidth(
    const BITFeedbackMessage& message, CGFloat width) {
    const long count = static_cast<long>(message.previewableAttachments().size());
    const long perRow = attachmentsPerRow(width);
    const long rows = (count + perRow - 1) / perRow;
    return std::ceil(heightForTextInRowWithMessageTableViewWidth(message, width) +
                     static_cast<CGFloat>(rows) * kAttachmentRowHeight);
}

void BITFeedbackListViewCell::setAttachments(const BITFeedbackMessage::Attachments& attachments) {
    for (const auto& view : attachmentViews_)
        view->removeFromSuperview();
    attachmentViews_.clear();
    for (const auto& attachment : attachments) {
        const bool stored = !attachment->localURL().empty();
        if (!stored && !attachment->sourceURL())
            continue;
        auto button = std::make_shared<BITActivityIndicatorButton>(
            CGRectMake(0, 0, kAttachmentSize, kAttachmentSize), UIButtonTypeCustom);
        if (stored && attachment->isImage())
            button->setImageForState(
                attachment->thumbnailWithSize(CGSizeMake(kAttachmentSize, kAttachmentSize)),
                UIControlStateNormal);
        button->setShowsActivityIndicator(!stored);
        button->setContentMode(UIViewContentModeScaleAspectFit);
        const BITActivityIndicatorButton* raw = button.get();
        button->addTargetForControlEvents([this, raw](UIControl&) { imageButtonPressed(*raw); },
                                          UIControlEventTouchUpInside);
        attachmentViews_.push_back(std::move(button));
        if (!stored)
            bit_downloadFeedbackAttachment(attachment);
    }
}

void BITFeedbackListViewCell::layoutSubviews() {
    const CGFloat width = frame().size.width;
    const UIColor background = cellBackgroundColor();
    if (!accessoryBackgroundView_) {
        accessoryBackgroundView_ =
            std::make_shared<UIView>(CGRectMake(0, 2, 2 * width, frame().size.height - 2));
        accessoryBackgroundView_->setAutoresizingMask(UIViewAutoresizingFlexibleHeight);
        accessoryBackgroundView_->setClipsToBounds(true);
        accessoryBackgroundView_->setBackgroundColor(background);
    }
    if (style_ == 1) {
        if (accessoryBackgroundView_->superview())
            accessoryBackgroundView_->removeFromSuperview();
    } else if (!accessoryBackgroundView_->superview()) {
        addSubview(accessoryBackgroundView_);
    }
    contentView()->setBackgroundColor(background);
    labelTitle_->setBackgroundColor(background);
    labelText_->setBackgroundColor(background);
    labelTitle_->setTextColor(grey(75));
    if (message_) {
        const bool pending = message_->status == BITFeedbackMessageStatusSendPending ||
                             message_->status == BITFeedbackMessageStatusSendInProgress;
        labelText_->setTextColor(grey(pending ? 75 : 25));
        if (pending)
            labelTitle_->setText(bit_localizedString("Pending"));
        else if (message_->tooLarge)
            labelTitle_->setText(bit_localizedString("ZizavaFeedbackListMessageTooLarge"));
        else if (isSameDayWithDate1Date2(message_->date, NSDate::date()))
            labelTitle_->setText(formatted(message_->date, NSDateFormatterStyle::NoStyle,
                                           NSDateFormatterStyle::ShortStyle));
        else
            labelTitle_->setText(formatted(message_->date, NSDateFormatterStyle::MediumStyle,
                                           NSDateFormatterStyle::NoStyle));
        const NSTextAlignment alignment =
            message_->userMessage ? NSTextAlignmentRight : NSTextAlignmentLeft;
        labelTitle_->setTextAlignment(alignment);
        labelText_->setTextAlignment(alignment);
        labelTitle_->setFrame(CGRectMake(kMargin, 11, width - 2 * kMargin, 15));
        contentView()->addSubview(labelTitle_);
        labelText_->setText(message_->text.value_or(""));
        labelText_->setFrame(
            CGRectMake(kMargin, kTextTop, width - 2 * kMargin,
                       heightForTextInRowWithMessageTableViewWidth(*message_, width) - kTextTop -
                           kTextBottom));
        contentView()->addSubview(labelText_);
        const CGFloat top = CGRectGetMaxY(labelText_->frame());
        const long perRow = attachmentsPerRow(width);
        for (size_t i = 0; i < attachmentViews_.size(); ++i) {
            const auto& button = attachmentViews_[i];
            const long column = static_cast<long>(i) % perRow;
            const long row = static_cast<long>(i) / perRow;
            const CGFloat x = message_->userMessage
                                  ? width - kMargin - kAttachmentSize - kAttachmentPitch * column
                                  : kMargin + kAttachmentPitch * column;
            button->setContentMode(UIViewContentModeScaleAspectFit);
            button->imageView()->setContentMode(UIViewContentModeScaleAspectFill);
            button->setFrame(
                CGRectMake(x, top + kAttachmentPitch * row, kAttachmentSize, kAttachmentSize));
            // In the content view: the cell keeps that view, opaque, above its own subviews.
            if (!button->superview())
                contentView()->addSubview(button);
        }
    }
    UITableViewCell::layoutSubviews();
}

void BITFeedbackListViewCell::imageButtonPressed(const BITActivityIndicatorButton& button) {
    const auto delegate = delegate_.lock();
    if (!delegate || !message_)
        return;
    const auto previewable = message_->previewableAttachments();
    for (size_t i = 0; i < attachmentViews_.size() && i < previewable.size(); ++i) {
        if (attachmentViews_[i].get() == &button) {
            delegate->listCellDidSelectAttachment(*this, *previewable[i]);
            return;
        }
    }
}
