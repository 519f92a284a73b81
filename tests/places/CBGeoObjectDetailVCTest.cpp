#include "places/CBGeoObjectDetailVC.h"

#include <gtest/gtest.h>
#include <filesystem>

#include <fstream>
#include <regex>
#include <set>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoObject+BookmarkAdditions.h"
#include "CBGeoData/CBGeoObject+GuideAdditions.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreLocation/CLLocationManager.h"
#include "CoreLocation/CLNoLocationSource.h"
#include "Host/HostScenario.h"
#include "MapKit/MKMapItem.h"
#include "PlacesFixture.h"
#include "UIKit/UIActivityViewController.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITableView.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBBasicAnnotation.h"
#include "places/CBBookmarkEditorVC.h"
#include "platform/Foundation/RecordedLaunches.h"

namespace {

using Section = CBGeoObjectDetailVC::SectionType;

// A position source the test moves and turns.
class TestSource : public CLLocationSource {
  public:
    void startUpdating() override {}
    void stopUpdating() override {}
    bool headingAvailable() const override { return true; }
    std::string description() const override { return "test"; }
    void moveTo(double latitude, double longitude) {
        deliverLocation(std::make_shared<CLLocation>(latitude, longitude));
    }
    void turnTo(double degrees, double accuracy) {
        deliverHeading(std::make_shared<CLHeading>(degrees, degrees, accuracy, NSDate::date()));
    }
};

class CBGeoObjectDetailVCTest : public PlacesTest {
  protected:
    UITableView& table(CBGeoObjectDetailVC& screen) { return *screen.tableView(); }
    std::shared_ptr<UITableViewCell> cell(CBGeoObjectDetailVC& screen, long section, long row) {
        return screen.tableViewCellForRowAtIndexPath(
            table(screen), NSIndexPath::indexPathForRowInSection(row, section));
    }
    std::string text(CBGeoObjectDetailVC& screen, long section, long row) {
        return cell(screen, section, row)->textLabel()->text();
    }
    void tapRow(CBGeoObjectDetailVC& screen, long section, long row) {
        screen.tableViewDidSelectRowAtIndexPath(
            table(screen), NSIndexPath::indexPathForRowInSection(row, section));
    }
    long sectionOf(CBGeoObjectDetailVC& screen, int type) {
        return screen.indexForSectionType(type).value_or(-1);
    }
    std::shared_ptr<UIViewController> top() { return navigation_->topViewController(); }
    // An object of a map of the test's own, saved.
    std::shared_ptr<CBGeoObject> scratchObject(
        std::optional<std::string> name, std::vector<std::pair<std::string, std::string>> tags) {
        auto context = scratch()->managedObjectContext();
        auto object = CBGeoObject::objectInContextAtCoordinate(context, {53.556, 13.262});
        object->setValueForKey("typeID", Value(int64_t(419)));
        if (name)
            object->updateNameAndCanonicalNameForString(*name);
        for (const auto& [key, value] : tags)
            object->addTag(CBGeoTag::tagWithKeyAndAttributeInContext(key, value, context));
        EXPECT_TRUE(scratch()->saveChanges());
        return object;
    }
    void settle() {
        auto result = HostRunScenario(window_, "idle");
        EXPECT_TRUE(result.passed) << result.message;
    }
};

TEST_F(CBGeoObjectDetailVCTest, APlaceShowsItsContactsAndTagsEachOnce) {
    auto screen = showResult(resultNamed("Berlin"));
    EXPECT_EQ(
        screen->sectionTypes(),
        (std::vector<int>{Section::kSectionName, Section::kSectionPhone, Section::kSectionAddress,
                          Section::kSectionEmail, Section::kSectionWeb, Section::kSectionTags}));
    EXPECT_EQ(text(*screen, 0, 0), "Berlin");
    EXPECT_EQ(text(*screen, 1, 0), "0395-570 89 70");
    EXPECT_EQ(text(*screen, 2, 0), "Fritz-Reuter-Stra\u00dfe 1\n17033 Neubrandenburg");
    EXPECT_EQ(text(*screen, 3, 0), "info@berlin-nb.de");
    EXPECT_EQ(text(*screen, 4, 0), "http://berlin-nb.de/");
    std::vector<std::string> tags;
    for (long row = 0; row < table(*screen).numberOfRowsInSection(5); ++row)
        tags.push_back(cell(*screen, 5, row)->detailTextLabel()->text());
    EXPECT_EQ(std::count(tags.begin(), tags.end(), "Amenity"), 1);
    EXPECT_EQ(std::count(tags.begin(), tags.end(), "Name"), 0);
    EXPECT_EQ(std::count(tags.begin(), tags.end(), "Website"), 0);
    // Opened from the map as the first screen over it: no button back to it.
    EXPECT_FALSE(screen->navigationItem()->rightBarButtonItem());
    EXPECT_EQ(screen->title(), "Place");

    // The toolbar names its buttons; a tap on the header shows the place.
    std::vector<std::string> labels;
    for (const auto& item : screen->toolbarItems())
        if (item->accessibilityLabel())
            labels.push_back(*item->accessibilityLabel());
    EXPECT_EQ(labels, (std::vector<std::string>{"Share", "Add bookmark", "Show on map"}));
    EXPECT_TRUE(screen->bookmarkButton()->isEnabled());
    screen->showOnMap();
    ASSERT_EQ(host_->shown.size(), 1u);
    EXPECT_EQ(host_->shown[0].object, objectNamed("Berlin")->objectID());
    EXPECT_FALSE(host_->shown[0].isBookmark);

    settle();
    EXPECT_TRUE(matchesReference(window_->renderImage(1), "../places/place-berlin", 40));
}

// The tag rows are the place's tags for display by key, each value in the
// words of the tag translations (opening hours by the stored day and time
// words), under the translated name of its key.
TEST_F(CBGeoObjectDetailVCTest, TagRowsShowEveryTagForDisplayUnderItsTranslatedKey) {
    auto rowsOf = [&](const std::string& name) {
        auto screen = showResult(resultNamed(name));
        const long section = sectionOf(*screen, Section::kSectionTags);
        std::vector<std::string> rows;
        for (long row = 0; section >= 0 && row < table(*screen).numberOfRowsInSection(section);
             ++row) {
            auto shown = cell(*screen, section, row);
            auto key = shown->detailTextLabel();
            rows.push_back((key ? key->text() : "?") + ": " + shown->textLabel()->text());
        }
        return rows;
    };
    EXPECT_EQ(rowsOf("Iris-Apotheke"),
              (std::vector<std::string>{
                  "Amenity: Pharmacy", "Dispenses prescriptions: Yes", "Fax: +49 395 4 69 18 74",
                  "Opening hours: Mon-Fri 08:00-19:00;Sat 08:00-13:00", "Wheelchair access: Yes"}));
    // Nothing of the place is held back: references to other databases and
    // official numbers show too, by name.
    auto town = objectNamed("Neubrandenburg");
    ASSERT_TRUE(town);
    const auto rows = rowsOf("Neubrandenburg");
    EXPECT_EQ(rows.size(), tagsForDisplay(*town)->size());
    EXPECT_NE(std::find(rows.begin(), rows.end(), "Wikidata: Q3958"), rows.end());
    EXPECT_NE(std::find(rows.begin(), rows.end(), "Region code: DE-MV"), rows.end());

    // A key the translations do not name shows its value alone; a place
    // whose tags are all shown elsewhere keeps an empty group.
    auto unnamed = showResult(CBGeoSearchResult::geoSearchResultWithObject(
        scratchObject("Kiosk", {{"xmas:feature", "tree"}, {"phone", "0395 1"}})));
    const long section = sectionOf(*unnamed, Section::kSectionTags);
    ASSERT_EQ(table(*unnamed).numberOfRowsInSection(section), 1);
    EXPECT_EQ(cell(*unnamed, section, 0)->textLabel()->text(), "tree");
    EXPECT_FALSE(cell(*unnamed, section, 0)->detailTextLabel());
    auto contactOnly = showResult(
        CBGeoSearchResult::geoSearchResultWithObject(scratchObject("Taxi", {{"phone", "0395 2"}})));
    const long empty = sectionOf(*contactOnly, Section::kSectionTags);
    ASSERT_GE(empty, 0);
    EXPECT_EQ(table(*contactOnly).numberOfRowsInSection(empty), 0);
}

// Every tag of the map that a place screen (of a place that is no street)
// or a line's screen shows.
std::vector<std::shared_ptr<CBGeoTag>> tagsShownOnScreens(CBGeoDataManager& map) {
    NSFetchRequest request("tag");
    auto tags = map.managedObjectContext()->executeFetchRequest(request);
    std::vector<std::shared_ptr<CBGeoTag>> shown;
    for (const auto& object : tags.value_or(std::vector<std::shared_ptr<NSManagedObject>>{})) {
        auto tag = std::dynamic_pointer_cast<CBGeoTag>(object);
        if (!tag)
            continue;
        bool onScreen = !tag->objectsForKey("relations").empty();
        for (const auto& owner : tag->objectsForKey("objects")) {
            auto place = std::dynamic_pointer_cast<CBGeoObject>(owner);
            if (place && !place->isHighway()) {
                const auto forDisplay = tagsForDisplay(*place);
                onScreen = onScreen ||
                           (forDisplay && std::find(forDisplay->begin(), forDisplay->end(), tag) !=
                                              forDisplay->end());
            }
        }
        if (onScreen)
            shown.push_back(tag);
    }
    return shown;
}

// Every tag a place or a line of the sample city shows has a readable name
// in the tag translations. Streets list no tags.
TEST_F(CBGeoObjectDetailVCTest, EveryTagThePlacesOfTheSampleShowHasATranslatedKey) {
    const Value translations(map_->tagTranslationDictionary());
    const auto shown = tagsShownOnScreens(*map_);
    ASSERT_FALSE(shown.empty());
    std::set<std::string> unnamed;
    for (const auto& tag : shown)
        if (!tag->translatedKeyFromDictionary(&translations))
            unnamed.insert(tag->key());
    EXPECT_TRUE(unnamed.empty()) << "first without a name: " << *unnamed.begin();
}

// A value written as the map's own words ("yes", "american", "bus",
// "swimming_pool", "chicken; burger") reads as a person says it on every
// sample map; names, free text and identifiers (Q-ids, numbers, addresses
// on the web) are shown as they are stored.
TEST_F(CBGeoObjectDetailVCTest, EveryPlainValueTheSampleMapsShowReadsAsWords) {
    const Value translations(map_->tagTranslationDictionary());
    const std::regex plain("[a-z][a-z0-9_ -]*([;,] ?[a-z0-9][a-z0-9_ -]*)*");
    // Keys whose values are names, free text or identifiers, lower-case or not.
    const std::set<std::string> verbatim = {"brand",          "operator", "description",
                                            "description:de", "int_name", "management_region"};
    std::set<std::string> raw;
    const std::filesystem::path packages =
        std::filesystem::path(samplePackageStore()).parent_path().parent_path();
    for (const std::string sample : {"neubrandenburg", "liechtenstein", "three-rivers"}) {
        auto map = CBGeoDataManager::create();
        ASSERT_TRUE(map->addPersistentStoreCoordinatorWithPath(
            (packages / sample / (sample + ".sqlite")).string()));
        for (const auto& tag : tagsShownOnScreens(*map)) {
            const std::string value = tag->attribute();
            const auto read = tag->translatedAttributeFromDictionary(&translations);
            if (!CBGeoTag::translatesOpeningHourAttributeForKey(tag->key()) &&
                !verbatim.count(tag->key()) && std::regex_match(value, plain) && read == value)
                raw.insert(sample + ": " + tag->key() + "=" + value);
        }
    }
    EXPECT_TRUE(raw.empty()) << raw.size() << " raw, first " << *raw.begin();

    auto wikidata = CBGeoTag::tagWithKeyAndAttributeInContext("wikidata", "Q3958",
                                                              scratch()->managedObjectContext());
    EXPECT_EQ(wikidata->translatedAttributeFromDictionary(&translations), "Q3958");
}

TEST_F(CBGeoObjectDetailVCTest, AStreetAtAnAddressListsTheNamedPlacesThere) {
    auto one = addressAt("Marktplatz", "1");
    ASSERT_TRUE(one);
    auto street = one->streetObject();
    ASSERT_TRUE(street);
    auto screen = showResult(CBGeoSearchResult::geoSearchResultWithObjectAndAddress(street, one));
    EXPECT_EQ(screen->sectionTypes(),
              (std::vector<int>{Section::kSectionName, Section::kSectionAddress,
                                Section::kSectionPlacesAtAddress}));
    EXPECT_EQ(text(*screen, 0, 0), "Marktplatz 1");
    EXPECT_EQ(screen->tableViewTitleForHeaderInSection(table(*screen), 2), "Points of interest");
    // The unnamed building at the address is no blank row.
    std::vector<std::string> places;
    for (long row = 0; row < table(*screen).numberOfRowsInSection(2); ++row)
        places.push_back(text(*screen, 2, row));
    EXPECT_EQ(places, (std::vector<std::string>{"Haus der Kultur und Bildung",
                                                "Regionalbibliothek Neubrandenburg", "Turmcafe"}));
    // A street has no share button and no coordinate under its table.
    for (const auto& item : screen->toolbarItems())
        EXPECT_NE(item->accessibilityLabel(), "Share");
    EXPECT_FALSE(screen->tableViewViewForFooterInSection(table(*screen), 2));

    tapRow(*screen, 2, 2);
    auto next = std::dynamic_pointer_cast<CBGeoObjectDetailVC>(top());
    ASSERT_TRUE(next);
    EXPECT_EQ(next->displayObject(), objectNamed("Turmcafe"));
    EXPECT_TRUE(next->isOnMap());
    // Deeper than the first screen over the map: a button leads back to it.
    ASSERT_TRUE(next->navigationItem()->rightBarButtonItem());
    EXPECT_EQ(next->navigationItem()->rightBarButtonItem()->title(), "Map");

    // The whole street, found without an address, leads to its house numbers
    // and to the places along it.
    auto whole = showResult(CBGeoSearchResult::geoSearchResultWithObject(street));
    EXPECT_EQ(whole->sectionTypes(),
              (std::vector<int>{Section::kSectionName, Section::kSectionStreetAddresses,
                                Section::kSectionPlacesAlongStreet}));
}

TEST_F(CBGeoObjectDetailVCTest, WebAddressesOpenAsWebPagesAndTheTelephoneOnlyCopies) {
    RecordedLaunches launched;
    auto iris = showResult(resultNamed("Iris-Apotheke"));
    const long web = sectionOf(*iris, Section::kSectionWeb);
    ASSERT_GE(web, 0);
    EXPECT_EQ(text(*iris, web, 0), "www.irisapotheke-nb.de");
    tapRow(*iris, web, 0);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0], (std::vector<std::string>{"xdg-open", "http://www.irisapotheke-nb.de"}));

    // This desktop makes no calls: the number does not react to a tap.
    const long phone = sectionOf(*iris, Section::kSectionPhone);
    ASSERT_GE(phone, 0);
    EXPECT_EQ(cell(*iris, phone, 0)->selectionStyle(), UITableViewCellSelectionStyleNone);
    tapRow(*iris, phone, 0);
    EXPECT_EQ(launched.size(), 1u);

    auto sparda = showResult(resultNamed("Sparda-Bank"));
    tapRow(*sparda, sectionOf(*sparda, Section::kSectionWeb), 0);
    ASSERT_EQ(launched.size(), 2u);
    EXPECT_EQ(launched[1][1].rfind("https://www.sparda-filialfinder.de/", 0), 0u);

    // A web tag that is no web page is shown, never opened.
    auto odd = scratchObject(std::string("Odd"), {{"url", "file:///etc/passwd?http://x"},
                                                  {"phone", "0395\n123"},
                                                  {"description", std::string(10000, 'x')}});
    auto screen = showResult(CBGeoSearchResult::geoSearchResultWithObject(odd));
    const long oddWeb = sectionOf(*screen, Section::kSectionWeb);
    EXPECT_EQ(cell(*screen, oddWeb, 0)->selectionStyle(), UITableViewCellSelectionStyleNone);
    tapRow(*screen, oddWeb, 0);
    EXPECT_EQ(launched.size(), 2u);
    EXPECT_EQ(text(*screen, sectionOf(*screen, Section::kSectionPhone), 0), "0395 123");
    // A tag value of 10,000 characters is shown cut, in a row of bounded height.
    const long tags = sectionOf(*screen, Section::kSectionTags);
    ASSERT_GE(tags, 0);
    bool cut = false;
    for (long row = 0; row < table(*screen).numberOfRowsInSection(tags); ++row) {
        const std::string value = text(*screen, tags, row);
        if (value.rfind("xxx", 0) == 0) {
            cut = value.size() < 1000;
            EXPECT_LE(*screen->tableViewHeightForRowAtIndexPath(
                          table(*screen), NSIndexPath::indexPathForRowInSection(row, tags)),
                      650);
        }
    }
    EXPECT_TRUE(cut);
}

