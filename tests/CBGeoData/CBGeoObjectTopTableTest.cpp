#include <gtest/gtest.h>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject+BookmarkAdditions.h"
#include "CBGeoData/CBGeoObject+GuideAdditions.h"
#include "CBGeoData/CBGeoObject+TTAdditions.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "CoreData/NSPredicate.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "GeoEntityFixture.h"

namespace {

using TagList = std::vector<std::pair<std::string, std::string>>;

// Restaurant-guide data exists only as synthetic test stores: a map store
// whose restaurant links to an entry of a guide store opened as "toptable".
class CBGeoObjectTopTableTest : public GeoEntityTest {
  protected:
    std::string writeStore(const std::string& name, const std::string& objectName,
                           const TagList& tags) {
        const std::string path = directory_ + "/" + name + ".sqlite";
        auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model_);
        EXPECT_TRUE(
            coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", path, {}, nullptr));
        auto context = std::make_shared<NSManagedObjectContext>();
        context->setPersistentStoreCoordinator(coordinator);
        auto object = CBGeoObject::objectInContextAtCoordinate(
            context, CLLocationCoordinate2DMake(53.5577, 13.2610));
        object->updateNameAndCanonicalNameForString(objectName);
        for (const auto& [key, value] : tags)
            object->addTag(CBGeoTag::tagWithKeyAndAttributeInContext(key, value, context));
        EXPECT_TRUE(context->save());
        return path;
    }
    std::shared_ptr<CBGeoObject> onlyObject(const std::shared_ptr<NSManagedObjectContext>& context,
                                            const std::string& name) {
        NSFetchRequest request("object");
        request.predicate =
            NSPredicate::predicateWithFormat("name == %@", {NSPredicateArgument(name)});
        const auto found = context->executeFetchRequest(request);
        return found && found->size() == 1 ? std::dynamic_pointer_cast<CBGeoObject>(found->front())
                                           : nullptr;
    }
    static std::vector<std::string> keys(const std::vector<std::shared_ptr<CBGeoTag>>& tags) {
        std::vector<std::string> out;
        for (const auto& tag : tags)
            out.push_back(tag->key());
        return out;
    }
};

}  // namespace

TEST_F(CBGeoObjectTopTableTest, TheGuideEntryOfARestaurantIsFoundThroughToptable) {
    const auto map =
        writeStore("map", "Zur Alten Post", {{"amenity", "restaurant"}, {"linkedTT_ID", "4711"}});
    const auto guide = writeStore("guide", "Zur Alten Post (Guide)",
                                  {{"TT_ID", "4711"},
                                   {"linkedTT_ID", "9"},
                                   {"cuisine", "german"},
                                   {"TTPriceBand", "$$"},
                                   {"opening_hours", "Mo-Su 11:00-22:00"},
                                   {"TTAward", "Bib"},
                                   {"TTStatus", "plannable"},
                                   {"TTImage", "post.jpg"},
                                   {"TTRatingOverall", "4.5"},
                                   {"TTRatingCount", "120"},
                                   {"TTRatingFood", "5"},
                                   {"TTRatingAmbience", "4"},
                                   {"TTMenuCourse2", "Fish"},
                                   {"TTMenuCourse1", "Soup"},
                                   {"TTChecklist", "Terrace"},
                                   {"TTChecklist", "Cards"}});
    NSBundle::setMainBundlePath(resourcesPath());
    auto manager = CBGeoDataManager::create();
    ASSERT_TRUE(manager->addPersistentStoreCoordinatorWithPath(map));
    ASSERT_TRUE(manager->addPersistentStoreCoordinatorWithPathForKey(guide, "toptable"));

    auto restaurant = onlyObject(manager->managedObjectContext(), "Zur Alten Post");
    ASSERT_TRUE(restaurant);
    EXPECT_TRUE(hasRelatedTopTableObject(*restaurant));
    EXPECT_FALSE(isTopTableObject(*restaurant));
    EXPECT_EQ(ttID(*restaurant), 4711);
    EXPECT_EQ(bookingStatus(*restaurant), -1);

    auto entry = relatedTopTableObjectFromDataManager(*restaurant, manager);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name(), "Zur Alten Post (Guide)");
    EXPECT_TRUE(isTopTableObject(*entry));
    EXPECT_EQ(ttID(*entry), 4711);
    EXPECT_EQ(bookingStatus(*entry), 2);
    EXPECT_TRUE(hasTopTableRatings(*entry));
    EXPECT_TRUE(hasTopTableMenus(*entry));
    EXPECT_EQ(toptableImageFileName(*entry), "post.jpg");
    EXPECT_EQ(keys(topTableTags(*entry)),
              (std::vector<std::string>{"cuisine", "TTPriceBand", "TTAward", "opening_hours"}));
    EXPECT_EQ(keys(topTableDetailedRatings(*entry)),
              (std::vector<std::string>{"TTRatingAmbience", "TTRatingFood"}));
    EXPECT_EQ(topTableSortedMenus(*entry).front()->attribute(), "Soup");
    EXPECT_EQ(topTableChecklist(*entry).front()->attribute(), "Cards");
    EXPECT_EQ(overallRating(*entry), "4.5");
    NSBundle::setMainBundlePath("");
}

