#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSPredicate.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIWindow.h"
#include "mapkit/MapkitTestSupport.h"
#include "places/CBBookmarksManager.h"
#include "places/CBGeoObjectDetailVC.h"
#include "places/CBPlacesHost.h"
#include "platform/UIKit/UIKitTestSupport.h"

// The map screen as the place screens see it, recording what they ask of it.
class RecordingPlacesHost : public CBPlacesHost {
  public:
    struct Shown {
        std::optional<NSManagedObjectID> object;
        std::optional<NSManagedObjectID> address;
        bool isBookmark = false;
    };
    std::shared_ptr<CBBookmarksManager> bookmarksManager() override { return bookmarks; }
    std::optional<std::string> currentMapStorePath() override { return storePath; }
    std::optional<std::string> currentStylePlistPath() override { return std::nullopt; }
    std::optional<std::string> currentMapTitle() override { return std::string("Neubrandenburg"); }
    std::optional<std::string> currentMapCountry() override { return std::string("Germany"); }
    void showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        const std::optional<NSManagedObjectID>& object,
        const std::optional<NSManagedObjectID>& address, bool isBookmark) override {
        shown.push_back({object, address, isBookmark});
    }
    void dismissPopoverAnimated(bool) override { ++popoverDismissals; }

    std::shared_ptr<CBBookmarksManager> bookmarks;
    std::optional<std::string> storePath;
    std::vector<Shown> shown;
    int popoverDismissals = 0;
};

// A home of the test's own with the application bundle (icons and images
// the build renders included), the sample city's geo store open in a data
// manager, and its bookmark store.
class PlacesTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        NSSetApplicationHome(home_.path());
        NSUserDefaults::resetStandardUserDefaults();
        NSUserDefaults::standardUserDefaults()->setBoolForKey(true, "km");
        namespace fs = std::filesystem;
        const std::string bundle = home_.file("bundle");
        fs::copy(sourceResourcesPath(), bundle, fs::copy_options::recursive);
        fs::copy(KELVARA_GENERATED_RESOURCES, bundle,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        NSBundle::setMainBundlePath(bundle);
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        storePath_ = samplePackageStore();
        ASSERT_FALSE(storePath_.empty()) << "the sample package was not built";
        map_ = CBGeoDataManager::create();
        ASSERT_TRUE(map_->addPersistentStoreCoordinatorWithPath(storePath_));
        bookmarks_ = CBBookmarksManager::create();
        ASSERT_EQ(bookmarks_->setupForMapWithIdentifier(std::string("neubrandenburg")),
                  CBBookmarksManager::StoreState::Open);
        host_ = std::make_shared<RecordingPlacesHost>();
        host_->bookmarks = bookmarks_;
        host_->storePath = storePath_;
    }
    void TearDown() override {
        window_.reset();
        navigation_.reset();
        host_.reset();
        bookmarks_.reset();
        map_.reset();
        // Work the screens left queued runs in the test's own home.
        UIKitTest::TearDown();
        NSBundle::setMainBundlePath("");
        NSUserDefaults::resetStandardUserDefaults();
        NSSetApplicationHome("");
    }

    std::shared_ptr<CBGeoObject> objectNamed(const std::string& name) {
        NSFetchRequest request("object");
        request.predicate = NSPredicate::predicateWithFormat("name == %@", {Value(name)});
        request.fetchLimit = 1;
        auto found = map_->managedObjectContext()->executeFetchRequest(request);
        return found && !found->empty() ? std::dynamic_pointer_cast<CBGeoObject>(found->front())
                                        : nullptr;
    }
    // The address row of a street and house number, linked to the street.
    std::shared_ptr<CBGeoAddress> addressAt(const std::string& street, const std::string& number) {
        NSFetchRequest request("address");
        request.predicate = NSPredicate::predicateWithFormat("street == %@ AND houseNumber == %@",
                                                             {Value(street), Value(number)});
        request.fetchLimit = 1;
        auto found = map_->managedObjectContext()->executeFetchRequest(request);
        return found && !found->empty() ? std::dynamic_pointer_cast<CBGeoAddress>(found->front())
                                        : nullptr;
    }
    std::shared_ptr<CBGeoSearchResult> resultNamed(const std::string& name) {
        return CBGeoSearchResult::geoSearchResultWithObject(objectNamed(name));
    }

    // The screen pushed over a first screen, as the map screen pushes it,
    // in a phone-sized window.
    std::shared_ptr<CBGeoObjectDetailVC> show(
        const std::function<void(CBGeoObjectDetailVC&)>& configure) {
        auto screen = CBGeoObjectDetailVC::initWithDefaultNib(host_);
        screen->setDataManager(map_);
        screen->setIsOnMap(true);
        configure(*screen);
        navigation_ =
            std::make_shared<UINavigationController>(std::make_shared<UIViewController>());
        window_ = makeWindow({320, 568});
        window_->setRootViewController(navigation_);
        window_->layoutIfNeeded();
        navigation_->pushViewControllerAnimated(screen, false);
        window_->layoutIfNeeded();
        return screen;
    }
    std::shared_ptr<CBGeoObjectDetailVC> showResult(std::shared_ptr<CBGeoSearchResult> result) {
        return show([&](CBGeoObjectDetailVC& screen) { screen.setObject(result); });
    }

    TemporaryFolder home_;
    std::string storePath_;
    std::shared_ptr<CBGeoDataManager> map_;
    std::shared_ptr<CBBookmarksManager> bookmarks_;
    std::shared_ptr<RecordingPlacesHost> host_;
    std::shared_ptr<UINavigationController> navigation_;
    std::shared_ptr<UIWindow> window_;
};
