#include <filesystem>
#include <fstream>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "ViewerTestSupport.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/VADMaskedIconView.h"
#include "widgets/ZELShadowAnimatingView.h"
#include "wikiguide/ZELWikiGuide.h"
#include "wikipedia/CBWikipediaGuideCellView.h"
#include "wikipedia/CBWikipediaGuideViewController.h"
#include "wikipedia/CBWikipediaWalkHeaderView.h"
#include "wikipedia/CBWikipediaWalkProgressView.h"
#include "wikipedia/CBWikipediaWalkViewController.h"

namespace {

using Screens = std::vector<std::shared_ptr<UIViewController>>;

// The sample guide of Neubrandenburg on a phone: its root screen at the
// bottom of a navigation stack in the window, as the Wikipedia tab has it.
class GuideScreenTest : public WikipediaViewerTest {
  protected:
    void SetUp() override {
        WikipediaViewerTest::SetUp();
        CBCoordinatePathValueTransformer::registerTransformer();
        if (auto memory =
                CBWikipediaGuideViewController::persistencyStateForCurrentCity(mapIdentifier_))
            memory->clear();
    }
    void TearDown() override {
        if (auto memory =
                CBWikipediaGuideViewController::persistencyStateForCurrentCity(mapIdentifier_))
            memory->clear();
        guide_.reset();
        WikipediaViewerTest::TearDown();
    }

    // Opens the tab: the root guide screen with what it remembers pushed.
    void openTab() {
        guide_ = CBWikipediaGuideViewController::createForCurrentMapIfGuideLoads(services());
        ASSERT_NE(guide_, nullptr);
        const auto restored = guide_->persistentSubViewControllers();
        navigation_ = std::make_shared<UINavigationController>(guide_);
        window_->setRootViewController(navigation_);
        for (const auto& screen : restored.value_or(Screens{}))
            navigation_->pushViewControllerAnimated(screen, false);
        window_->layoutIfNeeded();
    }
    std::shared_ptr<CBWikipediaGuideViewController> top() {
        return std::dynamic_pointer_cast<CBWikipediaGuideViewController>(
            navigation_->topViewController());
    }
    // Taps the cell at the index on the top guide screen.
    void select(long index) {
        auto screen = top();
        ASSERT_NE(screen, nullptr);
        screen->gridViewDidSelectCellAtIndexPath(*screen->gridScrollView(), {0, index});
        window_->layoutIfNeeded();
    }
    std::vector<std::string> titles() {
        std::vector<std::string> shown;
        for (const auto& screen : navigation_->viewControllers())
            shown.push_back(screen->title());
        return shown;
    }
    std::shared_ptr<CBWikipediaGuideCellView> cell(CBWikipediaGuideViewController& screen,
                                                   long index) {
        return std::dynamic_pointer_cast<CBWikipediaGuideCellView>(
            screen.gridViewCellAtIndexPath(*screen.gridScrollView(), {0, index}));
    }
    std::string guideFile() const {
        return CBWikipediaManager::filePathForWikipediaGuideForMapIdentifier("neubrandenburg");
    }

