#include "UIKit/UIBarButtonItem.h"

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
