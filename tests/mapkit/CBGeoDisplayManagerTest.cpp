#include "mapkit/CBGeoDisplayManager.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "CBGeoData/GeoPackageFixture.h"
#include "CoreGraphics/CGContext.h"
#include "Foundation/NSBundle.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/MapkitTestSupport.h"

namespace {

// Notes every call in a journal shared by all sources of a test.
class RecordingSource : public CBGeoDataSource {
  public:
    RecordingSource(std::string name, std::vector<std::string>& journal)
        : name_(std::move(name)), journal_(journal) {}
    void drawTileRequestInContext(const CBTileRequest& request, CGContext&) override {
        journal_.push_back(name_ + " " + std::to_string(request.x) + "/" +
                           std::to_string(request.y) + "/" + std::to_string(request.zoom) + " " +
                           std::to_string(int(request.rect.size.width)) + " x" +
                           std::to_string(int(request.scale)));
        if (onDraw)
            onDraw();
    }
    void coordinateSystemChanged() override { journal_.push_back(name_ + " changed"); }

    std::function<void()> onDraw;

  private:
    std::string name_;
    std::vector<std::string>& journal_;
};

class CBGeoDisplayManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NSBundle::setMainBundlePath(sourceResourcesPath());
        CBDiskTileCache::setMainCacheDirectory(folder_.file("tiles"));
        CBDiskTileCache::setSqliteFilePath(folder_.file("CBDiskCache.sqlite"));
        manager_ = std::make_unique<CBGeoDisplayManager>();
    }
    void TearDown() override {
        if (auto cache = manager_->diskCache())
            cache->waitUntilIdle();
        manager_.reset();
        NSBundle::setMainBundlePath("");
    }

    std::shared_ptr<RecordingSource> source(const std::string& name) {
        return std::make_shared<RecordingSource>(name, journal_);
    }
    // Five sources "0" ... "4" in drawing order.
    std::vector<std::shared_ptr<RecordingSource>> addFive() {
        std::vector<std::shared_ptr<RecordingSource>> sources;
        for (int i = 0; i < 5; ++i) {
            sources.push_back(source(std::to_string(i)));
            manager_->addDatasource(sources.back());
        }
        return sources;
    }
    size_t indexOf(const std::shared_ptr<CBGeoDataSource>& source) const {
        auto list = manager_->dataSources();
        return std::find(list.begin(), list.end(), source) - list.begin();
    }

    TemporaryFolder folder_;
    std::unique_ptr<CBGeoDisplayManager> manager_;
    std::vector<std::string> journal_;
};

TEST_F(CBGeoDisplayManagerTest, StartsWithTheDefaultStyleAndACache) {
    ASSERT_NE(manager_->styleSheet(), nullptr);
    EXPECT_NE(manager_->styleSheet()->baseMapStyle(), nullptr);
    EXPECT_EQ(manager_->currentStylePlistPath(), CBGeoStyleSheet::defaultStylePlistPath());
    EXPECT_NE(manager_->diskCache(), nullptr);
    EXPECT_TRUE(manager_->dataSources().empty());
    EXPECT_TRUE(manager_->overlayDataSources().empty());

    manager_->disableDiskCache();
    EXPECT_EQ(manager_->diskCache(), nullptr);
}

TEST_F(CBGeoDisplayManagerTest, InsertingBelowPutsTheSourceUnderTheExistingOnesLowerNeighbour) {
    auto sources = addFive();
    auto below3 = source("below 3");
    manager_->insertDatasourceBelow(below3, sources[3]);
    EXPECT_EQ(indexOf(below3), 2u);
    EXPECT_EQ(indexOf(sources[2]), 3u);
    EXPECT_EQ(indexOf(sources[3]), 4u);

    // With the existing source second or first there is no place lower than
    // the first: the new source comes first and the list stays whole.
    auto below1 = source("below 1");
    manager_->insertDatasourceBelow(below1, sources[1]);
    EXPECT_EQ(indexOf(below1), 0u);
    EXPECT_EQ(indexOf(sources[0]), 1u);
    auto below0 = source("below 0");
    manager_->insertDatasourceBelow(below0, below1);
    EXPECT_EQ(indexOf(below0), 0u);
    EXPECT_EQ(indexOf(below1), 1u);
    auto stranger = source("stranger");
    auto belowStranger = source("below stranger");
    manager_->insertDatasourceBelow(belowStranger, stranger);
    EXPECT_EQ(indexOf(belowStranger), 0u);
    EXPECT_EQ(manager_->dataSources().size(), 9u);
}