TEST_F(CBGeoObjectTopTableTest, TheGuidesEntriesAreNoSearchHitsOfTheirOwn) {
    // The guide's entry stands where the map's place stands, under its name.
    const auto map = writeStore("map", "Zur Alten Post", {{"linkedTT_ID", "4711"}});
    const auto guide = writeStore("guide", "Zur Alten Post", {{"TT_ID", "4711"}});
    NSBundle::setMainBundlePath(resourcesPath());
    auto manager = CBGeoDataManager::create();
    ASSERT_TRUE(manager->addPersistentStoreCoordinatorWithPath(map));
    ASSERT_TRUE(manager->addPersistentStoreCoordinatorWithPathForKey(guide, "toptable"));
    NSFetchRequest request("object");
    manager->restrictFetchRequestToMapStores(request);
    const auto inMap = manager->managedObjectContext()->executeFetchRequest(request);
    ASSERT_TRUE(inMap && inMap->size() == 1u) << "the map's stores hold one object";
    auto place = std::dynamic_pointer_cast<CBGeoObject>(inMap->front());
    EXPECT_FALSE(isTopTableObject(*place));

    std::vector<std::shared_ptr<CBGeoSearchResult>> hits;
    bool answered = false;
    ASSERT_TRUE(manager->searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
        "alten post", false, false, [&](const CBGeoDataManager::SearchResults& results) {
            hits = results;
            answered = true;
        }));
    NSRunLoop::mainRunLoop()->runUntil([&] { return answered; }, 10.0);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits.front()->object(), place);

    std::shared_ptr<CBGeoObject> closest;
    answered = false;
    manager->searchForClosestObjectToWithCompletionBlock(
        place->coordinate(), [&](const std::shared_ptr<CBGeoObject>& object) {
            closest = object;
            answered = true;
        });
    NSRunLoop::mainRunLoop()->runUntil([&] { return answered; }, 10.0);
    EXPECT_EQ(closest, place);

    // The same place carried over from elsewhere (a bookmark) is the map's.
    auto elsewhere = CBGeoObject::objectInContextAtCoordinate(context_, place->coordinate());
    elsewhere->updateNameAndCanonicalNameForString("Zur Alten Post");
    auto similar = manager->findSimilarObjectToObjectFromOtherContext(
        CBGeoSearchResult::geoSearchResultWithObject(elsewhere));
    ASSERT_TRUE(similar);
    EXPECT_EQ(similar->object(), place);
    NSBundle::setMainBundlePath("");
}

TEST_F(CBGeoObjectTopTableTest, BookmarkNotesChangeTheirOneTag) {
    auto object = CBGeoObject::objectInContext(context_);
    object->setValueForKey("typeID", Value(int64_t(12)));
    EXPECT_FALSE(isUserGeneratedBookmark(*object));
    setIsUserGeneratedBookmark(*object);
    EXPECT_TRUE(isUserGeneratedBookmark(*object));
    EXPECT_FALSE(bookmarkDescription(*object));
    setBookmarkDescription(*object, "Good coffee");
    setBookmarkDescription(*object, "Better cake");
    EXPECT_EQ(bookmarkDescription(*object), "Better cake");
    EXPECT_EQ(object->getTagsForKey("kelvara:desc").size(), 1u);
}

TEST_F(CBGeoObjectTopTableTest, DetailListsLeaveOutContactAndInternalTags) {
    auto object = CBGeoObject::objectInContext(context_);
    for (const auto& [key, value] : TagList{{"phone", "1"},
                                            {"url", "http://x"},
                                            {"name:de", "X"},
                                            {"cuisine", "thai"},
                                            {"linkedTT_ID", "3"}})
        object->addTag(CBGeoTag::tagWithKeyAndAttributeInContext(key, value, context_));
    EXPECT_EQ(keys(*tagsForDisplay(*object)), std::vector<std::string>{"cuisine"});
    EXPECT_EQ(dynamicFirstLetter(*object), "-");
    object->updateNameAndCanonicalNameForString("7 Seas");
    object->calculateFirstLetterOfName();
    EXPECT_EQ(dynamicFirstLetter(*object), "#");
    object->updateNameAndCanonicalNameForString("\xc3\x84pfel");
    object->calculateFirstLetterOfName();
    EXPECT_NE(dynamicFirstLetter(*object), "#");
    object->addTag(CBGeoTag::tagWithKeyAndAttributeInContext("TT_ID", "1", context_));
    EXPECT_FALSE(tagsForDisplay(*object));
}
