#include <gtest/gtest.h>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "Foundation/NSBundle.h"
#include "GeoEntityFixture.h"

namespace {

class TransitPredicatesTest : public GeoEntityTest {
  protected:
    std::shared_ptr<CBGeoObject> objectTagged(const std::string& attribute) {
        auto object = CBGeoObject::objectInContext(context_);
        auto tag = CBGeoTag::tagWithKeyAndAttributeInContext("pubtrans", attribute, context_);
        object->addTag(tag);
        tags_[attribute] = tag;
        return object;
    }
    std::map<std::string, std::shared_ptr<CBGeoTag>> tags_;
};

TEST_F(TransitPredicatesTest, FamiliesMatchTheirOwnAttributes) {
    auto tram = objectTagged("funicular");
    auto train = objectTagged("light_rail");
    auto bus = objectTagged("trolleybus");
    auto ferry = objectTagged("ferry_terminal");
    EXPECT_TRUE(CBGeoDataManager::predicateForPubTransTramLikeTags()->evaluateWithObject(tram));
    EXPECT_TRUE(CBGeoDataManager::predicateForPubTransTrainLikeTags()->evaluateWithObject(train));
    EXPECT_TRUE(CBGeoDataManager::predicateForPubTransBusLikeTags()->evaluateWithObject(bus));
    EXPECT_TRUE(CBGeoDataManager::predicateForPubTransFerryLikeTags()->evaluateWithObject(ferry));
    EXPECT_FALSE(CBGeoDataManager::predicateForPubTransBusLikeTags()->evaluateWithObject(tram));
}

TEST_F(TransitPredicatesTest, FerriesAreNeverOtherAtEitherLevel) {
    auto ferry = objectTagged("ferry");
    auto cable = objectTagged("aerialway");
    auto other = CBGeoDataManager::predicateForPubTransOtherTags();
    EXPECT_FALSE(other->evaluateWithObject(ferry));
    EXPECT_TRUE(other->evaluateWithObject(cable));

    auto tagOther = CBGeoDataManager::predicateForAttributeOfPubTransType(99);
    EXPECT_FALSE(tagOther->evaluateWithObject(std::shared_ptr<NSManagedObject>(tags_["ferry"])));
    EXPECT_TRUE(tagOther->evaluateWithObject(std::shared_ptr<NSManagedObject>(tags_["aerialway"])));

    // The store answers as the memory does.
    ASSERT_TRUE(context_->save());
    NSFetchRequest objects("object");
    objects.predicate = other;
    auto found = context_->executeFetchRequest(objects);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 1u);
    EXPECT_EQ((*found)[0]->objectID(), cable->objectID());
    NSFetchRequest tags("tag");
    tags.predicate = tagOther;
    EXPECT_EQ(context_->countForFetchRequest(tags), 1u);
}

TEST_F(TransitPredicatesTest, TagFamiliesAndNoFilter) {
    objectTagged("bus_stop");
    auto busTags = CBGeoDataManager::predicateForAttributeOfPubTransType(2);
    EXPECT_TRUE(busTags->evaluateWithObject(std::shared_ptr<NSManagedObject>(tags_["bus_stop"])));
    EXPECT_FALSE(CBGeoDataManager::predicateForAttributeOfPubTransType(0)->evaluateWithObject(
        std::shared_ptr<NSManagedObject>(tags_["bus_stop"])));
    EXPECT_EQ(CBGeoDataManager::predicateForAttributeOfPubTransType(-1), nullptr);
}

class GeoQueriesTest : public GeoEntityTest {
  protected:
    void SetUp() override {
        GeoEntityTest::SetUp();
        NSBundle::setMainBundlePath(resourcesPath());
        manager_ = CBGeoDataManager::create();
    }
    void TearDown() override {
        manager_.reset();
        NSBundle::setMainBundlePath("");
        GeoEntityTest::TearDown();
    }
    bool openStore() {
        return manager_->addPersistentStoreCoordinatorWithPath(directory_ + "/geo.sqlite") !=
               nullptr;
    }
    std::shared_ptr<CBGeoDataManager> manager_;
};

TEST_F(GeoQueriesTest, QueriesWithoutAStoreAnswerNothing) {
    EXPECT_EQ(manager_->requestForAllObjects(), nullptr);
    EXPECT_EQ(manager_->requestForRecentObjects(), nullptr);
    EXPECT_EQ(manager_->requestForTagsWithKey("amenity"), nullptr);
    EXPECT_EQ(manager_->getObjects(), std::nullopt);
    EXPECT_EQ(manager_->currentCity(), nullptr);
    EXPECT_EQ(manager_->mapTilesForQuadKeys({113}), std::nullopt);
    EXPECT_FALSE(manager_->elementAnchorsForQuadKeys({113}));
    EXPECT_EQ(manager_->findTranslatedTagContaining("rest"), std::nullopt);
}

TEST_F(GeoQueriesTest, RecentObjectsLookBack60480Seconds) {
    ASSERT_TRUE(openStore());
    auto context = manager_->managedObjectContext();
    // The window is 60480 s, 16.8 hours.
    const double hour = 3600;
    std::map<std::string, double> ages{{"this morning", 2 * hour},
                                       {"last night", 16 * hour},
                                       {"yesterday", 18 * hour},
                                       {"last week", 6 * 24 * hour}};
    for (const auto& [name, age] : ages) {
        auto object = context->insertNewObjectForEntityForName("object");
        object->setValueForKey("name", Value(name));
        object->setValueForKey("timestamp", Value(NSDate::dateWithTimeIntervalSinceNow(-age)));
    }
    ASSERT_TRUE(manager_->saveChanges());
    auto request = manager_->requestForRecentObjects();
    ASSERT_NE(request, nullptr);
    request->sortDescriptors = {NSSortDescriptor{"name", true}};
    auto recent = context->executeFetchRequest(*request);
    ASSERT_TRUE(recent);
    std::vector<std::string> names;
    for (const auto& object : *recent)
        names.push_back(object->stringForKey("name").value_or(""));
    EXPECT_EQ(names, (std::vector<std::string>{"last night", "this morning"}));
}

}  // namespace