TEST_F(CBGeoDisplayManagerTest, InsertingAboveFollowsTheExistingOneOrAppends) {
    auto sources = addFive();
    auto above1 = source("above 1");
    manager_->insertDatasourceAbove(above1, sources[1]);
    EXPECT_EQ(indexOf(above1), 2u);
    auto aboveLast = source("above last");
    manager_->insertDatasourceAbove(aboveLast, sources[4]);
    EXPECT_EQ(indexOf(aboveLast), 6u);
    auto aboveStranger = source("above stranger");
    manager_->insertDatasourceAbove(aboveStranger, source("stranger"));
    EXPECT_EQ(indexOf(aboveStranger), 7u);
}

TEST_F(CBGeoDisplayManagerTest, InsertingWithoutBothSourcesIsAProgrammingError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto existing = source("existing");
    manager_->addDatasource(existing);
    EXPECT_DEATH(manager_->insertDatasourceBelow(nullptr, existing),
                 "please provide both a datasource \\(\\(null\\)\\)");
    EXPECT_DEATH(manager_->insertDatasourceAbove(source("new"), nullptr),
                 "and an existing datasource \\(\\(null\\)\\)");
    EXPECT_EQ(manager_->dataSources().size(), 1u);
}

TEST_F(CBGeoDisplayManagerTest, DrawsEachSourceInOrderFromASnapshot) {
    auto first = source("first");
    auto second = source("second");
    manager_->addDatasource(first);
    manager_->addDatasource(second);
    // Removing a source while a tile is drawn takes effect with the next tile.
    first->onDraw = [&] { manager_->removeDatasource(second); };
    auto context = CGContext::createBitmapContext(4, 4);
    manager_->drawDataSourcesInRectForXYZAtScaleInContext(CGRectMake(0, 0, 256, 256), 3, 5, 12, 2,
                                                          *context);
    first->onDraw = nullptr;
    manager_->drawDataSourcesInRectForXYZAtScaleInContext(CGRectMake(0, 0, 256, 256), 4, 5, 12, 2,
                                                          *context);
    EXPECT_EQ(journal_, (std::vector<std::string>{"first 3/5/12 256 x2", "second 3/5/12 256 x2",
                                                  "first 4/5/12 256 x2"}));
}

TEST_F(CBGeoDisplayManagerTest, OverlaysDrawApartAndMissTheCoordinateSystemChange) {
    auto context = CGContext::createBitmapContext(4, 4);
    manager_->drawOverlayDataSourcesInRectForXYZAtScaleInContext(CGRectMake(0, 0, 256, 256), 0, 0,
                                                                 1, 1, *context);
    EXPECT_TRUE(journal_.empty());

    auto base = source("base");
    auto overlay = source("overlay");
    manager_->addDatasource(base);
    manager_->addOverlayDatasource(overlay);
    manager_->drawOverlayDataSourcesInRectForXYZAtScaleInContext(CGRectMake(0, 0, 256, 256), 0, 0,
                                                                 1, 1, *context);
    manager_->coordinateSystemChanged();
    EXPECT_EQ(journal_, (std::vector<std::string>{"overlay 0/0/1 256 x1", "base changed"}));
    manager_->removeOverlayDatasource(overlay);
    EXPECT_TRUE(manager_->overlayDataSources().empty());
}

