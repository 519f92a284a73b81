#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CoreData/NSFetchRequest.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "Host/HostScenario.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIWebView.h"
#include "UIKit/UIWindow.h"
#include "mapkit/CBOpenMap.h"
#include "mapkit/MapkitTestSupport.h"
#include "model/CBCurrentMap.h"
#include "model/CBWikipediaManager.h"
#include "packages/ZELDownloadStatus.h"
#include "platform/Foundation/RecordedLaunches.h"
#include "platform/UIKit/UIKitTestSupport.h"
#include "wikiguide/CBWikipediaArticle.h"
#include "wikipedia/CBWikipediaHost.h"
#include "wikipedia/CBWikipediaViewer.h"

// Stands in for the application delegate as the screens' host: notes what
// the screens ask of the map.
class TestWikipediaHost : public CBWikipediaHost {
  public:
    std::vector<std::vector<CBAnnotationRef>> presented;
    std::vector<bool> centered;
    std::vector<ZELDownloadStatus> failureAlerts;

    std::vector<std::string> objectAnnotationIdentifiers() const override { return {}; }
    void showFailedMessageForIndividualDownload(const ZELDownloadStatus& status) override {
        failureAlerts.push_back(status);
    }
    void presentAnnotationsCentered(const std::vector<CBAnnotationRef>& annotations,
                                    bool centre) override {
        presented.push_back(annotations);
        centered.push_back(centre);
    }
};

// An article of a store a test writes itself.
struct StoredArticle {
    std::string title;
    std::string url;
    std::optional<std::string> html;
    bool hasTitle = true;
    bool placed = true;
};

