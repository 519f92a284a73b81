#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "UIKit/NSString+UIKit.h"
#include "foundation/CLLocationManager+AuthorizationStatus.h"
#include "foundation/NSArray+SafeIndex.h"
#include "foundation/NSString+ZELDrawingSizeCache.h"
#include "foundation/UIApplication+SafeURL.h"
#include "foundation/UIViewController+ZELLayout.h"

namespace {

TEST(SafeIndexTest, ToleratesBadIndicesAndAbsentObjects) {
    const std::vector<int> numbers{1, 2, 3};
    EXPECT_EQ(objectAtIndexSafe(numbers, 2), 3);
    EXPECT_EQ(objectAtIndexSafe(numbers, 3), std::nullopt);
    EXPECT_EQ(subarrayWithRangeSafe(numbers, 1, 10), (std::vector<int>{2, 3}));
    EXPECT_TRUE(subarrayWithRangeSafe(numbers, 5, 1).empty());

    std::vector<std::shared_ptr<int>> objects;
    addObjectSafe(objects, std::shared_ptr<int>());
    addObjectSafe(objects, std::make_shared<int>(4));
    EXPECT_EQ(objects.size(), 1u);
    EXPECT_EQ(objectAtIndexSafe(objects, 1), nullptr);

    std::vector<std::string> strings;
    addNonEmptyStringSafe(strings, std::nullopt);
    addNonEmptyStringSafe(strings, "");
    addNonEmptyStringSafe(strings, "a");
    EXPECT_EQ(strings, std::vector<std::string>{"a"});
}

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

TEST(SmallCategoriesTest, AuthorisationURLsAndLayoutGuides) {
    EXPECT_FALSE(ZEL_isWhenInUseOrAlwaysAuthorizationStatus(kCLAuthorizationStatusNotDetermined));
    EXPECT_FALSE(ZEL_isWhenInUseOrAlwaysAuthorizationStatus(kCLAuthorizationStatusRestricted));
    EXPECT_FALSE(ZEL_isWhenInUseOrAlwaysAuthorizationStatus(kCLAuthorizationStatusDenied));
    EXPECT_TRUE(ZEL_isWhenInUseOrAlwaysAuthorizationStatus(kCLAuthorizationStatusAuthorizedAlways));
    EXPECT_TRUE(
        ZEL_isWhenInUseOrAlwaysAuthorizationStatus(kCLAuthorizationStatusAuthorizedWhenInUse));

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