TEST_F(CBGeoObjectDetailVCTest, BookmarkingShowsTheNoteRowInTheRowsOwnShape) {
    // The town has four names in other languages, each a row of section 0.
    auto town = resultNamed("Neubrandenburg");
    auto screen = showResult(town);
    ASSERT_EQ(table(*screen).numberOfRowsInSection(0), 5);
    EXPECT_EQ(text(*screen, 0, 1), "Novbrandenburgo");
    // The cell made for the first name in another language...
    auto reused = cell(*screen, 0, 1);
    EXPECT_EQ(reused->textLabel()->numberOfLines(), 1u);

    screen->toggleBookmark();
    ASSERT_TRUE(screen->bookmark());
    EXPECT_EQ(screen->bookmarkButton()->accessibilityLabel(), "Delete bookmark");
    ASSERT_EQ(table(*screen).numberOfRowsInSection(0), 6);
    // ...shows the note once the place is bookmarked, in the note's shape.
    screen->configureCellAtIndex(*reused, NSIndexPath::indexPathForRowInSection(1, 0));
    EXPECT_EQ(reused->textLabel()->text(), "Tap to add description");
    EXPECT_EQ(reused->textLabel()->numberOfLines(), 0u);
    EXPECT_EQ(reused->textLabel()->font()->pointSize(), 16);
    EXPECT_EQ(reused->accessoryType(), UITableViewCellAccessoryDisclosureIndicator);
    EXPECT_EQ(text(*screen, 0, 2), "Novbrandenburgo");
    EXPECT_EQ(text(*screen, 0, 5),
              "\u041d\u043e\u0439\u0431\u0440\u0430\u043d\u0434\u0435\u043d"
              "\u0431\u0443\u0440\u0433");
    EXPECT_TRUE(cell(*screen, 0, 5)->imageView()->image());   // the Russian flag
    EXPECT_FALSE(cell(*screen, 0, 4)->imageView()->image());  // Low German has none
}

