#include "Host/HostOptions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "UIKit/UIImagePickerController.h"
#include "UIKit/UIKeyboard.h"
#include "UIKit/UIScreen.h"

namespace {

CGSize oriented(CGSize portrait, bool landscape) {
    return landscape ? CGSize{portrait.height, portrait.width} : portrait;
}

}  // namespace

CGSize HostOptions::screenSize() const {
    return oriented(idiom == UIUserInterfaceIdiomPad ? CGSize{768, 1024} : CGSize{320, 568},
                    landscape);
}

CGSize HostOptions::smallestScreenSize() const {
    return oriented(
        idiom == UIUserInterfaceIdiomPad ? CGSize{768 - 64, 1024 - 64} : CGSize{320, 480},
        landscape);
}

std::optional<HostOptions> HostParseArguments(int argc, const char* const* argv,
                                              std::string* error) {
    HostOptions options;
    if (argc > 0 && argv[0]) {
        options.applicationArguments.emplace_back(argv[0]);
    }
    auto fail = [&](const std::string& message) -> std::optional<HostOptions> {
        if (error) {
            *error = message;
        }
        return std::nullopt;
    };
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--phone") == 0) {
            options.idiom = UIUserInterfaceIdiomPhone;
        } else if (std::strcmp(arg, "--pad") == 0) {
            options.idiom = UIUserInterfaceIdiomPad;
        } else if (std::strcmp(arg, "--landscape") == 0) {
            options.landscape = true;
        } else if (std::strcmp(arg, "--scale") == 0) {
            if (i + 1 >= argc) {
                return fail("--scale needs a number");
            }
            char* end = nullptr;
            const double scale = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end != '\0' || !(scale >= 1 && scale <= 4)) {
                return fail(std::string("--scale must be between 1 and 4, not ") + argv[i]);
            }
            options.scale = scale;
            options.scaleGiven = true;
        } else if (std::strcmp(arg, "--display") == 0) {
            if (i + 1 >= argc) {
                return fail("--display needs a size, such as 1366x768");
            }
            int width = 0, height = 0, consumed = 0;
            const char* size = argv[++i];
            if (std::sscanf(size, "%dx%d%n", &width, &height, &consumed) != 2 ||
                size[consumed] != '\0' || width < 1 || height < 1 || width > 16384 ||
                height > 16384) {
                return fail(std::string("--display must be WIDTHxHEIGHT in pixels, not ") + size);
            }
            options.display = CGSize{CGFloat(width), CGFloat(height)};
        } else if (std::strcmp(arg, "--screenshot") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                return fail("--screenshot needs a file name");
            }
            options.screenshotPath = argv[++i];
        } else if (std::strcmp(arg, "--scenario") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                return fail("--scenario needs a file name");
            }
            options.scenarioPath = argv[++i];
        } else if (std::strcmp(arg, "--scenario-output") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                return fail("--scenario-output needs a folder");
            }
            options.scenarioOutput = argv[++i];
        } else if (std::strcmp(arg, "--pictures") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                return fail("--pictures needs a folder");
            }
            options.picturesDirectory = argv[++i];
        } else if (std::strcmp(arg, "--keyboard-height") == 0) {
            if (i + 1 >= argc) {
                return fail("--keyboard-height needs a number");
            }
            char* end = nullptr;
            const double height = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end != '\0' || !(height >= 0 && height <= 600)) {
                return fail(std::string("--keyboard-height must be between 0 and 600, not ") +
                            argv[i]);
            }
            options.keyboardHeight = height;
        } else {
            options.applicationArguments.emplace_back(arg);
        }
    }
    return options;
}

void HostApplyOptions(const HostOptions& options) {
    auto screen = UIScreen::mainScreen();
    screen->setBoundsSize(options.screenSize());
    screen->setScale(options.scale);
    UIDevice::currentDevice()->setUserInterfaceIdiom(options.idiom);
    UIKeyboardSetVirtualHeight(options.keyboardHeight);
    UIImagePickerController::setPicturesDirectory(options.picturesDirectory);
}
