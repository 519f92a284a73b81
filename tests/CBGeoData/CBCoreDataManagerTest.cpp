#include "CBGeoData/CBCoreDataManager.h"
#include "CBGeoData/NSManagedObject+CBDuplicationMethods.h"

#include <atomic>

#include "GeoStoreFixture.h"

namespace {

// A manager over one geo store whose search finds objects by canonical name
// and whose fetch can be made to fail.
class SearchManager : public CBCoreDataManager {
  public:
    explicit SearchManager(std::shared_ptr<NSManagedObjectModel> model)
        : model_(std::move(model)) {}

    // Loaded again after a release, as a real manager's model is.
    std::shared_ptr<NSManagedObjectModel> managedObjectModel() override {
        if (!managedObjectModel_)
            managedObjectModel_ = model_;
        return managedObjectModel_;
    }
    std::shared_ptr<NSPersistentStoreCoordinator> persistentStoreCoordinator() override {
        return persistentStoreCoordinator_;
    }
    void addStore(const std::string& path) {
        auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(managedObjectModel());
        coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", path, {}, nullptr);
        persistentStoreCoordinator_ = coordinator;
    }
    // A stack with no store, opened and released quickly.
    void openEmptyStack() {
        persistentStoreCoordinator_ =
            std::make_shared<NSPersistentStoreCoordinator>(managedObjectModel());
    }
    std::shared_ptr<NSPredicate> predicateForCanonicalSearchTerm(const std::string& term) override {
        return NSPredicate::predicateWithFormat("canonicalName CONTAINS %@", {term});
    }
    void startSearchWithSearchInfo(const std::shared_ptr<CBGeoSearchInfo>& info) override {
        runSearchJob(
            info,
            [this](NSManagedObjectContext& context, const CBGeoSearchRequest& request,
                   size_t limit) -> std::optional<std::vector<std::shared_ptr<NSManagedObject>>> {
                ++fetches;
                if (failFetch)
                    return std::nullopt;
                NSFetchRequest fetch("object");
                fetch.predicate = request.searchPredicate;
                fetch.sortDescriptors = {NSSortDescriptor::sortDescriptorWithKey("name", true)};
                fetch.fetchLimit = limit;
                return context.executeFetchRequest(fetch);
            },
            [](const CBGeoSearchInfo&,
               const std::vector<std::shared_ptr<NSManagedObject>>& objects) {
                return std::vector<std::any>(objects.begin(), objects.end());
            });
    }

    std::atomic<int> fetches = 0;
    std::atomic<bool> failFetch = false;

  protected:
    std::shared_ptr<DispatchQueue> createSearchQueue() override {
        return DispatchQueue::createSerial("CBCoreDataManagerTestSearch");
    }

  private:
    std::shared_ptr<NSManagedObjectModel> model_;
};

class CBCoreDataManagerTest : public GeoStoreTest {
  protected:
    void SetUp() override {
        GeoStoreTest::SetUp();
        std::vector<std::string> objectNames = {"main street", "main square", "maine road",
                                                "elm street"};
        manager_ = std::make_shared<SearchManager>(model_);
        manager_->addStore(makeStore("geo.sqlite", objectNames));
        manager_->searchDelayShort = 0.02;
        manager_->searchDelayLong = 0.03;
    }
    void TearDown() override {
        manager_.reset();
        GeoStoreTest::TearDown();
    }

    // Starts a search; deliveries are appended to results_.
    bool search(const std::string& text, bool delayed = false, bool addresses = false) {
        auto info = std::make_shared<CBGeoSearchInfo>();
        info->searchString = text;
        info->delaySearch = delayed;
        info->shouldFindAddresses = addresses;
        info->completionBlock = [this, text](const std::vector<std::any>& results) {
            std::vector<std::string> found;
            for (const auto& result : results) {
                found.push_back(
                    *std::any_cast<std::shared_ptr<NSManagedObject>>(result)->stringForKey("name"));
            }
            deliveries_.emplace_back(text, found);
        };
        return manager_->searchWithGeoSearchInfo(info);
    }

    void waitForDeliveries(size_t count) {
        runMainLoopUntil([&] { return deliveries_.size() >= count; });
    }

    std::shared_ptr<SearchManager> manager_;
    std::vector<std::pair<std::string, std::vector<std::string>>> deliveries_;
};

}  // namespace

