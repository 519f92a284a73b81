#include "UIKit/UITableViewCell.h"

#include <algorithm>
#include <cmath>

#include "UIKit/UIControl.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UITableView.h"

namespace {

constexpr CGFloat kMargin = 15;
constexpr CGFloat kEditingControlWidth = 38;
constexpr CGFloat kDeleteButtonWidth = 82;
constexpr CGFloat kValue2TextWidth = 67;

// The drawn accessories: a grey chevron or a checkmark in the tint colour.
class AccessoryIndicator : public UIView {
  public:
    explicit AccessoryIndicator(UITableViewCellAccessoryType type)
        : UIView(CGRectMake(0, 0, type == UITableViewCellAccessoryCheckmark ? 14 : 8,
                            type == UITableViewCellAccessoryCheckmark ? 11 : 13)),
          type_(type) {
        setUserInteractionEnabled(false);
    }
    UITableViewCellAccessoryType type() const { return type_; }
    void tintColorDidChange() override { setNeedsDisplay(); }
    void drawRect(const CGRect&) override {
        CGContextRef context = UIGraphicsGetCurrentContext();
        const CGRect b = bounds();
        context->setLineWidth(2);
        context->setLineCap(kCGLineCapRound);
        context->setLineJoin(kCGLineJoinRound);
        context->beginPath();
        if (type_ == UITableViewCellAccessoryCheckmark) {
            context->setStrokeColorWithColor(tintColor().CGColor());
            context->moveToPoint(1, b.size.height * 0.55);
            context->addLineToPoint(b.size.width * 0.36, b.size.height - 1);
            context->addLineToPoint(b.size.width - 1, 1);
        } else {
            context->setGrayStrokeColor(0.78, 1);
            context->moveToPoint(1, 1);
            context->addLineToPoint(b.size.width - 1.5, b.size.height / 2);
            context->addLineToPoint(1, b.size.height - 1);
        }
        context->strokePath();
    }

  private:
    UITableViewCellAccessoryType type_;
};

// The detail disclosure accessory: a round "i" in the tint colour followed
// by the grey chevron, one button over both.
class AccessoryDetailButton : public UIControl {
  public:
    static constexpr CGFloat kCircle = 22;
    static constexpr CGFloat kChevronGap = 11;
    static constexpr CGFloat kChevronWidth = 8;

    AccessoryDetailButton()
        : UIControl(CGRectMake(0, 0, kCircle + kChevronGap + kChevronWidth, kCircle)) {
        setAccessibilityLabel(std::string("More Info"));
        setBackgroundColor(UIColor::clearColor());
    }
    void tintColorDidChange() override { setNeedsDisplay(); }
    void setHighlighted(bool highlighted) override {
        UIControl::setHighlighted(highlighted);
        setNeedsDisplay();
    }
    void drawRect(const CGRect&) override {
        CGContextRef context = UIGraphicsGetCurrentContext();
        const CGRect circle = CGRectMake(0.5, 0.5, kCircle - 1, kCircle - 1);
        const UIColor tint = tintColor();
        if (isHighlighted()) {
            context->setFillColorWithColor(tint.colorWithAlphaComponent(0.2).CGColor());
            context->fillEllipseInRect(circle);
        }
        context->setStrokeColorWithColor(tint.CGColor());
        context->setLineWidth(1);
        context->strokeEllipseInRect(circle);
        context->setFillColorWithColor(tint.CGColor());
        context->fillEllipseInRect(CGRectMake(kCircle / 2 - 1.25, 5.5, 2.5, 2.5));
        context->fillRect(CGRectMake(kCircle / 2 - 1, 9.5, 2, 7));
        const CGFloat x = kCircle + kChevronGap;
        const CGFloat top = (kCircle - 13) / 2;
        context->setGrayStrokeColor(0.78, 1);
        context->setLineWidth(2);
        context->setLineCap(kCGLineCapRound);
        context->setLineJoin(kCGLineJoinRound);
        context->beginPath();
        context->moveToPoint(x + 1, top + 1);
        context->addLineToPoint(x + kChevronWidth - 1.5, top + 6.5);
        context->addLineToPoint(x + 1, top + 12);
        context->strokePath();
    }
};

// The round control in front of an editable row: red with a bar to delete,
// green with a cross to insert.
class EditingControl : public UIView {
  public:
    explicit EditingControl(UITableViewCellEditingStyle style)
        : UIView(CGRectMake(0, 0, kEditingControlWidth, 44)), style_(style) {
        setUserInteractionEnabled(false);
    }
    UITableViewCellEditingStyle style() const { return style_; }
    void drawRect(const CGRect&) override {
        CGContextRef context = UIGraphicsGetCurrentContext();
        const CGRect b = bounds();
        const CGPoint c{kMargin + 7, b.size.height / 2};
        if (style_ == UITableViewCellEditingStyleDelete) {
            context->setRGBFillColor(0.93, 0.11, 0.14, 1);
        } else {
            context->setRGBFillColor(0.3, 0.85, 0.39, 1);
        }
        context->fillEllipseInRect(CGRectMake(c.x - 11, c.y - 11, 22, 22));
        context->setGrayFillColor(1, 1);
        context->fillRect(CGRectMake(c.x - 6, c.y - 1, 12, 2));
        if (style_ == UITableViewCellEditingStyleInsert) {
            context->fillRect(CGRectMake(c.x - 1, c.y - 6, 2, 12));
        }
    }

