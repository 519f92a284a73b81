#include "UIKit/UITabBarItem.h"

#include "UIKit/UITabBar.h"

namespace {

const char* systemTitle(UITabBarSystemItem item) {
    switch (item) {
        case UITabBarSystemItemMore:
            return "More";
        case UITabBarSystemItemFavorites:
            return "Favorites";
        case UITabBarSystemItemFeatured:
            return "Featured";
        case UITabBarSystemItemTopRated:
            return "Top Rated";
        case UITabBarSystemItemRecents:
            return "Recents";
        case UITabBarSystemItemContacts:
            return "Contacts";
        case UITabBarSystemItemHistory:
            return "History";
        case UITabBarSystemItemBookmarks:
            return "Bookmarks";
        case UITabBarSystemItemSearch:
            return "Search";
        case UITabBarSystemItemDownloads:
            return "Downloads";
        case UITabBarSystemItemMostRecent:
            return "Most Recent";
        case UITabBarSystemItemMostViewed:
            return "Most Viewed";
    }
    return "";
}

}  // namespace

UITabBarItem::UITabBarItem(std::optional<std::string> title, UIImageRef image, long tag)
    : title_(std::move(title)), image_(std::move(image)), tag_(tag) {}

UITabBarItem::UITabBarItem(std::optional<std::string> title, UIImageRef image,
                           UIImageRef selectedImage)
    : title_(std::move(title)),
      image_(std::move(image)),
      selectedImage_(std::move(selectedImage)) {}

UITabBarItem::UITabBarItem(UITabBarSystemItem systemItem, long tag)
    : title_(systemTitle(systemItem)), systemItem_(systemItem), tag_(tag) {}

void UITabBarItem::setTitle(const std::optional<std::string>& title) {
    if (!systemItem_) {
        title_ = title;
        changed();
    }
}

void UITabBarItem::setImage(const UIImageRef& image) {
    image_ = image;
    changed();
}

void UITabBarItem::setSelectedImage(const UIImageRef& image) {
    selectedImage_ = image;
    changed();
}

void UITabBarItem::setBadgeValue(const std::optional<std::string>& value) {
    badgeValue_ = value && !value->empty() ? value : std::nullopt;
    changed();
}

void UITabBarItem::setEnabled(bool flag) {
    enabled_ = flag;
    changed();
}

void UITabBarItem::changed() {
    if (auto bar = bar_.lock()) {
        bar->setNeedsDisplay();
    }
}
