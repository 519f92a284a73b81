#include <gtest/gtest.h>

#include <algorithm>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "GeoPackageFixture.h"

namespace {

// What a search handed its caller.
struct Answers {
    int calls = 0;
    CBGeoDataManager::SearchResults results;
};

class GeoSearchTest : public GeoPackageTest {
  protected:
    std::shared_ptr<Answers> start(const std::string& text, bool addresses = false,
                                   bool* accepted = nullptr) {
        auto answers = std::make_shared<Answers>();
        bool ok = manager_->searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
            text, addresses, false, [answers](const CBGeoDataManager::SearchResults& results) {
                ++answers->calls;
                answers->results = results;
            });
        if (accepted)
            *accepted = ok;
        return answers;
    }
    std::shared_ptr<Answers> search(const std::string& text, bool addresses = false) {
        bool accepted = false;
        auto answers = start(text, addresses, &accepted);
        EXPECT_TRUE(accepted) << text;
        EXPECT_TRUE(runMainLoopUntil([answers] { return answers->calls > 0; })) << text;
        drainMainLoop(0.05);
        return answers;
    }
    static std::vector<std::string> names(const CBGeoDataManager::SearchResults& results) {
        std::vector<std::string> list;
        for (const auto& result : results)
            list.push_back(result->object()->name().value_or(""));
        return list;
    }
    static bool hasName(const CBGeoDataManager::SearchResults& results, const std::string& name) {
        auto list = names(results);
        return std::find(list.begin(), list.end(), name) != list.end();
    }
};

TEST_F(GeoSearchTest, FindsPlacesByAnyWordWithoutCaseOrAccents) {
    auto answers = search("BRÄSIG");
    EXPECT_EQ(answers->calls, 1);
    EXPECT_TRUE(hasName(answers->results, "Unkel-Bräsig-Straße"));
    EXPECT_TRUE(hasName(search("brasig")->results, "Unkel-Bräsig-Straße"));
    // Words in any order, each anywhere in the name; ß folds to ss.
    auto reordered = search("strasse NEUSTRELITZER");
    EXPECT_TRUE(hasName(reordered->results, "Neustrelitzer Straße"));
    for (const auto& result : reordered->results) {
        std::string canonical = result->object()->canonicalName().value_or("");
        EXPECT_NE(canonical.find("neustrelitzer"), std::string::npos) << canonical;
    }
}

TEST_F(GeoSearchTest, FindsAddressesByStreetAndHouseNumber) {
    auto answers = search("Adlerstraße 2", true);
    ASSERT_EQ(answers->calls, 1);
    std::vector<std::string> numbers;
    size_t firstPlain = answers->results.size();
    for (size_t i = 0; i < answers->results.size(); ++i) {
        const auto& result = answers->results[i];
        if (!result->address()) {
            firstPlain = std::min(firstPlain, i);
            continue;
        }
        EXPECT_LT(i, firstPlain) << "address hits lead the plain ones";
        EXPECT_EQ(result->object()->name(), "Adlerstraße");
        EXPECT_TRUE(result->subtitle());
        numbers.push_back(result->address()->houseNumber().value_or(""));
    }
    std::sort(numbers.begin(), numbers.end());
    // 2 and its lettered siblings; never 12, 20, 22 or 32.
    EXPECT_EQ(numbers, (std::vector<std::string>{"2", "2A", "2B", "2C", "2D", "2E", "2F", "2G",
                                                 "2H", "2I"}));
    // The address hit sits at the address, not at the street's own point.
    EXPECT_NE(answers->results.front()->coordinate(),
              answers->results.front()->object()->coordinate());

    // The same text again counts as nothing new until the search is reset.
    manager_->cancelSearch();
    auto withoutAddresses = search("Adlerstraße 2", false);
    for (const auto& result : withoutAddresses->results)
        EXPECT_EQ(result->address(), nullptr);
}

TEST_F(GeoSearchTest, OrdersExactNamesFirstThenByName) {
    auto answers = search("Neubrandenburg");
    ASSERT_GT(answers->results.size(), 3u);
    size_t exact = 0;
    while (exact < answers->results.size() &&
           answers->results[exact]->object()->canonicalName() == "neubrandenburg") {
        ++exact;
    }
    EXPECT_GE(exact, 1u);
    auto rest = names(answers->results);
    rest.erase(rest.begin(), rest.begin() + static_cast<long>(exact));
    EXPECT_TRUE(std::is_sorted(rest.begin(), rest.end()));
    for (const auto& name : rest)
        EXPECT_NE(name, "Neubrandenburg");
}

TEST_F(GeoSearchTest, ANewerTextCancelsTheOlderSearch) {
    bool accepted = false;
    auto older = start("neu", false, &accepted);
    ASSERT_TRUE(accepted);
    auto newer = start("adler", false, &accepted);
    ASSERT_TRUE(accepted);
    ASSERT_TRUE(runMainLoopUntil([newer] { return newer->calls > 0; }));
    drainMainLoop();
    EXPECT_EQ(older->calls, 0);
    EXPECT_EQ(newer->calls, 1);
    EXPECT_TRUE(hasName(newer->results, "Adlerstraße"));
}

