// The place screen of a restaurant of the map's restaurant guide, on a copy
// of the sample city with the tests' fictional sample guide.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "CBGeoData/CBGeoObject+TTAdditions.h"
#include "CBGeoData/CBGeoTag.h"
#include "Host/HostScenario.h"
#include "PlacesFixture.h"
#include "TopTableFixture.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITableView.h"
#include "mapkit/MapViewHome.h"
#include "model/CBTopTableEndpoints.h"
#include "model/CBTopTableFiles.h"
#include "places/CBTopTableMenusVC.h"
#include "widgets/CBFramedImageView.h"
#include "widgets/CBRatingTableCell.h"
#include "widgets/CBTextViewController.h"
#include "widgets/CBWebBrowser.h"
#include "widgets/ZELRoundedGradientButton.h"

namespace {

using Section = CBGeoObjectDetailVC::SectionType;

class CBGeoObjectDetailVCTopTableTest : public PlacesTest {
  protected:
    void SetUp() override {
        PlacesTest::SetUp();
        namespace fs = std::filesystem;
        const std::string folder = home_.file("maps/neubrandenburg");
        fs::create_directories(folder);
        const std::string copy = folder + "/neubrandenburg.sqlite";
        fs::copy_file(storePath_, copy);
        std::string why;
        ASSERT_TRUE(TopTableFixture::writeGuideForMapStore(copy, &why)) << why;
        map_ = CBGeoDataManager::create();
        ASSERT_TRUE(map_->addPersistentStoreCoordinatorWithPath(copy));
        ASSERT_TRUE(CBTopTableOpenGuideForMapStorePath(*map_, copy));
        showMap(copy);
        images_ = CBTopTableImagesPathForMapStorePath(copy);
    }
    // The map's place of that name (the guide has its own of the name).
    std::shared_ptr<CBGeoObject> mapPlace(const std::string& name) {
        NSFetchRequest request("object");
        request.predicate = NSPredicate::predicateWithFormat("name == %@", {Value(name)});
        map_->restrictFetchRequestToMapStores(request);
        auto found = map_->managedObjectContext()->executeFetchRequest(request);
        return found && found->size() == 1 ? std::dynamic_pointer_cast<CBGeoObject>(found->front())
                                           : nullptr;
    }
    std::shared_ptr<CBGeoObject> venue(int64_t identifier) {
        auto tags =
            map_->tagsMatchingKeyAndAttribute(std::string("TT_ID"), std::to_string(identifier));
        if (!tags || tags->empty())
            return nullptr;
        auto objects = tags->front()->objectsForKey("objects");
        return objects.empty() ? nullptr : std::dynamic_pointer_cast<CBGeoObject>(objects.front());
    }
    std::shared_ptr<CBGeoObjectDetailVC> showBerlin() {
        return showResult(CBGeoSearchResult::geoSearchResultWithObject(mapPlace("Berlin")));
    }
    long sectionOf(CBGeoObjectDetailVC& screen, int type) {
        return screen.indexForSectionType(type).value_or(-1);
    }
    std::shared_ptr<UITableViewCell> cell(CBGeoObjectDetailVC& screen, int type, long row) {
        return screen.tableViewCellForRowAtIndexPath(
            *screen.tableView(),
            NSIndexPath::indexPathForRowInSection(row, sectionOf(screen, type)));
    }
    void tap(CBGeoObjectDetailVC& screen, int type, long row) {
        screen.tableViewDidSelectRowAtIndexPath(
            *screen.tableView(),
            NSIndexPath::indexPathForRowInSection(row, sectionOf(screen, type)));
    }
    long rows(CBGeoObjectDetailVC& screen, int type) {
        return screen.tableView()->numberOfRowsInSection(sectionOf(screen, type));
    }
    std::vector<std::string> details(CBGeoObjectDetailVC& screen, int type) {
        std::vector<std::string> texts;
        for (long row = 0; row < rows(screen, type); ++row)
            texts.push_back(cell(screen, type, row)->detailTextLabel()->text());
        return texts;
    }
    // The venue's tag of that key, changed for this test only.
    void changeTag(const std::string& key, const std::string& attribute) {
        auto berlin = venue(TopTableFixture::kBerlinVenueID);
        ASSERT_TRUE(berlin && berlin->getTagForKey(key));
        berlin->getTagForKey(key)->setValueForKey("attribute", Value(attribute));
    }
    // Answers the alert on show with the button of that title.
    void answer(CBGeoObjectDetailVC& screen, const std::string& title) {
        auto alert = screen.alert();
        ASSERT_TRUE(alert);
        for (long button = 0; button < alert->numberOfButtons(); ++button)
            if (alert->buttonTitleAtIndex(button) == title) {
                alert->dismissWithClickedButtonIndexAnimated(button, false);
                return;
            }
        ADD_FAILURE() << "no button " << title;
    }
    static std::vector<std::string> buttons(UIAlertView& alert) {
        std::vector<std::string> titles;
        for (long button = 0; button < alert.numberOfButtons(); ++button)
            titles.push_back(alert.buttonTitleAtIndex(button));
        return titles;
    }

