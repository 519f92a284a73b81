#include "model/CBBookmarksManager.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoObject+BookmarkAdditions.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSDateFormatter.h"
#include "Foundation/NSFileManager+SetAside.h"
#include "mapkit/CBBasicAnnotation.h"
#include "model/PlaceStoreFixture.h"

namespace {

namespace fs = std::filesystem;

std::string contentsOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The names of the bookmarks in a store file, read as a plain database.
std::vector<std::string> bookmarkNamesInFile(const std::string& path) {
    std::vector<std::string> names;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(
        db, "SELECT ZNAME FROM ZOBJECT ORDER BY Z_PK",
        [](void* found, int, char** values, char**) {
            static_cast<std::vector<std::string>*>(found)->push_back(values[0] ? values[0] : "");
            return 0;
        },
        &names, nullptr);
    sqlite3_close(db);
    return names;
}

struct DeletionRecorder : CBBookmarksManagerDelegate {
    void bookmarkManagerWillDeleteBookmark(
        CBBookmarksManager&, const std::shared_ptr<CBGeoSearchResult>& bookmark) override {
        deleted.push_back(bookmark->object()->name().value_or(""));
    }
    std::vector<std::string> deleted;
};

class CBBookmarksManagerTest : public PlaceStoreTest {
  protected:
    // The bookmarks as a later start finds them on disk.
    std::shared_ptr<CBBookmarksManager> reopened(const std::string& identifier) {
        auto later = CBBookmarksManager::create();
        EXPECT_EQ(later->setupForMapWithIdentifier(identifier),
                  CBBookmarksManager::StoreState::Open);
        return later;
    }
    std::shared_ptr<CBGeoAddress> addressNumbered(CBGeoObject& street, const std::string& number) {
        for (const auto& address : street.addresses())
            if (address->houseNumber() == number)
                return address;
        return nullptr;
    }
};

TEST_F(CBBookmarksManagerTest, AMapObjectIsCopiedInOnceAndFoundAgainFromItsMap) {
    auto berlin = resultNamed("Berlin");
    ASSERT_TRUE(berlin);
    EXPECT_FALSE(bookmarks_->hasBookmarkForSearchResult(berlin));
    auto bookmark = bookmarks_->addBookmarkForSearchResult(berlin);
    ASSERT_TRUE(bookmark);
    EXPECT_EQ(bookmark->managedObjectContext(), bookmarks_->managedObjectContext());
    EXPECT_EQ(bookmark->name(), "Berlin");
    EXPECT_EQ(bookmark->getAttributeOfTagForKey("originalCanonicalName"),
              berlin->object()->canonicalName());
    EXPECT_EQ(bookmark->getAttributeOfTagForKey("phone"), "0395-570 89 70");
    EXPECT_FALSE(isUserGeneratedBookmark(*bookmark));
    ASSERT_EQ(bookmark->addresses().size(), 1u);
    EXPECT_EQ(bookmark->addresses().front()->street(), "Fritz-Reuter-Straße");
    EXPECT_TRUE(bookmarks_->hasBookmarkForSearchResult(berlin));
    EXPECT_TRUE(bookmarks_->hasBookmarkForObject(berlin->object()));
    // The bookmark of a bookmark is none.
    EXPECT_FALSE(bookmarks_->addBookmarkForObject(bookmark));
    EXPECT_FALSE(bookmarks_->addBookmarkForSearchResult(
        bookmarks_->searchResultObjectForGeoObject(bookmark)));

    // Saved at once: a later start has it, and finds the map's place for it.
    auto later = reopened("neubrandenburg");
    auto kept = later->findSimilarObjectToObjectFromOtherContext(berlin);
    ASSERT_TRUE(kept);
    auto onMap = map_->findSimilarObjectToObjectFromOtherContext(kept);
    ASSERT_TRUE(onMap);
    EXPECT_EQ(onMap->object(), berlin->object());
}

TEST_F(CBBookmarksManagerTest, AnUnnamedStopIsFiledUnderWhatItIs) {
    NSFetchRequest request("object");
    request.predicate = NSPredicate::predicateWithFormat(
        "name == nil AND ANY tags.key == 'pubtrans' AND ANY tags.attribute == 'bus_stop'");
    request.fetchLimit = 1;
    auto found = map_->managedObjectContext()->executeFetchRequest(request);
    ASSERT_TRUE(found && !found->empty());
    auto stop = std::dynamic_pointer_cast<CBGeoObject>(found->front());
    auto bookmark = bookmarks_->addBookmarkForObject(stop);
    ASSERT_TRUE(bookmark);
    const Value translations(bookmarks_->tagTranslationDictionary());
    const auto kind = bookmark->displayTypeTag()->translatedAttributeFromDictionary(&translations);
    ASSERT_TRUE(kind && !kind->empty());
    EXPECT_EQ(bookmark->name(), kind);
    EXPECT_EQ(bookmark->displayName(), kind);
    EXPECT_EQ(bookmark->firstLetterOfName(), kind->substr(0, 1));
    // Still the stop's bookmark: its canonical name is the stop's (none).
    EXPECT_TRUE(bookmarks_->hasBookmarkForObject(stop));
}

TEST_F(CBBookmarksManagerTest, AStreetIsBookmarkedWholeOrAtOneHouseNumber) {
    auto one = addressAt("Marktplatz", "1");
    ASSERT_TRUE(one);
    auto street = one->streetObject();
    ASSERT_TRUE(street && street->isHighway());
    auto two = addressNumbered(*street, "2");
    ASSERT_TRUE(two);
    auto whole = CBGeoSearchResult::geoSearchResultWithObject(street);
    auto atOne = CBGeoSearchResult::geoSearchResultWithObjectAndAddress(street, one);
    auto atTwo = CBGeoSearchResult::geoSearchResultWithObjectAndAddress(street, two);

    auto wholeBookmark = bookmarks_->addBookmarkForSearchResult(whole);
    ASSERT_TRUE(wholeBookmark);
    EXPECT_TRUE(wholeBookmark->addresses().empty());
    EXPECT_TRUE(bookmarks_->hasBookmarkForSearchResult(whole));
    EXPECT_FALSE(bookmarks_->hasBookmarkForSearchResult(atOne));

    auto oneBookmark = bookmarks_->addBookmarkForSearchResult(atOne);
    ASSERT_TRUE(oneBookmark);
    ASSERT_EQ(oneBookmark->addresses().size(), 1u);
    EXPECT_EQ(oneBookmark->addresses().front()->houseNumber(), "1");
    auto found = bookmarks_->findSimilarObjectToObjectFromOtherContext(atOne);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->object(), oneBookmark);
    EXPECT_FALSE(bookmarks_->hasBookmarkForSearchResult(atTwo));
    // The bookmark of the street at its number answers with that address.
    auto result = bookmarks_->searchResultObjectForGeoObject(oneBookmark);
    ASSERT_TRUE(result->address());
    EXPECT_EQ(result->address()->houseNumber(), "1");
}