TEST_F(CBCoreDataManagerTest, ParsesHouseNumbersAndNameWords) {
    auto request = manager_->geoSearchRequestFromSearchText("5th avenue 12");
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->arrayOfHouseNumbers, (std::vector<std::string>{"12"}));
    EXPECT_FALSE(request->houseNumberOnly);
    std::string format = request->searchPredicate->predicateFormat();
    EXPECT_NE(format.find("\"5th\""), std::string::npos);
    EXPECT_NE(format.find("\"avenue\""), std::string::npos);
    EXPECT_NE(format.find(" AND "), std::string::npos);

    request = manager_->geoSearchRequestFromSearchText("12 \t 7b");
    ASSERT_NE(request, nullptr);
    EXPECT_TRUE(request->houseNumberOnly);
    EXPECT_EQ(request->arrayOfHouseNumbers, (std::vector<std::string>{"12", "7b"}));
    EXPECT_NE(request->searchPredicate->predicateFormat().find(" OR "), std::string::npos);

    request = manager_->geoSearchRequestFromSearchText("0 42nd");
    ASSERT_NE(request, nullptr);
    EXPECT_FALSE(request->arrayOfHouseNumbers.has_value());
    EXPECT_EQ(manager_->geoSearchRequestFromSearchText(std::nullopt), nullptr);
    EXPECT_EQ(manager_->geoSearchRequestFromSearchText("   "), nullptr);
    EXPECT_EQ(manager_->canonicalStringFromString("Zürich STRASSE"), "zurich strasse");
}

TEST_F(CBCoreDataManagerTest, AcceptsOrRefusesJobs) {
    auto noBlock = std::make_shared<CBGeoSearchInfo>();
    noBlock->searchString = "main";
    EXPECT_FALSE(manager_->searchWithGeoSearchInfo(noBlock));
    EXPECT_FALSE(search(" \t "));
    EXPECT_FALSE(search("ma", true));  // too short to wait for
    EXPECT_EQ(manager_->pendingSearchInfo(), nullptr);

    EXPECT_TRUE(search("mai", true));
    auto pending = manager_->pendingSearchInfo();
    ASSERT_NE(pending, nullptr);
    EXPECT_TRUE(search("  mai ", true));  // the same text stands
    EXPECT_EQ(manager_->pendingSearchInfo(), pending);

    EXPECT_TRUE(search(std::string(60, 'x')));
    EXPECT_EQ(manager_->pendingSearchInfo()->searchString, std::string(50, 'x'));
    manager_->cancelSearch();
    EXPECT_EQ(manager_->pendingSearchInfo(), nullptr);
}

TEST_F(CBCoreDataManagerTest, NewerTextSupersedesTheDelayedSearch) {
    EXPECT_TRUE(search("mai", true));
    EXPECT_TRUE(search("main", true));
    EXPECT_TRUE(search("main s", true));
    waitForDeliveries(1);
    // Let any stray delivery arrive before checking there was only one.
    NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.1));
    ASSERT_EQ(deliveries_.size(), 1u);
    EXPECT_EQ(deliveries_[0].first, "main s");
    EXPECT_EQ(deliveries_[0].second, (std::vector<std::string>{"main square", "main street"}));
    EXPECT_EQ(manager_->fetches, 1);
    EXPECT_EQ(manager_->pendingSearchInfo(), nullptr);
    EXPECT_EQ(manager_->lastExecutedSearchInfo()->searchString, "main s");
    EXPECT_FALSE(search("main s"));  // nothing new to do
    // With addresses it is another question, which the earlier results
    // cannot answer.
    EXPECT_TRUE(search("main st", false, true));
    waitForDeliveries(2);
    EXPECT_EQ(manager_->fetches, 2);
}

TEST_F(CBCoreDataManagerTest, LongerTextRefinesTheLastResultsInMemory) {
    ASSERT_TRUE(search("main"));
    waitForDeliveries(1);
    EXPECT_EQ(deliveries_[0].second,
              (std::vector<std::string>{"main square", "main street", "maine road"}));
    ASSERT_TRUE(search("main st"));
    waitForDeliveries(2);
    EXPECT_EQ(deliveries_[1].second, (std::vector<std::string>{"main street"}));
    EXPECT_EQ(manager_->fetches, 1);
    // The filtered job does not replace the broader one.
    EXPECT_EQ(manager_->lastExecutedSearchInfo()->searchString, "main");
    ASSERT_TRUE(search("elm"));
    waitForDeliveries(3);
    EXPECT_EQ(manager_->fetches, 2);
}

