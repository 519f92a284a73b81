#include "CoreData/NSFetchedResultsController.h"

#include "CoreDataFixture.h"
#include "Foundation/NSNotificationCenter.h"

namespace {

// Writes every report as one line: "will", "section insert 1 B",
// "object move 0.1 -> 1.0 Name", "did".
class RecordingDelegate : public NSFetchedResultsControllerDelegate {
  public:
    void controllerWillChangeContent(NSFetchedResultsController&) override {
        lines.push_back("will");
    }
    void controllerDidChangeObjectAtIndexPathForChangeTypeNewIndexPath(
        NSFetchedResultsController&, const std::shared_ptr<NSManagedObject>& object,
        std::optional<NSIndexPath> indexPath, NSFetchedResultsChangeType type,
        std::optional<NSIndexPath> newIndexPath) override {
        std::string line = "object " + typeName(type);
        if (indexPath)
            line += " " + path(*indexPath);
        if (newIndexPath)
            line += " -> " + path(*newIndexPath);
        lines.push_back(line + " " + object->stringForKey("name").value_or("?"));
    }
    void controllerDidChangeSectionAtIndexForChangeType(NSFetchedResultsController&,
                                                        const NSFetchedResultsSectionInfo& section,
                                                        size_t index,
                                                        NSFetchedResultsChangeType type) override {
        lines.push_back("section " + typeName(type) + " " + std::to_string(index) + " " +
                        section.name);
    }
    void controllerDidChangeContent(NSFetchedResultsController&) override {
        lines.push_back("did");
    }

    std::vector<std::string> lines;

  private:
    static std::string path(NSIndexPath indexPath) {
        return std::to_string(indexPath.section) + "." + std::to_string(indexPath.row);
    }
    static std::string typeName(NSFetchedResultsChangeType type) {
        switch (type) {
            case NSFetchedResultsChangeType::Insert:
                return "insert";
            case NSFetchedResultsChangeType::Delete:
                return "delete";
            case NSFetchedResultsChangeType::Move:
                return "move";
            case NSFetchedResultsChangeType::Update:
                return "update";
        }
        return "?";
    }
};

// Two-letter index titles, as a list over short codes wants them.
class TwoLetterController : public NSFetchedResultsController {
  public:
    using NSFetchedResultsController::NSFetchedResultsController;
    std::string sectionIndexTitleForSectionName(const std::string& name) override {
        return name.substr(0, 2);
    }
};

using Lines = std::vector<std::string>;

}  // namespace

class NSFetchedResultsControllerTest : public CoreDataTest {
  protected:
    static void SetUpTestSuite() {
        CoreDataTest::SetUpTestSuite();
        // Sections by a key the class derives: the name's first byte.
        NSManagedObject::registerDerivedProperty(
            "TestObject", "initial", [](const NSManagedObject& object) {
                std::string name =
                    const_cast<NSManagedObject&>(object).stringForKey("name").value_or("");
                return Value(name.substr(0, 1));
            });
    }

    void SetUp() override {
        CoreDataTest::SetUp();
        addStore("a.sqlite");
        context_ = newContext();
        for (const char* name : {"Bern", "Aarau", "Basel", "Zug", "Arosa"})
            insertObject(context_, name);
        ASSERT_TRUE(context_->save());
    }

    std::shared_ptr<NSFetchRequest> byName(std::shared_ptr<NSPredicate> predicate = nullptr) {
        auto request = NSFetchRequest::fetchRequestWithEntityName("object");
        request->sortDescriptors = {NSSortDescriptor::sortDescriptorWithKey("name", true)};
        request->predicate = std::move(predicate);
        return request;
    }

    static std::vector<std::string> layout(const NSFetchedResultsController& controller) {
        std::vector<std::string> lines;
        for (const auto& section : controller.sections()) {
            std::string line = section.name + "|" + section.indexTitle + ":";
            for (const auto& object : section.objects)
                line += " " + object->stringForKey("name").value_or("?");
            lines.push_back(line);
        }
        return lines;
    }

    std::shared_ptr<NSManagedObject> named(const std::string& name) {
        auto request = byName(NSPredicate::predicateWithFormat("name == %@", {Value(name)}));
        auto found = context_->executeFetchRequest(*request);
        return found && !found->empty() ? found->front() : nullptr;
    }

    std::shared_ptr<NSManagedObjectContext> context_;
};

