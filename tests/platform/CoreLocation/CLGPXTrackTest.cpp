#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "CoreLocation/CLGPXTrack.h"

namespace {
std::string dataPath(const std::string& name) {
    const char* dir = std::getenv("KELVARA_TEST_DATA");
    return std::string(dir ? dir : "tests/data") + "/" + name;
}

std::optional<double> since1970(const char* text) {
    const auto date = CLGPXTrack::dateFromISO8601(text);
    if (!date)
        return std::nullopt;
    return date->timeIntervalSince1970();
}
}  // namespace

TEST(CLGPXTrackTest, ReadsTheRecordedWalk) {
    const auto track = CLGPXTrack::trackWithContentsOfFile(dataPath("riverwalk-three-rivers.gpx"));
    ASSERT_TRUE(track);
    const auto& points = track->points();
    ASSERT_EQ(points.size(), 56u);
    EXPECT_DOUBLE_EQ(points[0].coordinate.latitude, 41.941837);
    EXPECT_DOUBLE_EQ(points[0].coordinate.longitude, -85.634514);
    EXPECT_FALSE(points[0].elevation);
    ASSERT_TRUE(points[0].time && points[1].time);
    EXPECT_DOUBLE_EQ(track->intervalAfterPoint(0), 7.0);
    EXPECT_DOUBLE_EQ(track->intervalAfterPoint(55), 1.0);  // after the last point
    EXPECT_DOUBLE_EQ(points[55].time->timeIntervalSinceDate(*points[0].time), 425.0);
}

TEST(CLGPXTrackTest, PointsElevationAndFallbacks) {
    // Single and double quotes, a self-closing point, elevation, a point without time,
    // and an attribute whose name ends in "lat" that is not the latitude.
    const auto track = CLGPXTrack::trackWithString(
        "<gpx><trk><trkseg>"
        "<trkpt xlat='9' lat='53.5' lon=\"13.25\"><ele> 17.5 </ele>"
        "<time>2020-01-01T00:00:00Z</time></trkpt>"
        "<trkpt lat='53.6' lon='13.3'/>"
        "<trkpt lat=\"53.7\" lon=\"13.4\"><time>2020-01-01T00:00:00Z</time></trkpt>"
        "</trkseg></trk></gpx>");
    ASSERT_TRUE(track);
    ASSERT_EQ(track->points().size(), 3u);
    EXPECT_DOUBLE_EQ(track->points()[0].coordinate.latitude, 53.5);
    EXPECT_DOUBLE_EQ(*track->points()[0].elevation, 17.5);
    EXPECT_FALSE(track->points()[1].time);
    // A missing time, or one that does not move on, counts one second.
    EXPECT_DOUBLE_EQ(track->intervalAfterPoint(0), 1.0);
    EXPECT_DOUBLE_EQ(track->intervalAfterPoint(1), 1.0);

    // Route points stand in for a track when there is none; <trkptx> is no point.
    const auto route = CLGPXTrack::trackWithString(
        "<gpx><trkptx lat='1' lon='1'/><rte><rtept lat='1' lon='2'/><rtept lat='3' "
        "lon='4'></rtept></rte></gpx>");
    ASSERT_TRUE(route);
    ASSERT_EQ(route->points().size(), 2u);
    EXPECT_DOUBLE_EQ(route->points()[1].coordinate.longitude, 4);
}

TEST(CLGPXTrackTest, RejectsBrokenFiles) {
    for (const char* text : {
             "",
             "<gpx></gpx>",
             "<gpx><trkpt lat='91' lon='0'/></gpx>",
             "<gpx><trkpt lat='1' lon='-180.5'/></gpx>",
             "<gpx><trkpt lat='1'/></gpx>",
             "<gpx><trkpt lat='abc' lon='1'/></gpx>",
             "<gpx><trkpt lat='1e999' lon='1'/></gpx>",
             "<gpx><trkpt lat='nan' lon='1'/></gpx>",
             "<gpx><trkpt lat='1' lon='2'><time>2020",
             "<gpx><trkpt lat='1' lon='2'",
             "<gpx><trkpt lat='1 lon='2'/></gpx>",
             "<trkpt",
         }) {
        EXPECT_FALSE(CLGPXTrack::trackWithString(text)) << text;
    }
    EXPECT_FALSE(CLGPXTrack::trackWithContentsOfFile(dataPath("no-such-file.gpx")));
}

TEST(CLGPXTrackTest, ISO8601Dates) {
    EXPECT_EQ(since1970("1970-01-01T00:00:00Z"), 0.0);
    EXPECT_EQ(since1970("2024-05-18T09:30:00Z"), 1716024600.0);
    EXPECT_EQ(since1970("2024-05-18T11:30:00+02:00"), 1716024600.0);
    EXPECT_EQ(since1970("2024-05-18T04:00:00-05:30"), 1716024600.0);
    EXPECT_NEAR(*since1970("2024-05-18T09:30:00.25Z"), 1716024600.25, 1e-6);
    EXPECT_EQ(since1970("2024-05-18T09:30:00"), 1716024600.0);  // no zone: UTC
    for (const char* bad :
         {"", "2024-05-18", "2024-13-18T09:30:00Z", "2024-05-18T24:00:00Z", "2024-05-18T09:30:00.Z",
          "2024-05-18T09:30:00+2", "2024-05-18X09:30:00Z", "2024-05-18T09:30:00Zjunk",
          "20240518T093000Z"}) {
        EXPECT_FALSE(since1970(bad)) << bad;
    }
}
