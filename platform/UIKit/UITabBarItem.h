#pragma once

#include <memory>
#include <optional>
#include <string>

#include "CoreGraphics/CGContext.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIImage.h"

class UITabBar;

enum UITabBarSystemItem : long {
    UITabBarSystemItemMore,
    UITabBarSystemItemFavorites,
    UITabBarSystemItemFeatured,
    UITabBarSystemItemTopRated,
    UITabBarSystemItemRecents,
    UITabBarSystemItemContacts,
    UITabBarSystemItemHistory,
    UITabBarSystemItemBookmarks,
    UITabBarSystemItemSearch,
    UITabBarSystemItemDownloads,
    UITabBarSystemItemMostRecent,
    UITabBarSystemItemMostViewed,
};

// What a tab bar shows for one tab: a title over an image (template images
// take the bar's colours; the selected image while the tab is chosen), or a
// system item with its own title and glyph, and an optional badge in the
// image's top right corner. A change redraws the bar showing the item.
class UITabBarItem {
  public:
    UITabBarItem(std::optional<std::string> title, UIImageRef image, long tag);
    UITabBarItem(std::optional<std::string> title, UIImageRef image, UIImageRef selectedImage);
    UITabBarItem(UITabBarSystemItem systemItem, long tag);

    const std::optional<std::string>& title() const { return title_; }
    // A system item keeps its own title and glyph.
    void setTitle(const std::optional<std::string>& title);
    const UIImageRef& image() const { return image_; }
    void setImage(const UIImageRef& image);
    // The image while selected; the image when unset.
    const UIImageRef& selectedImage() const { return selectedImage_ ? selectedImage_ : image_; }
    void setSelectedImage(const UIImageRef& image);
    std::optional<UITabBarSystemItem> systemItem() const { return systemItem_; }
    long tag() const { return tag_; }
    void setTag(long tag) { tag_ = tag; }
    // nullopt or empty: no badge.
    const std::optional<std::string>& badgeValue() const { return badgeValue_; }
    void setBadgeValue(const std::optional<std::string>& value);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool flag);

    // Set by the bar that shows the item.
    void setTabBar(const std::shared_ptr<UITabBar>& bar) { bar_ = bar; }

    // Draws a system item's glyph filling rect in the colour.
    static void drawSystemGlyph(CGContext& context, UITabBarSystemItem item, const CGRect& rect,
                                const UIColor& color);

  private:
    void changed();

    std::optional<std::string> title_;
    UIImageRef image_;
    UIImageRef selectedImage_;
    std::optional<UITabBarSystemItem> systemItem_;
    long tag_ = 0;
    std::optional<std::string> badgeValue_;
    bool enabled_ = true;
    std::weak_ptr<UITabBar> bar_;
};