TEST_F(NSFetchedResultsControllerTest, SectionsByADerivedKeyWithIndexTitles) {
    NSFetchedResultsController controller(byName(), context_, "initial", "Places");
    EXPECT_EQ(controller.cacheName(), "Places");
    EXPECT_TRUE(controller.sections().empty());
    ASSERT_TRUE(controller.performFetch());
    EXPECT_EQ(layout(controller), (Lines{"A|A: Aarau Arosa", "B|B: Basel Bern", "Z|Z: Zug"}));
    EXPECT_EQ(controller.sectionIndexTitles(), (Lines{"A", "B", "Z"}));
    EXPECT_EQ(controller.fetchedObjects().size(), 5u);
    EXPECT_EQ(controller.sections()[1].numberOfObjects(), 2u);

    auto bern = controller.objectAtIndexPath(NSIndexPath::indexPathForRowInSection(1, 1));
    ASSERT_NE(bern, nullptr);
    EXPECT_EQ(bern->stringForKey("name"), "Bern");
    EXPECT_EQ(controller.indexPathForObject(bern.get()),
              NSIndexPath::indexPathForRowInSection(1, 1));
    EXPECT_EQ(controller.objectAtIndexPath(NSIndexPath::indexPathForRowInSection(2, 1)), nullptr);
    EXPECT_EQ(controller.objectAtIndexPath(NSIndexPath::indexPathForRowInSection(0, 3)), nullptr);
    EXPECT_EQ(controller.objectAtIndexPath(NSIndexPath::indexPathForRowInSection(-1, 0)), nullptr);
    EXPECT_EQ(controller.indexPathForObject(nullptr), std::nullopt);

    EXPECT_EQ(controller.sectionForSectionIndexTitleAtIndex("B", 0), 1);
    EXPECT_EQ(controller.sectionForSectionIndexTitleAtIndex("Q", 7), 2);  // clamped
}

TEST_F(NSFetchedResultsControllerTest, IndexTitlesTakeTheFirstCharacterUpperCased) {
    NSFetchedResultsController controller(byName(), context_);
    // A letter with its combining mark, a precomposed one, a surrogate pair.
    EXPECT_EQ(controller.sectionIndexTitleForSectionName("e\xCC\x81lan"), "E\xCC\x81");
    EXPECT_EQ(controller.sectionIndexTitleForSectionName("\xC3\xA9lan"), "\xC3\x89");
    EXPECT_EQ(controller.sectionIndexTitleForSectionName("\xF0\x9D\x90\x80x"), "\xF0\x9D\x90\x80");
    EXPECT_EQ(controller.sectionIndexTitleForSectionName("ab"), "A");
    EXPECT_EQ(controller.sectionIndexTitleForSectionName(""), "");

    // A subclass's titles; sections sharing a title list it once.
    TwoLetterController twoLetters(byName(), context_, "name");
    ASSERT_TRUE(twoLetters.performFetch());
    EXPECT_EQ(twoLetters.sectionIndexTitles(), (Lines{"Aa", "Ar", "Ba", "Be", "Zu"}));
    NSFetchedResultsController byInitialOfName(byName(), context_, "name");
    ASSERT_TRUE(byInitialOfName.performFetch());
    EXPECT_EQ(byInitialOfName.sections().size(), 5u);
    EXPECT_EQ(byInitialOfName.sectionIndexTitles(), (Lines{"A", "B", "Z"}));
}

TEST_F(NSFetchedResultsControllerTest, SectionsKeepTheOrderOfTheirFirstObject) {
    // Sorted by name but grouped by type: each type is one section all the
    // same, in the order its first name comes.
    named("Basel")->setValueForKey("typeID", Value(2));
    named("Zug")->setValueForKey("typeID", Value(2));
    ASSERT_TRUE(context_->save());
    class Titles : public RecordingDelegate {
        std::optional<std::string> controllerSectionIndexTitleForSectionName(
            NSFetchedResultsController&, const std::string& name) override {
            return "#" + name;
        }
    };
    auto titles = std::make_shared<Titles>();
    NSFetchedResultsController controller(byName(), context_, "typeID");
    controller.setDelegate(titles);
    ASSERT_TRUE(controller.performFetch());
    EXPECT_EQ(layout(controller), (Lines{"0|#0: Aarau Arosa Bern", "2|#2: Basel Zug"}));
    EXPECT_EQ(controller.sectionIndexTitles(), (Lines{"#0", "#2"}));
}

TEST_F(NSFetchedResultsControllerTest, WithoutASectionKeyEverythingIsOneSection) {
    NSFetchedResultsController controller(
        byName(NSPredicate::predicateWithFormat("name BEGINSWITH %@", {Value("B")})), context_);
    ASSERT_TRUE(controller.performFetch());
    EXPECT_EQ(layout(controller), Lines{"|: Basel Bern"});
}