    std::shared_ptr<CBWikipediaGuideViewController> guide_;
};

TEST_F(GuideScreenTest, TheRootGridShowsTheGroupsWithTheirPicturesRibbonsAndCounts) {
    openTab();
    EXPECT_EQ(guide_->title(), "Neubrandenburg");
    const std::vector<std::string> expected{"Höhepunkte",
                                            "Rundgang zu den Toren der Altstadt",
                                            "Stadttore und Türme",
                                            "Seen",
                                            "Orte",
                                            "Kultur und Bauwerke",
                                            "Verkehr"};
    ASSERT_EQ(guide_->gridViewNumberOfCellsInSection(*guide_->gridScrollView(), 0), 7);
    EXPECT_EQ(guide_->guideItemAtIndexPath({0, 7}), nullptr);
    for (long i = 0; i < 7; ++i) {
        auto shown = cell(*guide_, i);
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->labelTitle()->text(), expected[size_t(i)]);
        EXPECT_NE(shown->imageView()->image(), nullptr) << expected[size_t(i)];
        EXPECT_FALSE(shown->ribbonView()->isHidden());
        EXPECT_FALSE(shown->disclosureIndicatorView()->isHidden());
    }
    auto walk = cell(*guide_, 1);
    EXPECT_EQ(walk->reuseIdentifier(), "walk");
    EXPECT_FALSE(walk->ribbonIconView()->isHidden());
    EXPECT_TRUE(walk->labelRibbon()->isHidden());
    auto top = cell(*guide_, 0);
    EXPECT_EQ(top->labelRibbon()->text(), "2");
    EXPECT_FALSE(top->labelRibbon()->isHidden());
    EXPECT_TRUE(top->isSecondaryImageShown());
    EXPECT_NE(top->secondaryImageView()->image(), nullptr);
    auto transport = cell(*guide_, 6);
    EXPECT_TRUE(transport->labelRibbon()->isHidden());
    EXPECT_FALSE(transport->isSecondaryImageShown());
    // The header lists all articles or shows the group's on the map.
    EXPECT_EQ(guide_->buttonAllArticles()->titleForState(UIControlStateNormal), "All articles");
    EXPECT_EQ(guide_->gridScrollView()->gridHeaderView(), guide_->headerView());
}

TEST_F(GuideScreenTest, APersonTapsThroughTheGridToAWalk) {
    openTab();
    EXPECT_TRUE(matchesReference(window_->renderImage(2), "../wikipedia/guide-root"));
    play(R"(tap "Orte"
idle
expect "Dörfer"
tap "Dörfer"
idle
expect "Bargensdorf"
expect "Mallin"
expect "Passentin")");
    EXPECT_EQ(titles(), (std::vector<std::string>{"Neubrandenburg", "Orte", "Dörfer"}));
    navigation_->popToRootViewControllerAnimated(false);
    play(R"(idle
tap "Rundgang zu den Toren der Altstadt"
idle
expect "Walk"
expect "* | 4 stops | 1h 45m"
expect "Friedländer Tor")");
    EXPECT_TRUE(matchesReference(window_->renderImage(2), "../wikipedia/guide-walk"));
}

// "Show on map" stands beside "All articles" on every level; on the root,
// which holds groups only, a tap shows nothing and leaves the guide open.
TEST_F(GuideScreenTest, ShowOnMapStandsOnEveryLevelAndShowsOnlyALevelsOwnArticles) {
    openTab();
    ASSERT_NE(guide_->showAllOnMap(), nullptr);
    EXPECT_FALSE(guide_->showAllOnMap()->isHidden());
    EXPECT_LT(CGRectGetMaxX(guide_->buttonAllArticles()->frame()),
              guide_->showAllOnMap()->frame().origin.x);
    EXPECT_TRUE(guide_->articleAnnotations().empty());
    play(R"(tap "Show on map"
idle
expect "All articles"
tap "Orte"
idle
tap "Dörfer"
idle
tap "Show on map")");
    auto villages = top();
    ASSERT_NE(villages, nullptr);
    ASSERT_EQ(host_->presented.size(), 1u);
    EXPECT_EQ(host_->presented.front().size(), villages->articleAnnotations().size());
    EXPECT_FALSE(host_->presented.front().empty());
}

