#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CBGeoData/CBGeoObject.h"
#include "CoreData/NSPredicate.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIScreen.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBAnnotationsManager.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/CBMapView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/MapkitTestSupport.h"
#include "platform/UIKit/UIKitTestSupport.h"

// A phone-sized window (320 x 568 points at scale 2) showing the sample city
// package (Neubrandenburg) zoomed to its old town, with a location service of
// its own. Time stands still for animations until a test advances it.
class AnnotationMapTest : public ::testing::Test {
  protected:
    static constexpr CGFloat kWidth = 320;
    static constexpr CGFloat kHeight = 568;

    // The market place in the middle of the old town.
    static CLLocationCoordinate2D market() { return CLLocationCoordinate2DMake(53.5577, 13.2610); }
    static std::shared_ptr<CBBoundingBox> oldTown() {
        return CBBoundingBox::boundingBoxWithCenterLatitudinalDistanceSpanLongitudinalDistanceSpan(
            market(), 900, 500);
    }

    void SetUp() override {
        store_ = samplePackageStore();
        if (store_.empty())
            GTEST_SKIP() << "the sample package is not built (target map_packages)";
        UIScreen::mainScreen()->setScale(2);
        UIScreen::mainScreen()->setBoundsSize({kWidth, kHeight});
        CAFrameClock::shared().setManual(true);
        NSSetApplicationHome(home_.path());
        NSUserDefaults::standardUserDefaults()->setBoolForKey(true, "km");  // a German user
        useBundleWithRenderedImages();
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, kWidth, kHeight));
        window_->setBackgroundColor(UIColor::whiteColor());
        window_->makeKeyAndVisible();
        map_ = CBMapScrollView::create(CGRectMake(0, 0, kWidth, kHeight));
        map_->visibleArea()->setSavesState(false);
        service_ = CBLocationManager::create();
        map_->userLocationFollower()->setLocationManager(service_);
        window_->addSubview(map_);
        ASSERT_TRUE(map_->setMapWithStorePathAndBoundingBox(store_, nullptr));
        // Plain ground under the annotations: pictures show only them.
        map_->layers()->removeVectorDataSource();
        ASSERT_TRUE(map_->zoomToBoundingBoxAnimated(oldTown(), false));
        settle();
        touches_ = std::make_unique<TouchDriver>(window_);
    }

    void TearDown() override {
        touches_.reset();
        if (map_)
            map_->removeFromSuperview();
        map_.reset();
        window_.reset();
        service_.reset();
        CAFrameClock::shared().advance(10);
        CAFrameClock::shared().setManual(false);
        NSBundle::setMainBundlePath("");
        UIImage::clearNamedCache();
        NSUserDefaults::standardUserDefaults()->removeObjectForKey("km");
        NSUserDefaults::resetStandardUserDefaults();
        NSSetApplicationHome("");
    }

    // The box changed, animations ended, layout done.
    void settle() {
        map_->notifyDelegateMapDidChangeBBoxAnimated(false);
        CAFrameClock::shared().advance(2);
        map_->layoutIfNeeded();
    }

    // A screen of type D as the map's delegate.
    template <class D>
    std::shared_ptr<D> attachScreen() {
        auto screen = std::make_shared<D>();
        map_->setMapDelegate(screen);
        return screen;
    }

    bool runUntil(const std::function<bool()>& predicate, double seconds = 5) {
        return NSRunLoop::mainRunLoop()->runUntil(predicate, seconds);
    }

    // The named places of the package in the visible box.
    std::vector<CBAnnotationRef> placesInView() {
        std::vector<CBAnnotationRef> places;
        bool done = false;
        map_->dataManager()->searchForObjectsInBBoxMatchingPredicateWithCompletionBlock(
            map_->visibleArea()->visibleBBox(), NSPredicate::predicateWithFormat("name != nil"),
            [&](const CBGeoDataManager::Objects& objects) {
                for (const auto& object : objects)
                    if (object->name())
                        places.push_back(std::make_shared<CBGeoObjectAnnotation>(object));
                done = true;
            });
        EXPECT_TRUE(runUntil([&] { return done; }));
        return places;
    }

    // A point of the window over a coordinate.
    CGPoint windowPointFor(CLLocationCoordinate2D coordinate) const {
        return map_->convertPointToView(map_->pointForCoordinate(coordinate), nullptr);
    }

    CGImageRef snapshot() {
        map_->layoutIfNeeded();
        auto image = window_->snapshotImage();
        return image ? image->CGImage() : CGImageRef();
    }

    std::string store_;
    TemporaryFolder home_;
    TemporaryFolder bundle_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<CBMapScrollView> map_;
    std::shared_ptr<CBLocationManager> service_;
    std::unique_ptr<TouchDriver> touches_;

  private:
    // resources/ with the images rendered at build time.
    void useBundleWithRenderedImages() {
        namespace fs = std::filesystem;
        const fs::path source = sourceResourcesPath();
        const fs::path root = bundle_.path();
        for (const auto& entry : fs::directory_iterator(source))
            if (entry.path().filename() != "Quillmere.bundle")
                fs::create_symlink(entry.path(), root / entry.path().filename());
        fs::create_directories(root / "Quillmere.bundle");
        for (const auto& entry : fs::directory_iterator(source / "Quillmere.bundle"))
            if (entry.path().filename() != "icons")
                fs::create_symlink(entry.path(),
                                   root / "Quillmere.bundle" / entry.path().filename());
        const fs::path generated = fs::path(KELVARA_GENERATED_RESOURCES) / "Quillmere.bundle";
        for (const char* folder : {"images", "icons"})
            fs::create_directory_symlink(generated / folder, root / "Quillmere.bundle" / folder);
        NSBundle::setMainBundlePath(root.string());
        UIImage::clearNamedCache();
    }
};
