#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "UIKit/NSString+UIKit.h"
#include "uiadditions/NSString+ZELDrawingSizeCache.h"
#include "uiadditions/UIApplication+SafeURL.h"
#include "uiadditions/UIViewController+ZELLayout.h"

namespace {

TEST(DrawingSizeCacheTest, KeysOnOneDecimalAndWorksFromAnyThread) {
    const size_t before = zelDrawingSizeCacheCount();
    const CGSize a = zelSizeWithFont("Harbour road", UIFont::systemFontOfSize(12.0));
    const CGSize b = zelSizeWithFont("Harbour road", UIFont::systemFontOfSize(12.04));
    EXPECT_EQ(a, b);
    EXPECT_EQ(zelDrawingSizeCacheCount(), before + 1);
    EXPECT_EQ(a, sizeWithFont("Harbour road", UIFont::systemFontOfSize(12)));

    // Tile threads measure without the main thread's help.
    std::vector<std::thread> threads;
    std::vector<CGSize> sizes(4);
    for (size_t i = 0; i < sizes.size(); ++i) {
        threads.emplace_back([&sizes, i] {
            sizes[i] =
                zelSizeWithFont("Mill lane " + std::to_string(i % 2), UIFont::systemFontOfSize(11));
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(sizes[0], sizes[2]);
    EXPECT_GT(sizes[1].width, 0);
}

TEST(SmallCategoriesTest, URLsAndLayoutGuides) {
    auto app = UIApplication::sharedApplication();
    EXPECT_FALSE(openURLSafe_zel(app, std::nullopt));
    EXPECT_FALSE(openURLSafe_zel(app, "unknown-scheme://x"));
    EXPECT_FALSE(openURLSafe_zel(nullptr, "https://example.org"));

    auto controller = std::make_shared<UIViewController>();
    controller->setLayoutGuideLengths(64, 49);
    EXPECT_EQ(topLayoutInset_ZEL(controller), 64);
    EXPECT_EQ(bottomLayoutInset_ZEL(controller), 49);
    EXPECT_EQ(topLayoutInset_ZEL(nullptr), 0);
    setAutomaticallyAdjustsScrollViewInsets_backwardCompatibly(controller, false);
    EXPECT_FALSE(controller->automaticallyAdjustsScrollViewInsets());
}

}  // namespace
