#pragma once

#include <memory>
#include <optional>
#include <string>

class UIBarButtonItem;
class UINavigationBar;
class UIView;

// What a navigation bar shows while a controller is on top: a title (or a
// title view) and the buttons beside it. The back button shown for the
// controller above this one is this item's backBarButtonItem, else its title.
// A change tells the bar showing the item to lay out again.
class UINavigationItem {
  public:
    UINavigationItem() = default;
    explicit UINavigationItem(std::optional<std::string> title) : title_(std::move(title)) {}

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(const std::optional<std::string>& title);
    const std::shared_ptr<UIView>& titleView() const { return titleView_; }
    void setTitleView(std::shared_ptr<UIView> view);
    const std::shared_ptr<UIBarButtonItem>& leftBarButtonItem() const { return left_; }
    void setLeftBarButtonItem(std::shared_ptr<UIBarButtonItem> item);
    const std::shared_ptr<UIBarButtonItem>& rightBarButtonItem() const { return right_; }
    void setRightBarButtonItem(std::shared_ptr<UIBarButtonItem> item);
    const std::shared_ptr<UIBarButtonItem>& backBarButtonItem() const { return back_; }
    void setBackBarButtonItem(std::shared_ptr<UIBarButtonItem> item);
    bool hidesBackButton() const { return hidesBackButton_; }
    void setHidesBackButton(bool flag);

    // Set by the bar whose stack holds the item.
    void setNavigationBar(const std::shared_ptr<UINavigationBar>& bar) { bar_ = bar; }

  private:
    void changed();

    std::optional<std::string> title_;
    std::shared_ptr<UIView> titleView_;
    std::shared_ptr<UIBarButtonItem> left_;
    std::shared_ptr<UIBarButtonItem> right_;
    std::shared_ptr<UIBarButtonItem> back_;
    bool hidesBackButton_ = false;
    std::weak_ptr<UINavigationBar> bar_;
};