TEST_F(GuideScreenTest, AReusedCellShowsItsOwnPictureAndAGroupOfOneNoStack) {
    openTab();
    auto shown = cell(*guide_, 3);  // "Seen", a stack of prints
    ASSERT_TRUE(shown->isSecondaryImageShown());
    auto plainGroup =
        std::dynamic_pointer_cast<ZELWikiGuideGroup>(guide_->guideItemAtIndexPath({0, 6}));
    ASSERT_EQ(plainGroup->articles().size(), 1u);
    // "Verkehr" without a picture of its own must not keep the lakes' photo.
    plainGroup->setValueForProperty("imageUrlString", ZELJSONValue());
    shown->prepareForReuse();
    guide_->configureCellAtIndexPath(*shown, {0, 6});
    EXPECT_EQ(shown->labelTitle()->text(), "Verkehr");
    EXPECT_EQ(shown->imageView()->image(), nullptr);
    EXPECT_FALSE(shown->isSecondaryImageShown());
    EXPECT_DOUBLE_EQ(shown->secondaryImageRotation(), 0);
    shown->setHighlighted(true);
    EXPECT_NEAR(shown->transform().tx, 0, 1e-9);
    EXPECT_NEAR(shown->transform().ty, 0, 1e-9);
    EXPECT_TRUE(CGAffineTransformIsIdentity(shown->secondaryImageViewWrapper()->transform()));
}

TEST_F(GuideScreenTest, TheDrillDownComesBackAndFollowsTheStackWhateverChangedIt) {
    openTab();
    select(4);  // Orte
    select(0);  // Dörfer
    EXPECT_EQ(titles(), (std::vector<std::string>{"Neubrandenburg", "Orte", "Dörfer"}));
    openTab();
    EXPECT_EQ(titles(), (std::vector<std::string>{"Neubrandenburg", "Orte", "Dörfer"}));

    // Selecting the tab again goes to the root without the back button.
    navigation_->popToRootViewControllerAnimated(false);
    window_->layoutIfNeeded();
    select(3);  // Seen
    openTab();
    EXPECT_EQ(titles(), (std::vector<std::string>{"Neubrandenburg", "Seen"}));

    // Back with the back button forgets the last step.
    navigation_->popViewControllerAnimated(false);
    window_->layoutIfNeeded();
    openTab();
    EXPECT_EQ(titles(), (std::vector<std::string>{"Neubrandenburg"}));
}

TEST_F(GuideScreenTest, EntriesThatLeadNowhereAreForgotten) {
    auto memory = CBWikipediaGuideViewController::persistencyStateForCurrentCity(mapIdentifier_);
    ASSERT_NE(memory, nullptr);
    // Kultur und Bauwerke has no sub-group 0.
    *memory = {{0, 5}, {0, 0}};
    openTab();
    EXPECT_EQ(titles(), (std::vector<std::string>{"Neubrandenburg", "Kultur und Bauwerke"}));
    EXPECT_EQ(*memory, (std::vector<NSIndexPath>{{0, 5}}));

    *memory = {{0, 40}};
    openTab();
    EXPECT_EQ(titles(), (std::vector<std::string>{"Neubrandenburg"}));
    EXPECT_TRUE(memory->empty());

    // Without a current map there is nothing to remember.
    mapIdentifier_.reset();
    EXPECT_EQ(CBWikipediaGuideViewController::persistencyStateForCurrentCity(mapIdentifier_),
              nullptr);
    CBWikipediaGuideViewController::persistencyStateAppendIndexPath(mapIdentifier_,
                                                                    NSIndexPath{0, 1});
    mapIdentifier_ = "neubrandenburg";
    EXPECT_TRUE(memory->empty());
}

TEST_F(GuideScreenTest, TheArticleListIsTheLastStepRemembered) {
    openTab();
    select(4);
    top()->presentAllArticles();
    window_->layoutIfNeeded();
    EXPECT_EQ(
        *CBWikipediaGuideViewController::persistencyStateForCurrentCity(mapIdentifier_),
        (std::vector<NSIndexPath>{
            {0, 4}, CBWikipediaGuideViewController::persistentIndexPathForViewAllArticles()}));
    openTab();
    EXPECT_EQ(titles(), (std::vector<std::string>{"Neubrandenburg", "Orte", "Wikipedia"}));
    // The list carries the tab's button as the guide screens do.
    navigation_->popViewControllerAnimated(false);
    window_->layoutIfNeeded();
    EXPECT_EQ(*CBWikipediaGuideViewController::persistencyStateForCurrentCity(mapIdentifier_),
              (std::vector<NSIndexPath>{{0, 4}}));
}

