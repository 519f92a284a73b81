#include "Foundation/NSCache.h"

#include <gtest/gtest.h>

#include <thread>

using Cache = NSCache<std::string, std::string>;

namespace {

std::shared_ptr<std::string> text(const char* value) {
    return std::make_shared<std::string>(value);
}

}  // namespace

TEST(NSCacheTest, CountLimitEvictsTheLeastRecentlyUsed) {
    Cache cache;
    std::vector<std::string> evicted;
    cache.setWillEvictObject([&](const auto& object) { evicted.push_back(*object); });
    cache.setCountLimit(2);
    cache.setObjectForKey("a", text("A"));
    cache.setObjectForKey("b", text("B"));
    ASSERT_NE(cache.objectForKey("a"), nullptr);  // a is now fresher than b
    cache.setObjectForKey("c", text("C"));
    EXPECT_EQ(cache.objectForKey("b"), nullptr);
    EXPECT_EQ(*cache.objectForKey("a"), "A");
    EXPECT_EQ(evicted, std::vector<std::string>{"B"});
    EXPECT_EQ(cache.count(), 2u);

    // Replacing a key keeps one entry; lowering the limit evicts at once.
    cache.setObjectForKey("a", text("A2"));
    EXPECT_EQ(cache.count(), 2u);
    cache.setCountLimit(1);
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(*cache.objectForKey("a"), "A2");
    // Removals by the owner are not evictions.
    cache.removeObjectForKey("a");
    cache.setObjectForKey("d", nullptr);
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_EQ(evicted, (std::vector<std::string>{"B", "C"}));
}

TEST(NSCacheTest, CostLimitCountsEveryObject) {
    Cache cache;
    cache.setTotalCostLimit(100);
    cache.setObjectForKey("a", text("A"), 40);
    cache.setObjectForKey("b", text("B"), 40);
    EXPECT_EQ(cache.totalCost(), 80u);
    cache.setObjectForKey("c", text("C"), 40);
    EXPECT_EQ(cache.objectForKey("a"), nullptr);
    EXPECT_EQ(cache.totalCost(), 80u);
    cache.setObjectForKey("b", text("B2"), 10);  // a replacement's cost replaces the old one
    EXPECT_EQ(cache.totalCost(), 50u);
    cache.setObjectForKey("huge", text("H"), 500);  // dearer than the whole cache
    EXPECT_EQ(cache.objectForKey("huge"), nullptr);
    EXPECT_EQ(cache.count(), 0u);
    cache.setObjectForKey("e", text("E"), 1);
    cache.removeAllObjects();
    EXPECT_EQ(cache.totalCost(), 0u);
}

TEST(NSCacheTest, ManyThreadsShareOneCache) {
    NSCache<int, int> cache;
    cache.setCountLimit(64);
    cache.setTotalCostLimit(1000);
    std::atomic<int> evictions{0};
    cache.setWillEvictObject([&](const auto&) { ++evictions; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&cache, t] {
            for (int i = 0; i < 5000; ++i) {
                int key = (i * 7 + t) % 200;
                if (auto hit = cache.objectForKey(key))
                    EXPECT_EQ(*hit, key);
                else
                    cache.setObjectForKey(key, std::make_shared<int>(key), key % 10);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_LE(cache.count(), 64u);
    EXPECT_LE(cache.totalCost(), 1000u);
    EXPECT_GT(evictions.load(), 0);
}