  private:
    UITableViewCellEditingStyle style_;
};

std::shared_ptr<UILabel> makeLabel(CGFloat size, bool bold, const UIColor& color) {
    auto label = std::make_shared<UILabel>();
    label->setFont(bold ? UIFont::boldSystemFontOfSize(size) : UIFont::systemFontOfSize(size));
    label->setTextColor(color);
    label->setHighlightedTextColor(UIColor::whiteColor());
    return label;
}

bool hasText(const std::shared_ptr<UILabel>& label) {
    return label && !label->text().empty();
}

}  // namespace

UITableViewCell::UITableViewCell(UITableViewCellStyle style, const std::string& reuseIdentifier)
    : UIView(CGRectMake(0, 0, 320, 44)),
      style_(style),
      reuseIdentifier_(reuseIdentifier),
      contentView_(std::make_shared<UIView>(CGRectMake(0, 0, 320, 44))),
      imageView_(std::make_shared<UIImageView>()) {
    setBackgroundColor(UIColor::whiteColor());
    switch (style) {
        case UITableViewCellStyleValue1:
            textLabel_ = makeLabel(17, false, UIColor::blackColor());
            detailTextLabel_ = makeLabel(17, false, UIColor::colorWithWhiteAlpha(0.56, 1));
            detailTextLabel_->setTextAlignment(NSTextAlignmentRight);
            break;
        case UITableViewCellStyleValue2:
            textLabel_ =
                makeLabel(12, true, UIColor::colorWithRedGreenBlueAlpha(0.32, 0.4, 0.57, 1));
            textLabel_->setTextAlignment(NSTextAlignmentRight);
            detailTextLabel_ = makeLabel(15, false, UIColor::blackColor());
            break;
        case UITableViewCellStyleSubtitle:
            textLabel_ = makeLabel(17, false, UIColor::blackColor());
            detailTextLabel_ = makeLabel(12, false, UIColor::colorWithWhiteAlpha(0.5, 1));
            break;
        default:
            textLabel_ = makeLabel(17, false, UIColor::blackColor());
            break;
    }
    contentView_->addSubview(imageView_);
    contentView_->addSubview(textLabel_);
    if (detailTextLabel_) {
        contentView_->addSubview(detailTextLabel_);
    }
    setNeedsLayout();
}

UITableViewCell::~UITableViewCell() = default;