TEST_F(CBBookmarksManagerTest, APinBecomesAPlaceOfTheUsersOwn) {
    auto pin = std::make_shared<CBBasicAnnotation>(53.52, 13.235);
    pin->setTitle(std::string("Swimming spot"));
    auto swim = bookmarks_->addBookmarkFromAnnotation(pin);
    ASSERT_TRUE(swim);
    EXPECT_TRUE(isUserGeneratedBookmark(*swim));
    EXPECT_EQ(swim->name(), "Swimming spot");
    EXPECT_EQ(swim->firstLetterOfName(), "S");
    EXPECT_NEAR(swim->coordinate().latitude, 53.52, 1e-9);
    // A pin of our own has a note from the start, empty until written.
    EXPECT_EQ(bookmarkDescription(*swim), "");

    // Unnamed, it is named after the moment it was kept.
    auto unnamed = std::make_shared<CBBasicAnnotation>(53.53, 13.24);
    unnamed->setSubtitle(std::string("by the jetty"));
    const std::string before = NSDateFormatter::localizedStringFromDateDateStyleTimeStyle(
        NSDate::date(), NSDateFormatterStyle::MediumStyle, NSDateFormatterStyle::ShortStyle);
    auto dated = bookmarks_->addBookmarkFromAnnotation(unnamed);
    const std::string after = NSDateFormatter::localizedStringFromDateDateStyleTimeStyle(
        NSDate::date(), NSDateFormatterStyle::MediumStyle, NSDateFormatterStyle::ShortStyle);
    ASSERT_TRUE(dated);
    EXPECT_TRUE(dated->name() == before || dated->name() == after) << *dated->name();
    EXPECT_EQ(bookmarkDescription(*dated), "by the jetty");
    EXPECT_TRUE(bookmarks_->hasBookmarkForObject(dated));
}

