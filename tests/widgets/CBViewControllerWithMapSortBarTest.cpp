// The sortable list base and its fetched results controller, on a list of
// places of a small geo store of the test's own.
#include <memory>
#include <string>
#include <vector>

#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/GeoEntityFixture.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreLocation/CLFixedLocationSource.h"
#include "CoreLocation/CLLocationManager.h"
#include "Dispatch/NSRunLoop.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIButton.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIWindow.h"
#include "location/CBLocationManager.h"
#include "widgets/CBAnnotationsPresenter.h"
#include "widgets/CBFetchedResultsController.h"
#include "widgets/CBViewControllerWithMapSortBar.h"

namespace {

class RecordingPresenter : public CBAnnotationsPresenter {
  public:
    void presentAnnotationsCentered(const std::vector<CBAnnotationRef>& annotations,
                                    bool centered) override {
        shown.push_back(annotations);
        lastCentered = centered;
    }
    std::vector<std::string> objectAnnotationIdentifiers() const override { return {}; }
    std::vector<std::vector<CBAnnotationRef>> shown;
    bool lastCentered = false;
};

// A list of all places of the store by first letter.
class PlaceList : public CBViewControllerWithMapSortBar {
  public:
    PlaceList(std::shared_ptr<NSManagedObjectContext> context,
              std::weak_ptr<CBAnnotationsPresenter> presenter)
        : CBViewControllerWithMapSortBar(std::move(presenter)), context_(std::move(context)) {}
    std::shared_ptr<NSFetchedResultsController> newFetchedResultsController() override {
        auto request = NSFetchRequest::fetchRequestWithEntityName("object");
        request->sortDescriptors = {
            NSSortDescriptor::sortDescriptorWithKey(
                "firstLetterOfName", true, NSSortDescriptor::Comparison::LocalizedCaseInsensitive),
            NSSortDescriptor::sortDescriptorWithKey("name", true)};
        return std::make_shared<CBFetchedResultsController>(request, context_, "firstLetterOfName");
    }
    void loadView() override {
        auto table = std::make_shared<UITableView>(CGRectMake(0, 0, 320, 480));
        auto self = std::static_pointer_cast<PlaceList>(
            std::static_pointer_cast<UIViewController>(shared_from_this()));
        table->setDataSource(self);
        table->setDelegate(self);
        setTableView(table);
        setView(table);
    }
    void viewDidLoad() override {
        setShowPinButton(true);
        fetchedResultsController()->performFetch();
        CBViewControllerWithMapSortBar::viewDidLoad();
    }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&,
                                                                    const NSIndexPath&) override {
        return std::make_shared<UITableViewCell>();
    }

  private:
    std::shared_ptr<NSManagedObjectContext> context_;
};

constexpr CLLocationCoordinate2D kHere{53.5569, 13.2610};

class CBViewControllerWithMapSortBarTest : public GeoEntityTest {
  protected:
    void SetUp() override {
        GeoEntityTest::SetUp();
        UIScreen::mainScreen()->setScale(2);
        UIScreen::mainScreen()->setBoundsSize({320, 568});
        CAFrameClock::shared().setManual(true);
        CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusAuthorizedWhenInUse);
        CBLocationManager::sharedInstance()->setLocation(
            std::make_shared<CLLocation>(kHere.latitude, kHere.longitude));
        presenter_ = std::make_shared<RecordingPresenter>();
    }
    void TearDown() override {
        window_.reset();
        list_.reset();
        if (receiver_)
            receiver_->stopUpdatingLocation();
        CLLocationManager::setLocationSource(nullptr);
        CBLocationManager::sharedInstance()->setLocation(nullptr);
        CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusNotDetermined);
        CAFrameClock::shared().advance(10);
        CAFrameClock::shared().setManual(false);
        GeoEntityTest::TearDown();
    }
    // A named place `metres` north of here.
    void place(const std::string& name, double metres) {
        auto object = CBGeoObject::objectInContextAtCoordinate(
            context_, {kHere.latitude + metres / 111200.0, kHere.longitude});
        object->updateNameAndCanonicalNameForString(name);
        object->calculateFirstLetterOfName();
    }
    // `count` places, the farthest first in name order.
    void places(int count) {
        for (int i = 0; i < count; ++i)
            place("Place " + std::to_string(1000 + i), 100.0 * (count - i));
    }
    void show() {
        ASSERT_TRUE(context_->save(nullptr));
        list_ = std::make_shared<PlaceList>(context_, presenter_);
        list_->setTitle("Places");
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window_->makeKeyAndVisible();
        window_->setRootViewController(std::make_shared<UINavigationController>(list_));
        window_->layoutIfNeeded();
    }
    // The platform's receiver has a fix, as once the user was located.
    void locateReceiver() {
        CLLocationManager::setLocationSource(std::make_shared<CLFixedLocationSource>(kHere));
        receiver_ = std::make_shared<CLLocationManager>();
        receiver_->startUpdatingLocation();
        NSRunLoop::mainRunLoop()->runUntil([&] { return receiver_->location() != nullptr; }, 5);
        ASSERT_NE(CBLocationManager::sharedInstance()->manager()->location(), nullptr);
    }
    UITableView& table() { return *list_->tableView(); }
    std::string buttonTitle() {
        return list_->showOnMapButton()->isHidden()
                   ? std::string("(hidden)")
                   : list_->showOnMapButton()->titleForState(UIControlStateNormal).value_or("");
    }

    std::shared_ptr<RecordingPresenter> presenter_;
    std::shared_ptr<PlaceList> list_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<CLLocationManager> receiver_;
};