TEST_F(NSFetchedResultsControllerTest, ReportsAnInsertedObjectInItsSection) {
    auto controller = std::make_shared<NSFetchedResultsController>(byName(), context_, "initial");
    auto delegate = std::make_shared<RecordingDelegate>();
    controller->setDelegate(delegate);
    ASSERT_TRUE(controller->performFetch());

    insertObject(context_, "Baden");
    context_->processPendingChanges();
    EXPECT_EQ(delegate->lines, (Lines{"will", "object insert -> 1.0 Baden", "did"}));
    EXPECT_EQ(layout(*controller),
              (Lines{"A|A: Aarau Arosa", "B|B: Baden Basel Bern", "Z|Z: Zug"}));

    // Saving processes nothing new: the insert was reported already.
    delegate->lines.clear();
    ASSERT_TRUE(context_->save());
    EXPECT_TRUE(delegate->lines.empty());
}

TEST_F(NSFetchedResultsControllerTest, ReportsSectionsObjectsMovesAndUpdates) {
    auto controller = std::make_shared<NSFetchedResultsController>(byName(), context_, "initial");
    auto delegate = std::make_shared<RecordingDelegate>();
    controller->setDelegate(delegate);
    ASSERT_TRUE(controller->performFetch());

    context_->deleteObject(named("Zug"));
    named("Arosa")->setValueForKey("name", Value("Chur"));
    named("Aarau")->setValueForKey("typeID", Value(3));
    insertObject(context_, "Davos");
    ASSERT_TRUE(context_->save());
    EXPECT_EQ(delegate->lines,
              (Lines{"will", "section delete 2 Z", "section insert 2 C", "section insert 3 D",
                     "object delete 2.0 Zug", "object insert -> 3.0 Davos",
                     "object move 0.1 -> 2.0 Chur", "object update 0.0 -> 0.0 Aarau", "did"}));
    EXPECT_EQ(layout(*controller),
              (Lines{"A|A: Aarau", "B|B: Basel Bern", "C|C: Chur", "D|D: Davos"}));

    // An object changed so that the predicate drops it leaves; changes of
    // other entities report nothing.
    auto filtered = std::make_shared<NSFetchedResultsController>(
        byName(NSPredicate::predicateWithFormat("typeID == 0")), context_, "initial");
    auto filteredDelegate = std::make_shared<RecordingDelegate>();
    filtered->setDelegate(filteredDelegate);
    ASSERT_TRUE(filtered->performFetch());
    named("Basel")->setValueForKey("typeID", Value(1));
    context_->insertNewObjectForEntityForName("tag")->setValueForKey("attribute", Value("x"));
    context_->processPendingChanges();
    EXPECT_EQ(filteredDelegate->lines, (Lines{"will", "object delete 0.0 Basel", "did"}));
}

TEST_F(NSFetchedResultsControllerTest, FollowsChangesMergedFromAnotherContext) {
    auto controller = std::make_shared<NSFetchedResultsController>(byName(), context_, "initial");
    auto delegate = std::make_shared<RecordingDelegate>();
    controller->setDelegate(delegate);
    ASSERT_TRUE(controller->performFetch());

    auto writer = newContext();
    std::optional<NSNotification> saved;
    auto observer = NSNotificationCenter::defaultCenter()->addObserverForName(
        NSManagedObjectContextDidSaveNotification, writer.get(), {},
        [&](const NSNotification& notification) { saved = notification; });
    insertObject(writer, "Aadorf");
    ASSERT_TRUE(writer->save());
    NSNotificationCenter::defaultCenter()->removeObserver(observer);
    ASSERT_TRUE(saved);
    context_->mergeChangesFromContextDidSaveNotification(*saved);
    EXPECT_EQ(delegate->lines, (Lines{"will", "object insert -> 0.0 Aadorf", "did"}));
}

TEST_F(NSFetchedResultsControllerTest, WithoutADelegateNothingIsFollowed) {
    NSFetchedResultsController controller(byName(), context_, "initial");
    ASSERT_TRUE(controller.performFetch());
    insertObject(context_, "Baden");
    context_->processPendingChanges();
    EXPECT_EQ(controller.fetchedObjects().size(), 5u);
    ASSERT_TRUE(controller.performFetch());
    EXPECT_EQ(controller.fetchedObjects().size(), 6u);
}

TEST_F(NSFetchedResultsControllerTest, BadRequestsFailWithAnError) {
    NSError error;
    auto unsorted = NSFetchRequest::fetchRequestWithEntityName("object");
    NSFetchedResultsController withoutOrder(unsorted, context_);
    EXPECT_FALSE(withoutOrder.performFetch(&error));
    EXPECT_EQ(error.domain, NSError::NSCocoaErrorDomain);

    auto unknown = byName();
    unknown->entityName = "noSuchEntity";
    NSFetchedResultsController withoutEntity(unknown, context_);
    EXPECT_FALSE(withoutEntity.performFetch(&error));
    EXPECT_TRUE(withoutEntity.sections().empty());
}