TEST_F(CBBookmarksManagerTest, APlaceFoundBySearchKeepsItsPhoneWebAddressAndAddress) {
    MKMapItem item(MKPlacemark({53.557, 13.261}, Value::Dictionary{{"City", "Neubrandenburg"},
                                                                   {"Thoroughfare", "Markt"},
                                                                   {"ZIP", "17033"}}));
    item.setName(std::string("Town hall"));
    item.setPhoneNumber(std::string("+49 395 5550"));
    item.setUrl(NSURL::URLWithString("http://www.example.org/rathaus"));
    auto pin = std::make_shared<CBMapItemAnnotation>(53.557, 13.261);
    pin->setTitle(std::string("Town hall"));
    pin->setMapItem(item);
    auto kept = bookmarks_->addBookmarkFromAnnotation(pin);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->getAttributeOfTagForKey("phone"), "+49 395 5550");
    EXPECT_EQ(kept->getAttributeOfTagForKey("url"), "http://www.example.org/rathaus");
    ASSERT_EQ(kept->addresses().size(), 1u);
    EXPECT_EQ((*kept->addresses().begin())->zipCode(), "17033");

    // An empty phone number and no web address add no tags.
    item.setPhoneNumber(std::string());
    item.setUrl(std::nullopt);
    pin->setMapItem(item);
    auto bare = bookmarks_->addBookmarkFromAnnotation(pin);
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->getTagForKey("phone"));
    EXPECT_FALSE(bare->getTagForKey("url"));
}

TEST_F(CBBookmarksManagerTest, ADeletionTellsTheDelegateAndIsSavedBeforeQuitting) {
    auto recorder = std::make_shared<DeletionRecorder>();
    bookmarks_->setBookmarkDelegate(recorder);
    auto berlin = resultNamed("Berlin");
    ASSERT_TRUE(bookmarks_->addBookmarkForSearchResult(berlin));
    // The map's object finds its bookmark to delete; a place without one
    // tells nobody.
    bookmarks_->deleteBookmarkForSearchResult(resultNamed("Turmcafe"));
    EXPECT_TRUE(recorder->deleted.empty());
    bookmarks_->deleteBookmarkForSearchResult(berlin);
    EXPECT_EQ(recorder->deleted, std::vector<std::string>{"Berlin"});
    EXPECT_FALSE(bookmarks_->hasBookmarkForSearchResult(berlin));
    // Going to the background saves at once, before the delayed save.
    EXPECT_TRUE(bookmarks_->saveChanges());
    EXPECT_FALSE(reopened("neubrandenburg")->hasBookmarkForSearchResult(berlin));

    // Left alone, the deletion is saved half a second later.
    ASSERT_TRUE(bookmarks_->addBookmarkForSearchResult(berlin));
    bookmarks_->deleteBookmarkForSearchResult(berlin);
    EXPECT_TRUE(reopened("neubrandenburg")->hasBookmarkForSearchResult(berlin));
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return !reopened("neubrandenburg")->hasBookmarkForSearchResult(berlin); }, 30));
}

