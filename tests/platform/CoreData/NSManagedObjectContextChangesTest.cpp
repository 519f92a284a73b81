#include "CoreDataFixture.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSNotificationCenter.h"

namespace {

// The change reports one context posts, as lists of names.
class ChangeRecorder {
  public:
    ChangeRecorder(const std::shared_ptr<NSManagedObjectContext>& context, const char* name) {
        observer_ = NSNotificationCenter::defaultCenter()->addObserverForName(
            name, context.get(), {}, [this](const NSNotification& notification) {
                const auto* changes = NSManagedObjectContext::changesInNotification(notification);
                ASSERT_NE(changes, nullptr);
                reports.push_back(*changes);
                last = notification;
            });
    }
    ~ChangeRecorder() { NSNotificationCenter::defaultCenter()->removeObserver(observer_); }

    std::vector<NSManagedObjectContextChanges> reports;
    NSNotification last;

  private:
    std::shared_ptr<NSNotificationObserver> observer_;
};

using Names = std::vector<std::string>;

}  // namespace

using NSManagedObjectContextChangesTest = CoreDataTest;

TEST_F(NSManagedObjectContextChangesTest, ProcessPendingChangesReportsEachChangeOnce) {
    addStore("a.sqlite");
    auto context = newContext();
    auto kept = insertObject(context, "Kept");
    auto gone = insertObject(context, "Gone");
    ASSERT_TRUE(context->save());

    ChangeRecorder changes(context, NSManagedObjectContextObjectsDidChangeNotification);
    context->processPendingChanges();
    EXPECT_TRUE(changes.reports.empty());  // nothing changed, nothing posted

    auto added = insertObject(context, "Added");
    kept->setValueForKey("typeID", Value(3));
    context->deleteObject(gone);
    auto transient = insertObject(context, "Never seen");
    context->deleteObject(transient);
    context->processPendingChanges();
    ASSERT_EQ(changes.reports.size(), 1u);
    EXPECT_EQ(names(changes.reports[0].insertedObjects), Names{"Added"});
    EXPECT_EQ(names(changes.reports[0].updatedObjects), Names{"Kept"});
    EXPECT_EQ(names(changes.reports[0].deletedObjects), Names{"Gone"});
    EXPECT_EQ(changes.last.object, context.get());

    // A second change of an object already reported is reported again; the
    // inserted object now counts as updated.
    kept->setValueForKey("typeID", Value(4));
    added->setValueForKey("typeID", Value(5));
    context->processPendingChanges();
    ASSERT_EQ(changes.reports.size(), 2u);
    EXPECT_TRUE(changes.reports[1].insertedObjects.empty());
    EXPECT_EQ(names(changes.reports[1].updatedObjects), (Names{"Kept", "Added"}));

    // Deleting an object already reported as inserted reports its deletion.
    context->deleteObject(added);
    context->processPendingChanges();
    ASSERT_EQ(changes.reports.size(), 3u);
    EXPECT_EQ(changes.reports[2].deletedObjects.size(), 1u);
}

TEST_F(NSManagedObjectContextChangesTest, SavePostsWhatItWroteWithPermanentIDs) {
    addStore("a.sqlite");
    auto context = newContext();
    auto first = insertObject(context, "First");
    auto second = insertObject(context, "Second");
    ASSERT_TRUE(context->save());

    ChangeRecorder didChange(context, NSManagedObjectContextObjectsDidChangeNotification);
    ChangeRecorder didSave(context, NSManagedObjectContextDidSaveNotification);
    auto third = insertObject(context, "Third");
    first->setValueForKey("name", Value("First renamed"));
    context->deleteObject(second);
    ASSERT_TRUE(context->save());
    // Save processes the pending changes first.
    ASSERT_EQ(didChange.reports.size(), 1u);
    ASSERT_EQ(didSave.reports.size(), 1u);
    const NSManagedObjectContextChanges& saved = didSave.reports[0];
    EXPECT_EQ(saved.insertedObjects, std::vector{third});
    EXPECT_EQ(saved.updatedObjects, std::vector{first});
    ASSERT_EQ(saved.deletedObjectIDs.size(), 1u);
    ASSERT_EQ(saved.insertedObjectIDs.size(), 1u);
    EXPECT_FALSE(saved.insertedObjectIDs[0].isTemporaryID());
    EXPECT_EQ(saved.insertedObjectIDs[0], third->objectID());

    // A save with nothing to write posts nothing; a failed save posts no did-save.
    ASSERT_TRUE(context->save());
    EXPECT_EQ(didSave.reports.size(), 1u);
    context->insertNewObjectForEntityForName("tag");  // its required attribute is missing
    EXPECT_FALSE(context->save());
    EXPECT_EQ(didSave.reports.size(), 1u);
}

