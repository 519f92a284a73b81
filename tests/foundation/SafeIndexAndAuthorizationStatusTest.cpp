#include <gtest/gtest.h>

#include <vector>

#include "foundation/CLLocationManager+AuthorizationStatus.h"
#include "foundation/NSArray+SafeIndex.h"

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

TEST(SmallCategoriesTest, AuthorisationStatus) {
    EXPECT_FALSE(ZEL_isWhenInUseOrAlwaysAuthorizationStatus(kCLAuthorizationStatusNotDetermined));
    EXPECT_FALSE(ZEL_isWhenInUseOrAlwaysAuthorizationStatus(kCLAuthorizationStatusRestricted));
    EXPECT_FALSE(ZEL_isWhenInUseOrAlwaysAuthorizationStatus(kCLAuthorizationStatusDenied));
    EXPECT_TRUE(ZEL_isWhenInUseOrAlwaysAuthorizationStatus(kCLAuthorizationStatusAuthorizedAlways));
    EXPECT_TRUE(
        ZEL_isWhenInUseOrAlwaysAuthorizationStatus(kCLAuthorizationStatusAuthorizedWhenInUse));
}

}  // namespace