TEST_F(CBBookmarksManagerTest, EachMapKeepsItsOwnBookmarks) {
    auto berlin = resultNamed("Berlin");
    ASSERT_TRUE(bookmarks_->addBookmarkForSearchResult(berlin));
    EXPECT_EQ(bookmarks_->setupForMapWithIdentifier(std::string("liechtenstein")),
              CBBookmarksManager::StoreState::Open);
    EXPECT_EQ(bookmarks_->mapIdentifier(), "liechtenstein");
    EXPECT_FALSE(bookmarks_->hasBookmarkForSearchResult(berlin));
    auto pin = std::make_shared<CBBasicAnnotation>(47.14, 9.52);
    pin->setTitle(std::string("Vaduz castle view"));
    ASSERT_TRUE(bookmarks_->addBookmarkFromAnnotation(pin));
    EXPECT_EQ(bookmarks_->setupForMapWithIdentifier(std::string("neubrandenburg")),
              CBBookmarksManager::StoreState::Open);
    EXPECT_TRUE(bookmarks_->hasBookmarkForSearchResult(berlin));
    EXPECT_TRUE(fs::exists(bookmarks_->bookmarksBasePath() + "/liechtenstein.sqlite"));
    EXPECT_TRUE(fs::exists(bookmarks_->bookmarksBasePath() + "/neubrandenburg.sqlite"));
}

TEST_F(CBBookmarksManagerTest, IdentifiersThatNameNoFileInTheFolderOpenNothing) {
    const std::string documents = NSSearchPathForDirectory(NSSearchPathDirectory::Documents);
    for (const std::optional<std::string>& identifier :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("/"), std::optional<std::string>(".."),
          std::optional<std::string>("../maps/x"), std::optional<std::string>("a/b")}) {
        EXPECT_EQ(bookmarks_->setupForMapWithIdentifier(identifier),
                  CBBookmarksManager::StoreState::Closed);
        EXPECT_FALSE(bookmarks_->mapIdentifier());
        EXPECT_FALSE(bookmarks_->addBookmarkForSearchResult(resultNamed("Berlin")));
        EXPECT_FALSE(
            bookmarks_->addBookmarkFromAnnotation(std::make_shared<CBBasicAnnotation>(53.5, 13.2)));
    }
    // Nothing was written beside the folder of the bookmarks.
    for (const auto& entry : fs::recursive_directory_iterator(documents)) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(entry.path().parent_path(), fs::path(bookmarks_->bookmarksBasePath()))
                << entry.path();
        }
    }
}

