#pragma once

#include <memory>
#include <string>

#include "UIKit/UIButton.h"

class BITStoreButton;

// What the button shows: its label and whether it can be tapped.
struct BITStoreButtonData {
    static BITStoreButtonData dataWithLabelEnabled(std::string label, bool enabled) {
        return {std::move(label), enabled};
    }
    std::string label;
    bool enabled = false;
};

class BITStoreButtonDelegate {
  public:
    virtual ~BITStoreButtonDelegate() = default;
    virtual void storeButtonFired(BITStoreButton& button) = 0;
};

// The store-like action button of the update screen: a bordered title that
// sits in the top right corner of its superview, blue while it can be
// tapped and grey while it cannot.
class BITStoreButton : public UIButton {
  public:
    // padding: the horizontal and vertical margin inside the superview.
    BITStoreButton(CGPoint padding, long style);

    const BITStoreButtonData& buttonData() const { return buttonData_; }
    void setButtonData(const BITStoreButtonData& data) { setButtonDataAnimated(data, false); }
    void setButtonDataAnimated(const BITStoreButtonData& data, bool animated);
    void setButtonDelegate(std::weak_ptr<BITStoreButtonDelegate> delegate) {
        buttonDelegate_ = std::move(delegate);
    }
    std::shared_ptr<BITStoreButtonDelegate> buttonDelegate() const {
        return buttonDelegate_.lock();
    }
    CGPoint customPadding() const { return customPadding_; }
    long style() const { return style_; }

    // Sized to its label, at the superview's right edge.
    void alignToSuperview();
    CGSize sizeThatFits(CGSize size) const override;

  private:
    void buttonPressed();
    void updateButtonAnimated(bool animated);

    BITStoreButtonData buttonData_;
    std::weak_ptr<BITStoreButtonDelegate> buttonDelegate_;
    CGPoint customPadding_;
    long style_;
};
