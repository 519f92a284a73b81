#include "CBGeoData/CBGeoContextLease.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "GeoPackageFixture.h"
#include "GeoStoreFixture.h"

namespace {

class CBGeoContextLeaseTest : public GeoStoreTest {
  protected:
    void SetUp() override {
        GeoStoreTest::SetUp();
        manager_ = CBGeoDataManager::create();
        ASSERT_NE(manager_->addPersistentStoreCoordinatorWithPath(makeStore("map.sqlite", {"a"})),
                  nullptr);
    }
    void TearDown() override {
        manager_.reset();
        GeoStoreTest::TearDown();
    }
    size_t tableSize() {
        auto table = manager_->managedObjectContextDict();
        return table ? table->size() : 0;
    }

    std::shared_ptr<CBGeoDataManager> manager_;
};

TEST_F(CBGeoContextLeaseTest, TheContextStaysInUseUntilTheLeaseEnds) {
    {
        auto lease = manager_->leaseContextForCurrentThread();
        ASSERT_TRUE(lease);
        EXPECT_EQ(lease.context(), manager_->lockedContextForCurrentThread());
        manager_->handleDidReceiveMemoryWarningNotification();
        EXPECT_EQ(tableSize(), 1u);  // in use: kept, dropped once let go
    }
    EXPECT_EQ(tableSize(), 0u);

    // Without a warning the ended lease leaves an idle context that the next
    // warning takes.
    manager_->leaseContextForCurrentThread();
    EXPECT_EQ(tableSize(), 1u);
    manager_->handleDidReceiveMemoryWarningNotification();
    EXPECT_EQ(tableSize(), 0u);
}

TEST_F(CBGeoContextLeaseTest, AMovedLeaseLetsGoOnceAndAnEmptyOneNever) {
    auto first = manager_->leaseContextForCurrentThread();
    auto context = first.context();
    CBGeoContextLease second = std::move(first);
    EXPECT_FALSE(first);
    EXPECT_EQ(second.context(), context);
    first.release();  // moved from: lets go of nothing
    manager_->handleDidReceiveMemoryWarningNotification();
    EXPECT_EQ(tableSize(), 1u);
    second.release();
    EXPECT_FALSE(second);
    EXPECT_EQ(tableSize(), 0u);

    // Leases of other threads are theirs: ending one here leaves this
    // thread's context in use.
    auto mine = manager_->leaseContextForCurrentThread();
    std::thread([&] { auto theirs = manager_->leaseContextForCurrentThread(); }).join();
    manager_->handleDidReceiveMemoryWarningNotification();
    EXPECT_EQ(tableSize(), 1u);

    auto empty = CBGeoDataManager::create()->leaseContextForCurrentThread();
    EXPECT_FALSE(empty);
    EXPECT_EQ(empty.mapTilesForQuadKeys({1}), std::nullopt);
}

class CBGeoContextLeasePackageTest : public GeoPackageTest {};

TEST_F(CBGeoContextLeasePackageTest, TilesFetchedThroughALeaseLiveInItsContext) {
    // The tile of Neubrandenburg's station at zoom 14.
    const double n = std::ldexp(1.0, 14), phi = 53.5630 * M_PI / 180;
    const int64_t key = *CBGeoDataManager::quadKeyForTileXYZ(
        int64_t((13.2580 + 180) / 360 * n),
        int64_t(n * (1 - std::log(std::tan(phi) + 1 / std::cos(phi)) / M_PI) / 2), 14);
    auto lease = manager_->leaseContextForCurrentThread();
    auto tiles = lease.mapTilesForQuadKeys({key});
    ASSERT_TRUE(tiles);
    for (const auto& tile : *tiles)
        EXPECT_EQ(tile->managedObjectContext(), lease.context());
    EXPECT_FALSE((*tiles)[0]->elements().empty());
    EXPECT_TRUE(lease.elementAnchorsForQuadKeys({key}));
    EXPECT_EQ(lease.mapTilesForQuadKeys({1}, true), std::nullopt);
}

}  // namespace