void UITableViewCell::attachSubviews() {
    if (attached_ || weak_from_this().expired()) {
        return;
    }
    attached_ = true;
    if (backgroundView_) {
        insertSubviewAtIndex(backgroundView_, 0);
    }
    addSubview(contentView_);
    updateSelectionDisplay();
}

UIColor UITableViewCell::selectionColorForStyle(UITableViewCellSelectionStyle style) {
    if (style == UITableViewCellSelectionStyleBlue) {
        return UIColor::colorWithRedGreenBlueAlpha(0.02, 0.46, 0.91, 1);
    }
    return UIColor::colorWithWhiteAlpha(0.85, 1);
}

void UITableViewCell::setAccessoryType(UITableViewCellAccessoryType type) {
    accessoryType_ = type;
    setNeedsLayout();
}

void UITableViewCell::setAccessoryView(const std::shared_ptr<UIView>& view) {
    if (accessoryView_ == view) {
        return;
    }
    if (accessoryView_ && accessoryView_->superview().get() == this) {
        accessoryView_->removeFromSuperview();
    }
    accessoryView_ = view;
    setNeedsLayout();
}

void UITableViewCell::setSelectionStyle(UITableViewCellSelectionStyle style) {
    selectionStyle_ = style;
    if (defaultSelectedBackground_) {
        defaultSelectedBackground_->removeFromSuperview();
        defaultSelectedBackground_.reset();
    }
    updateSelectionDisplay();
}

void UITableViewCell::setBackgroundView(const std::shared_ptr<UIView>& view) {
    if (backgroundView_) {
        backgroundView_->removeFromSuperview();
    }
    backgroundView_ = view;
    if (view && attached_) {
        insertSubviewAtIndex(view, 0);
    }
    setNeedsLayout();
}

void UITableViewCell::setSelectedBackgroundView(const std::shared_ptr<UIView>& view) {
    if (selectedBackground_) {
        selectedBackground_->removeFromSuperview();
    }
    selectedBackground_ = view;
    updateSelectionDisplay();
}

void UITableViewCell::setSelectedAnimated(bool selected, bool) {
    selected_ = selected;
    updateSelectionDisplay();
}

void UITableViewCell::setHighlightedAnimated(bool highlighted, bool) {
    highlighted_ = highlighted;
    updateSelectionDisplay();
}

void UITableViewCell::setEditingAnimated(bool editing, bool) {
    editing_ = editing;
    if (!editing) {
        setEditingControl(UITableViewCellEditingStyleNone);
    }
    setNeedsLayout();
}

void UITableViewCell::prepareForReuse() {
    highlighted_ = false;
    selected_ = false;
    setShowsDeleteConfirmation(false);
    updateSelectionDisplay();
}

void UITableViewCell::updateSelectionDisplay() {
    const bool shows =
        (highlighted_ || selected_) && selectionStyle_ != UITableViewCellSelectionStyleNone;
    std::shared_ptr<UIView> view = selectedBackground_;
    if (!view) {
        if (!defaultSelectedBackground_) {
            defaultSelectedBackground_ = std::make_shared<UIView>(bounds());
            defaultSelectedBackground_->setBackgroundColor(selectionColorForStyle(selectionStyle_));
        }
        view = defaultSelectedBackground_;
    }
    for (const auto& v : {selectedBackground_, defaultSelectedBackground_}) {
        if (v && (v != view || !shows) && v->superview().get() == this) {
            v->removeFromSuperview();
        }
    }
    if (shows && attached_ && view->superview().get() != this) {
        view->setFrame(bounds());
        // Above the background, below the separator and the content.
        insertSubviewAtIndex(view, backgroundView_ ? 1 : 0);
    }
    const bool lightText = shows && selectionStyle_ == UITableViewCellSelectionStyleBlue;
    textLabel_->setHighlighted(lightText);
    if (detailTextLabel_) {
        detailTextLabel_->setHighlighted(lightText);
    }
    imageView_->setHighlighted(shows);
    if (separator_) {
        separator_->setHidden(shows);
    }
}

