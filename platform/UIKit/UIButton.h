#pragma once

#include <map>
#include <optional>
#include <string>

#include "UIKit/UIControl.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"

enum UIButtonType : long {
    UIButtonTypeCustom = 0,
    UIButtonTypeSystem,
    UIButtonTypeDetailDisclosure,
    UIButtonTypeInfoLight,
    UIButtonTypeInfoDark,
    UIButtonTypeContactAdd,
    UIButtonTypeRoundedRect = UIButtonTypeSystem,
};

// A control with a title, an image and a background image per state; a
// state without its own value uses the normal state's. System buttons draw
// their title in the tint colour and fade it while highlighted. Disabled,
// the title takes the disabled state's colour (grey for system buttons), and
// images without a disabled image of their own are dimmed.
class UIButton : public UIControl {
  public:
    explicit UIButton(const CGRect& frame = CGRectZero, UIButtonType type = UIButtonTypeCustom);
    static std::shared_ptr<UIButton> buttonWithType(UIButtonType type);

    UIButtonType buttonType() const { return type_; }

    std::optional<std::string> titleForState(unsigned state) const;
    void setTitleForState(const std::optional<std::string>& title, unsigned state);
    std::optional<UIColor> titleColorForState(unsigned state) const;
    void setTitleColorForState(const std::optional<UIColor>& color, unsigned state);
    UIImageRef imageForState(unsigned state) const;
    void setImageForState(const UIImageRef& image, unsigned state);
    UIImageRef backgroundImageForState(unsigned state) const;
    void setBackgroundImageForState(const UIImageRef& image, unsigned state);

    std::optional<std::string> currentTitle() const { return titleForState(state()); }
    UIImageRef currentImage() const { return imageForState(state()); }

    const std::shared_ptr<UILabel>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<UIImageView>& imageView() const { return imageView_; }

    UIEdgeInsets contentEdgeInsets() const { return contentInsets_; }
    void setContentEdgeInsets(const UIEdgeInsets& insets);
    UIEdgeInsets titleEdgeInsets() const { return titleInsets_; }
    void setTitleEdgeInsets(const UIEdgeInsets& insets);
    UIEdgeInsets imageEdgeInsets() const { return imageInsets_; }
    void setImageEdgeInsets(const UIEdgeInsets& insets);
    bool adjustsImageWhenHighlighted() const { return adjustsImageWhenHighlighted_; }
    void setAdjustsImageWhenHighlighted(bool flag) { adjustsImageWhenHighlighted_ = flag; }
    bool adjustsImageWhenDisabled() const { return adjustsImageWhenDisabled_; }
    void setAdjustsImageWhenDisabled(bool flag);
    // A soft white glow at the centre while the button is highlighted.
    bool showsTouchWhenHighlighted() const { return showsTouch_; }
    void setShowsTouchWhenHighlighted(bool flag);

    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;
    void tintColorDidChange() override;

  protected:
    void stateDidChange() override;

  private:
    template <typename T>
    static std::optional<T> lookup(const std::map<unsigned, T>& values, unsigned state);
    void updateContent();
    CGSize titleSize() const;
    CGSize imageSize() const;

    UIButtonType type_;
    std::map<unsigned, std::string> titles_;
    std::map<unsigned, UIColor> titleColors_;
    std::map<unsigned, UIImageRef> images_;
    std::map<unsigned, UIImageRef> backgroundImages_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UIImageView> backgroundView_;
    UIEdgeInsets contentInsets_;
    UIEdgeInsets titleInsets_;
    UIEdgeInsets imageInsets_;
    bool adjustsImageWhenHighlighted_ = true;
    bool adjustsImageWhenDisabled_ = true;
    bool showsTouch_ = false;
    std::shared_ptr<UIView> glow_;
    bool built_ = false;
};