TEST_F(CBViewControllerWithMapSortBarTest, IndexTitlesFoldToFirstLettersOrKeepTwoLetterNames) {
    CBFetchedResultsController titles(nullptr, nullptr);
    EXPECT_EQ(titles.sectionIndexTitleForSectionName("élan"), "É");
    EXPECT_EQ(titles.sectionIndexTitleForSectionName("Ab"), "A");
    EXPECT_EQ(titles.sectionIndexTitleForSectionName(""), "");
    titles.setTwoLetterIndex(true);
    EXPECT_EQ(titles.sectionIndexTitleForSectionName("élan"), "élan");
    EXPECT_EQ(titles.sectionIndexTitleForSectionName("Ab"), "Ab");
    EXPECT_EQ(titles.sectionIndexTitleForSectionName(""), "");
}

// Sections "B" and "b" share one index title: each later section keeps its
// own header, and each title still leads to its own letter.
TEST_F(CBViewControllerWithMapSortBarTest, SectionsSharingATitleShiftNeitherHeadersNorTheIndex) {
    for (const char* name : {"Alpha", "Beta", "Cafe", "Delta"})
        place(name, 100);
    place("bar", 100);
    // A kind of place filed under its lower-case letter.
    NSFetchRequest bar("object");
    bar.predicate = NSPredicate::predicateWithFormat("name = 'bar'");
    context_->executeFetchRequest(bar)->front()->setValueForKey("firstLetterOfName", Value("b"));
    show();
    ASSERT_EQ(list_->numberOfSectionsInTableView(table()), 5);
    const auto index = list_->sectionIndexTitlesForTableView(table());
    EXPECT_EQ(index, (std::vector<std::string>{UITableViewIndexSearch, "A", "B", "C", "D"}));
    std::vector<std::string> headers;
    for (long section = 0; section < 5; ++section)
        headers.push_back(list_->tableViewTitleForHeaderInSection(table(), section).value_or("?"));
    EXPECT_EQ(headers, (std::vector<std::string>{"A", "B", "B", "C", "D"}));
    EXPECT_EQ(list_->tableViewSectionForSectionIndexTitleAtIndex(table(), "B", 2), 1);
    EXPECT_EQ(list_->tableViewSectionForSectionIndexTitleAtIndex(table(), "C", 3), 3);
    EXPECT_EQ(list_->tableViewSectionForSectionIndexTitleAtIndex(table(), "D", 4), 4);
    EXPECT_EQ(list_->tableViewTitleForHeaderInSection(table(), 9), "-");
    // The magnifier brings the search bar back and opens no section.
    table().setContentOffset({0, 200});
    EXPECT_EQ(
        list_->tableViewSectionForSectionIndexTitleAtIndex(table(), UITableViewIndexSearch, 0),
        std::nullopt);
    EXPECT_EQ(table().contentOffset().y, 0);
}