TEST_F(GeoSearchTest, TheSameTextWhilePendingAnswersTheLatestCaller) {
    auto first = start("adlerhorst");
    bool accepted = false;
    auto second = start("adlerhorst", false, &accepted);
    EXPECT_TRUE(accepted);
    ASSERT_TRUE(runMainLoopUntil([second] { return second->calls > 0; }));
    drainMainLoop();
    EXPECT_EQ(first->calls, 0);
    EXPECT_EQ(second->calls, 1);
    EXPECT_TRUE(hasName(second->results, "Adlerhorst"));
}

TEST_F(GeoSearchTest, NoHitAnswersOnceWithNothing) {
    auto answers = search("qxqzzyv");
    EXPECT_EQ(answers->calls, 1);
    EXPECT_TRUE(answers->results.empty());
}

TEST_F(GeoSearchTest, AReleasedManagerStillAnswersOnce) {
    bool accepted = false;
    auto answers = start("adler", false, &accepted);
    ASSERT_TRUE(accepted);
    manager_.reset();
    EXPECT_TRUE(runMainLoopUntil([answers] { return answers->calls > 0; }, 5));
    drainMainLoop();
    EXPECT_EQ(answers->calls, 1);
    EXPECT_TRUE(answers->results.empty());
}

TEST_F(GeoSearchTest, AClosedStackStillAnswersOnce) {
    bool accepted = false;
    auto answers = start("adler", false, &accepted);
    ASSERT_TRUE(accepted);
    manager_->releaseCoreDataStack();
    EXPECT_TRUE(runMainLoopUntil([answers] { return answers->calls > 0; }, 5));
    drainMainLoop();
    EXPECT_EQ(answers->calls, 1);
    EXPECT_TRUE(answers->results.empty());
    // A closed manager refuses new searches outright.
    EXPECT_FALSE(start("adler", false, &accepted)->calls);
    EXPECT_FALSE(accepted);
}

TEST_F(GeoSearchTest, ClosestNamedObjectToATap) {
    auto adlerhorst = search("adlerhorst")->results;
    ASSERT_FALSE(adlerhorst.empty());
    CLLocationCoordinate2D place = adlerhorst.front()->object()->coordinate();
    int calls = 0;
    std::shared_ptr<CBGeoObject> found;
    manager_->searchForClosestObjectToWithCompletionBlock(
        {place.latitude + 0.00002, place.longitude - 0.00002},
        [&](const std::shared_ptr<CBGeoObject>& object) {
            ++calls;
            found = object;
        });
    ASSERT_TRUE(runMainLoopUntil([&] { return calls > 0; }));
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(found->name());
    EXPECT_LT(std::fabs(found->coordinate().latitude - place.latitude) +
                  std::fabs(found->coordinate().longitude - place.longitude),
              0.0002);

    // In the Baltic Sea there is nothing: the answer is nil, once.
    calls = 0;
    manager_->searchForClosestObjectToWithCompletionBlock(
        {54.8, 13.9}, [&](const std::shared_ptr<CBGeoObject>& object) {
            ++calls;
            found = object;
        });
    ASSERT_TRUE(runMainLoopUntil([&] { return calls > 0; }));
    drainMainLoop();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(found, nullptr);
}

TEST_F(GeoSearchTest, ObjectsInABoxMatchingAPredicate) {
    auto box =
        CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan({53.557, 13.261}, 0.02, 0.03);
    int calls = 0;
    CBGeoDataManager::Objects found;
    manager_->searchForObjectsInBBoxMatchingPredicateWithCompletionBlock(
        box, NSPredicate::predicateWithFormat("name != nil"),
        [&](const CBGeoDataManager::Objects& objects) {
            ++calls;
            found = objects;
        });
    ASSERT_TRUE(runMainLoopUntil([&] { return calls > 0; }));
    EXPECT_FALSE(found.empty());
    EXPECT_LE(found.size(), 50u);
    for (const auto& object : found) {
        EXPECT_TRUE(object->name());
        EXPECT_TRUE(box->includesCoordinate(object->coordinate()));
        EXPECT_EQ(object->managedObjectContext(), manager_->managedObjectContext());
    }

    // No hit answers once, with nothing.
    calls = 0;
    manager_->searchForObjectsInBBoxMatchingPredicateWithCompletionBlock(
        CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan({54.8, 13.9}, 0.01, 0.01),
        nullptr, [&](const CBGeoDataManager::Objects& objects) {
            ++calls;
            found = objects;
        });
    ASSERT_TRUE(runMainLoopUntil([&] { return calls > 0; }));
    drainMainLoop();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(found.empty());
}

TEST_F(GeoSearchTest, SimilarObjectFromAnotherContext) {
    auto hits = search("Adlerstraße 2", true)->results;
    ASSERT_FALSE(hits.empty());
    ASSERT_NE(hits.front()->address(), nullptr);
    // The same result in this manager's own context comes back unchanged.
    EXPECT_EQ(manager_->findSimilarObjectToObjectFromOtherContext(hits.front()), hits.front());

    auto other = CBGeoDataManager::create();
    ASSERT_NE(other->addPersistentStoreCoordinatorWithPath(storePath()), nullptr);
    auto carried = other->findSimilarObjectToObjectFromOtherContext(hits.front());
    ASSERT_NE(carried, nullptr);
    EXPECT_EQ(carried->object()->managedObjectContext(), other->managedObjectContext());
    EXPECT_EQ(carried->object()->name(), hits.front()->object()->name());
    ASSERT_NE(carried->address(), nullptr);
    EXPECT_EQ(carried->address()->houseNumber(), hits.front()->address()->houseNumber());
}

}  // namespace