TEST_F(GuideScreenTest, AnArticleOpensItsPageAndOneTheStoreLacksOpensNothing) {
    openTab();
    select(0);  // Höhepunkte
    auto highlights = top();
    ASSERT_EQ(highlights->title(), "Höhepunkte");
    auto lakes =
        std::dynamic_pointer_cast<ZELWikiGuideArticle>(highlights->guideItemAtIndexPath({0, 1}));
    ASSERT_EQ(lakes->title(), "Tollensesee");
    select(1);
    auto viewer = topViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->article()->title(), "Tollensesee");
    navigation_->popViewControllerAnimated(false);

    lakes->setValueForProperty("sourceUrlString",
                               ZELJSONValue(Value("https://de.wikipedia.org/wiki/Nirgends")));
    select(1);
    EXPECT_EQ(top(), highlights);
    // Shown on the map, it is left out; with no article found nothing shows.
    highlights->presentAllArticlesOnMap();
    ASSERT_EQ(host_->presented.size(), 1u);
    EXPECT_EQ(host_->presented.front().size(), 1u);
    auto gates = highlights->guideGroup()->articles().front();
    gates->setValueForProperty("sourceUrlString", ZELJSONValue());
    highlights->presentAllArticlesOnMap();
    EXPECT_EQ(host_->presented.size(), 1u);
}

TEST_F(GuideScreenTest, PicturesAreReadOnceAndAMissingOneIsNotKept) {
    openTab();
    const auto path =
        guide_->basePathForImages() + "/" + guide_->guideItemAtIndexPath({0, 3})->imageFileName();
    auto first = guide_->imageFromPath(path);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(guide_->imageFromPath(path), first);
    const std::string missing = guide_->basePathForImages() + "/none";
    EXPECT_EQ(guide_->imageFromPath(missing), nullptr);
    EXPECT_EQ(guide_->imagesCache()->objectForKey(missing), nullptr);
    // Screens opened from the root share its cache.
    select(3);
    EXPECT_EQ(top()->imagesCache(), guide_->imagesCache());
}

TEST_F(GuideScreenTest, AGuideThatCannotBeReadGivesNoGuideScreen) {
    ASSERT_NE(CBWikipediaGuideViewController::createForCurrentMapIfGuideLoads(services()), nullptr);
    // Scrambled for another map, it reads as garbage.
    mapIdentifier_ = "rostock";
    std::filesystem::copy_file(
        guideFile(), CBWikipediaManager::filePathForWikipediaGuideForMapIdentifier("rostock"));
    EXPECT_EQ(CBWikipediaGuideViewController::createForCurrentMapIfGuideLoads(services()), nullptr);
    mapIdentifier_ = "neubrandenburg";
    std::ofstream(guideFile(), std::ios::trunc) << "not a guide";
    EXPECT_EQ(CBWikipediaGuideViewController::createForCurrentMapIfGuideLoads(services()), nullptr);
}