TEST_F(CBGeoObjectDetailVCTest, AnUnnamedBookmarkedPlaceShowsItsNoteOnceAndKeepsItsNames) {
    auto bench = scratchObject(std::nullopt, {{"amenity", "bench"}, {"name:de", "Bank am See"}});
    ASSERT_TRUE(bookmarks_->addBookmarkForObject(bench));
    auto screen = show([&](CBGeoObjectDetailVC& detail) {
        detail.setDataManager(scratch());
        detail.setObject(CBGeoSearchResult::geoSearchResultWithObject(bench));
    });
    ASSERT_TRUE(screen->bookmark());
    EXPECT_EQ(screen->displayObject(), bench);
    EXPECT_EQ(screen->nameRows(), (std::vector<CBGeoObjectDetailVC::NameRow>{
                                      CBGeoObjectDetailVC::NameRow::Description,
                                      CBGeoObjectDetailVC::NameRow::InternationalName}));
    EXPECT_EQ(text(*screen, 0, 0), "Tap to add description");
    EXPECT_EQ(text(*screen, 0, 1), "Bank am See");
    // The name in another language opens nothing; the note its editor.
    tapRow(*screen, 0, 1);
    EXPECT_EQ(top(), screen);
    tapRow(*screen, 0, 0);
    auto editor = std::dynamic_pointer_cast<CBBookmarkEditorVC>(top());
    ASSERT_TRUE(editor);
    EXPECT_TRUE(editor->editingDescription());
}