void UITableViewCell::setSeparator(const std::optional<UIColor>& color, CGFloat leftInset) {
    separatorInset_ = leftInset;
    if (!color) {
        if (separator_) {
            separator_->removeFromSuperview();
            separator_.reset();
        }
        return;
    }
    if (!separator_) {
        separator_ = std::make_shared<UIView>();
        separator_->setUserInteractionEnabled(false);
        addSubview(separator_);
    }
    separator_->setBackgroundColor(color);
    updateSelectionDisplay();
    setNeedsLayout();
}

void UITableViewCell::setEditingControl(UITableViewCellEditingStyle style) {
    auto* current = static_cast<EditingControl*>(editingControl_.get());
    if (current && current->style() == style) {
        return;
    }
    if (editingControl_) {
        editingControl_->removeFromSuperview();
        editingControl_.reset();
    }
    if (style != UITableViewCellEditingStyleNone) {
        editingControl_ = std::make_shared<EditingControl>(style);
        addSubview(editingControl_);
    } else {
        setShowsDeleteConfirmation(false);
    }
    setNeedsLayout();
}

void UITableViewCell::setShowsDeleteConfirmation(bool shows) {
    if (shows == (deleteButton_ != nullptr)) {
        return;
    }
    if (!shows) {
        deleteButton_->removeFromSuperview();
        deleteButton_.reset();
    } else {
        deleteButton_ = makeLabel(15, false, UIColor::whiteColor());
        deleteButton_->setText("Delete");
        deleteButton_->setTextAlignment(NSTextAlignmentCenter);
        deleteButton_->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.93, 0.11, 0.14, 1));
        addSubview(deleteButton_);
    }
    setNeedsLayout();
}

CGRect UITableViewCell::editingControlFrame() const {
    // From the bounds, so it holds before the next layout pass.
    return editingControl_ ? CGRectMake(0, 0, kEditingControlWidth, bounds().size.height)
                           : CGRectNull;
}

CGRect UITableViewCell::deleteConfirmationFrame() const {
    const CGRect b = bounds();
    return deleteButton_
               ? CGRectMake(b.size.width - kDeleteButtonWidth, 0, kDeleteButtonWidth, b.size.height)
               : CGRectNull;
}

std::shared_ptr<UIView> UITableViewCell::currentAccessory() const {
    if (deleteButton_ || editing_) {
        return nullptr;  // editing rows show no accessory, as on the phone
    }
    return accessoryView_ ? accessoryView_ : indicator_;
}

void UITableViewCell::accessoryButtonTapped() {
    std::shared_ptr<UIView> ancestor = superview();
    while (ancestor && !dynamic_cast<UITableView*>(ancestor.get()))
        ancestor = ancestor->superview();
    auto table = std::static_pointer_cast<UITableView>(ancestor);
    if (!table)
        return;
    const auto path = table->indexPathForCell(*this);
    if (auto delegate = table->delegate(); delegate && path)
        delegate->tableViewAccessoryButtonTappedForRowWithIndexPath(*table, *path);
}