TEST_F(CBGeoDisplayManagerTest, EveryThreadGetsItsOwnStyleSheetUntilTheStyleChanges) {
    auto mine = manager_->styleSheetForCurrentThread();
    EXPECT_EQ(manager_->styleSheetForCurrentThread(), mine);
    EXPECT_NE(mine, manager_->styleSheet());

    std::shared_ptr<CBGeoStyleSheet> theirs;
    std::thread([&] { theirs = manager_->styleSheetForCurrentThread(); }).join();
    ASSERT_NE(theirs, nullptr);
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(theirs->baseMapStyle(), mine->baseMapStyle());  // styles are shared

    // The same plist again changes nothing.
    EXPECT_FALSE(manager_->changeStyleToStylePlist(*manager_->currentStylePlistPath()));
    EXPECT_EQ(manager_->styleSheetForCurrentThread(), mine);

    const std::string copy = folder_.file("otherStyle.plist");
    std::filesystem::copy_file(*CBGeoStyleSheet::defaultStylePlistPath(), copy);
    EXPECT_TRUE(manager_->changeStyleToStylePlist(copy));
    EXPECT_EQ(manager_->currentStylePlistPath(), copy);
    auto fresh = manager_->styleSheetForCurrentThread();
    EXPECT_NE(fresh, mine);
    EXPECT_NE(fresh->baseMapStyle(), mine->baseMapStyle());
}

TEST_F(CBGeoDisplayManagerTest, WithoutAMasterSheetThreadsGetEmptyCopies) {
    manager_->setStyleSheet(nullptr);
    auto sheet = manager_->styleSheetForCurrentThread();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->baseMapStyle(), nullptr);
    EXPECT_EQ(sheet->bridgeBaseStyle(), nullptr);
    EXPECT_TRUE(sheet->styleForTypeInZoomDict().empty());
}

TEST_F(CBGeoDisplayManagerTest, WithoutADataManagerThereAreNoTiles) {
    EXPECT_EQ(manager_->getMapTilesForQuadKeys({123}), std::nullopt);
    EXPECT_EQ(manager_->getRefetchedMapTilesForQuadKeys({123}), std::nullopt);
    EXPECT_EQ(CBGeoDisplayManager::sortedElementsForMapTiles({}), std::nullopt);
}

// Element grouping over the sample city's tiles.
class CBGeoDisplayManagerPackageTest : public GeoPackageTest {};

int64_t centreQuadKey(int zoom) {
    // Neubrandenburg's market place.
    const double lat = 53.5574, lon = 13.2610;
    const double n = std::pow(2.0, zoom);
    const int64_t x = int64_t((lon + 180) / 360 * n);
    const double rad = lat * M_PI / 180;
    const int64_t y = int64_t((1 - std::asinh(std::tan(rad)) / M_PI) / 2 * n);
    return *CBGeoDataManager::quadKeyForTileXYZ(x, y, zoom);
}

TEST_F(CBGeoDisplayManagerPackageTest, GroupsElementsByLayerAndStyleId) {
    for (int zoom : {14, 16}) {
        auto tiles = manager_->mapTilesForQuadKeyOrParent(centreQuadKey(zoom));
        ASSERT_TRUE(tiles && !tiles->empty()) << zoom;
        auto layers = CBGeoDisplayManager::sortedElementsForMapTiles(*tiles);
        ASSERT_TRUE(layers.has_value());
        ASSERT_FALSE(layers->empty());
        if (zoom < 15) {
            EXPECT_EQ(layers->size(), 1u) << "one layer below zoom 15";
        }

        std::set<const CBGeoElement*> grouped;
        size_t withStyle = 0;
        std::set<const CBGeoElement*> all;
        for (const auto& tile : *tiles) {
            for (const auto& element : tile->elements()) {
                if (!all.insert(element.get()).second)
                    continue;
                auto ids = element->styleIds();
                if (ids && !ids->empty())
                    ++withStyle;
            }
        }
        for (const auto& layer : *layers) {
            for (const auto& [styleId, elements] : layer) {
                for (const auto& element : elements) {
                    auto ids = element->styleIds();
                    ASSERT_TRUE(ids.has_value());
                    EXPECT_NE(std::find(ids->begin(), ids->end(), styleId), ids->end());
                    grouped.insert(element.get());
                }
            }
        }
        EXPECT_EQ(grouped.size(), withStyle) << zoom;
    }
    manager_->unlockContextForCurrentThread();
}

}  // namespace