TEST_F(CBGeoObjectDetailVCTest, DeletingAsksAndClosesOnlyWhenNothingElseIsLeftToShow) {
    auto berlin = resultNamed("Berlin");
    auto screen = showResult(berlin);
    screen->toggleBookmark();
    ASSERT_TRUE(screen->bookmark());
    screen->toggleBookmark();
    ASSERT_TRUE(screen->alert());
    EXPECT_EQ(screen->alert()->tag(), CBGeoObjectDetailVC::kDeleteBookmarkAlertTag);
    screen->alertViewDidDismissWithButtonIndex(*screen->alert(),
                                               screen->alert()->cancelButtonIndex());
    EXPECT_TRUE(screen->bookmark());
    screen->alertViewDidDismissWithButtonIndex(*screen->alert(), 1);
    // A place of the map stays on show, bookmarkable again.
    EXPECT_FALSE(screen->bookmark());
    EXPECT_EQ(top(), screen);
    EXPECT_EQ(screen->bookmarkButton()->accessibilityLabel(), "Add bookmark");

    // A bookmark whose place this map does not have shows the bookmark
    // itself; once deleted there is nothing left to show.
    auto kept = bookmarks_->addBookmarkForSearchResult(berlin);
    ASSERT_TRUE(kept);
    auto orphan = show([&](CBGeoObjectDetailVC& detail) {
        detail.setDataManager(scratch());
        detail.setObject(bookmarks_->searchResultObjectForGeoObject(kept));
    });
    EXPECT_EQ(orphan->displayObject(), kept);
    ASSERT_TRUE(orphan->bookmark());
    orphan->deleteBookmark();
    EXPECT_NE(top(), orphan);
    EXPECT_FALSE(bookmarks_->hasBookmarkForSearchResult(berlin));

    // A place of the user's own goes with its bookmark.
    auto pin = std::make_shared<CBBasicAnnotation>(53.52, 13.235);
    pin->setTitle(std::string("Swimming spot"));
    auto swim = bookmarks_->addBookmarkFromAnnotation(pin);
    auto own = show([&](CBGeoObjectDetailVC& detail) {
        detail.setBookmark(bookmarks_->searchResultObjectForGeoObject(swim));
        detail.setOpenedFromBookmarksTable(true);
    });
    EXPECT_EQ(own->displayObject(), swim);
    own->deleteBookmark();
    EXPECT_NE(top(), own);
}