TEST_F(CBViewControllerWithMapSortBarTest, TheDistanceOrderIsOneSectionWithoutHeadersOrIndex) {
    place("Far", 900);
    place("Near", 100);
    place("Middle", 500);
    show();
    ASSERT_NE(list_->sortTitleViewButton(), nullptr);
    list_->sortTableByDistance();
    EXPECT_EQ(list_->numberOfSectionsInTableView(table()), 1);
    EXPECT_EQ(list_->tableViewNumberOfRowsInSection(table(), 0), 3);
    EXPECT_EQ(list_->tableViewTitleForHeaderInSection(table(), 0), std::nullopt);
    EXPECT_TRUE(list_->sectionIndexTitlesForTableView(table()).empty());
    std::vector<std::string> names;
    for (const auto& object : *list_->objectsSortedByDistance())
        names.push_back(object->stringForKey("name").value_or(""));
    EXPECT_EQ(names, (std::vector<std::string>{"Near", "Middle", "Far"}));
}

TEST_F(CBViewControllerWithMapSortBarTest, TwentyFourPlacesShowAllAndTwentyFiveTheNearest) {
    places(24);
    show();
    EXPECT_EQ(buttonTitle(), "CategoryShowAllButton");
    list_->showOnMap();
    ASSERT_EQ(presenter_->shown.size(), 1u);
    EXPECT_EQ(presenter_->shown.back().size(), 24u);
    EXPECT_TRUE(presenter_->lastCentered);

    place("Nearest", 10);
    locateReceiver();
    show();
    EXPECT_EQ(buttonTitle(), "CategoryNearbyButton");
    list_->showOnMap();
    ASSERT_EQ(presenter_->shown.size(), 2u);
    ASSERT_EQ(presenter_->shown.back().size(), 25u);
    EXPECT_EQ(presenter_->shown.back().front()->title(), "Nearest");

    // Without leave to use locations a long list offers nothing.
    CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusDenied);
    auto receiver = list_->locationManager();
    ASSERT_TRUE(receiver);
    EXPECT_EQ(receiver->delegate().lock().get(),
              static_cast<CLLocationManagerDelegate*>(list_.get()));
    list_->locationManagerDidChangeAuthorizationStatus(*receiver, kCLAuthorizationStatusDenied);
    EXPECT_EQ(buttonTitle(), "(hidden)");
    EXPECT_EQ(list_->sortTitleViewButton()->superview(), nullptr);
}

TEST_F(CBViewControllerWithMapSortBarTest, TheNearestWaitForTheFirstFixAndNeedNoSecondTap) {
    places(30);
    show();
    // The location service has a stored position but its receiver no fix yet.
    CLLocationManager::setLocationSource(nullptr);
    ASSERT_EQ(CBLocationManager::sharedInstance()->manager()->location(), nullptr);
    list_->showOnMap();
    EXPECT_TRUE(presenter_->shown.empty());
    EXPECT_TRUE(list_->showOnMapAfterNextLocationUpdate());
    EXPECT_NE(
        std::dynamic_pointer_cast<UIActivityIndicatorView>(list_->navigationItem()->titleView()),
        nullptr);
    auto fix = std::make_shared<CLLocation>(kHere.latitude, kHere.longitude);
    list_->locationManagerDidUpdateToLocationFromLocation(*CBLocationManager::sharedInstance(), fix,
                                                          nullptr);
    ASSERT_EQ(presenter_->shown.size(), 1u);
    EXPECT_EQ(presenter_->shown.back().size(), 25u);
    EXPECT_EQ(presenter_->shown.back().front()->title(), "Place 1029");
}

TEST_F(CBViewControllerWithMapSortBarTest, TheTitleSwitchesTheOrderAndBack) {
    place("Far", 900);
    place("Near", 100);
    show();
    ASSERT_NE(list_->sortTitleViewSubtitleLabel(), nullptr);
    EXPECT_EQ(list_->sortTitleViewSubtitleLabel()->text(), "SortTitleViewSubtitleSortingName");
    // A receiver with a fix sorts at once.
    locateReceiver();
    list_->toggleSorting();
    EXPECT_TRUE(list_->sortByDistance());
    EXPECT_EQ(list_->sortTitleViewSubtitleLabel()->text(), "SortTitleViewSubtitleSortingDistance");
    list_->toggleSorting();
    EXPECT_FALSE(list_->sortByDistance());
    EXPECT_EQ(list_->numberOfSectionsInTableView(table()), 2);
}

}  // namespace
