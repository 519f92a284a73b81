// Program entry: reads the application's options, chooses the position
// source and hands the application delegate to the host.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CoreLocation/CLFixedLocationSource.h"
#include "CoreLocation/CLGPXLocationSource.h"
#include "CoreLocation/CLGpsdLocationSource.h"
#include "CoreLocation/CLLocationManager.h"
#include "CoreLocation/CLNoLocationSource.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "Host/HostApplication.h"
#include "Host/HostOptions.h"
#include "app/CBHomeLock.h"
#include "app/CBHomeServices.h"
#include "app/CBHomeStart.h"
#include "app/CBKelvaraLink.h"
#include "app/CBKelvaraSharedAppDelegate.h"
#include "packages/CBMapStoreURLManager.h"

namespace {
void printUsage() {
    std::puts(
        "usage: kelvara [--home DIR] [--map FILE]\n"
        "               [--location LAT,LON[,ACCURACY] [--heading DEG[,ACC]] | --gpx FILE\n"
        "               [--gpx-speed N]]\n"
        "               [--store-url URL] [--sdk-url URL] [--tile-service HOST:PORT]\n"
        "               [--phone | --pad] [--landscape] [--scale N] [--display WxH]\n"
        "               [--screenshot FILE] [kelvara2://LINK]\n"
        "               [--scenario FILE [--scenario-output DIR]] [--keyboard-height N]\n"
        "               [--services PROGRAM]\n"
        "  --home DIR       keep Documents, Caches, Library and the user defaults under DIR\n"
        "  --phone, --pad   the device: a phone of 320 x 568 points (default) or a pad of\n"
        "                   768 x 1024; --landscape turns it on its side\n"
        "  --scale N        pixels per point (1 to 4); the window otherwise takes the largest\n"
        "                   whole scale up to 2 that fits the display (cut to it while a\n"
        "                   phone keeps 320 x 480 points and a pad all but 64 points a\n"
        "                   side), and can be resized\n"
        "  --display WxH    fit the window to a display of W x H pixels; a screenshot or\n"
        "                   scenario then sees the screen that window would show\n"
        "  --map FILE       show this map package store (default: the sample city)\n"
        "  --screenshot FILE  render the start view to a PNG instead of opening a window\n"
        "  --scenario FILE  play a scenario script headless (docs/SCENARIOS.md); screenshots\n"
        "                   with relative paths go to --scenario-output DIR\n"
        "  --keyboard-height N  the on-screen keyboard's height in points (default 0)\n"
        "  --location LAT,LON[,ACCURACY]  the position is this fixed point (degrees), reported\n"
        "                   ACCURACY metres accurate (default 30)\n"
        "  --heading DEG[,ACC]  with --location: a compass facing DEG degrees, read with\n"
        "                   ACC degrees of accuracy (default 5; below 0 it needs calibrating)\n"
        "  --gpx FILE       the position replays this GPX track in real time\n"
        "  --gpx-speed N    replay the track N times faster (default 1)\n"
        "  --store-url URL  the map store server (default: the user default MapStoreBaseURL);\n"
        "                   on an empty home the sample city is installed from it\n"
        "  --sdk-url URL    send crash reports and usage data to the SDK service at URL\n"
        "  --tile-service HOST:PORT  the online map tile service (kept as the user default\n"
        "                   CBOnlineTileServiceHost; default 127.0.0.1:8091)\n"
        "  kelvara2://...   open this link to a place once started\n"
        "  --services PROGRAM  once this start holds its home and will run, run PROGRAM\n"
        "                   with the home's folder: it starts the local services and\n"
        "                   writes this program's arguments for them, a line each, then an\n"
        "                   empty line; it ends with this Kelvara, however that ends\n"
        "                   (scripts/run starts so)\n"
        "When Kelvara already runs on this home, this start hands over to it and ends:\n"
        "the running one opens the link, or comes to the front without one, within 10 s.\n"
        "A screenshot or scenario waits up to 10 s for a home in use to be free, then ends.\n"
        "Without --location or --gpx the position comes from gpsd when one is running.");
}

// "90" or "90,-1": a direction from 0 to 360 and the accuracy it is read with.
std::optional<std::pair<double, double>> parseHeading(const char* text) {
    char* end = nullptr;
    const double direction = std::strtod(text, &end);
    if (end == text || !std::isfinite(direction) || direction < 0 || direction > 360)
        return std::nullopt;
    double accuracy = 5;
    if (*end == ',') {
        const char* rest = end + 1;
        accuracy = std::strtod(rest, &end);
        if (end == rest || !std::isfinite(accuracy))
            return std::nullopt;
    }
    if (*end != '\0')
        return std::nullopt;
    return std::pair{direction, accuracy};
}

std::optional<double> parseSpeed(const char* text) {
    char* end = nullptr;
    const double speed = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(speed) || speed <= 0)
        return std::nullopt;
    return speed;
}