// A home with the bundle (resources and the rendered images) and the sample
// Wikipedia package of Neubrandenburg installed and open in the manager; the
// test host as the application's delegate; a phone window at scale 2 with a
// navigation controller the viewers are pushed on.
class WikipediaViewerTest : public UIKitTest {
  protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        UIKitTest::SetUp();
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        NSSetApplicationHome(home_.path());
        NSUserDefaults::resetStandardUserDefaults();
        installApplicationBundle(home_.file("bundle"), KELVARA_GENERATED_RESOURCES);
        const std::string base = CBWikipediaManager::basePathForWikipedia();
        fs::create_directories(base);
        fs::copy(std::string(KELVARA_WIKIPEDIA_DIR) + "/neubrandenburg_wiki-de", base,
                 fs::copy_options::recursive);
        manager_ = CBWikipediaManager::create(nullptr, nullptr);
        manager_->resetWikipediaForMapIdentifier("neubrandenburg");
        ASSERT_TRUE(manager_->wikipediaAvailable());
        host_ = std::make_shared<TestWikipediaHost>();
        window_ = makeWindow({320, 568});
        navigation_ =
            std::make_shared<UINavigationController>(std::make_shared<UIViewController>());
        window_->setRootViewController(navigation_);
        window_->layoutIfNeeded();
    }
    void TearDown() override {
        // Animations still running end here, while the test's home is set:
        // a screen that appears at their end reads the user defaults.
        CAFrameClock::shared().advance(10);
        window_.reset();
        navigation_.reset();
        host_.reset();
        manager_.reset();
        NSRunLoop::mainRunLoop()->runUntil([] { return false; }, 0.05);
        NSBundle::setMainBundlePath("");
        NSUserDefaults::resetStandardUserDefaults();
        NSSetApplicationHome("");
        UIKitTest::TearDown();
    }

    std::shared_ptr<CBWikipediaArticle> article(const std::string& title) {
        NSFetchRequest request(CBWikipediaArticle::kEntityName);
        request.predicate = NSPredicate::predicateWithFormat("title = %@", {title});
        const auto found = manager_->managedObjectContext()->executeFetchRequest(request);
        EXPECT_TRUE(found && found->size() == 1) << title;
        return found && !found->empty()
                   ? std::dynamic_pointer_cast<CBWikipediaArticle>(found->front())
                   : nullptr;
    }

    // What the screens are handed: the test's host and manager, and the
    // map the test sets as the one shown.
    CBWikipediaServices services() { return {host_, manager_, nullptr, nullptr, shownMap()}; }
    // The current map of the identifier the test sets: the sample city's
    // store under that name (none without an identifier).
    std::shared_ptr<CBCurrentMap> shownMap() {
        namespace fs = std::filesystem;
        auto current = CBCurrentMap::create(nullptr, nullptr, nullptr);
        const std::string sample = samplePackageStore();
        if (!mapIdentifier_ || sample.empty())
            return current;
        std::string store = sample;
        if (fs::path(sample).stem() != *mapIdentifier_) {
            store = home_.file(*mapIdentifier_ + "/" + *mapIdentifier_ + ".sqlite");
            fs::create_directories(fs::path(store).parent_path());
            std::error_code exists;
            fs::copy_file(sample, store, exists);
        }
        current->showOpenMap(CBOpenMap::openStorePath(store));
        return current;
    }
    // A viewer of the article as the list opens it, shown with its page.
    std::shared_ptr<CBWikipediaViewer> makeViewer(const std::shared_ptr<CBWikipediaArticle>& shown,
                                                  bool onMap = false) {
        auto viewer = std::make_shared<CBWikipediaViewer>(services());
        viewer->setArticle(shown);
        viewer->setBasePath(manager_->currentImgPath());
        viewer->setIsOnMap(onMap);
        return viewer;
    }
    std::shared_ptr<CBWikipediaViewer> open(const std::string& title, bool onMap = false) {
        auto viewer = makeViewer(article(title), onMap);
        navigation_->pushViewControllerAnimated(viewer, false);
        EXPECT_TRUE(waitForPage(*viewer, title));
        window_->layoutIfNeeded();
        return viewer;
    }
    // Runs the loop until the viewer's web view shows the article's page.
    static bool waitForPage(CBWikipediaViewer& viewer, const std::string& title) {
        return NSRunLoop::mainRunLoop()->runUntil(
            [&] {
                auto web = viewer.webView();
                return web && !web->isLoading() && web->pageTitle() == title;
            },
            20);
    }
    // Shows the end of the page, where the neighbours are linked.
    static void scrollToEnd(CBWikipediaViewer& viewer) {
        const auto scroll = viewer.webView()->scrollView();
        scroll->setContentOffset(scroll->maximumContentOffset());
    }
    std::shared_ptr<CBWikipediaViewer> topViewer() {
        return std::dynamic_pointer_cast<CBWikipediaViewer>(navigation_->topViewController());
    }
    void play(const std::string& script) {
        const auto result = HostRunScenario(window_, script);
        EXPECT_TRUE(result.passed) << result.message;
    }
    // A store of the test's own articles, opened in the manager.
    void openStore(const std::vector<StoredArticle>& articles) {
        const auto model = manager_->managedObjectModel();
        const std::string path = home_.file("own_wiki.sqlite");
        {
            auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
            NSError error;
            ASSERT_TRUE(
                coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", path, {}, &error));
            auto context = std::make_shared<NSManagedObjectContext>();
            context->setPersistentStoreCoordinator(coordinator);
            for (const auto& stored : articles) {
                auto made = CBWikipediaArticle::articleInContext(*context);
                if (stored.hasTitle)
                    made->setValueForKey("title", Value(stored.title));
                made->setFirstLetterFromTitle();
                made->setValueForKey("url", Value(stored.url));
                if (stored.placed) {
                    made->setValueForKey("latitude", Value(53.5575));
                    made->setValueForKey("longitude", Value(13.2610));
                }
                if (stored.html)
                    made->setHtml(Value::Data(stored.html->begin(), stored.html->end()));
            }
            ASSERT_TRUE(context->save(&error));
        }
        manager_->setSqlitePath(path);
        ASSERT_TRUE(manager_->wikipediaAvailable());
    }

    TemporaryFolder home_;
    RecordedLaunches launched_;
    std::shared_ptr<CBWikipediaManager> manager_;
    std::shared_ptr<TestWikipediaHost> host_;
    // The map shown, as the screens are told it.
    std::optional<std::string> mapIdentifier_ = "neubrandenburg";
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UINavigationController> navigation_;
};
