// A street's screen and the lists it leads to: its house numbers and the
// named places along it.
#include <gtest/gtest.h>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoTag.h"
#include "PlacesFixture.h"
#include "UIKit/UITableView.h"
#include "places/CBGeoObjectAdressesTable.h"
#include "places/CBGeoObjectNearbyPOITable.h"

namespace {

using Section = CBGeoObjectDetailVC::SectionType;

class CBGeoObjectStreetListsTest : public PlacesTest {
  protected:
    std::shared_ptr<CBGeoObject> street(const std::string& name) {
        auto found = objectNamed(name);
        EXPECT_TRUE(found && found->isHighway()) << name;
        return found;
    }
    // The texts of a table's rows, with their detail texts when asked.
    static std::vector<std::string> rows(UITableViewController& list) {
        auto table = list.tableView();
        std::vector<std::string> texts;
        for (long row = 0; row < table->numberOfRowsInSection(0); ++row)
            texts.push_back(list.tableViewCellForRowAtIndexPath(
                                    *table, NSIndexPath::indexPathForRowInSection(row, 0))
                                ->textLabel()
                                ->text());
        return texts;
    }
    // A street of a map of the test's own with addresses along it, numbered
    // from 1 or not at all.
    std::shared_ptr<CBGeoObject> scratchStreet(int addresses, bool numbered) {
        auto context = scratch()->managedObjectContext();
        auto street = CBGeoObject::objectInContextAtCoordinate(context, {53.55, 13.26});
        street->updateNameAndCanonicalNameForString("Probestra\u00dfe");
        street->elements().front()->setValueForKey("highwayID", Value(int64_t(3)));
        for (int i = 0; i < addresses; ++i) {
            auto address = CBGeoAddress::addressAtCoordinateForObjectInContext({53.55, 13.26},
                                                                               street, context);
            if (numbered)
                address->setValueForKey("houseNumber", Value(std::to_string(i + 1)));
        }
        EXPECT_TRUE(scratch()->saveChanges());
        return street;
    }
    std::shared_ptr<CBGeoObject> scratchPlace(
        const std::optional<std::string>& name,
        const std::vector<std::shared_ptr<CBGeoAddress>>& at) {
        auto context = scratch()->managedObjectContext();
        auto place = CBGeoObject::objectInContextAtCoordinate(context, {53.55, 13.26});
        if (name)
            place->updateNameAndCanonicalNameForString(*name);
        place->addTag(CBGeoTag::tagWithKeyAndAttributeInContext("shop", "bakery", context));
        for (const auto& address : at)
            place->addAddress(address);
        EXPECT_TRUE(scratch()->saveChanges());
        return place;
    }
    template <typename List>
    std::shared_ptr<List> openList(CBGeoObjectDetailVC& screen, int type) {
        auto section = screen.indexForSectionType(type);
        EXPECT_TRUE(section);
        if (!section)
            return nullptr;
        screen.tableViewDidSelectRowAtIndexPath(*screen.tableView(),
                                                NSIndexPath::indexPathForRowInSection(0, *section));
        window_->layoutIfNeeded();
        return std::dynamic_pointer_cast<List>(navigation_->topViewController());
    }
};

}  // namespace

TEST_F(CBGeoObjectStreetListsTest, HouseNumbersComeInTheOrderOfTheirNumbers) {
    auto ring = street("Friedrich-Engels-Ring");
    auto screen = showResult(CBGeoSearchResult::geoSearchResultWithObject(ring));
    const long section = *screen->indexForSectionType(Section::kSectionStreetAddresses);
    auto row = screen->tableViewCellForRowAtIndexPath(
        *screen->tableView(), NSIndexPath::indexPathForRowInSection(0, section));
    EXPECT_EQ(row->textLabel()->text(), "Addresses");
    EXPECT_EQ(row->accessoryType(), UITableViewCellAccessoryDisclosureIndicator);

    auto list = openList<CBGeoObjectAdressesTable>(*screen, Section::kSectionStreetAddresses);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->title(), "Friedrich-Engels-Ring");
    EXPECT_TRUE(navigation_->isToolbarHidden());
    const auto numbers = rows(*list);
    ASSERT_EQ(numbers.size(), 37u);
    EXPECT_EQ(std::vector<std::string>(numbers.begin(), numbers.begin() + 13),
              (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "7A", "8", "11", "12",
                                        "14", "15"}));
    EXPECT_EQ(std::count(numbers.begin(), numbers.end(), "52a"), 1);
    EXPECT_EQ(numbers.back(), "53");
    EXPECT_EQ(list->tableViewCellForRowAtIndexPath(*list->tableView(),
                                                   NSIndexPath::indexPathForRowInSection(0, 0))
                  ->detailTextLabel()
                  ->text(),
              "17033");

    // A number shows the street at that number on the map.
    const long fifteen = std::find(numbers.begin(), numbers.end(), "15") - numbers.begin();
    list->tableViewDidSelectRowAtIndexPath(*list->tableView(),
                                           NSIndexPath::indexPathForRowInSection(fifteen, 0));
    ASSERT_EQ(host_->shown.size(), 1u);
    EXPECT_EQ(host_->shown[0].object, ring->objectID());
    EXPECT_EQ(host_->shown[0].address, addressAt("Friedrich-Engels-Ring", "15")->objectID());
    EXPECT_FALSE(host_->shown[0].isBookmark);
}