    std::string images_;
};

}  // namespace

TEST_F(CBGeoObjectDetailVCTopTableTest, ARestaurantOfTheGuideShowsTheGuidesEntry) {
    auto screen = showBerlin();
    ASSERT_TRUE(screen->displayObject());
    EXPECT_TRUE(isTopTableObject(*screen->displayObject()));
    EXPECT_EQ(screen->sectionTypes(),
              (std::vector<int>{Section::kSectionName, Section::kSectionTopTableRatings,
                                Section::kSectionTopTableTags, Section::kSectionTopTableMenus,
                                Section::kSectionTopTableChecklist, Section::kSectionTags}));
    EXPECT_EQ(screen->tableViewTitleForFooterInSection(*screen->tableView(), 0),
              "Details from the restaurant guide");
    EXPECT_FALSE(screen->tableViewTitleForFooterInSection(*screen->tableView(), 1));

    // The title row books a table.
    auto title = cell(*screen, Section::kSectionName, 0);
    EXPECT_EQ(title->textLabel()->text(), "Berlin");
    ASSERT_TRUE(screen->bookButton());
    EXPECT_EQ(title->accessoryView(), screen->bookButton());
    EXPECT_EQ(screen->bookButton()->titleForState(UIControlStateNormal), "Book");
    EXPECT_EQ(screen->bookButton()->gradientButtonStyle(), 2);

    // The guide's photo lies tilted in the header.
    auto photo = screen->headerPhotoView();
    ASSERT_TRUE(photo && photo->image());
    EXPECT_FALSE(photo->isHidden());
    EXPECT_EQ(photo->image()->size().width, 320);
    EXPECT_NEAR(photo->transform().b, std::sin(-M_PI / 50), 1e-6);

    auto overall = std::dynamic_pointer_cast<CBRatingTableCell>(
        cell(*screen, Section::kSectionTopTableRatings, 0));
    ASSERT_TRUE(overall);
    EXPECT_EQ(overall->detailTextLabel()->text(), "128 ratings");
    EXPECT_FLOAT_EQ(overall->rating(), 4.5f);

    std::vector<std::string> guideTags;
    for (long row = 0; row < rows(*screen, Section::kSectionTopTableTags); ++row)
        guideTags.push_back(cell(*screen, Section::kSectionTopTableTags, row)->textLabel()->text());
    ASSERT_EQ(guideTags.size(), 6u);
    EXPECT_EQ(guideTags[0], "German");
    EXPECT_EQ(guideTags[1], "\u20ac\u20ac");
    EXPECT_EQ(guideTags[3], "Casual");
    EXPECT_EQ(guideTags[4].rfind("Sample data for tests", 0), 0u);
    EXPECT_EQ(guideTags[5], "Mo-Su 11:30-22:00");
    EXPECT_EQ(cell(*screen, Section::kSectionTopTableTags, 0)->detailTextLabel()->text(),
              "Cuisine");
    // The description shows three lines and opens the rest; the others stay.
    auto description = cell(*screen, Section::kSectionTopTableTags, 4);
    EXPECT_EQ(description->textLabel()->numberOfLines(), 3);
    EXPECT_EQ(description->accessoryType(), UITableViewCellAccessoryDisclosureIndicator);
    EXPECT_EQ(screen->tableViewHeightForRowAtIndexPath(
                  *screen->tableView(), NSIndexPath::indexPathForRowInSection(
                                            4, sectionOf(*screen, Section::kSectionTopTableTags))),
              66);
    EXPECT_EQ(cell(*screen, Section::kSectionTopTableTags, 0)->selectionStyle(),
              UITableViewCellSelectionStyleNone);
    EXPECT_EQ(cell(*screen, Section::kSectionTopTableMenus, 0)->textLabel()->text(), "View menus");
    EXPECT_EQ(cell(*screen, Section::kSectionTopTableChecklist, 0)->textLabel()->text(),
              "Good to know");
}

