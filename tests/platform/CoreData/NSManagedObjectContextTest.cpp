#include <thread>

#include "CoreDataFixture.h"

using NSManagedObjectContextTest = CoreDataTest;

TEST_F(NSManagedObjectContextTest, SaveGivesPermanentIDsAndObjectsAreUniqued) {
    auto store = addStore("a.sqlite");
    auto context = newContext();
    auto object = insertObject(context, "Opera");
    EXPECT_TRUE(object->objectID().isTemporaryID());
    EXPECT_EQ(object->objectID().URIRepresentation().rfind("x-coredata:///object/t", 0), 0u);
    EXPECT_TRUE(context->hasChanges());
    ASSERT_TRUE(context->save());
    EXPECT_FALSE(context->hasChanges());
    EXPECT_FALSE(object->objectID().isTemporaryID());
    EXPECT_EQ(object->objectID().URIRepresentation(),
              "x-coredata://" + store->identifier() + "/object/p1");
    EXPECT_NE(dynamic_cast<TestObject*>(object.get()), nullptr);

    auto fetched = context->executeFetchRequest(NSFetchRequest("object"));
    ASSERT_TRUE(fetched && fetched->size() == 1);
    EXPECT_EQ(fetched->front(), object);
    EXPECT_EQ(context->objectWithID(object->objectID()), object);

    auto other = newContext();
    auto fault = other->objectWithID(object->objectID());
    ASSERT_NE(fault, nullptr);
    EXPECT_TRUE(fault->isFault());
    EXPECT_EQ(fault->stringForKey("name"), "Opera");
    EXPECT_FALSE(fault->isFault());
    EXPECT_EQ(other->objectWithID(object->objectID()), fault);
}

TEST_F(NSManagedObjectContextTest, AttributesRoundTripWithTheirTypes) {
    addStore("a.sqlite");
    auto context = newContext();
    auto object = insertObject(context, "Typed", 47.5, 8.25);
    EXPECT_EQ(object->integerForKey("typeID"), 0);  // default
    object->setValueForKey("rank", Value(static_cast<long long>(1) << 40));
    object->setValueForKey("flag", Value(true));
    object->setValueForKey("timestamp",
                           Value(NSDate::dateWithTimeIntervalSinceReferenceDate(12.25)));
    object->setValueForKey("displayName", Value("transient"));
    object->setTransformableValueForKey("payload", std::vector<std::string>{"a", "b c"});
    ASSERT_TRUE(context->save());

    auto fresh = newContext()->existingObjectWithID(object->objectID());
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->doubleForKey("latitude"), 47.5);
    EXPECT_EQ(fresh->integerForKey("rank"), static_cast<long long>(1) << 40);
    EXPECT_EQ(fresh->valueForKey("flag").type(), Value::Type::Bool);
    EXPECT_EQ(fresh->dateForKey("timestamp")->timeIntervalSinceReferenceDate(), 12.25);
    EXPECT_TRUE(fresh->valueForKey("displayName").isNull());
    auto payload = fresh->transformableValueForKey("payload");
    ASSERT_NE(std::any_cast<std::vector<std::string>>(&payload), nullptr);
    EXPECT_EQ(std::any_cast<std::vector<std::string>>(payload),
              (std::vector<std::string>{"a", "b c"}));
    EXPECT_TRUE(fresh->valueForKey("noSuchKey").isNull());
}

