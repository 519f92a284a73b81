// Program entry. Until the map window exists, the program sets up the
// application's folders and the stored-path transformer, then says plainly
// what is not there yet.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CoreLocation/CLFixedLocationSource.h"
#include "CoreLocation/CLGPXLocationSource.h"
#include "CoreLocation/CLGpsdLocationSource.h"
#include "CoreLocation/CLLocationManager.h"
#include "CoreLocation/CLNoLocationSource.h"
#include "Foundation/NSPathUtilities.h"

namespace {
void printUsage() {
    std::puts(
        "usage: kelvara [--home DIR] [--location LAT,LON | --gpx FILE [--gpx-speed N]]\n"
        "  --home DIR       keep Documents, Caches, Library and the user defaults under DIR\n"
        "  --location LAT,LON  the position is this fixed point (degrees)\n"
        "  --gpx FILE       the position replays this GPX track in real time\n"
        "  --gpx-speed N    replay the track N times faster (default 1)\n"
        "Without --location or --gpx the position comes from gpsd when one is running.");
}

// "53.5569,13.261": a latitude within ±90 and a longitude within ±180.
std::optional<CLLocationCoordinate2D> parseCoordinate(const char* text) {
    char* end = nullptr;
    const double latitude = std::strtod(text, &end);
    if (end == text || *end != ',')
        return std::nullopt;
    const char* rest = end + 1;
    const double longitude = std::strtod(rest, &end);
    if (end == rest || *end != '\0')
        return std::nullopt;
    const CLLocationCoordinate2D coordinate{latitude, longitude};
    if (!std::isfinite(latitude) || !std::isfinite(longitude) ||
        !CLLocationCoordinate2DIsValid(coordinate))
        return std::nullopt;
    return coordinate;
}

std::optional<double> parseSpeed(const char* text) {
    char* end = nullptr;
    const double speed = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(speed) || speed <= 0)
        return std::nullopt;
    return speed;
}

int usageError(const char* message, const char* argument) {
    std::fprintf(stderr, "kelvara: %s '%s'\n", message, argument);
    printUsage();
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    std::optional<CLLocationCoordinate2D> fixedPoint;
    const char* gpxPath = nullptr;
    double gpxSpeed = 1.0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--home") == 0 && i + 1 < argc) {
            NSSetApplicationHome(argv[++i]);
        } else if (std::strcmp(argv[i], "--location") == 0 && i + 1 < argc) {
            fixedPoint = parseCoordinate(argv[++i]);
            if (!fixedPoint)
                return usageError("not a coordinate LAT,LON:", argv[i]);
        } else if (std::strcmp(argv[i], "--gpx") == 0 && i + 1 < argc) {
            gpxPath = argv[++i];
        } else if (std::strcmp(argv[i], "--gpx-speed") == 0 && i + 1 < argc) {
            const auto speed = parseSpeed(argv[++i]);
            if (!speed)
                return usageError("not a positive speed:", argv[i]);
            gpxSpeed = *speed;
        } else if (std::strcmp(argv[i], "--help") == 0) {
            printUsage();
            return 0;
        } else {
            std::fprintf(stderr, "kelvara: unknown argument '%s'\n", argv[i]);
            printUsage();
            return 2;
        }
    }

    if (fixedPoint && gpxPath)
        return usageError("choose one location source, not both:", "--gpx");

    // The position source every location manager shares, chosen once.
    std::shared_ptr<CLLocationSource> source;
    if (fixedPoint) {
        source = std::make_shared<CLFixedLocationSource>(*fixedPoint);
    } else if (gpxPath) {
        source = CLGPXLocationSource::createWithContentsOfFile(gpxPath, gpxSpeed);
        if (!source)
            return usageError("cannot replay the GPX track", gpxPath);
    } else if (auto gpsd = CLGpsdLocationSource::create()) {
        source = gpsd;
    } else {
        source = std::make_shared<CLNoLocationSource>();
    }
    CLLocationManager::setLocationSource(source);
    std::printf("Kelvara: location from %s\n", source->description().c_str());

    CBCoordinatePathValueTransformer::registerTransformer();
    const std::string documents = NSSearchPathForDirectory(NSSearchPathDirectory::Documents);

    std::printf("Kelvara: documents folder %s\n", documents.c_str());
    std::puts(
        "Kelvara has no map window yet: the foundation layer (geometry, coordinate paths,\n"
        "property lists, user defaults, dispatch) is built and tested, but map packages,\n"
        "rendering and the screens are not. Run scripts/test to see what works.");
    return 0;
}