TEST_F(CBGeoObjectDetailVCTopTableTest, RatingsAndTheChecklistOpenAndCloseBelowTheirRow) {
    auto screen = showBerlin();
    auto arrow = [&](int type) {
        auto view = std::dynamic_pointer_cast<UIImageView>(cell(*screen, type, 0)->accessoryView());
        return view ? view->image() : nullptr;
    };
    EXPECT_EQ(arrow(Section::kSectionTopTableRatings), UIImage::imageNamed("arrow_down"));
    tap(*screen, Section::kSectionTopTableRatings, 0);
    EXPECT_TRUE(screen->showsRatings());
    ASSERT_EQ(rows(*screen, Section::kSectionTopTableRatings), 5);
    EXPECT_EQ(details(*screen, Section::kSectionTopTableRatings),
              (std::vector<std::string>{"128 ratings", "Ambience", "Food", "Service",
                                        "Value for money"}));
    auto food = std::dynamic_pointer_cast<CBRatingTableCell>(
        cell(*screen, Section::kSectionTopTableRatings, 2));
    ASSERT_TRUE(food);
    EXPECT_FLOAT_EQ(food->rating(), 4.5f);
    EXPECT_EQ(arrow(Section::kSectionTopTableRatings), UIImage::imageNamed("arrow_up"));
    // Any of its rows closes it.
    tap(*screen, Section::kSectionTopTableRatings, 3);
    EXPECT_FALSE(screen->showsRatings());
    EXPECT_EQ(rows(*screen, Section::kSectionTopTableRatings), 1);
    EXPECT_EQ(arrow(Section::kSectionTopTableRatings), UIImage::imageNamed("arrow_down"));

    tap(*screen, Section::kSectionTopTableChecklist, 0);
    ASSERT_EQ(rows(*screen, Section::kSectionTopTableChecklist), 4);
    std::vector<std::string> items;
    for (long row = 1; row < 4; ++row)
        items.push_back(
            cell(*screen, Section::kSectionTopTableChecklist, row)->textLabel()->text());
    EXPECT_EQ(items,
              (std::vector<std::string>{"Cards accepted", "Garden seating", "Vegetarian dishes"}));
    tap(*screen, Section::kSectionTopTableChecklist, 0);
    EXPECT_EQ(rows(*screen, Section::kSectionTopTableChecklist), 1);
}

TEST_F(CBGeoObjectDetailVCTopTableTest, TheDescriptionAndTheMenusOpenTheirScreens) {
    auto screen = showBerlin();
    tap(*screen, Section::kSectionTopTableTags, 4);
    auto text = std::dynamic_pointer_cast<CBTextViewController>(navigation_->topViewController());
    ASSERT_TRUE(text);
    EXPECT_EQ(text->title(), "Description");
    EXPECT_EQ(text->text(),
              *venue(TopTableFixture::kBerlinVenueID)
                   ->getAttributeOfTagForKey(CBGeoObjectDetailVC::kTopTableDescriptionKey));
    navigation_->popViewControllerAnimated(false);

    tap(*screen, Section::kSectionTopTableMenus, 0);
    auto menus = std::dynamic_pointer_cast<CBTopTableMenusVC>(navigation_->topViewController());
    ASSERT_TRUE(menus);
    window_->layoutIfNeeded();
    EXPECT_EQ(menus->venue(), screen->displayObject());
    ASSERT_EQ(menus->menus().size(), 2u);
    EXPECT_EQ(menus->menus()[0].name, "Starters");
    EXPECT_EQ(menus->menus()[0].dishes.size(), 3u);
    // The dish written with two "#" is left out.
    EXPECT_EQ(menus->menus()[1].dishes.size(), 2u);
}

TEST_F(CBGeoObjectDetailVCTopTableTest, BookingOffersTheWebPageThenThePhone) {
    NSUserDefaults::standardUserDefaults()->setObjectForKey(Value("127.0.0.1:9"),
                                                            kCBTopTableSiteHostKey);
    auto screen = showBerlin();
    screen->bookTopTable();
    ASSERT_TRUE(screen->alert());
    EXPECT_EQ(screen->alert()->title(), "Book a table");
    EXPECT_EQ(buttons(*screen->alert()),
              (std::vector<std::string>{"Cancel", "On the web page", "By phone"}));
    // The desktop makes no calls: it shows the number.
    answer(*screen, "By phone");
    ASSERT_TRUE(screen->alert());
    EXPECT_EQ(screen->alert()->title(), "The restaurant guide's booking line");
    EXPECT_EQ(screen->alert()->message(), CBTopTableHotlineNumber());
    answer(*screen, "OK");

    screen->bookTopTable();
    answer(*screen, "Cancel");
    EXPECT_FALSE(screen->presentedViewController());

    screen->bookTopTable();
    answer(*screen, "On the web page");
    auto modal =
        std::dynamic_pointer_cast<UINavigationController>(screen->presentedViewController());
    ASSERT_TRUE(modal);
    auto browser = std::dynamic_pointer_cast<CBWebBrowser>(modal->topViewController());
    ASSERT_TRUE(browser);
    EXPECT_TRUE(browser->openLinkInternally());
    ASSERT_TRUE(browser->currentURL());
    EXPECT_EQ(browser->currentURL()->absoluteString(), "http://127.0.0.1:9/Venue/4711");
    ASSERT_TRUE(browser->navigationItem()->titleView());
    auto cancel = browser->navigationItem()->rightBarButtonItem();
    ASSERT_TRUE(cancel);
    cancel->performAction();
    auto settled = HostRunScenario(window_, "idle");
    EXPECT_TRUE(settled.passed) << settled.message;
    EXPECT_FALSE(screen->presentedViewController());
}