TEST_F(CBCoreDataManagerTest, FailedFetchStillFinishesTheJob) {
    manager_->failFetch = true;
    ASSERT_TRUE(search("main"));
    waitForDeliveries(1);
    EXPECT_TRUE(deliveries_[0].second.empty());
    EXPECT_EQ(manager_->pendingSearchInfo(), nullptr);
    manager_->failFetch = false;
    ASSERT_TRUE(search("main"));  // really runs again
    waitForDeliveries(2);
    EXPECT_EQ(manager_->fetches, 2);
    EXPECT_EQ(deliveries_[1].second.size(), 3u);
}

TEST_F(CBCoreDataManagerTest, StackChecksAndStoreValidation) {
    EXPECT_TRUE(manager_->coreDataStackIsComplete());
    EXPECT_TRUE(manager_->validatePeristentStoreAtPath(file("geo.sqlite")));
    EXPECT_FALSE(manager_->validatePeristentStoreAtPath(makeCorruptFile("bad.sqlite")));
    EXPECT_FALSE(manager_->validatePeristentStoreAtPath(file("missing.sqlite")));
    EXPECT_FALSE(manager_->validatePeristentStoreAtPath(std::nullopt));
    EXPECT_FALSE(std::filesystem::exists(file("missing.sqlite")));

    auto objects = manager_->managedObjectContext()->executeFetchRequest(NSFetchRequest("object"));
    ASSERT_TRUE(objects && !objects->empty());
    std::string uri = objects->front()->objectID().URIRepresentation();
    EXPECT_EQ(manager_->managedObjectForURIStringRepresentation(uri), objects->front());
    EXPECT_EQ(manager_->managedObjectForURIStringRepresentation(
                  std::string("x-coredata://nope/object/p1")),
              nullptr);
    EXPECT_EQ(manager_->managedObjectForURIStringRepresentation(std::nullopt), nullptr);

    objects->front()->setValueForKey("name", Value("renamed"));
    EXPECT_TRUE(manager_->saveChanges());
    manager_->releaseCoreDataStackKeepingPersistentStoreCoordinator(true);
    EXPECT_FALSE(manager_->coreDataStackIsComplete());
    EXPECT_FALSE(manager_->saveChanges());
}

TEST_F(CBCoreDataManagerTest, ReleasingTheStackWhileTheSearchQueueMakesItsContextIsSafe) {
    // The main thread switches stacks while the search queue makes its
    // context from the stack it finds there, as a map switch does while a
    // title index is read: the queue must never copy a coordinator that the
    // main thread is freeing.
    auto queue = manager_->searchQueue();
    std::weak_ptr<SearchManager> weak = manager_;
    for (int i = 0; i < 20000; ++i) {
        manager_->openEmptyStack();
        queue->async([weak] {
            if (auto manager = weak.lock())
                manager->searchObjectContext();
        });
        manager_->releaseCoreDataStack();
    }
    queue->sync([] {});
    manager_->addStore(file("geo.sqlite"));
    ASSERT_TRUE(search("elm"));
    waitForDeliveries(1);
    EXPECT_EQ(deliveries_[0].second, std::vector<std::string>{"elm street"});
}

TEST_F(CBCoreDataManagerTest, DuplicatesAttributesIntoAnotherContext) {
    auto source = manager_->managedObjectContext()->executeFetchRequest(NSFetchRequest("object"));
    ASSERT_TRUE(source && !source->empty());
    auto original = source->front();
    original->setValueForKey("timestamp", Value(NSDate::dateWithTimeIntervalSinceReferenceDate(5)));
    auto tile = manager_->managedObjectContext()->insertNewObjectForEntityForName("maptile");
    original->addObjectForKey("tiles", tile);

    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model_);
    ASSERT_NE(coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", file("copy.sqlite"),
                                                      {}, nullptr),
              nullptr);
    auto target = std::make_shared<NSManagedObjectContext>();
    target->setPersistentStoreCoordinator(coordinator);
    auto copy = duplicateToManagedContext(*original, target);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->managedObjectContext(), target);
    EXPECT_EQ(copy->stringForKey("name"), original->stringForKey("name"));
    EXPECT_EQ(copy->dateForKey("timestamp"), original->dateForKey("timestamp"));
    EXPECT_TRUE(copy->objectsForKey("tiles").empty());
    EXPECT_TRUE(target->save());
}