TEST_F(CBGeoObjectStreetListsTest, ThePlacesAlongAStreetComeByNameAndOpenFromTheirButtons) {
    auto ring = street("Friedrich-Engels-Ring");
    auto screen = showResult(CBGeoSearchResult::geoSearchResultWithObject(ring));
    auto list = openList<CBGeoObjectNearbyPOITable>(*screen, Section::kSectionPlacesAlongStreet);
    ASSERT_TRUE(list);
    EXPECT_EQ(rows(*list), (std::vector<std::string>{
                               "Apotheke am Wall", "Boutique am Ring",
                               "De Maekelboerger (Filiale Neubrandenburg - Rathauspassage)",
                               "E-PATROL", "Fahrradhaus Lefin", "Justizzentrum Neubrandenburg",
                               "Landgericht Neubrandenburg", "Nordkurier"}));
    auto cell = list->tableViewCellForRowAtIndexPath(*list->tableView(),
                                                     NSIndexPath::indexPathForRowInSection(0, 0));
    EXPECT_EQ(cell->accessoryType(), UITableViewCellAccessoryDetailDisclosureButton);
    EXPECT_TRUE(cell->imageView()->image()) << "the pharmacy's icon";

    // A row shows the place on the map, without an address.
    list->tableViewDidSelectRowAtIndexPath(*list->tableView(),
                                           NSIndexPath::indexPathForRowInSection(0, 0));
    ASSERT_EQ(host_->shown.size(), 1u);
    EXPECT_EQ(host_->shown[0].object, objectNamed("Apotheke am Wall")->objectID());
    EXPECT_FALSE(host_->shown[0].address);

    // Its detail button opens the place's own screen.
    list->tableViewAccessoryButtonTappedForRowWithIndexPath(
        *list->tableView(), NSIndexPath::indexPathForRowInSection(7, 0));
    auto place = std::dynamic_pointer_cast<CBGeoObjectDetailVC>(navigation_->topViewController());
    ASSERT_TRUE(place);
    EXPECT_EQ(place->displayObject(), objectNamed("Nordkurier"));
    EXPECT_TRUE(place->isOnMap());
    EXPECT_EQ(place->dataManager(), map_);
}

TEST_F(CBGeoObjectStreetListsTest, AStreetListsAddressesByTheirNumbersOrTheirCount) {
    // Ten addresses without numbers are no list; eleven are, if empty.
    auto ten = show([&](CBGeoObjectDetailVC& screen) {
        screen.setObject(CBGeoSearchResult::geoSearchResultWithObject(scratchStreet(10, false)));
    });
    EXPECT_EQ(ten->sectionTypes(), std::vector<int>{Section::kSectionName});
    auto eleven = show([&](CBGeoObjectDetailVC& screen) {
        screen.setObject(CBGeoSearchResult::geoSearchResultWithObject(scratchStreet(11, false)));
    });
    EXPECT_EQ(eleven->sectionTypes(),
              (std::vector<int>{Section::kSectionName, Section::kSectionStreetAddresses}));
    auto empty = openList<CBGeoObjectAdressesTable>(*eleven, Section::kSectionStreetAddresses);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(rows(*empty).empty());

    auto three = show([&](CBGeoObjectDetailVC& screen) {
        screen.setObject(CBGeoSearchResult::geoSearchResultWithObject(scratchStreet(3, true)));
    });
    auto numbered = openList<CBGeoObjectAdressesTable>(*three, Section::kSectionStreetAddresses);
    ASSERT_TRUE(numbered);
    EXPECT_EQ(rows(*numbered), (std::vector<std::string>{"1", "2", "3"}));
}

TEST_F(CBGeoObjectStreetListsTest, OnlyNamedPlacesAtSharedAddressesAreAlongTheStreet) {
    auto road = scratchStreet(3, true);
    const auto addresses = *road->sortedAddresses();
    // Unnamed places and other streets are no places along it; a place at two
    // of its addresses is listed at each.
    scratchPlace(std::nullopt, {addresses[0]});
    auto crossing = scratchStreet(0, false);
    crossing->addAddress(addresses[0]);
    scratchPlace(std::string("Zur Ecke"), {addresses[1], addresses[2]});
    scratchPlace(std::string("Am Anfang"), {addresses[2]});
    ASSERT_TRUE(scratch()->saveChanges());
    auto screen = show([&](CBGeoObjectDetailVC& screen) {
        screen.setObject(CBGeoSearchResult::geoSearchResultWithObject(road));
    });
    auto list = openList<CBGeoObjectNearbyPOITable>(*screen, Section::kSectionPlacesAlongStreet);
    ASSERT_TRUE(list);
    EXPECT_EQ(rows(*list), (std::vector<std::string>{"Am Anfang", "Zur Ecke", "Zur Ecke"}));

    // A street whose addresses hold only unnamed places leads to none.
    auto quiet = scratchStreet(2, true);
    scratchPlace(std::nullopt, {(*quiet->sortedAddresses())[0]});
    auto bare = show([&](CBGeoObjectDetailVC& screen) {
        screen.setObject(CBGeoSearchResult::geoSearchResultWithObject(quiet));
    });
    EXPECT_EQ(bare->sectionTypes(),
              (std::vector<int>{Section::kSectionName, Section::kSectionStreetAddresses}));
}
