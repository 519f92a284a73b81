#include "CBGeoData/CBGeoDataManager.h"

#include <atomic>
#include <thread>

#include "Foundation/NSError.h"
#include "GeoStoreFixture.h"
#include "foundation/NSThread+uniqueIdentifier.h"

namespace {

class CBGeoDataManagerTest : public GeoStoreTest {
  protected:
    void SetUp() override {
        GeoStoreTest::SetUp();
        manager_ = CBGeoDataManager::create();
    }
    void TearDown() override {
        manager_.reset();
        GeoStoreTest::TearDown();
    }

    size_t objectCount() {
        return manager_->managedObjectContext()
            ->countForFetchRequest(NSFetchRequest("object"))
            .value_or(0);
    }
    size_t tableSize() {
        auto table = manager_->managedObjectContextDict();
        return table ? table->size() : 0;
    }

    std::shared_ptr<CBGeoDataManager> manager_;
};

}  // namespace

TEST_F(CBGeoDataManagerTest, StoresAddSideBySideUnderKeys) {
    EXPECT_EQ(manager_->persistentStoreCoordinator(), nullptr);
    auto coordinator =
        manager_->addPersistentStoreCoordinatorWithPath(makeStore("map.sqlite", {"a", "b"}));
    ASSERT_NE(coordinator, nullptr);
    std::string guide = makeStore("guide.sqlite", {"c"});
    EXPECT_EQ(manager_->addPersistentStoreCoordinatorWithPathForKey(guide, std::string("toptable")),
              coordinator);
    EXPECT_TRUE(manager_->hasPersistentStoreForKey("toptable"));
    EXPECT_EQ(objectCount(), 3u);

    // The same path again under the same key: still one store for the key.
    EXPECT_EQ(manager_->addPersistentStoreCoordinatorWithPathForKey(guide, std::string("toptable")),
              coordinator);
    EXPECT_EQ(coordinator->persistentStores().size(), 2u);
    EXPECT_EQ(manager_->persistentStoresDictionary().size(), 1u);
    EXPECT_EQ(manager_->persistentStoresDictionary().at("toptable"),
              coordinator->persistentStores().back());

    manager_->releaseCoreDataStack();
    EXPECT_EQ(manager_->persistentStoreCoordinator(), coordinator);
    EXPECT_TRUE(coordinator->persistentStores().empty());
    EXPECT_TRUE(manager_->persistentStoresDictionary().empty());
    EXPECT_FALSE(manager_->coreDataStackIsComplete());
}

TEST_F(CBGeoDataManagerTest, FailedReplacementKeepsTheOldStore) {
    std::string guide = makeStore("guide.sqlite", {"c"});
    ASSERT_NE(manager_->addPersistentStoreCoordinatorWithPathForKey(guide, std::string("toptable")),
              nullptr);
    auto before = manager_->persistentStoresDictionary().at("toptable");
    // A caller that asks for the error gets it instead of a log line.
    NSError error;
    EXPECT_EQ(manager_->addPersistentStoreCoordinatorWithPathForKey(
                  makeCorruptFile("bad.sqlite"), std::string("toptable"), &error),
              nullptr);
    EXPECT_NE(error.code, 0);
    EXPECT_EQ(manager_->persistentStoresDictionary().at("toptable"), before);
    EXPECT_EQ(manager_->persistentStoreCoordinator()->persistentStores().size(), 1u);
    EXPECT_EQ(objectCount(), 1u);
}

TEST_F(CBGeoDataManagerTest, FailedFirstAddLeavesNoCoordinator) {
    EXPECT_EQ(manager_->addPersistentStoreCoordinatorWithPath(makeCorruptFile("bad.sqlite")),
              nullptr);
    EXPECT_EQ(manager_->persistentStoreCoordinator(), nullptr);
    EXPECT_EQ(manager_->lockedContextForCurrentThread(), nullptr);
    EXPECT_NE(manager_->addPersistentStoreCoordinatorWithPath(makeStore("map.sqlite", {"a"})),
              nullptr);
    EXPECT_EQ(objectCount(), 1u);
}

