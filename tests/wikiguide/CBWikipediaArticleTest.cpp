#include <gtest/gtest.h>

#include <filesystem>

#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "wikiguide/CBWikipediaArticle.h"

namespace {

namespace fs = std::filesystem;

class CBWikipediaArticleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CBWikipediaArticle::registerClass();
        const char* data = getenv("KELVARA_TEST_DATA");
        const auto model = NSManagedObjectModel::modelWithContentsOfFile(
            (fs::path(data ? data : "tests/data") / ".." / ".." / "resources" / "wikipedia.model")
                .string());
        ASSERT_TRUE(model);
        path_ = fs::temp_directory_path() / ("wikiarticles-" + std::to_string(::getpid()));
        auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
        ASSERT_TRUE(
            coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", path_, {}, nullptr));
        context_ = std::make_shared<NSManagedObjectContext>();
        context_->setPersistentStoreCoordinator(coordinator);
    }
    void TearDown() override {
        context_.reset();
        fs::remove(path_);
    }
    std::shared_ptr<CBWikipediaArticle> articleTitled(const std::string& title) {
        auto article = CBWikipediaArticle::articleInContext(*context_);
        article->setValueForKey("title", Value(title));
        article->setFirstLetterFromTitle();
        return article;
    }
    size_t bodies() {
        return context_->countForFetchRequest(NSFetchRequest(CBWikipediaArticleData::kEntityName))
            .value_or(0);
    }

    std::string path_;
    std::shared_ptr<NSManagedObjectContext> context_;
};

}  // namespace

TEST_F(CBWikipediaArticleTest, FirstLetterSkipsPunctuationAndKeepsWholeCharacters) {
    EXPECT_EQ(articleTitled("„ (tollensesee")->firstLetter(), "T");
    EXPECT_EQ(articleTitled("Ölmühle")->firstLetter(), "Ö");
    // A decomposed accented letter stays whole: E and the combining acute.
    EXPECT_EQ(articleTitled("e\xCC\x81glise")->firstLetter(), "E\xCC\x81");
    EXPECT_EQ(articleTitled("1. FC Neubrandenburg")->firstLetter(), "1");
    EXPECT_FALSE(articleTitled("?!…")->firstLetter());
}

TEST_F(CBWikipediaArticleTest, TheBodyIsMadeOnceInTheArticlesContextAndSurvivesASave) {
    auto article = articleTitled("Stargarder Tor");
    EXPECT_FALSE(article->html());
    const std::string first = "<p>eins</p>", second = "<p>zwei</p>";
    article->setHtml(Value::Data(first.begin(), first.end()));
    article->setHtml(Value::Data(second.begin(), second.end()));
    EXPECT_EQ(bodies(), 1u);
    ASSERT_TRUE(context_->save(nullptr));
    context_->reset();
    NSFetchRequest request(CBWikipediaArticle::kEntityName);
    const auto found = context_->executeFetchRequest(request);
    ASSERT_TRUE(found && found->size() == 1);
    auto stored = std::dynamic_pointer_cast<CBWikipediaArticle>(found->front());
    const auto html = stored->html();
    ASSERT_TRUE(html);
    EXPECT_EQ(std::string(html->begin(), html->end()), second);
}

TEST_F(CBWikipediaArticleTest, PositionIsReadOnceAndNoDistanceWithoutAuthorisation) {
    auto article = articleTitled("Tollensesee");
    EXPECT_EQ(article->coordinate().latitude, 0.0);
    article->setValueForKey("latitude", Value(53.50));
    article->setValueForKey("longitude", Value(13.22));
    const auto first = article->coreLocation();
    EXPECT_DOUBLE_EQ(first->coordinate().latitude, 53.50);
    article->setValueForKey("latitude", Value(10.0));
    EXPECT_EQ(article->latitude(), 10.0);
    EXPECT_EQ(article->longitude(), 13.22);
    EXPECT_DOUBLE_EQ(article->coordinate().latitude, 10.0);
    EXPECT_EQ(article->coreLocation(), first);
    EXPECT_EQ(article->uniqueIdentifier(), article->objectID().URIRepresentation());
    EXPECT_FALSE(article->distanceFromLastLocation());
}
