#include <gtest/gtest.h>

#include "Host/HostScenario.h"
#include "PackagesTestSupport.h"
#include "StoreTestSupport.h"
#include "UIKit/UIActionSheet.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIProgressView.h"
#include "UIKit/UIWindow.h"
#include "model/CBWikipediaManager.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "store/CBMapStoreDetailVC.h"
#include "widgets/ZELRoundedGradientButton.h"

namespace {

// The detail screen's Wikipedia button against the local map store server,
// whose sample Wikipedia package belongs to Neubrandenburg.
class CBMapStoreDetailVCWikipediaTest : public ::testing::Test {
  protected:
    CBMapStoreDetailVCWikipediaTest() {
        wikipedia_ = CBWikipediaManager::create(store_.downloads, store_.catalogue);
        store_.downloads->addDelegate(wikipedia_);
    }
    std::shared_ptr<CBMapStoreDetailVC> open(const std::string& identifier,
                                             bool withManager = true) {
        auto screen = CBMapStoreDetailVC::create(
            store_.catalogue->mapForIdentifier(identifier), store_.downloads, store_.catalogue,
            store_.registry, withManager ? wikipedia_ : nullptr);
        store_.show(screen);
        EXPECT_TRUE(runUntil([&] { return screen->mapInfoIsValid(); }));
        return screen;
    }
    static std::string title(const CBMapStoreDetailVC& screen) {
        return screen.downloadWikipediaButton()->titleForState(UIControlStateNormal).value_or("");
    }
    template <typename View>
    std::shared_ptr<View> shown() {
        for (const auto& view : store_.window->subviews())
            if (auto found = std::dynamic_pointer_cast<View>(view); found && found->isVisible())
                return found;
        return nullptr;
    }
    StoreFixture store_;
    std::shared_ptr<CBWikipediaManager> wikipedia_;
};

TEST_F(CBMapStoreDetailVCWikipediaTest, AMapNotInstalledNeverOffersItsArticles) {
    auto screen = open("liechtenstein");
    const auto& button = *screen->downloadWikipediaButton();
    EXPECT_FALSE(button.isHidden());
    EXPECT_FALSE(button.isEnabled());
    EXPECT_FLOAT_EQ(float(button.alpha()), 0.25f);
    EXPECT_EQ(title(*screen), "Download Wikipedia articles");
    // Its statistics have an empty "wiki" dictionary: nothing is offered.
    EXPECT_EQ(screen->wikipediaStats()->text(), "No Wikipedia articles for this map yet.");
    EXPECT_FLOAT_EQ(float(screen->wikipediaStats()->alpha()), 0.66f);

    // Where nothing can load articles the button is not there at all.
    auto without = open("liechtenstein", false);
    EXPECT_TRUE(without->downloadWikipediaButton()->isHidden());
}

TEST_F(CBMapStoreDetailVCWikipediaTest, AnInstalledMapLoadsItsArticlesAndDeletesThemAgain) {
    store_.install("neubrandenburg");
    auto screen = open("neubrandenburg");
    EXPECT_TRUE(screen->downloadWikipediaButton()->isEnabled());
    EXPECT_EQ(title(*screen), "Download Wikipedia articles");
    EXPECT_EQ(screen->downloadWikipediaButton()->gradientButtonStyle(), 2);
    EXPECT_NE(screen->wikipediaStats()->text(), "No Wikipedia articles for this map yet.");

    auto result = HostRunScenario(store_.window, R"(
tap "Download Wikipedia articles"
expect "Which language should the offline Wikipedia of this map be in?"
)");
    ASSERT_TRUE(result.passed) << result.message;
    auto sheet = shown<UIActionSheet>();
    ASSERT_NE(sheet, nullptr);
    sheet->dismissWithClickedButtonIndexAnimated(0, false);
    ASSERT_NE(screen->wikipediaDownload(), nullptr);
    EXPECT_FALSE(screen->downloadWikipediaButton()->isEnabled());

    ASSERT_TRUE(runUntil([&] { return title(*screen) == "Delete Wikipedia articles"; }, 60));
    EXPECT_TRUE(screen->downloadWikipediaButton()->isEnabled());
    EXPECT_EQ(screen->downloadWikipediaButton()->gradientButtonStyle(), 3);
    EXPECT_TRUE(screen->wikiProgress()->isHidden());
    EXPECT_EQ(screen->wikipediaStats()->text(),
              "The Wikipedia articles of this map are downloaded.");

    // Deleting asks first; Cancel keeps the articles.
    screen->downloadWikipedia();
    auto alert = shown<UIAlertView>();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->tag(), CBMapStoreDetailVC::kDeleteWikipediaAlertTag);
    alert->dismissWithClickedButtonIndexAnimated(alert->cancelButtonIndex(), false);
    runUntil([] { return false; }, 1.2);
    EXPECT_TRUE(wikipedia_->userHasWikipediaForMapIdentifier("neubrandenburg"));

    screen->downloadWikipedia();
    alert = shown<UIAlertView>();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->destructiveButtonIndex(), alert->firstOtherButtonIndex());
    alert->dismissWithClickedButtonIndexAnimated(alert->firstOtherButtonIndex(), false);
    // The page says so at once, not once the files are gone.
    EXPECT_EQ(title(*screen), "Download Wikipedia articles");
    EXPECT_EQ(screen->wikipediaStatus().phase, ZELDownloadPhase::None);
    ASSERT_TRUE(runUntil([&] { return title(*screen) == "Download Wikipedia articles"; }, 5));
    EXPECT_FALSE(wikipedia_->userHasWikipediaForMapIdentifier("neubrandenburg"));
}

// No store address: choosing a language says so in one line and offers to
// try again, which works once the store is there.
TEST_F(CBMapStoreDetailVCWikipediaTest, WithoutAStoreAddressTheLanguageSaysSoAndTriesAgain) {
    store_.install("neubrandenburg");
    auto screen = open("neubrandenburg");
    screen->downloadWikipedia();
    auto sheet = shown<UIActionSheet>();
    ASSERT_NE(sheet, nullptr);
    CBMapStoreURLManager::setBaseURL("");
    sheet->dismissWithClickedButtonIndexAnimated(0, false);
    EXPECT_EQ(screen->wikipediaDownload(), nullptr);
    auto alert = shown<UIAlertView>();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "Map store not reachable");
    EXPECT_EQ(alert->message(), "No map store address is set up.");
    // Another failure while it is up adds no second alert.
    screen->downloadWikipedia();
    shown<UIActionSheet>()->dismissWithClickedButtonIndexAnimated(0, false);
    size_t alerts = 0;
    for (const auto& view : store_.window->subviews())
        if (auto up = std::dynamic_pointer_cast<UIAlertView>(view); up && up->isVisible())
            ++alerts;
    EXPECT_EQ(alerts, 1u);

    CBMapStoreURLManager::setBaseURL(store_.server->baseURL());
    alert->dismissWithClickedButtonIndexAnimated(alert->firstOtherButtonIndex(), false);
    sheet = shown<UIActionSheet>();
    ASSERT_NE(sheet, nullptr);
    sheet->dismissWithClickedButtonIndexAnimated(0, false);
    EXPECT_NE(screen->wikipediaDownload(), nullptr);
}

}  // namespace
