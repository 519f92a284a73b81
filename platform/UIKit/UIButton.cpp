#include "UIKit/UIButton.h"

#include <algorithm>
#include <cmath>

namespace {

// How much of an image shows while it stands for a state it was not made for.
constexpr CGFloat kDimmedImageAlpha = 0.5;

}  // namespace

UIButton::UIButton(const CGRect& frame, UIButtonType type)
    : UIControl(frame),
      type_(type),
      titleLabel_(std::make_shared<UILabel>()),
      imageView_(std::make_shared<UIImageView>()),
      backgroundView_(std::make_shared<UIImageView>()) {
    titleLabel_->setFont(UIFont::systemFontOfSize(type == UIButtonTypeCustom ? 18 : 15));
    titleLabel_->setLineBreakMode(NSLineBreakByTruncatingMiddle);
    if (type == UIButtonTypeCustom) {
        titleColors_[UIControlStateNormal] = UIColor::whiteColor();
    }
}

std::shared_ptr<UIButton> UIButton::buttonWithType(UIButtonType type) {
    auto button = std::make_shared<UIButton>(CGRectZero, type);
    if (type == UIButtonTypeInfoLight || type == UIButtonTypeInfoDark ||
        type == UIButtonTypeDetailDisclosure || type == UIButtonTypeContactAdd) {
        button->setTitleForState(type == UIButtonTypeContactAdd ? "+" : "i", UIControlStateNormal);
        button->titleLabel()->setFont(UIFont::boldSystemFontOfSize(15));
        button->setFrame(CGRectMake(0, 0, 22, 22));
        // The letter in a ring of the button's tint: a bare "i" reads as text.
        button->layer()->setCornerRadius(11);
        button->layer()->setBorderWidth(1.5);
        button->layer()->setBorderColor(button->tintColor().CGColor());
    }
    return button;
}

template <typename T>
std::optional<T> UIButton::lookup(const std::map<unsigned, T>& values, unsigned state) {
    auto it = values.find(state);
    if (it == values.end() && (state & UIControlStateDisabled)) {
        it = values.find(UIControlStateDisabled);
    }
    if (it == values.end() && (state & UIControlStateHighlighted)) {
        it = values.find(UIControlStateHighlighted);
    }
    if (it == values.end() && (state & UIControlStateSelected)) {
        it = values.find(UIControlStateSelected);
    }
    if (it == values.end()) {
        it = values.find(UIControlStateNormal);
    }
    return it == values.end() ? std::nullopt : std::optional<T>(it->second);
}

std::optional<std::string> UIButton::titleForState(unsigned state) const {
    return lookup(titles_, state);
}

void UIButton::setTitleForState(const std::optional<std::string>& title, unsigned state) {
    if (title) {
        titles_[state] = *title;
    } else {
        titles_.erase(state);
    }
    updateContent();
}

std::optional<UIColor> UIButton::titleColorForState(unsigned state) const {
    if (auto color = lookup(titleColors_, state)) {
        return color;
    }
    if (type_ != UIButtonTypeCustom) {
        if (state & UIControlStateDisabled) {
            return UIColor::colorWithWhiteAlpha(0.5, 0.5);
        }
        return tintColor();
    }
    return std::nullopt;
}

void UIButton::setTitleColorForState(const std::optional<UIColor>& color, unsigned state) {
    if (color) {
        titleColors_[state] = *color;
    } else {
        titleColors_.erase(state);
    }
    updateContent();
}

UIImageRef UIButton::imageForState(unsigned state) const {
    return lookup(images_, state).value_or(nullptr);
}

void UIButton::setImageForState(const UIImageRef& image, unsigned state) {
    images_[state] = image;
    updateContent();
}

UIImageRef UIButton::backgroundImageForState(unsigned state) const {
    return lookup(backgroundImages_, state).value_or(nullptr);
}

void UIButton::setBackgroundImageForState(const UIImageRef& image, unsigned state) {
    backgroundImages_[state] = image;
    updateContent();
}

void UIButton::setContentEdgeInsets(const UIEdgeInsets& insets) {
    contentInsets_ = insets;
    setNeedsLayout();
}

void UIButton::setTitleEdgeInsets(const UIEdgeInsets& insets) {
    titleInsets_ = insets;
    setNeedsLayout();
}

void UIButton::setImageEdgeInsets(const UIEdgeInsets& insets) {
    imageInsets_ = insets;
    setNeedsLayout();
}

void UIButton::stateDidChange() {
    updateContent();
}

void UIButton::setAdjustsImageWhenDisabled(bool flag) {
    adjustsImageWhenDisabled_ = flag;
    updateContent();
}

void UIButton::setShowsTouchWhenHighlighted(bool flag) {
    showsTouch_ = flag;
    updateContent();
}

void UIButton::tintColorDidChange() {
    if (type_ == UIButtonTypeInfoLight || type_ == UIButtonTypeInfoDark ||
        type_ == UIButtonTypeDetailDisclosure) {
        layer()->setBorderColor(tintColor().CGColor());
    }
    updateContent();
}