TEST_F(NSManagedObjectContextTest, RelationshipsKeepTheirInverses) {
    addStore("a.sqlite");
    auto context = newContext();
    auto city = context->insertNewObjectForEntityForName("city");
    auto a = insertObject(context, "a");
    auto b = insertObject(context, "b");
    a->setObjectForKey("city", city);
    city->addObjectForKey("objects", b);
    EXPECT_EQ(b->objectForKey("city"), city);
    EXPECT_EQ(city->objectsForKey("objects").size(), 2u);
    auto tag = context->insertNewObjectForEntityForName("tag");
    tag->setValueForKey("attribute", Value("x"));
    a->addObjectForKey("tags", tag);
    b->addObjectForKey("tags", tag);
    EXPECT_EQ(tag->objectsForKey("objects").size(), 2u);
    ASSERT_TRUE(context->save());

    auto other = newContext();
    auto cityAgain = other->existingObjectWithID(city->objectID());
    ASSERT_EQ(cityAgain->objectsForKey("objects").size(), 2u);
    auto tagAgain = other->existingObjectWithID(tag->objectID());
    ASSERT_EQ(tagAgain->objectsForKey("objects").size(), 2u);
    auto aAgain = other->existingObjectWithID(a->objectID());
    aAgain->removeObjectForKey("tags", tagAgain);
    EXPECT_EQ(tagAgain->objectsForKey("objects").size(), 1u);
    aAgain->setObjectForKey("city", nullptr);
    EXPECT_EQ(cityAgain->objectsForKey("objects").size(), 1u);
    ASSERT_TRUE(other->save());

    auto third = newContext();
    EXPECT_EQ(third->existingObjectWithID(city->objectID())->objectsForKey("objects").size(), 1u);
    EXPECT_EQ(third->existingObjectWithID(tag->objectID())->objectsForKey("objects").size(), 1u);
    EXPECT_TRUE(third->existingObjectWithID(a->objectID())->objectsForKey("tags").empty());
}

TEST_F(NSManagedObjectContextTest, DeleteRulesNullifyCascadeAndDeny) {
    addStore("a.sqlite");
    auto context = newContext();
    auto city = context->insertNewObjectForEntityForName("city");
    auto object = insertObject(context, "o");
    object->setObjectForKey("city", city);
    auto tag = context->insertNewObjectForEntityForName("tag");
    tag->setValueForKey("attribute", Value("t"));
    object->addObjectForKey("tags", tag);
    for (int i = 0; i < 3; ++i) {
        auto node = context->insertNewObjectForEntityForName("node");
        node->setObjectForKey("object", object);
    }
    ASSERT_TRUE(context->save());

    // Deny: the city still has an object.
    context->deleteObject(city);
    NSError error;
    EXPECT_FALSE(context->save(&error));
    EXPECT_EQ(error.code, CoreDataErrors::NSValidationRelationshipDeniedDeleteError);
    context->reset();

    auto objectAgain = context->existingObjectWithID(object->objectID());
    ASSERT_NE(objectAgain, nullptr);
    context->deleteObject(objectAgain);
    EXPECT_EQ(context->deletedObjects().size(), 4u);  // the object and its nodes
    EXPECT_EQ(context->countForFetchRequest(NSFetchRequest("node")), 0u);
    ASSERT_TRUE(context->save());

    auto fresh = newContext();
    EXPECT_EQ(fresh->countForFetchRequest(NSFetchRequest("node")), 0u);
    EXPECT_EQ(fresh->countForFetchRequest(NSFetchRequest("object")), 0u);
    EXPECT_TRUE(fresh->existingObjectWithID(tag->objectID())->objectsForKey("objects").empty());
    auto cityAgain = fresh->existingObjectWithID(city->objectID());
    EXPECT_TRUE(cityAgain->objectsForKey("objects").empty());
    fresh->deleteObject(cityAgain);
    EXPECT_TRUE(fresh->save());
    EXPECT_EQ(fresh->existingObjectWithID(city->objectID(), &error), nullptr);
    EXPECT_EQ(error.code, CoreDataErrors::NSManagedObjectReferentialIntegrityError);
}

TEST_F(NSManagedObjectContextTest, ValidationKeepsChangesPending) {
    addStore("a.sqlite");
    auto context = newContext();
    auto tag = context->insertNewObjectForEntityForName("tag");
    NSError error;
    EXPECT_FALSE(context->save(&error));
    EXPECT_EQ(error.code, CoreDataErrors::NSValidationMissingMandatoryPropertyError);
    EXPECT_TRUE(tag->objectID().isTemporaryID());
    tag->setValueForKey("attribute", Value("fixed"));
    EXPECT_TRUE(context->save());
    EXPECT_EQ(context->insertNewObjectForEntityForName("nope"), nullptr);
}