TEST_F(CBGeoDataManagerTest, StoresInsideTheBundleOpenReadOnly) {
    // A bundle of our own in the temporary folder, holding the model and a store.
    std::string bundle = file("app");
    std::filesystem::create_directories(bundle + "/Quillmere.bundle");
    std::filesystem::copy_file(bundlePath() + "/Quillmere.bundle/CBGeoObject.model",
                               bundle + "/Quillmere.bundle/CBGeoObject.model");
    std::string inBundle = bundle + "/Quillmere.bundle/packaged.sqlite";
    std::filesystem::copy_file(makeStore("source.sqlite", {"a"}), inBundle);
    NSBundle::setMainBundlePath(bundle);
    std::vector<uint8_t> before = bytesOfFile(inBundle);

    auto coordinator = manager_->addPersistentStoreCoordinatorWithPath(inBundle);
    ASSERT_NE(coordinator, nullptr);
    EXPECT_TRUE(coordinator->persistentStores().front()->isReadOnly());
    ASSERT_NE(manager_->addPersistentStoreCoordinatorWithPath(makeStore("docs.sqlite", {"b"})),
              nullptr);
    EXPECT_FALSE(coordinator->persistentStores().back()->isReadOnly());
    EXPECT_EQ(objectCount(), 2u);
    EXPECT_EQ(bytesOfFile(inBundle), before);
}

TEST_F(CBGeoDataManagerTest, EachThreadHasItsOwnContextUntilItExits) {
    ASSERT_NE(manager_->addPersistentStoreCoordinatorWithPath(makeStore("map.sqlite", {"a", "b"})),
              nullptr);
    auto mine = manager_->lockedContextForCurrentThread();
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(manager_->lockedContextForCurrentThread(), mine);
    std::shared_ptr<NSManagedObjectContext> theirs;
    size_t counted = 0;
    std::thread worker([&] {
        theirs = manager_->lockedContextForCurrentThread();
        counted = theirs->countForFetchRequest(NSFetchRequest("object")).value_or(0);
        manager_->unlockContextForCurrentThread();
        EXPECT_EQ(tableSize(), 2u);
    });
    worker.join();
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(counted, 2u);
    EXPECT_EQ(tableSize(), 1u);  // the worker's context left with the worker
    manager_->unlockContextForCurrentThread();
}

TEST_F(CBGeoDataManagerTest, MemoryWarningDropsOnlyIdleContexts) {
    ASSERT_NE(manager_->addPersistentStoreCoordinatorWithPath(makeStore("map.sqlite", {"a"})),
              nullptr);
    std::thread([&] {
        manager_->unlockContextForCurrentThread();
    }).join();  // never locked: nothing
    EXPECT_EQ(tableSize(), 0u);

    auto held = manager_->lockedContextForCurrentThread();
    NSNotificationCenter::defaultCenter()->postNotificationName(
        CBGeoDataManager::UIApplicationDidReceiveMemoryWarningNotification);
    EXPECT_EQ(tableSize(), 1u);
    EXPECT_EQ(held->countForFetchRequest(NSFetchRequest("object")), 1u);
    manager_->unlockContextForCurrentThread();  // the scheduled drop happens now
    EXPECT_EQ(tableSize(), 0u);
    auto fresh = manager_->lockedContextForCurrentThread();
    EXPECT_NE(fresh, held);
    manager_->unlockContextForCurrentThread();
    manager_->handleDidReceiveMemoryWarningNotification();
    EXPECT_EQ(tableSize(), 0u);

    // A lock after an unlock makes the same context in use again.
    auto again = manager_->lockedContextForCurrentThread();
    manager_->unlockContextForCurrentThread();
    manager_->lockContextForCurrentThread();
    manager_->handleDidReceiveMemoryWarningNotification();
    EXPECT_EQ(tableSize(), 1u);
    manager_->unlockContextForCurrentThread();
    EXPECT_EQ(tableSize(), 0u);
}

TEST_F(CBGeoDataManagerTest, MemoryWarningsNeverTakeAContextInUse) {
    ASSERT_NE(
        manager_->addPersistentStoreCoordinatorWithPath(makeStore("map.sqlite", {"a", "b", "c"})),
        nullptr);
    std::atomic<bool> stop = false;
    std::atomic<int> wrongCounts = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < 200 && !stop; ++i) {
                auto context = manager_->lockedContextForCurrentThread();
                auto table = manager_->managedObjectContextDict();
                // While locked the context stays in the table and answers.
                if (context->countForFetchRequest(NSFetchRequest("object")) != 3u)
                    ++wrongCounts;
                if (!table || !manager_->managedObjectContextDict()->count(uniqueIdentifier()))
                    ++wrongCounts;
                manager_->unlockContextForCurrentThread();
            }
        });
    }
    for (int i = 0; i < 200; ++i)
        manager_->handleDidReceiveMemoryWarningNotification();
    stop = true;
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(wrongCounts, 0);
    EXPECT_EQ(tableSize(), 0u);
}

TEST_F(CBGeoDataManagerTest, QuadKeyTemplateAndFolders) {
    EXPECT_EQ(manager_->quadKeysPredicate()->predicateFormat(), "quadKey IN $quadKeys");
    EXPECT_NE(CBGeoDataManager::applicationSupportDirectory().find("/quillmereData"),
              std::string::npos);
}
