#include "CoreDataFixture.h"

using NSManagedObjectModelTest = CoreDataTest;

TEST_F(NSManagedObjectModelTest, ReadsEntitiesInheritanceAndRelationships) {
    EXPECT_EQ(model_->name(), "Places");
    ASSERT_EQ(model_->entities().size(), 5u);
    const NSEntityDescription* building = model_->entityNamed("building");
    const NSEntityDescription* object = model_->entityNamed("object");
    ASSERT_TRUE(building && object);
    EXPECT_EQ(building->entityNumber(), 1);
    EXPECT_EQ(object->entityNumber(), 4);
    EXPECT_EQ(building->superentity(), object);
    EXPECT_EQ(building->tableName(), "ZOBJECT");
    EXPECT_EQ(building->managedObjectClassName(), "TestBuilding");
    EXPECT_EQ(model_->entityNamed("tag")->managedObjectClassName(), "NSManagedObject");
    // Inherited attributes keep their slots.
    EXPECT_EQ(building->attributeNamed("name"), object->attributeNamed("name"));
    EXPECT_NE(building->attributeNamed("levels"), nullptr);
    EXPECT_EQ(object->attributeNamed("levels"), nullptr);
    EXPECT_EQ(object->entityNumbersWithSubentities(), (std::vector<int>{4, 1}));

    const NSRelationshipDescription* tags = object->relationshipNamed("tags");
    ASSERT_NE(tags, nullptr);
    EXPECT_TRUE(tags->isManyToMany());
    EXPECT_EQ(tags->inverseRelationship, model_->entityNamed("tag")->relationshipNamed("objects"));
    EXPECT_EQ(object->relationshipNamed("nodes")->deleteRule, NSDeleteRule::Cascade);
    EXPECT_EQ(object->relationshipNamed("city")->columnName, "ZCITY");
    EXPECT_TRUE(object->attributeNamed("displayName")->transient);
    EXPECT_EQ(object->attributeNamed("payload")->valueTransformerName, "TestWordsTransformer");
    EXPECT_FALSE(model_->entityNamed("tag")->attributeNamed("attribute")->optional);
    EXPECT_EQ(model_->entityWithNumber(0), nullptr);
    EXPECT_EQ(model_->entityWithNumber(6), nullptr);
}

TEST_F(NSManagedObjectModelTest, VersionHashesFollowTheStoredShape) {
    auto same = NSManagedObjectModel::modelWithText(
        "entity a\n attribute x string\n attribute t string transient\n");
    auto noTransient = NSManagedObjectModel::modelWithText("entity a\n attribute x string\n");
    auto otherType = NSManagedObjectModel::modelWithText("entity a\n attribute x integer64\n");
    ASSERT_TRUE(same && noTransient && otherType);
    EXPECT_EQ(same->entityNamed("a")->versionHash(), noTransient->entityNamed("a")->versionHash());
    EXPECT_NE(same->entityNamed("a")->versionHash(), otherType->entityNamed("a")->versionHash());
}

TEST_F(NSManagedObjectModelTest, MalformedModelsAreRejected) {
    const char* cases[] = {
        "attribute x string",                                  // outside an entity
        "entity a\n attribute x nosuchtype",                   // unknown type
        "entity a\n attribute x integer32 default=abc",        // bad default
        "entity a\nentity a",                                  // twice
        "entity a parent=b",                                   // unknown parent
        "entity a parent=b\nentity b parent=a",                // cycle
        "entity a\n relationship r to-many b",                 // unknown destination
        "entity a\n relationship r to-many a",                 // to-many without inverse
        "entity a\n relationship r to-one a inverse=q",        // unknown inverse
        "entity a\n attribute x string\n attribute x string",  // duplicate key
        "entity a\n attribute p transformable",                // no transformer
        "entity a\n index nope",                               // unknown index key
        "entity a\nfetch f b \"x = 1\"",                       // unknown entity
        "entity a\nfetch f a \"x = \"",                        // bad predicate
        "entity a\n attribute x string default=\"open",        // unterminated quote
        "entity a\nconfiguration c b",                         // unknown entity
        "bogus",                                               // unknown keyword
        "entity a;DROP\n attribute x string",                  // not an identifier
        "entity a\n attribute \"x y\" string",
    };
    for (const char* text : cases) {
        NSError error;
        EXPECT_EQ(NSManagedObjectModel::modelWithText(text, &error), nullptr) << text;
        EXPECT_EQ(error.code, NSError::NSFileReadCorruptFileError) << text;
    }
    NSError error;
    EXPECT_EQ(NSManagedObjectModel::modelWithContentsOfFile(file("missing.model"), &error),
              nullptr);
    EXPECT_EQ(error.code, NSError::NSFileNoSuchFileError);
}