TEST_F(CBGeoObjectDetailVCTest, ADroppedPinIsSavedFromItsOwnScreen) {
    auto pin = std::make_shared<CBBasicAnnotation>(53.52, 13.235);
    pin->setTitle(NSLocalizedString("CBTitleForNewAnnotations"));
    auto screen =
        show([&](CBGeoObjectDetailVC& detail) { detail.setAnnotationForNewBookmark(pin); });
    EXPECT_EQ(screen->sectionTypes(), std::vector<int>{Section::kSectionName});
    EXPECT_TRUE(navigation_->isToolbarHidden());
    EXPECT_EQ(screen->navigationItem()->rightBarButtonItem()->title(), "Save");
    EXPECT_EQ(screen->navigationItem()->leftBarButtonItem()->title(), "Cancel");
    EXPECT_EQ(text(*screen, 0, 0), "Tap to add title");
    EXPECT_EQ(text(*screen, 0, 1), "Tap to add description");
    // Its coordinate is under the table.
    auto footer = std::dynamic_pointer_cast<UILabel>(
        screen->tableViewViewForFooterInSection(table(*screen), 0));
    ASSERT_TRUE(footer);
    EXPECT_EQ(footer->text(), "53.520000 N, 13.235000 E");

    tapRow(*screen, 0, 0);
    auto editor = std::dynamic_pointer_cast<CBBookmarkEditorVC>(top());
    ASSERT_TRUE(editor);
    EXPECT_FALSE(editor->editingDescription());
    EXPECT_EQ(editor->textField()->text(), "");  // the placeholder is no title
    editor->textField()->setText("Swimming spot");
    editor->textFieldShouldReturn(*editor->textField());
    EXPECT_EQ(top(), screen);
    EXPECT_EQ(pin->title(), "Swimming spot");

    screen->saveNewBookmark();
    ASSERT_EQ(host_->shown.size(), 1u);
    EXPECT_TRUE(host_->shown[0].isBookmark);
    auto saved = screen->displayObject();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->name(), "Swimming spot");
    EXPECT_TRUE(isUserGeneratedBookmark(*saved));
    EXPECT_EQ(host_->shown[0].object, saved->objectID());

    // Cancel leaves without keeping anything.
    auto other = std::make_shared<CBBasicAnnotation>(53.53, 13.24);
    auto cancelled =
        show([&](CBGeoObjectDetailVC& detail) { detail.setAnnotationForNewBookmark(other); });
    cancelled->cancel();
    EXPECT_NE(top(), cancelled);
}