TEST_F(GuideScreenTest, AWalkShowsItsHeaderAndOpensTheWalkScreen) {
    openTab();
    select(1);
    auto walk = top();
    ASSERT_NE(walk, nullptr);
    EXPECT_EQ(walk->title(), "Walk");
    EXPECT_EQ(walk->headerView(), nullptr);
    const auto header = walk->walkHeaderView();
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(walk->gridScrollView()->gridHeaderView(), header);
    EXPECT_EQ(header->labelTitle()->text(), "Rundgang zu den Toren der Altstadt");
    EXPECT_EQ(header->labelTitle()->frame(), CGRectMake(10, 155, 300, 25));
    EXPECT_TRUE(header->labelStats()->text().ends_with(" | 4 stops | 1h 45m"))
        << header->labelStats()->text();
    ASSERT_NE(header->walkProgressView(), nullptr);
    EXPECT_EQ(header->walkProgressView()->frame(), CGRectMake(10, 203, 300, 21));
    EXPECT_FALSE(header->walkProgressView()->isUserInteractionEnabled());
    EXPECT_FALSE(header->mapScrollView()->isUserInteractionEnabled());
    std::vector<std::string> stops;
    for (const auto& stop : walk->guideGroup()->articles())
        stops.push_back(stop->title().value_or(""));
    EXPECT_EQ(stops, (std::vector<std::string>{"Friedländer Tor", "Stargarder Tor", "Treptower Tor",
                                               "Fangelturm (Neubrandenburg)"}));
    EXPECT_EQ(header->walkProgressView()->cumulatedDistancesForStops().size(), 4u);
    EXPECT_EQ(header->mapScrollView()->annotationsHost()->annotations().size(), 4u);

    // The header opens the walk screen on the whole walk, a stop's cell on that stop.
    auto walkScreenShown = [&] {
        auto presented =
            std::dynamic_pointer_cast<UINavigationController>(walk->presentedViewController());
        auto screen = presented ? std::dynamic_pointer_cast<CBWikipediaWalkViewController>(
                                      presented->topViewController())
                                : nullptr;
        walk->dismissViewControllerAnimatedCompletion(false, nullptr);
        return screen;
    };
    walk->presentWalkViewController();
    auto whole = walkScreenShown();
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->walkGroup(), walk->guideGroup());
    EXPECT_EQ(whole->stopToSelectOnAppear(), nullptr);
    select(1);  // Stargarder Tor, the second stop
    auto onStop = walkScreenShown();
    ASSERT_NE(onStop, nullptr);
    ASSERT_NE(onStop->stopToSelectOnAppear(), nullptr);
    EXPECT_EQ(onStop->stopToSelectOnAppear()->title(), "Stargarder Tor");
    EXPECT_EQ(top(), walk);
}

TEST_F(GuideScreenTest, WalkTimesAreRoundedToTheQuarterHourAndBrokenNumbersShowNothing) {
    auto walk = [](double metres, size_t stops) {
        Value::Array articles;
        for (size_t i = 0; i < stops; ++i)
            articles.push_back(
                Value(Value::Dictionary{{"title", Value("Stop")},
                                        {"url", Value("https://x.org/" + std::to_string(i))},
                                        {"image", Value("")}}));
        const Value group(Value::Dictionary{
            {"title", Value("Walk")},
            {"type", Value("walk")},
            {"articles", Value(articles)},
            {"path", Value(Value::Dictionary{{"totalDistance", Value(metres)}})}});
        auto made = ZELJSONObject::createWithJson<ZELWikiGuideGroup>(&group);
        return CBWikipediaGuideViewController::walkStatisticsForGroup(*made);
    };
    NSUserDefaults::standardUserDefaults()->setBoolForKey(true, "km");
    // 4 stops and 2.65 km take 1 h 53 min; 2.6 km 1 h 52 min; 1 stop and 1.15 km 38 min.
    EXPECT_TRUE(walk(2650, 4).ends_with(" km | 4 stops | 2h ")) << walk(2650, 4);
    EXPECT_EQ(walk(2600, 4), "2.6 km | 4 stops | 1h 45m");
    EXPECT_TRUE(walk(1150, 1).ends_with(" km | 1 stops |  45m")) << walk(1150, 1);
    // A length that is no number, or none, leaves the length and the time empty.
    EXPECT_EQ(walk(std::nan(""), 2), " | 2 stops |  ");
    EXPECT_EQ(walk(-1, 0), " | 0 stops |  ");
}

}  // namespace
