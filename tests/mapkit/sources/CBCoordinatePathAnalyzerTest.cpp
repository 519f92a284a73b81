#include <gtest/gtest.h>

#include <cstdlib>

#include "CBGeoData/CBCoordinatePath.h"
#include "CoreLocation/CLGPXTrack.h"
#include "mapkit/CBCoordinatePathAnalyzer.h"

namespace {

std::shared_ptr<CLLocation> fix(double latitude, double longitude, double accuracy = 5) {
    return std::make_shared<CLLocation>(CLLocationCoordinate2DMake(latitude, longitude), 0,
                                        accuracy, 5, 0, 0, NSDate());
}

std::shared_ptr<CBCoordinatePath> pathOf(std::vector<CLLocationCoordinate2D> points) {
    std::vector<std::shared_ptr<CLLocation>> locations;
    for (const auto& p : points)
        locations.push_back(std::make_shared<CLLocation>(p.latitude, p.longitude));
    return std::make_shared<CBCoordinatePath>(locations);
}

struct Recorder : CBCoordinatePathAnalyzerDelegate {
    std::vector<CBCoordinatePathProgressInfo> infos;
    std::vector<float> progress;
    void progressChangedTo(float value) override { progress.push_back(value); }
    void coordinatePathProgressInfoChangedTo(const CBCoordinatePathProgressInfo& info) override {
        infos.push_back(info);
    }
};

}  // namespace

TEST(CBCoordinatePathAnalyzerTest, ReportsProgressAndDistancesAlongTheRiverwalk) {
    const char* data = std::getenv("KELVARA_TEST_DATA");
    const auto track = CLGPXTrack::trackWithContentsOfFile(std::string(data ? data : "tests/data") +
                                                           "/riverwalk-three-rivers.gpx");
    ASSERT_TRUE(track);
    std::vector<CLLocationCoordinate2D> points;
    for (const auto& point : track->points())
        points.push_back(point.coordinate);
    CBCoordinatePathAnalyzer analyzer(pathOf(points));
    auto recorder = std::make_shared<Recorder>();
    analyzer.setDelegate(recorder);
    ASSERT_TRUE(analyzer.cumulatedDistances());
    const double total = analyzer.totalDistance();
    EXPECT_GT(total, 500);

    // Walking the track: progress only grows, behind + ahead is the whole.
    for (const auto& p : points)
        analyzer.updateUserLocation(fix(p.latitude + 0.00001, p.longitude));
    ASSERT_EQ(recorder->infos.size(), points.size());
    for (size_t i = 1; i < recorder->infos.size(); ++i)
        EXPECT_GE(recorder->infos[i].progress, recorder->infos[i - 1].progress);
    const auto& middle = recorder->infos[points.size() / 2];
    EXPECT_NEAR(middle.distanceBehind + middle.distanceAhead, total, 1e-6);
    EXPECT_EQ(middle.closestIndex, points.size() / 2);
    EXPECT_DOUBLE_EQ(recorder->infos.back().progress, 1.0);
    EXPECT_DOUBLE_EQ(recorder->infos.back().distanceAhead, 0.0);
    EXPECT_EQ(recorder->progress.size(), points.size());
}

TEST(CBCoordinatePathAnalyzerTest, TiesKeepTheEarlierVertexAndBadFixesChangeNothing) {
    // About 1000 m along a meridian.
    CBCoordinatePathAnalyzer analyzer(pathOf({{50.0, 8.0}, {50.0 + 1000 / 111195.0, 8.0}}));
    EXPECT_NEAR(analyzer.totalDistance(), 1000, 5);
    EXPECT_FALSE(analyzer.distanceBehind());  // no fix yet
    analyzer.updateUserLocation(fix(50.0 + 500 / 111195.0, 8.0));
    EXPECT_EQ(analyzer.distanceBehind(), 0.0);
    EXPECT_EQ(analyzer.progressInfo().closestIndex, 0u);
    EXPECT_EQ(analyzer.progressInfo().progress, 0);

    analyzer.setDistanceFilter(50);
    analyzer.updateUserLocation(fix(50.0 + 980 / 111195.0, 8.0, -1));
    EXPECT_EQ(analyzer.progressInfo().closestIndex, 0u);
    analyzer.updateUserLocation(fix(50.0 + 530 / 111195.0, 8.0));
    EXPECT_EQ(analyzer.progressInfo().closestIndex, 0u);
    const auto used = fix(50.0 + 990 / 111195.0, 8.0);
    analyzer.updateUserLocation(used);
    EXPECT_EQ(analyzer.lastLocationNotified(), used);
    EXPECT_EQ(analyzer.progressInfo().closestIndex, 1u);
    EXPECT_EQ(analyzer.progressInfo().progress, 1);
    EXPECT_NEAR(*analyzer.distanceBehind(), 1000, 5);

    CBCoordinatePathAnalyzer single(pathOf({{50.0, 8.0}}));
    EXPECT_FALSE(single.cumulatedDistances());
    single.updateUserLocation(fix(50.0, 8.0));
    EXPECT_EQ(single.progressInfo().distanceBehind, 0);
    EXPECT_EQ(single.progressInfo().distanceAhead, -1);
    EXPECT_EQ(single.progressInfo().progress, -1);
    // A route without a length tells no distance walked.
    EXPECT_FALSE(single.distanceBehind());

    // A route of no segment at all (a walk whose segments were all empty)
    // stopped the program at the first fix.
    CBCoordinatePathAnalyzer none(std::make_shared<CBCoordinatePath>(size_t{0}));
    none.updateUserLocation(fix(50.0, 8.0));
    EXPECT_EQ(none.progressInfo().progress, -1);
    EXPECT_FALSE(none.distanceBehind());
}