// Why the value is no address for a service's option (--store-url,
// --sdk-url, --tile-service), or nullptr.
const char* whyNoAddress(const char* option, const std::string& value) {
    if (std::strcmp(option, "--tile-service") == 0)
        return value.find_first_of("/ ") != std::string::npos ||
                       value.find(':') == std::string::npos
                   ? "not a HOST:PORT"
                   : nullptr;
    return value.rfind("http://", 0) != 0 && value.rfind("https://", 0) != 0 ? "not an http URL"
                                                                             : nullptr;
}

int usageError(const char* message, const char* argument) {
    std::fprintf(stderr, "kelvara: %s '%s'\n", message, argument);
    printUsage();
    return 2;
}

// The sample city the build makes: <build>/packages beside <build>/app/kelvara.
std::string sampleCityStore() {
    std::error_code error;
    auto binary = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return (binary.parent_path().parent_path() / "packages" / "neubrandenburg" /
            "neubrandenburg.sqlite")
        .string();
}

// The home this process holds, from before anything in it is read to the
// process's end. Constant-initialised, so it is released after every exit
// handler that may still write the home.
std::unique_ptr<CBHomeLock> heldHome;

// The local services this start brought up (--services): ended before the
// home is let go, so the next start on it finds their ports free.
std::unique_ptr<CBHomeServices> homeServices;

// Set when this start went to the Kelvara already running: it ends well.
bool handedOver = false;

// What the application's own arguments ask for.
struct LaunchArguments {
    CBLaunchOptions options;
    std::shared_ptr<CLFixedLocationSource> fixedPoint;
    std::optional<std::pair<double, double>> compass;
    std::optional<std::string> gpxPath;
    double gpxSpeed = 1.0;
    std::optional<std::string> tileService;
    std::optional<std::string> servicesCommand;
};

// Reads the application's own arguments (the host has taken its options)
// and sets the home they name; nullopt after a usage error, which it reports.
std::optional<LaunchArguments> readArguments(const std::vector<std::string>& arguments) {
    LaunchArguments asked;
    auto& [options, fixedPoint, compass, gpxPath, gpxSpeed, tileService, servicesCommand] = asked;
    options.sampleStorePath = sampleCityStore();
    for (size_t i = 1; i < arguments.size(); ++i) {
        const char* argument = arguments[i].c_str();
        const char* value = i + 1 < arguments.size() ? arguments[i + 1].c_str() : nullptr;
        if (std::strcmp(argument, "--home") == 0 && value) {
            NSSetApplicationHome(value);
            ++i;
        } else if (std::strcmp(argument, "--map") == 0 && value) {
            std::error_code error;
            if (!std::filesystem::is_regular_file(value, error)) {
                usageError("no map package store at", value);
                return std::nullopt;
            }
            options.mapPath = value;
            ++i;
        } else if ((std::strcmp(argument, "--sdk-url") == 0 ||
                    std::strcmp(argument, "--store-url") == 0) &&
                   value) {
            const std::string url = value;
            ++i;
            if (const char* why = whyNoAddress(argument, url)) {
                usageError((std::string(why) + ":").c_str(), value);
                return std::nullopt;
            }
            if (std::strcmp(argument, "--sdk-url") == 0)
                options.sdkURL = url;
            else
                CBMapStoreURLManager::setBaseURL(url);
        } else if (std::strcmp(argument, "--tile-service") == 0 && value) {
            tileService = value;
            ++i;
            if (const char* why = whyNoAddress(argument, *tileService)) {
                usageError((std::string(why) + ":").c_str(), value);
                return std::nullopt;
            }
        } else if (std::strcmp(argument, "--services") == 0 && value) {
            servicesCommand = value;
            ++i;
        } else if (CBKelvaraLink::isKelvaraLink(argument)) {
            options.link = argument;
        } else if (std::strcmp(argument, "--location") == 0 && value) {
            fixedPoint = CLFixedLocationSource::createWithText(value);
            ++i;
            if (!fixedPoint) {
                usageError("not a position LAT,LON[,ACCURACY]:", value);
                return std::nullopt;
            }
        } else if (std::strcmp(argument, "--heading") == 0 && value) {
            compass = parseHeading(value);
            ++i;
            if (!compass) {
                usageError("not a heading DEGREES[,ACCURACY]:", value);
                return std::nullopt;
            }
        } else if (std::strcmp(argument, "--gpx") == 0 && value) {
            gpxPath = value;
            ++i;
        } else if (std::strcmp(argument, "--gpx-speed") == 0 && value) {
            const auto speed = parseSpeed(value);
            ++i;
            if (!speed) {
                usageError("not a positive speed:", value);
                return std::nullopt;
            }
            gpxSpeed = *speed;
        } else {
            usageError("unknown argument", argument);
            return std::nullopt;
        }
    }
    if (fixedPoint && gpxPath) {
        usageError("choose one location source, not both:", "--gpx");
        return std::nullopt;
    }
    if (compass && !fixedPoint) {
        usageError("a compass needs a fixed point (--location):", "--heading");
        return std::nullopt;
    }
    return asked;
}