TEST_F(CBBookmarksManagerTest,
       AStoreThatCannotBeReadIsSetAsideANewOneTakesItsPlaceAndOtherMapsWork) {
    ASSERT_TRUE(bookmarks_->addBookmarkForSearchResult(resultNamed("Berlin")));
    const std::string base = bookmarks_->bookmarksBasePath();
    std::ofstream(base + "/garbled.sqlite", std::ios::binary) << "no database at all";
    // A real store of another model: the download queue's.
    {
        auto model = NSManagedObjectModel::modelWithContentsOfFile(
            sourceResourcesPath() + "/ZELDownloadManagerQueue.model");
        ASSERT_TRUE(model);
        NSPersistentStoreCoordinator coordinator(model);
        ASSERT_TRUE(coordinator.addPersistentStoreWithType(NSSQLiteStoreType, "",
                                                           base + "/foreign.sqlite", {}, nullptr));
    }
    for (const std::string identifier : {"garbled", "foreign"}) {
        const std::string before = contentsOf(base + "/" + identifier + ".sqlite");
        const std::string store = base + "/" + identifier + ".sqlite";
        EXPECT_EQ(bookmarks_->setupForMapWithIdentifier(identifier),
                  CBBookmarksManager::StoreState::Open)
            << identifier;
        const auto first = bookmarks_->takeSetAsideStorePath();
        ASSERT_TRUE(first) << identifier;
        EXPECT_EQ(NSFileManagerSetAsideCopiesOfFile(store), std::vector<std::string>{*first});
        EXPECT_FALSE(bookmarks_->takeSetAsideStorePath());  // told once
        EXPECT_TRUE(
            bookmarks_->addBookmarkFromAnnotation(std::make_shared<CBBasicAnnotation>(53.5, 13.2)));
        EXPECT_EQ(contentsOf(*first), before) << identifier;
        // The new store holds the new bookmark the next time.
        EXPECT_EQ(bookmarks_->setupForMapWithIdentifier(identifier),
                  CBBookmarksManager::StoreState::Open);
        EXPECT_FALSE(bookmarks_->takeSetAsideStorePath());
        EXPECT_EQ(bookmarks_->managedObjectContext()
                      ->executeFetchRequest(NSFetchRequest("object"))
                      ->size(),
                  1u);
        // A second damage sets the new store aside beside the first copy,
        // which keeps the bookmarks it held.
        bookmarks_->setupForMapWithIdentifier(std::nullopt);
        std::ofstream(store, std::ios::binary | std::ios::trunc) << "damaged again";
        EXPECT_EQ(bookmarks_->setupForMapWithIdentifier(identifier),
                  CBBookmarksManager::StoreState::Open);
        const auto second = bookmarks_->takeSetAsideStorePath();
        ASSERT_TRUE(second);
        EXPECT_EQ(NSFileManagerSetAsideCopiesOfFile(store),
                  (std::vector<std::string>{*first, *second}));
        EXPECT_EQ(contentsOf(*first), before) << identifier;
        EXPECT_EQ(contentsOf(*second), "damaged again") << identifier;
    }
    EXPECT_EQ(bookmarks_->setupForMapWithIdentifier(std::string("neubrandenburg")),
              CBBookmarksManager::StoreState::Open);
    EXPECT_TRUE(bookmarks_->hasBookmarkForSearchResult(resultNamed("Berlin")));
}

// Each damage leaves a fresh store holding only what was added since: six
// damages in a row keep every copy, the first bookmarks above all.
TEST_F(CBBookmarksManagerTest, RepeatedDamageKeepsEveryCopyWithTheFirstBookmarks) {
    ASSERT_TRUE(bookmarks_->addBookmarkForSearchResult(resultNamed("Berlin")));
    const std::string store = bookmarks_->bookmarksBasePath() + "/neubrandenburg.sqlite";
    for (int damage = 1; damage <= 6; ++damage) {
        bookmarks_->setupForMapWithIdentifier(std::nullopt);
        sqlite3* db = nullptr;
        sqlite3_open(store.c_str(), &db);
        // The bookmarks stay readable by hand; the store no longer opens.
        sqlite3_exec(db, "UPDATE Z_METADATA SET Z_PLIST = x'00'", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        bookmarks_->setupForMapWithIdentifier(std::string("neubrandenburg"));
        const auto aside = bookmarks_->takeSetAsideStore();
        ASSERT_TRUE(aside) << damage;
        EXPECT_TRUE(aside->removedCopies.empty());
        auto pin = std::make_shared<CBBasicAnnotation>(53.5, 13.2 + damage * 0.01);
        pin->setTitle("After damage " + std::to_string(damage));
        ASSERT_TRUE(bookmarks_->addBookmarkFromAnnotation(pin));
    }
    const auto copies = NSFileManagerSetAsideCopiesOfFile(store);
    ASSERT_EQ(copies.size(), 6u);
    EXPECT_EQ(bookmarkNamesInFile(copies[0]), std::vector<std::string>{"Berlin"});
    EXPECT_EQ(bookmarkNamesInFile(copies[5]), std::vector<std::string>{"After damage 5"});
}

}  // namespace
