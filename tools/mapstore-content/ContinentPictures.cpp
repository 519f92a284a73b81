#include "ContinentPictures.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

#include "CoreGraphics/CGContext.h"
#include "Foundation/NSData+Files.h"
#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"
#include "WorldOutlines.h"

namespace {

// What a group's picture shows: a frame of the globe, and the land in it or
// only one country (ISO 3166 numeric id).
struct Frame {
    const char* groupCode;
    double west, south, east, north;
    const char* countryId;
};

// The contiguous USA: Alaska and Hawaii would shrink it to a speck.
const Frame kFrames[] = {
    {"europe", -11, 34, 42, 71.5, nullptr},
    {"US", -125, 24.5, -66.5, 49.5, "840"},
};

constexpr double kMarginPoints = 1.5;
constexpr double kInk[] = {0.25, 0.38, 0.55, 1.0};

bool writePicture(const std::vector<WorldOutlines::Ring>& rings, const Frame& frame, int scale,
                  const std::string& path, std::string* error) {
    const int pixels = ContinentPictures::kSize * scale;
    auto context = CGContext::createBitmapContext(pixels, pixels);
    if (!context) {
        *error = "cannot make a bitmap context";
        return false;
    }
    // Longitudes shrink with the cosine of the frame's middle latitude, as
    // on a map of that area.
    const double aspect = std::cos((frame.south + frame.north) / 2 * M_PI / 180);
    const double width = (frame.east - frame.west) * aspect;
    const double height = frame.north - frame.south;
    const double room = pixels - 2 * kMarginPoints * scale;
    const double unit = room / std::max(width, height);
    const double left = (pixels - width * unit) / 2;
    const double top = (pixels - height * unit) / 2;
    // Bitmap rows run top down here: north at the top.
    context->translateCTM(0, pixels);
    context->scaleCTM(1, -1);
    context->clipToRect(CGRectMake(left, top, width * unit, height * unit));
    for (const auto& ring : rings) {
        bool first = true;
        for (const auto& point : ring) {
            const CGFloat x = CGFloat(left + (point.longitude - frame.west) * aspect * unit);
            const CGFloat y = CGFloat(top + (frame.north - point.latitude) * unit);
            if (first)
                context->moveToPoint(x, y);
            else
                context->addLineToPoint(x, y);
            first = false;
        }
        context->closePath();
    }
    context->setRGBFillColor(kInk[0], kInk[1], kInk[2], kInk[3]);
    context->eoFillPath();

    std::vector<uint8_t> encoded;
    auto destination = CGImageDestination::createWithData(&encoded, kUTTypePNG);
    CGImageRef image = context->createImage();
    if (!image || !destination) {
        *error = "cannot encode the picture " + path;
        return false;
    }
    destination->addImage(image);
    if (!destination->finalize() || !writeDataToFile(encoded, path, true)) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

namespace ContinentPictures {

bool writePictures(const WorldOutlines& world, const std::string& groupCode,
                   const std::string& resourcesDirectory, std::string* error) {
    const Frame* frame = nullptr;
    for (const Frame& candidate : kFrames)
        if (groupCode == candidate.groupCode)
            frame = &candidate;
    if (!frame) {
        *error = "the catalogue group " + groupCode + " has no picture frame";
        return false;
    }
    const auto rings = frame->countryId ? world.countryRings(frame->countryId) : world.landRings();
    if (rings.empty()) {
        *error = "the atlas has no outline for the group " + groupCode;
        return false;
    }
    const std::filesystem::path folder = std::filesystem::path(resourcesDirectory) / "continents";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::string base = (folder / ("cont_" + groupCode)).string();
    return writePicture(rings, *frame, 1, base + ".png", error) &&
           writePicture(rings, *frame, 2, base + "@2x.png", error);
}

}  // namespace ContinentPictures