// Starts the local services of the home this start holds and reads the
// arguments again with their addresses first, so an address given to this
// start wins; nullopt when they do not start, which it reports.
std::optional<LaunchArguments> readArgumentsWithServices(const std::vector<std::string>& arguments,
                                                         const std::string& command) {
    std::string error;
    const std::string folder = std::filesystem::path(NSUserDefaultsFilePath()).parent_path();
    homeServices = CBHomeServices::start(command, folder, &error);
    if (!homeServices) {
        std::fprintf(stderr, "kelvara: the local services did not start: %s\n", error.c_str());
        return std::nullopt;
    }
    const auto& addresses = homeServices->arguments();
    // Only their addresses: nothing that would choose another home or map.
    for (size_t i = 0; i < addresses.size(); i += 2) {
        const std::string& name = addresses[i];
        if ((name != "--store-url" && name != "--sdk-url" && name != "--tile-service") ||
            i + 1 == addresses.size()) {
            std::fprintf(stderr,
                         "kelvara: %s gave an argument that is no service's address: '%s'\n",
                         command.c_str(), name.c_str());
            return std::nullopt;
        }
        if (const char* why = whyNoAddress(name.c_str(), addresses[i + 1])) {
            std::fprintf(stderr, "kelvara: %s gave %s '%s', %s\n", command.c_str(), name.c_str(),
                         addresses[i + 1].c_str(), why);
            return std::nullopt;
        }
    }
    std::vector<std::string> withServices{arguments.front()};
    withServices.insert(withServices.end(), addresses.begin(), addresses.end());
    withServices.insert(withServices.end(), arguments.begin() + 1, arguments.end());
    return readArguments(withServices);
}

// Reads the application's arguments and starts it on its home: nullptr
// after a usage error, which it reports, or once this start was handed over
// to a running Kelvara or found its home held. A headless start (screenshot,
// scenario) draws the link itself.
std::shared_ptr<UIApplicationDelegate> launch(const std::vector<std::string>& arguments,
                                              bool headless) {
    auto asked = readArguments(arguments);
    if (!asked)
        return nullptr;
    switch (CBHomeStart::holdOrHandOver(asked->options.link, headless, heldHome)) {
        case CBHomeStart::Outcome::Run:
            break;
        case CBHomeStart::Outcome::HandedOver:
            handedOver = true;
            return nullptr;
        case CBHomeStart::Outcome::Ended:
            return nullptr;
    }
    if (asked->servicesCommand) {
        asked = readArgumentsWithServices(arguments, *asked->servicesCommand);
        if (!asked)
            return nullptr;
    }
    auto& [options, fixedPoint, compass, gpxPath, gpxSpeed, tileService, servicesCommand] = *asked;

    // Stored once the home is known, so it lands in this home's defaults.
    if (tileService)
        NSUserDefaults::standardUserDefaults()->setObjectForKey(Value(*tileService),
                                                                "CBOnlineTileServiceHost");

    // The position source every location manager shares, chosen once.
    std::shared_ptr<CLLocationSource> source;
    if (fixedPoint) {
        if (compass)
            fixedPoint->setCompass(compass->first, compass->second);
        source = fixedPoint;
    } else if (gpxPath) {
        source = CLGPXLocationSource::createWithContentsOfFile(*gpxPath, gpxSpeed);
        if (!source) {
            usageError("cannot replay the GPX track", gpxPath->c_str());
            return nullptr;
        }
    } else if (auto gpsd = CLGpsdLocationSource::create()) {
        source = gpsd;
    } else {
        source = std::make_shared<CLNoLocationSource>();
    }
    CLLocationManager::setLocationSource(source);
    // Location use counts as allowed exactly when a source is configured.
    CLLocationManager::setAuthorizationStatus(std::dynamic_pointer_cast<CLNoLocationSource>(source)
                                                  ? kCLAuthorizationStatusDenied
                                                  : kCLAuthorizationStatusAuthorizedWhenInUse);
    std::printf("Kelvara: location from %s\n", source->description().c_str());

    return std::make_shared<CBKelvaraSharedAppDelegate>(std::move(options));
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            printUsage();
            return 0;
        }
    }
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 || std::strcmp(argv[i], "--scenario") == 0)
            headless = true;
    }
    const int status = HostApplicationMain(
        argc, argv, [headless](const auto& arguments) { return launch(arguments, headless); });
    homeServices.reset();
    // Background work (tile pre-fill, page layout, image fetches) stops
    // before the exit handlers tear down the fonts and stores it uses.
    DispatchQueue::exitProgram(handedOver ? 0 : status);
}
