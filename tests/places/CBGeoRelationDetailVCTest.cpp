// A stop's lines on its screen, and the screen of one line.
#include "places/CBGeoRelationDetailVC.h"

#include <gtest/gtest.h>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoTag.h"
#include "Host/HostScenario.h"
#include "PlacesFixture.h"
#include "UIKit/UIButton.h"
#include "UIKit/UITableView.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"

namespace {

using Section = CBGeoObjectDetailVC::SectionType;

class CBGeoRelationDetailVCTest : public PlacesTest {
  protected:
    // The line's screen pushed as the place screen pushes it.
    std::shared_ptr<CBGeoRelationDetailVC> showRelation(std::shared_ptr<CBGeoRelation> relation) {
        auto screen = CBGeoRelationDetailVC::initWithDefaultNib(host_, currentMap_);
        screen->setRelation(std::move(relation));
        screen->setIsOnMap(true);
        screen->setDataManager(map_);
        navigation_ =
            std::make_shared<UINavigationController>(std::make_shared<UIViewController>());
        window_ = makeWindow({320, 568});
        window_->setRootViewController(navigation_);
        navigation_->pushViewControllerAnimated(screen, false);
        window_->layoutIfNeeded();
        return screen;
    }
    std::shared_ptr<CBGeoRelation> relationNamed(const std::string& name) {
        NSFetchRequest request("relation");
        request.predicate = NSPredicate::predicateWithFormat("name == %@", {Value(name)});
        auto found = map_->managedObjectContext()->executeFetchRequest(request);
        return found && found->size() == 1
                   ? std::dynamic_pointer_cast<CBGeoRelation>(found->front())
                   : nullptr;
    }
    // A relation of a map of the test's own, with tags and no members.
    std::shared_ptr<CBGeoRelation> scratchRelation(
        std::optional<std::string> name, std::vector<std::pair<std::string, std::string>> tags) {
        auto context = scratch()->managedObjectContext();
        auto relation = std::dynamic_pointer_cast<CBGeoRelation>(
            context->insertNewObjectForEntityForName("relation"));
        if (name)
            relation->setValueForKey("name", Value(*name));
        for (const auto& [key, value] : tags)
            relation->addObjectForKey(
                "tags", CBGeoTag::tagWithKeyAndAttributeInContext(key, value, context));
        EXPECT_TRUE(scratch()->saveChanges());
        return relation;
    }
    static std::vector<std::string> texts(UITableView& table, UITableViewDataSource& source,
                                          long section, bool detail = false) {
        std::vector<std::string> found;
        for (long row = 0; row < table.numberOfRowsInSection(section); ++row) {
            auto cell = source.tableViewCellForRowAtIndexPath(
                table, NSIndexPath::indexPathForRowInSection(row, section));
            found.push_back(detail ? cell->detailTextLabel()->text() : cell->textLabel()->text());
        }
        return found;
    }
};

}  // namespace

TEST_F(CBGeoRelationDetailVCTest, AStopListsItsBusLinesByNameAndOpensThem) {
    auto stop = showResult(resultNamed("Am Treptower Tor"));
    const auto section = stop->indexForSectionType(Section::kSectionBusRoutes);
    ASSERT_TRUE(section);
    EXPECT_FALSE(stop->indexForSectionType(Section::kSectionTramRoutes));
    EXPECT_EQ(stop->tableViewTitleForHeaderInSection(*stop->tableView(), *section),
              "Bus connections");
    const auto lines = texts(*stop->tableView(), *stop, *section);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines.front(), "Bethanienberg S\u00fcd - Busbahnhof");
    EXPECT_EQ(lines[2], "Diakonie - Busbahnhof");
    EXPECT_EQ(lines.back(), "Weitin - Busbahnhof");
    auto row = stop->tableViewCellForRowAtIndexPath(
        *stop->tableView(), NSIndexPath::indexPathForRowInSection(2, *section));
    EXPECT_EQ(row->accessoryType(), UITableViewCellAccessoryDisclosureIndicator);
    EXPECT_TRUE(row->imageView()->image());

    stop->tableViewDidSelectRowAtIndexPath(*stop->tableView(),
                                           NSIndexPath::indexPathForRowInSection(2, *section));
    auto line = std::dynamic_pointer_cast<CBGeoRelationDetailVC>(navigation_->topViewController());
    ASSERT_TRUE(line);
    EXPECT_EQ(line->relation()->name(), "Diakonie - Busbahnhof");
    EXPECT_TRUE(line->isOnMap());
    EXPECT_EQ(line->dataManager(), map_);
}

