#include "Host/HostApplication.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "Dispatch/NSRunLoop.h"
#include "Dispatch/NSTimer.h"
#include "Foundation/NSLog.h"
#include "Host/HostHeadingCalibrationPanel.h"
#include "Host/HostLogRecorder.h"
#include "Host/HostOptions.h"
#include "Host/HostRenderer.h"
#include "Host/HostScenario.h"
#include "Host/HostScreenSaver.h"
#include "Host/HostWindow.h"
#include "Host/HostWindowPlacement.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"

namespace {

// Time the application gets after launch to settle (posted work, tiles)
// before a headless screenshot.
constexpr double kSettleSeconds = 1.0;

int screenshot(const std::shared_ptr<UIWindow>& window, const HostOptions& options) {
    NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(kSettleSeconds));
    HostRenderer renderer(window, options.scale);
    if (!renderer.writePNG(*options.screenshotPath)) {
        return 1;
    }
    return 0;
}

// Reads the scenario before launch, so a bad script fails at once.
std::optional<std::string> readScenario(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "Host: cannot read the scenario %s\n", path.c_str());
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    std::string error;
    if (!HostParseScenario(text.str(), &error)) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
        return std::nullopt;
    }
    return text.str();
}

int playScenario(const std::shared_ptr<UIWindow>& window, const HostOptions& options,
                 const std::string& script) {
    HostScenarioSettings settings;
    settings.name = *options.scenarioPath;
    settings.outputDirectory = options.scenarioOutput;
    settings.scale = options.scale;
    const HostScenarioResult result = HostRunScenario(window, script, settings);
    if (!result.passed) {
        std::fprintf(stderr, "%s\n", result.message.c_str());
        return 1;
    }
    std::printf("%s: passed\n", options.scenarioPath->c_str());
    return 0;
}

// A desktop window must fit the display it opens on: the screen takes the
// scale and size chosen for it there. False when there is no display.
bool fitScreenToDisplay(HostOptions& options) {
    const std::optional<CGRect> area =
        options.display ? CGRect{CGPointZero, *options.display} : HostWindow::usableDisplayArea();
    if (!area) {
        return false;
    }
    const CGFloat scale = options.scaleGiven ? options.scale
                                             : HostChooseWindowScale(options.screenSize(),
                                                                     options.smallestScreenSize(),
                                                                     options.scale, *area, {});
    const HostWindowPlacement placement = HostPlaceWindow(options.screenSize(), scale, *area, {});
    options.scale = placement.scale;
    auto screen = UIScreen::mainScreen();
    screen->setScale(placement.scale);
    screen->setBoundsSize(placement.size);
    return true;
}

}  // namespace

int HostApplicationMain(int argc, const char* const* argv, const HostDelegateFactory& factory) {
    std::string error;
    std::optional<HostOptions> options = HostParseArguments(argc, argv, &error);
    if (!options) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    HostApplyOptions(*options);
    HostInstallHeadingCalibrationPanel();
    const bool headless = options->scenarioPath || options->screenshotPath;
    if ((!headless || options->display) && !fitScreenToDisplay(*options)) {
        return 1;
    }
    std::optional<std::string> scenario;
    if (options->scenarioPath && !(scenario = readScenario(*options->scenarioPath))) {
        return 2;
    }
    // A scenario's expect-logged steps count from the program's start.
    if (scenario) {
        HostStartRecordingLog();
    }
    std::shared_ptr<UIApplicationDelegate> delegate =
        factory ? factory(options->applicationArguments) : nullptr;
    if (!delegate) {
        return 1;
    }
    auto application = UIApplication::sharedApplication();
    application->setDelegate(delegate);
    if (!application->finishLaunchingWithOptions(Value())) {
        return 1;
    }
    application->becomeActive();
    std::shared_ptr<UIWindow> window = application->keyWindow();
    if (!window) {
        window = delegate->window;
    }
    if (!window) {
        NSLogWithLevel(NSLogLevel::Error, "Host: the application shows no window");
        return 1;
    }
    if (scenario) {
        const int status = playScenario(window, *options, *scenario);
        application->terminate();
        return status;
    }
    if (options->screenshotPath) {
        const int status = screenshot(window, *options);
        application->terminate();
        return status;
    }
    std::unique_ptr<HostWindow> hostWindow = HostWindow::open(window, options->scale, "Kelvara");
    if (!hostWindow) {
        return 1;
    }
    auto runLoop = NSRunLoop::mainRunLoop();
    // SDL's events are polled between the run loop's other work, as often
    // as frames are drawn: more would only cost an idle window time.
    auto poll = NSTimer::scheduledTimerWithTimeInterval(1.0 / 60, true, [&](NSTimer&) {
        if (!hostWindow->pumpEvents()) {
            runLoop->stop();
        }
        HostFollowIdleTimer(*application);
        // A notification the user chose brings the window back.
        if (application->takeActivationRequest()) {
            hostWindow->raise();
        }
    });
    hostWindow->present();
    runLoop->run();
    poll->invalidate();
    application->terminate();
    return 0;
}