TEST_F(NSManagedObjectContextChangesTest, MergingASaveBringsItsChangesIntoAnotherContext) {
    addStore("a.sqlite");
    auto writer = newContext();
    auto stays = insertObject(writer, "Stays");
    auto renamed = insertObject(writer, "Old name");
    auto removed = insertObject(writer, "Removed");
    ASSERT_TRUE(writer->save());

    auto reader = newContext();
    auto readerRenamed = reader->existingObjectWithID(renamed->objectID());
    auto readerRemoved = reader->existingObjectWithID(removed->objectID());
    auto readerStays = reader->existingObjectWithID(stays->objectID());
    ASSERT_TRUE(readerRenamed && readerRemoved && readerStays);
    readerStays->setValueForKey("typeID", Value(9));  // a local change survives the merge

    ChangeRecorder saves(writer, NSManagedObjectContextDidSaveNotification);
    ChangeRecorder readerChanges(reader, NSManagedObjectContextObjectsDidChangeNotification);
    renamed->setValueForKey("name", Value("New name"));
    stays->setValueForKey("typeID", Value(1));
    writer->deleteObject(removed);
    auto added = insertObject(writer, "Added");
    ASSERT_TRUE(writer->save());
    ASSERT_EQ(saves.reports.size(), 1u);

    reader->mergeChangesFromContextDidSaveNotification(saves.last);
    EXPECT_EQ(readerRenamed->stringForKey("name"), "New name");
    EXPECT_EQ(readerStays->integerForKey("typeID"), 9);
    EXPECT_EQ(readerRemoved->managedObjectContext(), nullptr);
    EXPECT_EQ(reader->objectRegisteredForID(removed->objectID()), nullptr);
    ASSERT_EQ(readerChanges.reports.size(), 1u);
    const NSManagedObjectContextChanges& merged = readerChanges.reports[0];
    EXPECT_EQ(names(merged.insertedObjects), Names{"Added"});
    EXPECT_EQ(merged.insertedObjects[0]->managedObjectContext(), reader);
    EXPECT_EQ(merged.updatedObjects.size(), 2u);
    EXPECT_EQ(merged.deletedObjects, std::vector{readerRemoved});

    auto all = reader->executeFetchRequest(NSFetchRequest("object"));
    ASSERT_TRUE(all);
    EXPECT_EQ(all->size(), 3u);
    // Saving the reader writes only its own change.
    ASSERT_TRUE(reader->save());
    EXPECT_EQ(newContext()->existingObjectWithID(stays->objectID())->integerForKey("typeID"), 9);
}

TEST_F(NSManagedObjectContextChangesTest, MergingSomethingElseIsRefusedAndLogged) {
    addStore("a.sqlite");
    auto context = newContext();
    ChangeRecorder changes(context, NSManagedObjectContextObjectsDidChangeNotification);
    context->mergeChangesFromContextDidSaveNotification(NSNotification{"Unrelated", nullptr, {}});
    // A did-change report is not a save either.
    auto other = newContext();
    ChangeRecorder otherChanges(other, NSManagedObjectContextObjectsDidChangeNotification);
    insertObject(other, "Unsaved");
    other->processPendingChanges();
    ASSERT_EQ(otherChanges.reports.size(), 1u);
    context->mergeChangesFromContextDidSaveNotification(otherChanges.last);
    EXPECT_TRUE(changes.reports.empty());
    EXPECT_FALSE(context->hasChanges());
}

TEST_F(NSManagedObjectContextChangesTest, AQueueProcessesChangesAfterTheBlockThatMadeThem) {
    addStore("a.sqlite");
    auto queue = DispatchQueue::createSerial("kelvara.test.context");
    std::shared_ptr<NSManagedObjectContext> context;
    std::unique_ptr<ChangeRecorder> changes;
    size_t reportsInsideTheBlock = 99;
    queue->sync([&] {
        context = newContext();
        changes = std::make_unique<ChangeRecorder>(
            context, NSManagedObjectContextObjectsDidChangeNotification);
        insertObject(context, "One");
        insertObject(context, "Two");
        reportsInsideTheBlock = changes->reports.size();
    });
    queue->sync([&] {});  // the queued processing has run by now
    EXPECT_EQ(reportsInsideTheBlock, 0u);
    ASSERT_EQ(changes->reports.size(), 1u);
    EXPECT_EQ(names(changes->reports[0].insertedObjects), (Names{"One", "Two"}));
    queue->sync([&] {
        changes.reset();
        context.reset();
    });
}