TEST_F(CBGeoRelationDetailVCTest, ALineShowsItsRouteWithAMarginItsTagsAndItsStops) {
    auto relation = relationNamed("Diakonie - Busbahnhof");
    ASSERT_TRUE(relation);
    auto screen = showRelation(relation);
    EXPECT_EQ(screen->title(), "Diakonie - Busbahnhof");
    UITableView& table = *screen->tableView();

    // A named line keeps its "ref" to itself; every other tag shows, by
    // key, under its translated name, its value in words.
    EXPECT_EQ(texts(table, *screen, 0),
              (std::vector<std::string>{"Neubrandenburger Verkehrsbetriebe GmbH", "Bus", "Bus"}));
    EXPECT_EQ(texts(table, *screen, 0, true),
              (std::vector<std::string>{"Operator", "Route", "Public transport line"}));
    EXPECT_FALSE(screen->tableViewTitleForHeaderInSection(table, 0));
    EXPECT_EQ(screen->tableViewCellForRowAtIndexPath(table, {0, 0})->selectionStyle(),
              UITableViewCellSelectionStyleNone);

    // The stops by name, each once; the few without one come first (an
    // empty name sorts first), told by what they are.
    EXPECT_EQ(screen->tableViewTitleForHeaderInSection(table, 1), "Stops (alphabetically)");
    const auto stops = texts(table, *screen, 1);
    ASSERT_EQ(stops.size(), 38u);
    for (auto unnamed = stops.begin(); unnamed != stops.begin() + 5; ++unnamed)
        EXPECT_TRUE(*unnamed == "Bus stop" || *unnamed == "Platform") << *unnamed;
    EXPECT_EQ(stops[5], "Albert-Einstein-Gymnasium");
    EXPECT_TRUE(std::adjacent_find(stops.begin() + 5, stops.end()) == stops.end());
    EXPECT_TRUE(std::is_sorted(stops.begin() + 5, stops.end()));

    // The small map shows the whole line and half as much again around it,
    // not interactive and not remembered.
    auto map = screen->headerMapView();
    EXPECT_FALSE(map->isUserInteractionEnabled());
    EXPECT_FALSE(map->visibleArea()->savesState());
    ASSERT_TRUE(map->overlays()->hightLightDatasource());
    auto line = relation->bbox();
    map->visibleArea()->calculateVisibleBBox();
    auto shown = map->visibleArea()->visibleBBox();
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->includesCoordinate(line->NE()));
    EXPECT_TRUE(shown->includesCoordinate(line->SW()));
    const double tallness = shown->latitudeSpan() / line->latitudeSpan();
    const double wideness = shown->longitudeSpan() / line->longitudeSpan();
    EXPECT_NEAR(std::min(tallness, wideness), 1.5, 0.05);
    EXPECT_GE(std::max(tallness, wideness), 1.45);

    // A stop opens its own screen.
    screen->tableViewDidSelectRowAtIndexPath(table, NSIndexPath::indexPathForRowInSection(5, 1));
    auto stop = std::dynamic_pointer_cast<CBGeoObjectDetailVC>(navigation_->topViewController());
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->displayObject()->name(), "Albert-Einstein-Gymnasium");
    EXPECT_TRUE(stop->isOnMap());
}

TEST_F(CBGeoRelationDetailVCTest, AnUnnamedLineWithoutMembersListsItsRefOverTheWholeMap) {
    auto relation = scratchRelation(std::nullopt, {{"route_pubtrans", "bus"}, {"ref", "80"}});
    auto screen = showRelation(relation);
    EXPECT_EQ(texts(*screen->tableView(), *screen, 0, true),
              (std::vector<std::string>{"Reference", "Public transport line"}));
    EXPECT_EQ(texts(*screen->tableView(), *screen, 0), (std::vector<std::string>{"80", "Bus"}));
    EXPECT_EQ(screen->tableView()->numberOfRowsInSection(1), 0);
    // Its title is its name: none.
    EXPECT_EQ(screen->title(), "");

    // Nothing of it to show: the whole map is in view.
    auto map = screen->headerMapView();
    map->visibleArea()->calculateVisibleBBox();
    auto whole = map->layout()->mapBoundingBox();
    ASSERT_TRUE(whole);
    const double tallness =
        map->visibleArea()->visibleBBox()->latitudeSpan() / whole->latitudeSpan();
    const double wideness =
        map->visibleArea()->visibleBBox()->longitudeSpan() / whole->longitudeSpan();
    EXPECT_GE(std::max(tallness, wideness), 0.95);

    // Named, it keeps the ref to itself.
    auto named = showRelation(scratchRelation(std::string("Ringbus"), {{"ref", "80"}}));
    EXPECT_EQ(named->tableView()->numberOfRowsInSection(0), 0);
}

// Beside a line's long name the back button is its chevron alone, a few
// points wide; a finger 20 points to its right still goes back.
TEST_F(CBGeoRelationDetailVCTest, TheBackChevronBesideALongNameTakesAFingerBesideIt) {
    auto screen = showRelation(relationNamed("Bethanienberg S\u00fcd - Busbahnhof"));
    auto back = std::dynamic_pointer_cast<UIButton>(navigation_->navigationBar()->leftView());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->currentTitle(), "\u2039");
    const CGRect chevron = back->convertRectToView(back->bounds(), nullptr);
    ASSERT_LT(chevron.size.width, 20);
    const auto result =
        HostRunScenario(window_, "tap " + std::to_string(int(CGRectGetMaxX(chevron) + 20)) + " " +
                                     std::to_string(int(CGRectGetMidY(chevron))) + "\nidle");
    ASSERT_TRUE(result.passed) << result.message;
    EXPECT_NE(navigation_->topViewController(), screen);
    EXPECT_EQ(navigation_->viewControllers().size(), 1u);
}