TEST_F(NSManagedObjectContextTest, FetchSeesPendingChangesAndResultTypes) {
    addStore("a.sqlite");
    auto context = newContext();
    for (const char* name : {"d", "b", "a", "c"})
        insertObject(context, name);
    ASSERT_TRUE(context->save());
    auto pending = insertObject(context, "e");
    auto doomed = context->executeFetchRequest(NSFetchRequest("object"))->front();
    std::string doomedName = *doomed->stringForKey("name");
    context->deleteObject(doomed);

    NSFetchRequest request("object");
    request.sortDescriptors = {NSSortDescriptor::sortDescriptorWithKey("name", false)};
    auto objects = context->executeFetchRequest(request);
    ASSERT_TRUE(objects);
    EXPECT_EQ(objects->size(), 4u);
    EXPECT_EQ(objects->front(), pending);
    EXPECT_EQ(context->countForFetchRequest(request), 4u);
    request.fetchLimit = 2;
    request.fetchOffset = 1;
    EXPECT_EQ(context->executeFetchRequest(request)->size(), 2u);

    ASSERT_TRUE(context->save());
    request.fetchLimit = 2;
    request.fetchOffset = 1;
    request.sortDescriptors = {NSSortDescriptor::sortDescriptorWithKey("name", true)};
    std::vector<std::string> all = {"a", "b", "c", "d", "e"};
    all.erase(std::find(all.begin(), all.end(), doomedName));
    EXPECT_EQ(names(*context->executeFetchRequest(request)),
              (std::vector<std::string>{all[1], all[2]}));
    EXPECT_EQ(context->countForFetchRequest(request), 2u);

    auto ids = context->executeFetchRequestForObjectIDs(request);
    ASSERT_TRUE(ids && ids->size() == 2);
    EXPECT_EQ(context->objectWithID((*ids)[0])->stringForKey("name"), all[1]);
    request.propertiesToFetch = {"name"};
    auto rows = context->executeFetchRequestForDictionaries(request);
    ASSERT_TRUE(rows && rows->size() == 2);
    EXPECT_EQ(rows->front().size(), 1u);
    EXPECT_EQ(*rows->front().at("name").stringValue(), all[1]);

    NSError error;
    EXPECT_FALSE(context->executeFetchRequest(NSFetchRequest("nope"), &error));
    EXPECT_FALSE(context->countForFetchRequest(NSFetchRequest("nope"), &error));
}

TEST_F(NSManagedObjectContextTest, BatchesAndPrefetchingReadRowsTogether) {
    addStore("a.sqlite");
    auto context = newContext();
    auto city = context->insertNewObjectForEntityForName("city");
    for (int i = 0; i < 25; ++i)
        insertObject(context, "o" + std::to_string(100 + i))->setObjectForKey("city", city);
    ASSERT_TRUE(context->save());

    auto fresh = newContext();
    NSFetchRequest request("object");
    request.sortDescriptors = {NSSortDescriptor::sortDescriptorWithKey("name", true)};
    request.fetchBatchSize = 10;
    auto objects = *fresh->executeFetchRequest(request);
    ASSERT_EQ(objects.size(), 25u);
    for (const auto& object : objects)
        EXPECT_TRUE(object->isFault());
    EXPECT_EQ(objects[12]->stringForKey("name"), "o112");
    EXPECT_FALSE(objects[10]->isFault());
    EXPECT_FALSE(objects[19]->isFault());
    EXPECT_TRUE(objects[9]->isFault());
    EXPECT_TRUE(objects[20]->isFault());

    auto another = newContext();
    NSFetchRequest cities("city");
    cities.relationshipKeyPathsForPrefetching = {"objects.tags"};
    auto found = *another->executeFetchRequest(cities);
    ASSERT_EQ(found.size(), 1u);
    // Prefetched members are filled rows, not faults.
    const auto& members = found.front()->objectsForKey("objects");
    ASSERT_EQ(members.size(), 25u);
    for (const auto& member : members)
        EXPECT_FALSE(member->isFault());
}