TEST_F(CBGeoObjectDetailVCTest, WithoutReadableBookmarksNothingCanBeKept) {
    // A damaged store is set aside and replaced; here a folder stands in
    // the store's place, which is not set aside, so the store stays unreadable.
    const std::string path = bookmarks_->bookmarksBasePath() + "/broken.sqlite";
    std::filesystem::create_directories(path + "/kept");
    ASSERT_EQ(bookmarks_->setupForMapWithIdentifier(std::string("broken")),
              CBBookmarksManager::StoreState::Unreadable);
    auto screen = showResult(resultNamed("Berlin"));
    EXPECT_FALSE(screen->bookmarkButton()->isEnabled());
    EXPECT_FALSE(screen->bookmark());
}

TEST_F(CBGeoObjectDetailVCTest, TheCornerTellsHowFarAndWhichWay) {
    auto source = std::make_shared<TestSource>();
    CLLocationManager::setLocationSource(source);
    auto location = CBLocationManager::sharedInstance();
    location->startUpdatingLocation();
    source->moveTo(53.5569, 13.2610);
    auto screen = showResult(resultNamed("Berlin"));
    // The screen starts the compass that nothing followed before; a second
    // screen finds it running.
    EXPECT_FALSE(screen->locationManagerWasUpdatingHeading());
    EXPECT_TRUE(location->isUpdatingHeading());
    EXPECT_TRUE(showResult(resultNamed("Berlin"))->locationManagerWasUpdatingHeading());
    EXPECT_FALSE(screen->distanceViewContainer()->isHidden());
    EXPECT_EQ(screen->distanceLabel()->text().substr(screen->distanceLabel()->text().size() - 2),
              " m");
    // Without a heading the arrow is a dim hint; with one, as sure as the
    // heading is.
    EXPECT_FALSE(screen->directionArrowView()->isHighlighted());
    EXPECT_DOUBLE_EQ(screen->directionArrowView()->alpha(), 0.75);
    for (auto [accuracy, alpha] :
         std::vector<std::pair<double, double>>{{10, 1.0}, {100, 0.2}, {200, 0.15}, {0, 0.15}}) {
        source->turnTo(90, accuracy);
        EXPECT_TRUE(screen->directionArrowView()->isHighlighted());
        EXPECT_NEAR(screen->directionArrowView()->alpha(), alpha, 1e-6) << accuracy;
    }
    location->stopUpdatingHeading();
    location->stopUpdatingLocation();
    location->setLocation(nullptr);
    CLLocationManager::setLocationSource(std::make_shared<CLNoLocationSource>());
}

