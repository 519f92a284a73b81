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

// A button description for navigation bars and toolbars: a title, an image,
// a system item or a custom view, and an action (target/action as a block).
// The bars that show items draw them.
class UIBarButtonItem : public std::enable_shared_from_this<UIBarButtonItem> {
  public:
    using Action = std::function<void(UIBarButtonItem& sender)>;

    UIBarButtonItem(const std::string& title, UIBarButtonItemStyle style, Action action);
    UIBarButtonItem(const UIImageRef& image, UIBarButtonItemStyle style, Action action);
    UIBarButtonItem(UIBarButtonSystemItem item, Action action);
    explicit UIBarButtonItem(std::shared_ptr<UIView> customView);

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(const std::optional<std::string>& title) { title_ = title; }
    const UIImageRef& image() const { return image_; }
    void setImage(const UIImageRef& image) { image_ = image; }
    UIBarButtonItemStyle style() const { return style_; }
    void setStyle(UIBarButtonItemStyle style) { style_ = style; }
    std::optional<UIBarButtonSystemItem> systemItem() const { return systemItem_; }
    const std::shared_ptr<UIView>& customView() const { return customView_; }
    void setCustomView(std::shared_ptr<UIView> view) { customView_ = std::move(view); }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool flag) { enabled_ = flag; }
    long tag() const { return tag_; }
    void setTag(long tag) { tag_ = tag; }
    CGFloat width() const { return width_; }
    void setWidth(CGFloat width) { width_ = width; }
    const std::optional<UIColor>& tintColor() const { return tintColor_; }
    void setTintColor(const std::optional<UIColor>& color) { tintColor_ = color; }
    void setAction(Action action) { action_ = std::move(action); }
    bool hasAction() const { return static_cast<bool>(action_); }

    // The bar calls this when the item is tapped; nothing when disabled.
    void performAction();

  private:
    std::optional<std::string> title_;
    UIImageRef image_;
    UIBarButtonItemStyle style_ = UIBarButtonItemStylePlain;
    std::optional<UIBarButtonSystemItem> systemItem_;
    std::shared_ptr<UIView> customView_;
    Action action_;
    bool enabled_ = true;
    long tag_ = 0;
    CGFloat width_ = 0;
    std::optional<UIColor> tintColor_;
};
