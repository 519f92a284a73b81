#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIColor.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIView.h"

enum UIBarButtonItemStyle : long {
    UIBarButtonItemStylePlain,
    UIBarButtonItemStyleBordered,
    UIBarButtonItemStyleDone,
};

enum UIBarButtonSystemItem : long {
    UIBarButtonSystemItemDone,
    UIBarButtonSystemItemCancel,
    UIBarButtonSystemItemEdit,
    UIBarButtonSystemItemSave,
    UIBarButtonSystemItemAdd,
    UIBarButtonSystemItemFlexibleSpace,
    UIBarButtonSystemItemFixedSpace,
    UIBarButtonSystemItemCompose,
    UIBarButtonSystemItemReply,
    UIBarButtonSystemItemAction,
    UIBarButtonSystemItemOrganize,
    UIBarButtonSystemItemBookmarks,
    UIBarButtonSystemItemSearch,
    UIBarButtonSystemItemRefresh,
    UIBarButtonSystemItemStop,
    UIBarButtonSystemItemCamera,
    UIBarButtonSystemItemTrash,
    UIBarButtonSystemItemPlay,
    UIBarButtonSystemItemPause,
    UIBarButtonSystemItemRewind,
    UIBarButtonSystemItemFastForward,
};

class UIButton;

// A button description for navigation bars and toolbars: a title, an image,
// a system item or a custom view, and an action: a block that holds its
// receiver, or (for a nil target) one made by UIBarButtonItemChainAction
// that finds it on the responder chain at the tap.
// The bars show an item through the view makeView builds; flexible and
// fixed spaces have no view and only move their neighbours.
class UIBarButtonItem : public std::enable_shared_from_this<UIBarButtonItem> {
  public:
    using Action = std::function<void(UIBarButtonItem& sender)>;

    UIBarButtonItem(const std::string& title, UIBarButtonItemStyle style, Action action);
    UIBarButtonItem(const UIImageRef& image, UIBarButtonItemStyle style, Action action);
    UIBarButtonItem(UIBarButtonSystemItem item, Action action);
    explicit UIBarButtonItem(std::shared_ptr<UIView> customView);

    const std::optional<std::string>& title() const { return title_; }
    // Also changes the button shown for the item.
    void setTitle(const std::optional<std::string>& title);
    const UIImageRef& image() const { return image_; }
    // Also changes the image of the button shown for the item.
    void setImage(const UIImageRef& image);
    // What the item's button says to assistive technology (and to scenarios
    // looking for it); nullopt: its title.
    const std::optional<std::string>& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(const std::optional<std::string>& label);
    UIBarButtonItemStyle style() const { return style_; }
    void setStyle(UIBarButtonItemStyle style) { style_ = style; }
    std::optional<UIBarButtonSystemItem> systemItem() const { return systemItem_; }
    const std::shared_ptr<UIView>& customView() const { return customView_; }
    void setCustomView(std::shared_ptr<UIView> view) { customView_ = std::move(view); }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool flag);
    long tag() const { return tag_; }
    void setTag(long tag) { tag_ = tag; }
    // A button's (or custom view's) width on the bar, or a fixed space's;
    // 0 sizes the button to fit.
    CGFloat width() const { return width_; }
    void setWidth(CGFloat width) { width_ = width; }
    // Moves the image within its button.
    UIEdgeInsets imageInsets() const { return imageInsets_; }
    void setImageInsets(const UIEdgeInsets& insets) { imageInsets_ = insets; }
    const std::optional<UIColor>& tintColor() const { return tintColor_; }
    void setTintColor(const std::optional<UIColor>& color) { tintColor_ = color; }
    void setAction(Action action) { action_ = std::move(action); }
    bool hasAction() const { return static_cast<bool>(action_); }

    // The bar calls this when the item is tapped; nothing when disabled.
    void performAction();

    // A flexible or fixed space (a gap in a toolbar, never a button).
    bool isSpace() const;
    bool isFlexibleSpace() const { return systemItem_ == UIBarButtonSystemItemFlexibleSpace; }
    // The view a bar shows for the item: the custom view, or a system button
    // with the item's title or image that performs the action. The item
    // remembers it (weakly) as its view while a bar shows it.
    std::shared_ptr<UIView> makeView();
    // The view a bar shows for the item now; nullptr while on no bar. Popovers
    // and action sheets shown from an item point at it.
    std::shared_ptr<UIView> view() const { return view_.lock(); }
    // A system button of the bars: the title in 17 points (bold for done
    // items), sized to fit, running action on a tap.
    static std::shared_ptr<UIButton> makeButton(const std::optional<std::string>& title, bool bold,
                                                std::function<void()> action);

  private:
    std::optional<std::string> title_;
    std::optional<std::string> accessibilityLabel_;
    UIImageRef image_;
    UIBarButtonItemStyle style_ = UIBarButtonItemStylePlain;
    std::optional<UIBarButtonSystemItem> systemItem_;
    std::shared_ptr<UIView> customView_;
    Action action_;
    bool enabled_ = true;
    long tag_ = 0;
    CGFloat width_ = 0;
    UIEdgeInsets imageInsets_;
    std::optional<UIColor> tintColor_;
    std::weak_ptr<UIView> view_;
};