void UIButton::updateContent() {
    if (!built_) {
        // Subviews are added once the button is owned by a shared_ptr.
        if (weak_from_this().expired()) {
            return;
        }
        built_ = true;
        addSubview(backgroundView_);
        addSubview(imageView_);
        addSubview(titleLabel_);
    }
    const unsigned s = state();
    const std::optional<std::string> title = titleForState(s);
    titleLabel_->setText(title.value_or(""));
    titleLabel_->setHidden(!title || title->empty());
    UIColor color = titleColorForState(s).value_or(UIColor::whiteColor());
    if (type_ != UIButtonTypeCustom && isHighlighted()) {
        color = color.colorWithAlphaComponent(color.alpha() * 0.2);
    }
    titleLabel_->setTextColor(color);
    // A state without an image of its own shows the normal image faded.
    const bool dimmed = (isHighlighted() && adjustsImageWhenHighlighted_) ||
                        (!isEnabled() && adjustsImageWhenDisabled_);
    UIImageRef image = imageForState(s);
    imageView_->setImage(image);
    imageView_->setHidden(!image);
    imageView_->setAlpha(dimmed && !images_.count(s) ? kDimmedImageAlpha : 1);
    UIImageRef background = backgroundImageForState(s);
    backgroundView_->setImage(background);
    backgroundView_->setHidden(!background);
    backgroundView_->setAlpha(
        !isEnabled() && adjustsImageWhenDisabled_ && !backgroundImages_.count(s) ? kDimmedImageAlpha
                                                                                 : 1);
    if (showsTouch_ && isHighlighted() && !glow_) {
        constexpr CGFloat kGlow = 40;
        glow_ = std::make_shared<UIView>(CGRectMake(0, 0, kGlow, kGlow));
        glow_->setBackgroundColor(UIColor::colorWithWhiteAlpha(1, 0.6));
        glow_->layer()->setCornerRadius(kGlow / 2);
        glow_->setUserInteractionEnabled(false);
        addSubview(glow_);
    }
    if (glow_) {
        glow_->setHidden(!(showsTouch_ && isHighlighted()));
        const CGRect b = bounds();
        glow_->setCenter({CGRectGetMidX(b), CGRectGetMidY(b)});
    }
    setNeedsLayout();
}

CGSize UIButton::titleSize() const {
    return titleLabel_->isHidden() ? CGSizeZero : titleLabel_->sizeThatFits(CGSizeZero);
}

CGSize UIButton::imageSize() const {
    UIImageRef image = imageForState(state());
    return image ? image->size() : CGSizeZero;
}

CGSize UIButton::sizeThatFits(CGSize) const {
    const CGSize t = titleSize(), i = imageSize();
    CGSize s{t.width + i.width + contentInsets_.left + contentInsets_.right,
             std::max(t.height, i.height) + contentInsets_.top + contentInsets_.bottom};
    if (UIImageRef background = backgroundImageForState(state())) {
        s.width = std::max(s.width, background->size().width);
        s.height = std::max(s.height, background->size().height);
    }
    if (type_ != UIButtonTypeCustom && s.height < 30) {
        s.height = 30;  // system buttons have a minimum height
    }
    return s;
}

void UIButton::layoutSubviews() {
    const CGRect b = bounds();
    backgroundView_->setFrame(b);
    const CGRect content = UIEdgeInsetsInsetRect(b, contentInsets_);
    const CGSize i = imageSize();
    CGSize t = titleSize();
    // The title's insets narrow the room it may take, not the title itself:
    // a title that fits in what is left is drawn whole.
    const CGFloat titleMargins = titleInsets_.left + titleInsets_.right;
    t.width = std::min(t.width, std::max(0.0, content.size.width - i.width - titleMargins));
    const CGFloat total = i.width + titleMargins + t.width;
    CGFloat x = content.origin.x;
    switch (contentHorizontalAlignment()) {
        case UIControlContentHorizontalAlignmentLeft:
            break;
        case UIControlContentHorizontalAlignmentRight:
            x = CGRectGetMaxX(content) - total;
            break;
        default:
            x = content.origin.x + std::round((content.size.width - total) / 2);
            break;
    }
    auto vertical = [&](CGFloat h) {
        switch (contentVerticalAlignment()) {
            case UIControlContentVerticalAlignmentTop:
                return content.origin.y;
            case UIControlContentVerticalAlignmentBottom:
                return CGRectGetMaxY(content) - h;
            default:
                return content.origin.y + std::round((content.size.height - h) / 2);
        }
    };
    imageView_->setFrame(
        UIEdgeInsetsInsetRect(CGRectMake(x, vertical(i.height), i.width, i.height), imageInsets_));
    titleLabel_->setFrame(CGRectMake(
        x + i.width + titleInsets_.left,
        vertical(t.height) + (titleInsets_.top - titleInsets_.bottom) / 2, t.width, t.height));
}
