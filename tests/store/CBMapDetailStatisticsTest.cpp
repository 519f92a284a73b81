#include <gtest/gtest.h>

#include "Foundation/NSBundle.h"
#include "PackagesTestSupport.h"
#include "packages/CBMapStoreInfoMap.h"
#include "store/CBMapDetailStatistics.h"

namespace {

class CBMapDetailStatisticsTest : public ::testing::Test {
  protected:
    void SetUp() override { NSBundle::setMainBundlePath(sourceResourcesPath()); }
    void TearDown() override { NSBundle::setMainBundlePath(""); }

    static Value language(int guide, int walks) {
        return Value(Value::Dictionary{{"fileSize", Value(int64_t(3 * 1024 * 1024))},
                                       {"numImages", Value(int64_t(20))},
                                       {"numArticles", Value(int64_t(100))},
                                       {"guide", Value(int64_t(guide))},
                                       {"walks", Value(int64_t(walks))}});
    }
    static CBMapStoreInfoMap record(Value::Dictionary wiki, int64_t fileSize = 5 << 20,
                                    int64_t pois = 800) {
        return CBMapStoreInfoMap(Value::Dictionary{{"availableVersion", Value(NSDate::date())},
                                                   {"fileSize", Value(fileSize)},
                                                   {"numPOI", Value(pois)},
                                                   {"wiki", Value(std::move(wiki))}});
    }
};

// An empty "wiki" dictionary means no Wikipedia, not "every one of its zero
// languages has a guide and walks".
TEST_F(CBMapDetailStatisticsTest, AnEmptyWikiDictionaryOffersNoWikipedia) {
    auto info = record({});
    EXPECT_EQ(CBMapDetailStatistics::wikipediaLine(info, false),
              "No Wikipedia articles for this map yet.");
}

TEST_F(CBMapDetailStatisticsTest, LanguagesAreListedOnLinesOrWithCommas) {
    auto two = record({{"de", language(0, 0)}, {"en", language(0, 0)}});
    EXPECT_EQ(CBMapDetailStatistics::wikipediaLine(two, false),
              "de: 100 articles, 20 images, 3.0 MB\nen: 100 articles, 20 images, 3.0 MB");
    auto three = record({{"de", language(1, 0)}, {"en", language(0, 0)}, {"fr", language(0, 0)}});
    auto line = CBMapDetailStatistics::wikipediaLine(three, false);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_NE(line.find("3.0 MB, en: "), std::string::npos) << line;
}

TEST_F(CBMapDetailStatisticsTest, WalksEverywhereWinOverAMissingGuide) {
    auto info = record({{"de", language(0, 2)}, {"en", language(1, 1)}});
    EXPECT_EQ(CBMapDetailStatistics::wikipediaLine(info, false),
              "Wikipedia articles with a city guide and walks.");
    EXPECT_EQ(CBMapDetailStatistics::wikipediaLine(info, true),
              "The Wikipedia articles of this map are downloaded.");
}

TEST_F(CBMapDetailStatisticsTest, TinyOrEmptyRecordsAreInvalid) {
    auto good = record({});
    EXPECT_TRUE(CBMapDetailStatistics::isValid(&good));
    auto tiny = record({}, 40 * 1024);
    EXPECT_FALSE(CBMapDetailStatistics::isValid(&tiny));
    auto empty = record({}, 5 << 20, 0);
    EXPECT_FALSE(CBMapDetailStatistics::isValid(&empty));
    EXPECT_FALSE(CBMapDetailStatistics::isValid(nullptr));
}

}  // namespace