TEST_F(NSManagedObjectContextTest, ResetAndRefreshForgetState) {
    addStore("a.sqlite");
    auto context = newContext();
    auto object = insertObject(context, "x");
    ASSERT_TRUE(context->save());
    object->setValueForKey("name", Value("changed"));
    context->refreshObjectMergeChanges(object, false);
    EXPECT_TRUE(object->isFault());
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(object->stringForKey("name"), "x");

    insertObject(context, "unsaved");
    context->reset();
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(object->managedObjectContext(), nullptr);
    EXPECT_EQ(context->countForFetchRequest(NSFetchRequest("object")), 1u);
}

TEST_F(NSManagedObjectContextTest, ContextsHoldUnchangedObjectsWeakly) {
    addStore("a.sqlite");
    auto context = newContext();
    insertObject(context, "x");
    ASSERT_TRUE(context->save());
    std::weak_ptr<NSManagedObject> weak;
    {
        auto fetched = *context->executeFetchRequest(NSFetchRequest("object"));
        weak = fetched.front();
    }
    EXPECT_TRUE(weak.expired());
    context->setRetainsRegisteredObjects(true);
    {
        auto fetched = *context->executeFetchRequest(NSFetchRequest("object"));
        weak = fetched.front();
    }
    EXPECT_FALSE(weak.expired());
}

TEST_F(NSManagedObjectContextTest, ContextsOnSeveralThreadsShareTheStore) {
    addStore("a.sqlite");
    constexpr int kThreads = 4, kObjects = 50;
    std::vector<std::thread> threads;
    std::atomic<int> failures = 0;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            auto context = newContext();
            for (int i = 0; i < kObjects; ++i)
                insertObject(context, "t" + std::to_string(t) + "-" + std::to_string(i));
            if (!context->save())
                ++failures;
            if (context->countForFetchRequest(NSFetchRequest("object")) <
                static_cast<size_t>(kObjects))
                ++failures;
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    auto ids = newContext()->executeFetchRequestForObjectIDs(NSFetchRequest("object"));
    ASSERT_TRUE(ids);
    EXPECT_EQ(ids->size(), static_cast<size_t>(kThreads * kObjects));
    std::set<int64_t> keys;
    for (const auto& id : *ids)
        keys.insert(id.primaryKey());
    EXPECT_EQ(keys.size(), ids->size());
}

TEST_F(NSManagedObjectContextTest, PrefetchesToOneAndManyToMany) {
    addStore("a.sqlite");
    auto context = newContext();
    auto city = context->insertNewObjectForEntityForName("city");
    city->setValueForKey("name", Value("Bern"));
    auto tag = context->insertNewObjectForEntityForName("tag");
    tag->setValueForKey("attribute", Value("cafe"));
    for (const char* name : {"a", "b"}) {
        auto object = insertObject(context, name);
        object->setObjectForKey("city", city);
        object->addObjectForKey("tags", tag);
    }
    insertObject(context, "lonely");
    ASSERT_TRUE(context->save());

    auto fresh = newContext();
    NSFetchRequest request("object");
    request.relationshipKeyPathsForPrefetching = {"city", "tags"};
    request.sortDescriptors = {NSSortDescriptor::sortDescriptorWithKey("name", true)};
    auto objects = *fresh->executeFetchRequest(request);
    ASSERT_EQ(objects.size(), 3u);
    auto prefetchedCity = objects[0]->objectForKey("city");
    ASSERT_NE(prefetchedCity, nullptr);
    EXPECT_FALSE(prefetchedCity->isFault());
    EXPECT_EQ(objects[1]->objectForKey("city"), prefetchedCity);
    EXPECT_EQ(objects[2]->objectForKey("city"), nullptr);
    ASSERT_EQ(objects[0]->objectsForKey("tags").size(), 1u);
    EXPECT_FALSE(objects[0]->objectsForKey("tags").front()->isFault());
    EXPECT_EQ(objects[0]->objectsForKey("tags").front(), objects[1]->objectsForKey("tags").front());
    EXPECT_TRUE(objects[2]->objectsForKey("tags").empty());
}
