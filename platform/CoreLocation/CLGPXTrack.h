#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CoreLocation/CLLocationCoordinate2D.h"
#include "Foundation/NSDate.h"

// The points of a GPX file (track points, else route points) in file order.
// A reader for the files people record on walks, not a full XML parser: it
// reads the lat and lon attributes and the <ele> and <time> children of each
// point. A point with a missing or out-of-range coordinate, a file without
// points or one over kMaximumFileSize gives nullopt and a logged error.
struct CLGPXPoint {
    CLLocationCoordinate2D coordinate;
    std::optional<double> elevation;  // metres
    std::optional<NSDate> time;
};

class CLGPXTrack {
  public:
    static constexpr size_t kMaximumFileSize = 64 * 1024 * 1024;

    static std::optional<CLGPXTrack> trackWithContentsOfFile(const std::string& path);
    static std::optional<CLGPXTrack> trackWithString(std::string_view text);

    const std::vector<CLGPXPoint>& points() const { return points_; }
    // Seconds from point `index` to the next one: the difference of their
    // times when both have one and it is positive, else 1 s.
    double intervalAfterPoint(size_t index) const;

    // ISO 8601 as GPX writes it: "2024-05-18T09:30:00Z", optional fraction
    // of seconds, "Z" or an offset "+02:00"; nullopt for anything else.
    static std::optional<NSDate> dateFromISO8601(std::string_view text);

  private:
    std::vector<CLGPXPoint> points_;
};