void UITableViewCell::layoutSubviews() {
    attachSubviews();
    const CGRect b = bounds();
    const CGFloat w = b.size.width, h = b.size.height;

    // Accessory: the drawn indicator follows the type.
    if (indicator_ && indicatorType_ != accessoryType_) {
        indicator_->removeFromSuperview();
        indicator_.reset();
    }
    if (!indicator_ && accessoryType_ == UITableViewCellAccessoryDetailDisclosureButton) {
        auto button = std::make_shared<AccessoryDetailButton>();
        std::weak_ptr<UIResponder> weak = weak_from_this();
        button->addTargetForControlEvents(
            [weak](UIControl&) {
                if (auto cell = std::static_pointer_cast<UITableViewCell>(weak.lock()))
                    cell->accessoryButtonTapped();
            },
            UIControlEventTouchUpInside);
        indicator_ = button;
    } else if (!indicator_ && accessoryType_ != UITableViewCellAccessoryNone) {
        indicator_ = std::make_shared<AccessoryIndicator>(accessoryType_);
    }
    indicatorType_ = accessoryType_;
    std::shared_ptr<UIView> accessory = currentAccessory();
    for (const auto& v : {accessoryView_, indicator_}) {
        if (v && v != accessory && v->superview().get() == this) {
            v->removeFromSuperview();
        }
    }
    CGFloat contentRight = w;
    if (deleteButton_) {
        deleteButton_->setFrame(deleteConfirmationFrame());
        contentRight = w - kDeleteButtonWidth;
    }
    if (accessory) {
        if (accessory->superview().get() != this) {
            addSubview(accessory);
        }
        const CGSize s = accessory->bounds().size;
        const CGFloat x = w - kMargin - s.width;
        accessory->setFrame(CGRectMake(x, std::round((h - s.height) / 2), s.width, s.height));
        contentRight = x - 10;
    }
    const CGFloat indent = editingControl_ ? kEditingControlWidth : 0;
    if (editingControl_) {
        editingControl_->setFrame(editingControlFrame());
    }
    if (backgroundView_) {
        backgroundView_->setFrame(b);
    }
    for (const auto& v : {selectedBackground_, defaultSelectedBackground_}) {
        if (v) {
            v->setFrame(b);
        }
    }
    if (separator_) {
        const CGFloat line = 1 / contentScaleFactor();
        separator_->setFrame(
            CGRectMake(separatorInset_ + indent, h - line, w - separatorInset_ - indent, line));
        bringSubviewToFront(separator_);
    }
    contentView_->setFrame(CGRectMake(indent, 0, std::max(0.0, contentRight - indent), h));

    // Content: image, then the labels by style.
    const CGFloat cw = contentView_->bounds().size.width;
    const CGFloat trail = accessory ? 0 : kMargin;
    CGFloat x = kMargin;
    if (UIImageRef image = imageView_->image()) {
        const CGSize s{std::min(image->size().width, h), std::min(image->size().height, h)};
        imageView_->setFrame(
            CGRectMake(kMargin, std::round((h - s.height) / 2), s.width, s.height));
        x += s.width + kMargin;
    } else {
        imageView_->setFrame(CGRectZero);
    }
    const CGFloat avail = std::max(0.0, cw - x - trail);
    switch (style_) {
        case UITableViewCellStyleValue1: {
            CGFloat dw = 0;
            if (hasText(detailTextLabel_)) {
                dw = std::min(detailTextLabel_->sizeThatFits(CGSizeZero).width, avail);
            }
            detailTextLabel_->setFrame(CGRectMake(cw - trail - dw, 0, dw, h));
            const CGFloat tw = dw > 0 ? std::max(0.0, avail - dw - 10) : avail;
            textLabel_->setFrame(CGRectMake(x, 0, tw, h));
            break;
        }
        case UITableViewCellStyleValue2: {
            textLabel_->setFrame(CGRectMake(x, 0, kValue2TextWidth, h));
            const CGFloat dx = x + kValue2TextWidth + 6;
            detailTextLabel_->setFrame(CGRectMake(dx, 0, std::max(0.0, cw - dx - trail), h));
            break;
        }
        case UITableViewCellStyleSubtitle: {
            if (!hasText(detailTextLabel_)) {
                textLabel_->setFrame(CGRectMake(x, 0, avail, h));
                detailTextLabel_->setFrame(CGRectMake(x, h, avail, 0));
                break;
            }
            const CGFloat th = std::min(textLabel_->sizeThatFits({avail, h}).height, h);
            const CGFloat dh = std::min(detailTextLabel_->sizeThatFits({avail, h}).height, h - th);
            const CGFloat y = std::round((h - th - dh) / 2);
            textLabel_->setFrame(CGRectMake(x, y, avail, th));
            detailTextLabel_->setFrame(CGRectMake(x, y + th, avail, dh));
            break;
        }
        default:
            textLabel_->setFrame(CGRectMake(x, 0, avail, h));
            break;
    }
}