TEST_F(CBGeoObjectDetailVCTest, ALongNameIsSharedCutAtAWholeCharacter) {
    const std::string name = std::string(99, 'a') + "\U0001F37A" + "b";
    auto place = scratchObject(name, {{"amenity", "pub"}});
    auto screen = show([&](CBGeoObjectDetailVC& detail) {
        detail.setDataManager(scratch());
        detail.setObject(CBGeoSearchResult::geoSearchResultWithObject(place));
    });
    const auto items = screen->itemsForSharing();
    ASSERT_EQ(items.size(), 3u);
    const std::string text = std::any_cast<std::string>(items[0]);
    const std::string title = std::string(99, 'a') + "...";
    EXPECT_EQ(text.substr(0, title.size() + 3), title + ":\n\n") << text;
    EXPECT_NE(text.find("https://www.openstreetmap.org/?mlat=53.556"), std::string::npos) << text;
    EXPECT_EQ(std::any_cast<MKMapItem>(items[1]).name(), title);
    EXPECT_EQ(std::any_cast<std::shared_ptr<CBGeoObject>>(items[2]), place);

    // A name of exactly a hundred characters is shared as it is.
    auto hundred = scratchObject(std::string(100, 'c'), {{"amenity", "pub"}});
    screen->setObject(CBGeoSearchResult::geoSearchResultWithObject(hundred));
    screen->configureSectionsForObject();
    EXPECT_EQ(std::any_cast<std::string>(screen->itemsForSharing()[0]).substr(0, 101),
              std::string(100, 'c') + ":");

    // The sheet offers opening the place in a map program and a contact card.
    screen->sharePoi();
    ASSERT_TRUE(screen->shareSheet());
    const auto& activities = screen->shareSheet()->activities();
    ASSERT_GE(activities.size(), 2u);
    EXPECT_EQ(activities[0]->activityType(), "ZELActivityTypeOpenInMaps");
    EXPECT_EQ(activities[1]->activityType(), "CBActivityTypeCreateAddressBookEntry");
    screen->shareSheet()->cancel();
}

}  // namespace
