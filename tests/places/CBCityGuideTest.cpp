// The city guide's definition file and what its rows select in the sample
// city: counts, place lists, searches and the letter index.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSFetchedResultsController.h"
#include "Foundation/NSBundle.h"
#include "GuideFixture.h"
#include "UIKit/UIButton.h"
#include "UIKit/UISearchBar.h"
#include "UIKit/UITableView.h"
#include "model/CBCityGuide.h"
#include "places/CBAlphabetTable.h"
#include "places/CBCityCategoriesVC.h"
#include "places/CBCityCategoryGuide.h"

namespace {

using CBCityGuideTest = GuideTest;

Value entry(const std::string& key, const char* attribute = nullptr) {
    Value::Dictionary dictionary{{"key", Value(key)}};
    if (attribute)
        dictionary["attribute"] = Value(attribute);
    return Value(dictionary);
}

Value row(const std::string& title, Value tags) {
    return Value(Value::Dictionary{{"rowTitle", Value(title)}, {"rowTags", std::move(tags)}});
}

Value section(const std::string& title, Value rows) {
    return Value(Value::Dictionary{
        {"sectionTitle", Value(title)}, {"sectionIcon", Value("guide-eat")}, {"rows", rows}});
}

TEST_F(CBCityGuideTest, TheBundlesFileHasTenSectionsAndTheTenthIsTheLetterIndex) {
    const auto sections = CBCityGuide::content();
    ASSERT_EQ(sections.size(), 10u);
    EXPECT_EQ(sections[0].title, "Eat & drink");
    EXPECT_EQ(sections[9].title, "A-Z");
    EXPECT_TRUE(sections[9].letterIndex);
    for (size_t index = 0; index < 9; ++index) {
        EXPECT_FALSE(sections[index].letterIndex);
        EXPECT_FALSE(sections[index].rows.empty()) << sections[index].title;
    }
    const CBCityGuideRow& restaurants = sections[0].rows[0];
    EXPECT_EQ(restaurants.title, "Restaurants");
    EXPECT_EQ(restaurants.icon, "Quillmere.bundle/icons/amenity_restaurant");
    EXPECT_EQ(restaurants.tags, (CBGuideTagFilter{{"amenity", "restaurant"}}));
    EXPECT_FALSE(restaurants.showUnnamed);
}

TEST_F(CBCityGuideTest, SectionsAndRowsOfTheWrongShapeAreLeftOut) {
    Value::Dictionary odd = *row("Odd", Value(Value::Array{entry("amenity")})).dictionaryValue();
    odd["rowShowUnnamed"] = Value("yes");
    Value::Dictionary twoIcons =
        *row("Icons", Value(Value::Array{entry("shop")})).dictionaryValue();
    twoIcons["rowIcon"] = Value("first;second");
    Value::Dictionary noIcon =
        *row("No icon", Value(Value::Array{entry("shop")})).dictionaryValue();
    noIcon["rowIcon"] = Value("");
    Value::Array rows{
        row("Good", Value(Value::Array{entry("amenity", "cafe")})),
        Value("not a row"),
        row("Tags not a list", Value("amenity")),
        row("Entry without key",
            Value(Value::Array{Value(Value::Dictionary{{"attribute", Value("x")}})})),
        row("Key not a text", Value(Value::Array{Value(Value::Dictionary{{"key", Value(3)}})})),
        Value(odd),
        Value(twoIcons),
        Value(noIcon),
    };
    Value::Array root{section("Rows not an array", Value("rows")), section("Mixed", Value(rows))};
    for (int filler = 2; filler < 9; ++filler)
        root.push_back(section("Section " + std::to_string(filler), Value(Value::Array{})));
    // The letter index needs no rows.
    root.push_back(Value(Value::Dictionary{{"sectionTitle", Value("A-Z")}}));

    const auto sections = CBCityGuide::sectionsFromPropertyList(Value(root));
    ASSERT_EQ(sections.size(), 9u);
    EXPECT_EQ(sections[0].title, "Mixed");
    ASSERT_EQ(sections[0].rows.size(), 3u);
    EXPECT_EQ(sections[0].rows[0].title, "Good");
    EXPECT_EQ(sections[0].rows[1].icon, "first");
    EXPECT_EQ(sections[0].rows[2].icon, std::nullopt);
    // The letter index is the file's tenth section, whatever was left out before it.
    EXPECT_EQ(sections.back().title, "A-Z");
    EXPECT_TRUE(sections.back().letterIndex);
    EXPECT_FALSE(sections[7].letterIndex);

    EXPECT_TRUE(CBCityGuide::sectionsFromPropertyList(Value("no array")).empty());
}

TEST_F(CBCityGuideTest, AMissingFileGivesNoSections) {
    NSBundle::setMainBundlePath(home_.file("empty-bundle"));
    std::filesystem::create_directories(home_.file("empty-bundle"));
    EXPECT_TRUE(CBCityGuide::content().empty());
    std::ofstream(home_.file("empty-bundle/CBCityGuide.plist")) << "<plist><dict/></plist>";
    EXPECT_TRUE(CBCityGuide::content().empty());
}

TEST_F(CBCityGuideTest, CountsAreTheStoredTotalsOfTheRowsTags) {
    auto count = [&](const CBGuideTagFilter& tags, bool unnamed = false) {
        return CBCityGuide::countOfRow(*map_, tags, unnamed);
    };
    EXPECT_EQ(count({{"amenity", "restaurant"}}), 47);
    EXPECT_EQ(count({{"amenity", "cafe"}}), 24);
    EXPECT_EQ(count({{"shop", std::nullopt}}), 239);
    EXPECT_EQ(count({{"historic", std::nullopt}}), 28);
    EXPECT_EQ(count({{"historic", std::nullopt}}, true), 53);
    EXPECT_EQ(count({{"amenity", "restaurant"}, {"amenity", "cafe"}}), 71);
    EXPECT_EQ(count({}), 0);
    EXPECT_EQ(count({{"amenity", "no such thing"}}), 0);
}

std::shared_ptr<CBCityCategoryGuide> placeList(CBGuideTagFilter tags,
                                               std::shared_ptr<CBGeoDataManager> map,
                                               std::weak_ptr<CBPlacesHost> host,
                                               std::shared_ptr<CBCurrentMap> currentMap,
                                               std::weak_ptr<CBAnnotationsPresenter> presenter) {
    auto list = std::make_shared<CBCityCategoryGuide>(UITableViewStylePlain, std::move(tags),
                                                      std::move(host), std::move(currentMap),
                                                      std::move(presenter));
    list->setDataManager(std::move(map));
    return list;
}

// A key's row counts every tag of the key, so its list holds every place
// it counts; a key and value selects at most two tags.
TEST_F(CBCityGuideTest, AKeysListHoldsAsManyPlacesAsItsRowCounts) {
    EXPECT_EQ(CBCityGuide::tagsOfFilter(*map_, {{"historic", std::nullopt}}).size(), 10u);
    EXPECT_EQ(CBCityGuide::tagsOfFilter(*map_, {{"amenity", "cafe"}}).size(), 1u);
    auto historic = placeList({{"historic", std::nullopt}}, map_, host_, currentMap_, presenter_);
    showInWindow(historic);
    ASSERT_TRUE(historic->fetchedResultsController());
    EXPECT_EQ(historic->fetchedResultsController()->fetchedObjects().size(), 28u);
    // With the unnamed ones the list grows to the total.
    auto all = placeList({{"historic", std::nullopt}}, map_, host_, currentMap_, presenter_);
    all->setShowUnnamedObjects(true);
    showInWindow(all);
    EXPECT_EQ(all->fetchedResultsController()->fetchedObjects().size(), 53u);
}

TEST_F(CBCityGuideTest, SearchTextIsMatchedLiterallyWithoutCaseOrAccents) {
    auto restaurants = placeList({{"amenity", "restaurant"}}, map_, host_, currentMap_, presenter_);
    restaurants->setTitle("Restaurants");
    showInWindow(restaurants);
    auto matches = [&](const std::string& text) {
        restaurants->searchBar()->setText(text);
        restaurants->updateFetchPredicate();
        return restaurants->searchResultsController()->fetchedObjects().size();
    };
    EXPECT_EQ(matches("kreta"), 2u);
    EXPECT_EQ(matches("KRÉTA"), 2u);
    for (const char* text : {"%", "*", "?", "_", "'", "\"", "\\", "k%a", "kre*"})
        EXPECT_EQ(matches(text), 0u) << text;
    // The list itself keeps every restaurant.
    EXPECT_EQ(restaurants->fetchedResultsController()->fetchedObjects().size(), 47u);
}

TEST_F(CBCityGuideTest, ALetterOpensItsNamedPlacesByTheirFirstTwoLetters) {
    auto letters =
        std::make_shared<CBAlphabetTable>(UITableViewStylePlain, host_, currentMap_, presenter_);
    letters->setTitle("A-Z");
    letters->setDataManager(map_);
    showInWindow(letters);
    ASSERT_EQ(letters->alphabet().size(), 37u);
    EXPECT_EQ(letters->alphabet().front()->attribute(), "0");
    EXPECT_EQ(letters->alphabet().back()->attribute(), "Ü");
    long b = -1;
    for (size_t row = 0; row < letters->alphabet().size(); ++row)
        if (letters->alphabet()[row]->attribute() == "B")
            b = long(row);
    auto list = letters->openLetterAtIndex(b, false);
    ASSERT_TRUE(list);
    window_->layoutIfNeeded();
    EXPECT_EQ(list->title(), "A-Z: B...");
    EXPECT_EQ(list->tagFilter(), (CBGuideTagFilter{{"firstLetter", "B"}}));
    EXPECT_TRUE(list->twoLetterIndex());
    EXPECT_EQ(list->showOnMapButton(), nullptr);
    std::vector<std::string> titles;
    for (const auto& section : list->fetchedResultsController()->sections())
        titles.push_back(section.indexTitle);
    for (const char* two : {"Ba", "Be", "Bu"})
        EXPECT_NE(std::find(titles.begin(), titles.end(), two), titles.end()) << two;
    EXPECT_EQ(list->fetchedResultsController()->fetchedObjects().size(), 184u);

    // A store without letter tags (an older package) lists none.
    auto older =
        std::make_shared<CBAlphabetTable>(UITableViewStylePlain, host_, currentMap_, presenter_);
    older->setDataManager(bookmarks_);
    showInWindow(older);
    EXPECT_TRUE(older->alphabet().empty());
    EXPECT_EQ(older->tableView()->numberOfRowsInSection(0), 0);
}

TEST_F(CBCityGuideTest, CategoriesWithoutPlacesTakeNoRoom) {
    const auto content = CBCityGuide::content();
    auto eat = std::make_shared<CBCityCategoriesVC>(UITableViewStylePlain, 0, content, host_,
                                                    currentMap_, presenter_);
    eat->setDataManager(map_);
    showInWindow(eat);
    auto& table = *eat->tableView();
    std::vector<std::string> shown;
    for (long section = 0; section < table.numberOfSections(); ++section) {
        const CBCityGuideRow* row = eat->contentForRowAtIndexPath(section);
        ASSERT_TRUE(row);
        if (table.numberOfRowsInSection(section) == 1)
            shown.push_back(row->title + " " +
                            std::to_string(eat->counterForRowAtIndexpath(section)));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"Restaurants 47", "Cafés 24", "Fast food 25",
                                               "Pubs 13", "Bars 6", "Ice cream 1"}));
    // "Beer gardens": none in the city, so its section is empty.
    EXPECT_EQ(eat->contentForRowAtIndexPath(5)->title, "Beer gardens");
    EXPECT_EQ(table.numberOfRowsInSection(5), 0);
    EXPECT_EQ(eat->contentForRowAtIndexPath(7), nullptr);
    // Each row was counted once and kept.
    EXPECT_EQ(eat->counterDict().size(), size_t(table.numberOfSections()));
    EXPECT_EQ(eat->counterDict().at(0), 47);
    EXPECT_EQ(eat->counterDict().at(5), 0);
}

}  // namespace
