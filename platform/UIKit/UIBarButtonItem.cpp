#include "UIKit/UIBarButtonItem.h"

#include "UIKit/UIButton.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIScreen.h"

namespace {

UIFontRef titleFont(bool bold) {
    return bold ? UIFont::boldSystemFontOfSize(17) : UIFont::systemFontOfSize(17);
}

// The system's share icon: an arrow rising out of an open box, drawn in
// the button's tint colour.
UIImageRef shareImage() {
    constexpr CGSize kSize{22, 28};
    UIGraphicsBeginImageContextWithOptions(kSize, false, UIScreen::mainScreen()->scale());
    CGContext& c = *UIGraphicsGetCurrentContext();
    c.setStrokeColorWithColor(UIColor::blackColor().CGColor());
    c.setLineWidth(1.5);
    c.setLineCap(kCGLineCapRound);
    c.setLineJoin(kCGLineJoinRound);
    c.beginPath();
    c.moveToPoint(8, 10);
    c.addLineToPoint(3, 10);
    c.addLineToPoint(3, 26.5);
    c.addLineToPoint(19, 26.5);
    c.addLineToPoint(19, 10);
    c.addLineToPoint(14, 10);
    c.moveToPoint(11, 18);
    c.addLineToPoint(11, 2);
    c.moveToPoint(7, 6);
    c.addLineToPoint(11, 2);
    c.addLineToPoint(15, 6);
    c.strokePath();
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image ? image->imageWithRenderingMode(UIImageRenderingMode::AlwaysTemplate) : nullptr;
}

}  // namespace

UIBarButtonItem::UIBarButtonItem(const std::string& title, UIBarButtonItemStyle style,
                                 Action action)
    : title_(title), style_(style), action_(std::move(action)) {}

UIBarButtonItem::UIBarButtonItem(const UIImageRef& image, UIBarButtonItemStyle style, Action action)
    : image_(image), style_(style), action_(std::move(action)) {}

UIBarButtonItem::UIBarButtonItem(UIBarButtonSystemItem item, Action action)
    : systemItem_(item), action_(std::move(action)) {
    // The system items with words show them as their title.
    switch (item) {
        case UIBarButtonSystemItemDone:
            title_ = "Done";
            style_ = UIBarButtonItemStyleDone;
            break;
        case UIBarButtonSystemItemCancel:
            title_ = "Cancel";
            break;
        case UIBarButtonSystemItemEdit:
            title_ = "Edit";
            break;
        case UIBarButtonSystemItemSave:
            title_ = "Save";
            style_ = UIBarButtonItemStyleDone;
            break;
        case UIBarButtonSystemItemAdd:
            title_ = "+";
            break;
        // Symbol items show a glyph the system fonts have, the share item
        // an icon of its own.
        case UIBarButtonSystemItemRefresh:
            title_ = "\u21BB";
            break;
        case UIBarButtonSystemItemStop:
            title_ = "\u2715";
            break;
        case UIBarButtonSystemItemPlay:
            title_ = "\u25B6";
            break;
        case UIBarButtonSystemItemPause:
            title_ = "\u275A\u275A";
            break;
        case UIBarButtonSystemItemRewind:
            title_ = "\u25C0\u25C0";
            break;
        case UIBarButtonSystemItemFastForward:
            title_ = "\u25B6\u25B6";
            break;
        case UIBarButtonSystemItemReply:
            title_ = "\u21A9";
            break;
        case UIBarButtonSystemItemAction:
            title_ = "Share";
            image_ = shareImage();
            break;
        case UIBarButtonSystemItemCompose:
            title_ = "\u270E";
            break;
        case UIBarButtonSystemItemSearch:
            title_ = "Search";
            break;
        case UIBarButtonSystemItemTrash:
            title_ = "Delete";
            break;
        case UIBarButtonSystemItemOrganize:
            title_ = "Organize";
            break;
        case UIBarButtonSystemItemBookmarks:
            title_ = "Bookmarks";
            break;
        case UIBarButtonSystemItemCamera:
            title_ = "Camera";
            break;
        default:
            break;
    }
}

UIBarButtonItem::UIBarButtonItem(std::shared_ptr<UIView> customView)
    : customView_(std::move(customView)) {}

void UIBarButtonItem::performAction() {
    if (enabled_ && action_) {
        std::shared_ptr<UIBarButtonItem> keep = shared_from_this();
        auto action = action_;
        action(*this);
    }
}

void UIBarButtonItem::setTitle(const std::optional<std::string>& title) {
    title_ = title;
    auto button = std::dynamic_pointer_cast<UIButton>(view());
    if (button && button != customView_ && !image_) {
        button->setTitleForState(title, UIControlStateNormal);
        button->setAccessibilityLabel(accessibilityLabel_ ? accessibilityLabel_ : title);
        button->titleLabel()->setFont(titleFont(style_ == UIBarButtonItemStyleDone));
        button->sizeToFit();
        if (auto bar = button->superview()) {
            bar->setNeedsLayout();
        }
    }
}

void UIBarButtonItem::setImage(const UIImageRef& image) {
    image_ = image;
    auto button = std::dynamic_pointer_cast<UIButton>(view());
    if (button && button != customView_ && image) {
        button->setImageForState(image, UIControlStateNormal);
        button->setNeedsLayout();
    }
}

void UIBarButtonItem::setAccessibilityLabel(const std::optional<std::string>& label) {
    accessibilityLabel_ = label;
    if (auto shown = view(); shown && shown != customView_)
        shown->setAccessibilityLabel(label ? label : title_);
}

void UIBarButtonItem::setEnabled(bool flag) {
    enabled_ = flag;
    auto control = std::dynamic_pointer_cast<UIControl>(view());
    if (control && control != customView_) {
        control->setEnabled(flag);
    }
}

bool UIBarButtonItem::isSpace() const {
    return systemItem_ == UIBarButtonSystemItemFlexibleSpace ||
           systemItem_ == UIBarButtonSystemItemFixedSpace;
}

std::shared_ptr<UIView> UIBarButtonItem::makeView() {
    if (isSpace()) {
        return nullptr;
    }
    if (customView_) {
        if (width_ > 0) {
            CGRect frame = customView_->frame();
            frame.size.width = width_;
            customView_->setFrame(frame);
        }
        view_ = customView_;
        return customView_;
    }
    std::weak_ptr<UIBarButtonItem> weakItem = weak_from_this();
    auto button =
        makeButton(image_ ? std::nullopt : title_, style_ == UIBarButtonItemStyleDone, [weakItem] {
            if (auto strong = weakItem.lock()) {
                strong->performAction();
            }
        });
    if (image_) {
        button->setImageForState(image_, UIControlStateNormal);
        button->setImageEdgeInsets(imageInsets_);
        button->sizeToFit();
    }
    if (tintColor_) {
        button->setTintColor(tintColor_);
    }
    button->setEnabled(enabled_);
    if (width_ > 0) {
        CGRect frame = button->frame();
        frame.size.width = width_;
        button->setFrame(frame);
    }
    button->setAccessibilityLabel(accessibilityLabel_ ? accessibilityLabel_ : title_);
    view_ = button;
    return button;
}

std::shared_ptr<UIButton> UIBarButtonItem::makeButton(const std::optional<std::string>& title,
                                                      bool bold, std::function<void()> action) {
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setTitleForState(title, UIControlStateNormal);
    button->titleLabel()->setFont(titleFont(bold));
    button->addTargetForControlEvents([action = std::move(action)](UIControl&) { action(); },
                                      UIControlEventTouchUpInside);
    button->sizeToFit();
    return button;
}