TEST_F(CBGeoObjectDetailVCTopTableTest, AVenueBookedByPhoneOnlyOffersThePhone) {
    auto other = venue(TopTableFixture::kPhoneOnlyVenueID);
    ASSERT_TRUE(other);
    auto screen = showResult(CBGeoSearchResult::geoSearchResultWithObject(other));
    EXPECT_EQ(screen->sectionTypes(),
              (std::vector<int>{Section::kSectionName, Section::kSectionTopTableTags,
                                Section::kSectionTags}));
    ASSERT_TRUE(screen->bookButton());
    screen->bookTopTable();
    EXPECT_EQ(buttons(*screen->alert()), (std::vector<std::string>{"Cancel", "By phone"}));
    answer(*screen, "By phone");
    EXPECT_EQ(screen->alert()->message(), CBTopTableHotlineNumber());
}

TEST_F(CBGeoObjectDetailVCTopTableTest, PhotosComeOnlyFromTheImagesFolderAndNumbersRate) {
    // A name that leads out of the folder is never read.
    changeTag("TTImage", "../neubrandenburg.sqlite");
    auto outside = showBerlin();
    EXPECT_FALSE(outside->headerPhotoView()->isHidden());
    EXPECT_FALSE(outside->headerPhotoView()->image());

    changeTag("TTImage", "missing.jpg");
    EXPECT_FALSE(showBerlin()->headerPhotoView()->image());
    std::ofstream(images_ + "/broken.jpg") << "not a picture";
    changeTag("TTImage", "broken.jpg");
    EXPECT_FALSE(showBerlin()->headerPhotoView()->image());

    // Ratings that are no numbers show no stars.
    for (const std::string text : {"n/a", "nan", "inf", ""}) {
        changeTag("TTRatingOverall", text);
        auto screen = showBerlin();
        auto overall = std::dynamic_pointer_cast<CBRatingTableCell>(
            cell(*screen, Section::kSectionTopTableRatings, 0));
        ASSERT_TRUE(overall);
        EXPECT_EQ(overall->rating(), 0) << text;
    }
}

TEST(CBTopTableEndpoints, TheSitesHostIsASettingOfPlainHostNames) {
    MapViewHome home;
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->removeObjectForKey(kCBTopTableSiteHostKey);
    EXPECT_EQ(CBTopTableVenuePageURL(7), "http://127.0.0.1:8093/Venue/7");
    defaults->setObjectForKey(Value("guide.test:8080"), kCBTopTableSiteHostKey);
    EXPECT_EQ(CBTopTableVenuePageURL(7), "http://guide.test:8080/Venue/7");
    for (const char* odd : {"evil.test/phish?", "a b", "user@host", ""}) {
        defaults->setObjectForKey(Value(odd), kCBTopTableSiteHostKey);
        EXPECT_EQ(CBTopTableSiteHost(), kCBTopTableDefaultSiteHost) << odd;
    }
    defaults->removeObjectForKey(kCBTopTableSiteHostKey);
    EXPECT_EQ(CBTopTableHotlineURL(), "tel:+442079460321");
}

TEST_F(CBGeoObjectDetailVCTopTableTest, ATapOnThePhotoOpensItAndStaysOnThePlace) {
    auto screen = showBerlin();
    auto photo = screen->headerPhotoView();
    EXPECT_EQ(photo->topView(), navigation_->view());
    const CGRect frame = photo->convertRectToView(photo->bounds(), nullptr);
    auto result =
        HostRunScenario(window_, "idle\ntap " + std::to_string(int(CGRectGetMidX(frame))) + " " +
                                     std::to_string(int(CGRectGetMidY(frame))) + "\nidle");
    EXPECT_TRUE(result.passed) << result.message;
    ASSERT_TRUE(photo->openedView());
    EXPECT_EQ(photo->openedView()->superview(), photo->topView());
    EXPECT_TRUE(host_->shown.empty());
}
