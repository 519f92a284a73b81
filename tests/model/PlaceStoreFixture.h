#pragma once

#include <filesystem>
#include <memory>
#include <string>

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
#include "mapkit/MapkitTestSupport.h"
#include "model/CBBookmarksManager.h"
#include "platform/UIKit/UIKitTestSupport.h"

// A home of the test's own with the application bundle (icons and images
// the build renders included), the sample city's geo store open in a data
// manager, and its bookmark store.
class PlaceStoreTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        NSSetApplicationHome(home_.path());
        NSUserDefaults::resetStandardUserDefaults();
        NSUserDefaults::standardUserDefaults()->setBoolForKey(true, "km");
        installApplicationBundle(home_.file("bundle"), KELVARA_GENERATED_RESOURCES);
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        storePath_ = samplePackageStore();
        ASSERT_FALSE(storePath_.empty()) << "the sample package was not built";
        map_ = CBGeoDataManager::create();
        ASSERT_TRUE(map_->addPersistentStoreCoordinatorWithPath(storePath_));
        bookmarks_ = CBBookmarksManager::create();
        ASSERT_EQ(bookmarks_->setupForMapWithIdentifier(std::string("neubrandenburg")),
                  CBBookmarksManager::StoreState::Open);
    }
    void TearDown() override {
        scratch_.reset();
        bookmarks_.reset();
        map_.reset();
        // Work the screens left queued runs in the test's own home.
        UIKitTest::TearDown();
        NSBundle::setMainBundlePath("");
        NSUserDefaults::resetStandardUserDefaults();
        NSSetApplicationHome("");
    }

    // A map store of the test's own, for places the sample lacks; made on
    // first use.
    const std::shared_ptr<CBGeoDataManager>& scratch() {
        if (!scratch_) {
            scratch_ = CBGeoDataManager::create();
            EXPECT_TRUE(
                scratch_->addPersistentStoreCoordinatorWithPath(home_.file("scratch.sqlite")));
        }
        return scratch_;
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

    TemporaryFolder home_;
    std::string storePath_;
    std::shared_ptr<CBGeoDataManager> map_;
    std::shared_ptr<CBGeoDataManager> scratch_;
    std::shared_ptr<CBBookmarksManager> bookmarks_;
};
