#pragma once

#include <memory>
#include <vector>

#include "Foundation/NSDate.h"
#include "UIKit/UITableViewCell.h"
#include "sdk/feedback/BITFeedbackMessage.h"

class BITActivityIndicatorButton;
class BITAttributedLabel;
class BITFeedbackListViewCell;
struct NSNotification;
class NSNotificationObserver;

class BITFeedbackListViewCellDelegate {
  public:
    virtual ~BITFeedbackListViewCellDelegate() = default;
    virtual void listCellDidSelectAttachment(BITFeedbackListViewCell& cell,
                                             const BITFeedbackMessageAttachment& attachment) = 0;
};

// One message of the thread list: a date or "Pending" line, the text with
// detected links, and a grid of attachment buttons, to the right for the
// user's own messages and to the left for the developer's.
class BITFeedbackListViewCell : public UITableViewCell {
  public:
    static constexpr CGFloat kAttachmentSize = 45;
    static constexpr CGFloat kAttachmentPitch = 55;

    explicit BITFeedbackListViewCell(const std::string& reuseIdentifier = "");
    ~BITFeedbackListViewCell() override;

    static CGFloat heightForTextInRowWithMessageTableViewWidth(const BITFeedbackMessage& message,
                                                               CGFloat width);
    static CGFloat heightForRowWithMessageTableViewWidth(const BITFeedbackMessage& message,
                                                         CGFloat width);
    static bool isSameDayWithDate1Date2(NSDate date1, NSDate date2);

    void setMessage(std::shared_ptr<BITFeedbackMessage> message) { message_ = std::move(message); }
    const std::shared_ptr<BITFeedbackMessage>& message() const { return message_; }
    void setCellStyle(unsigned style) { style_ = style; }
    unsigned backgroundStyle() const { return backgroundStyle_; }
    void setBackgroundStyle(unsigned style) { backgroundStyle_ = style; }
    std::shared_ptr<BITFeedbackListViewCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<BITFeedbackListViewCellDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    const std::shared_ptr<BITAttributedLabel>& labelText() const { return labelText_; }
    const std::shared_ptr<UILabel>& labelTitle() const { return labelTitle_; }
    const std::vector<std::shared_ptr<BITActivityIndicatorButton>>& attachmentViews() const {
        return attachmentViews_;
    }
    // The background strip of style 0, made on the first layout.
    const std::shared_ptr<UIView>& accessoryBackgroundView() const {
        return accessoryBackgroundView_;
    }

    UIColor cellBackgroundColor() const;
    void setAttachments(const BITFeedbackMessage::Attachments& attachments);
    void layoutSubviews() override;
    void imageButtonPressed(const BITActivityIndicatorButton& button);

  private:
    void registerObservers();
    void unregisterObservers();
    // An attachment of the shown message has its file now: the row shows it.
    void updateAttachmentFromNotification(const NSNotification& notification);

    std::shared_ptr<BITFeedbackMessage> message_;
    unsigned style_ = 0;
    unsigned backgroundStyle_ = 0;
    std::shared_ptr<BITAttributedLabel> labelText_;
    std::weak_ptr<BITFeedbackListViewCellDelegate> delegate_;
    std::shared_ptr<UILabel> labelTitle_;
    std::vector<std::shared_ptr<BITActivityIndicatorButton>> attachmentViews_;
    std::shared_ptr<UIView> accessoryBackgroundView_;
    std::shared_ptr<NSNotificationObserver> updateAttachmentNotification_;
};
