#include "Host/HostScenario.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "Dispatch/NSRunLoop.h"
#include "Host/HostKeyboard.h"
#include "Host/HostLogRecorder.h"
#include "Host/HostRenderer.h"
#include "Host/HostScreenshot.h"
#include "Host/HostTouchInput.h"
#include "QuartzCore/CAFrameClock.h"
#include "QuartzCore/CATiledLayer.h"
#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"

namespace {

bool hasPendingTiles(const CALayer& layer) {
    if (auto tiled = dynamic_cast<const CATiledLayer*>(&layer)) {
        if (tiled->pendingTileCount() > 0) {
            return true;
        }
    }
    for (const auto& sublayer : layer.sublayers()) {
        if (!sublayer->isHidden() && hasPendingTiles(*sublayer)) {
            return true;
        }
    }
    return false;
}

// A tap recogniser still waiting to learn whether a second tap follows:
// the single tap it may yet report is work to come.
bool hasUndecidedGesture(const UIView& view) {
    for (const auto& recognizer : view.gestureRecognizers()) {
        if (recognizer->isEnabled() && recognizer->isTracking()) {
            return true;
        }
    }
    for (const auto& subview : view.subviews()) {
        if (!subview->isHidden() && hasUndecidedGesture(*subview)) {
            return true;
        }
    }
    return false;
}

class ScenarioPlayer {
  public:
    ScenarioPlayer(std::shared_ptr<UIWindow> window, const HostScenarioSettings& settings)
        : window_(std::move(window)),
          settings_(settings),
          renderer_(window_, settings.scale > 0 ? settings.scale : UIScreen::mainScreen()->scale()),
          input_(window_) {
        // Headless, frames are drawn off screen as the window would show them.
        frameHandler_ =
            CAFrameClock::shared().addFrameHandler([this] { renderer_.renderFrame(false); });
    }
    ~ScenarioPlayer() {
        // Fingers a script left resting are lifted with it.
        if (input_.isTouching()) {
            input_.mouseUp(input_.lastPoint());
        }
        CAFrameClock::shared().removeFrameHandler(frameHandler_);
    }
    ScenarioPlayer(const ScenarioPlayer&) = delete;
    ScenarioPlayer& operator=(const ScenarioPlayer&) = delete;

    // Empty when the step passed, else why it failed.
    std::string play(const HostScenarioStep& step);

  private:
    void frame() { renderer_.renderFrame(false); }
    // Lets time pass as it would on screen: the run loop runs; a manual
    // frame clock (tests) is moved along with it.
    void pass(double seconds);
    std::string findText(const std::string& text, CGPoint* point);
    std::string touchPoint(const std::vector<std::string>& args, CGPoint* point);
    bool quiet();
    // Whether a visible text matches.
    bool shows(const std::string& text);

    std::shared_ptr<UIWindow> window_;
    HostScenarioSettings settings_;
    HostRenderer renderer_;
    HostTouchInput input_;
    int frameHandler_ = 0;
};

void ScenarioPlayer::pass(double seconds) {
    auto runLoop = NSRunLoop::mainRunLoop();
    auto& clock = CAFrameClock::shared();
    constexpr double kFrame = 1.0 / 60;
    double left = seconds;
    do {
        const double step = std::min(left, kFrame);
        if (clock.isManual()) {
            clock.advance(step);
        }
        runLoop->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(step));
        left -= step;
    } while (left > 1e-9);
    frame();
}

bool ScenarioPlayer::shows(const std::string& text) {
    const auto texts = HostVisibleTexts(window_);
    return std::any_of(texts.begin(), texts.end(),
                       [&](const HostScreenText& t) { return HostTextMatches(text, t.text); });
}

bool ScenarioPlayer::quiet() {
    return !CAFrameClock::shared().isSettling() && !hasPendingTiles(*window_->layer()) &&
           !hasUndecidedGesture(*window_);
}

std::string ScenarioPlayer::findText(const std::string& text, CGPoint* point) {
    const auto texts = HostVisibleTexts(window_);
    bool seen = false;
    for (auto it = texts.rbegin(); it != texts.rend(); ++it) {
        if (!HostTextMatches(text, it->text)) {
            continue;
        }
        seen = true;
        const CGPoint centre{CGRectGetMidX(it->frame), CGRectGetMidY(it->frame)};
        auto hit = window_->hitTest(centre, nullptr);
        if (hit && (hit == it->view || it->view->isDescendantOfView(hit.get()) ||
                    hit->isDescendantOfView(it->view.get()))) {
            *point = centre;
            return {};
        }
    }
    return seen ? "\"" + text + "\" is on screen but covered or not touchable"
                : "no \"" + text + "\" on screen";
}

std::string ScenarioPlayer::touchPoint(const std::vector<std::string>& args, CGPoint* point) {
    if (args.size() == 1) {
        return findText(args[0], point);
    }
    *point = {std::strtod(args[0].c_str(), nullptr), std::strtod(args[1].c_str(), nullptr)};
    return {};
}

std::string ScenarioPlayer::play(const HostScenarioStep& step) {
    constexpr double kSettle = 0.1;
    constexpr double kLongPress = 0.8;
    const std::string& verb = step.words[0];
    const std::vector<std::string> args(step.words.begin() + 1, step.words.end());
    auto number = [&](size_t i) { return std::strtod(args[i].c_str(), nullptr); };
    const CAFrameClock& clock = CAFrameClock::shared();
    frame();
    if (verb == "tap" || verb == "long-press") {
        CGPoint p;
        if (std::string error = touchPoint(args, &p); !error.empty()) {
            return error;
        }
        input_.mouseDown(p, false);
        pass(verb == "tap" ? 1.0 / 60 : kLongPress);
        input_.mouseUp(p);
        pass(kSettle);
    } else if (verb == "three-finger-tap") {
        // The Shift chord: three fingers side by side.
        const CGPoint p{number(0), number(1)};
        input_.mouseDown(p, false, true);
        pass(1.0 / 60);
        input_.mouseUp(p);
        pass(kSettle);
    } else if (verb == "two-finger-press") {
        // The Ctrl chord: the mouse's finger and one mirrored around the
        // window's centre go down and rest there until "release".
        if (input_.isTouching()) {
            return "fingers are already down (release them first)";
        }
        input_.mouseDown({number(0), number(1)}, true);
        pass(kSettle);
    } else if (verb == "release") {
        if (!input_.isTouching()) {
            return "no fingers are down";
        }
        input_.mouseUp(input_.lastPoint());
        pass(kSettle);
    } else if (verb == "screenshot-key") {
        // What F12 does in the window.
        if (!HostSaveScreenshot(renderer_.snapshot(), HostScreenshotsDirectory(), NSDate())) {
            return "cannot save a screenshot in " + HostScreenshotsDirectory();
        }
        pass(kSettle);
    } else if (verb == "drag" || verb == "drag-hold") {
        // "drag-hold" leaves the finger resting at the end until "release".
        if (input_.isTouching()) {
            return "fingers are already down (release them first)";
        }
        const CGPoint from{number(0), number(1)}, to{number(2), number(3)};
        const double seconds = args.size() > 4 ? std::max(0.0, number(4)) : 0.3;
        const int steps = std::max(2, int(std::lround(seconds * 60)));
        input_.mouseDown(from, false);
        for (int i = 1; i <= steps; ++i) {
            const double t = double(i) / steps;
            pass(seconds / steps);
            input_.mouseMoved({from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t});
        }
        if (verb == "drag") {
            input_.mouseUp(to);
        }
        pass(kSettle);
    } else if (verb == "pinch") {
        const double scale = number(2);
        if (!(scale > 0)) {
            return "the scale must be above 0";
        }
        // What the mouse wheel does there: a pinch over what zooms, a scroll over a list.
        input_.wheel({number(0), number(1)}, std::log(scale) / std::log(1.25));
        pass(kSettle);
    } else if (verb == "type") {
        // One character at a time, as keys are pressed.
        const std::string& text = args[0];
        size_t i = 0;
        while (i < text.size()) {
            size_t next = i + 1;
            while (next < text.size() && (uint8_t(text[next]) & 0xC0) == 0x80) {
                ++next;
            }
            if (!HostKeyboardType(text.substr(i, next - i))) {
                return "nothing takes typed text (no first responder)";
            }
            i = next;
            pass(1.0 / 60);
        }
        pass(kSettle);
    } else if (verb == "key") {
        auto press = HostKeyPressNamed(args[0]);
        if (!press) {
            return "unknown key \"" + args[0] +
                   "\" (keys: Return, Escape, Tab, Backspace, Delete, Left, Right, Up, Down, "
                   "Home, End, PageUp, PageDown, with Shift+, Ctrl+ or Alt+; Ctrl+A/C/X/V)";
        }
        HostKeyboardPress(window_, *press);
        pass(kSettle);
    } else if (verb == "wait") {
        pass(std::max(0.0, number(0)));
    } else if (verb == "idle") {
        // Quiet must hold for a while: posted work often posts more. Both
        // spans are the clock's time, not a count of frames: a slow frame
        // (a turned map, a busy machine) must not stretch them.
        constexpr double kQuietSpan = 0.2;
        const double start = clock.now();
        double quietSince = -1;  // below zero while not quiet
        while (quietSince < 0 || clock.now() - quietSince < kQuietSpan) {
            if (clock.now() - start >= settings_.idleTimeout) {
                return "not idle after " + std::to_string(int(settings_.idleTimeout)) +
                       " s (animations, tiles or posted work go on)";
            }
            pass(1.0 / 60);
            if (!quiet()) {
                quietSince = -1;
            } else if (quietSince < 0) {
                quietSince = clock.now();
            }
        }
    } else if (verb == "screenshot") {
        std::filesystem::path path(args[0]);
        if (path.is_relative() && !settings_.outputDirectory.empty()) {
            path = std::filesystem::path(settings_.outputDirectory) / path;
        }
        std::error_code error;
        if (path.has_parent_path()) {
            std::filesystem::create_directories(path.parent_path(), error);
        }
        if (!renderer_.writePNG(path.string())) {
            return "cannot write the screenshot " + path.string();
        }
    } else if (verb == "expect" || verb == "expect-not") {
        const bool found = shows(args[0]);
        if (found != (verb == "expect")) {
            return found ? "\"" + args[0] + "\" is on screen" : "no \"" + args[0] + "\" on screen";
        }
    } else if (verb == "wait-for" || verb == "wait-for-not") {
        // For what comes when it comes (a download, a server's answer), so a
        // slow machine waits longer instead of failing.
        const bool wanted = verb == "wait-for";
        const double deadline = args.size() > 1 ? std::max(0.0, number(1)) : settings_.idleTimeout;
        const double start = clock.now();
        while (shows(args[0]) != wanted) {
            if (clock.now() - start >= deadline) {
                std::ostringstream seconds;
                seconds << deadline;
                return (wanted ? "no \"" : "still \"") + args[0] + "\" on screen after " +
                       seconds.str() + " s";
            }
            pass(1.0 / 60);
        }
    } else if (verb == "expect-logged") {
        const std::vector<std::string> lines = HostRecordedLogLines();
        const long wanted = std::lround(number(1));
        const long logged = std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return HostTextMatches(args[0], line);
        });
        if (logged != wanted) {
            return "\"" + args[0] + "\" logged " + std::to_string(logged) + " times, not " +
                   std::to_string(wanted);
        }
    } else if (verb == "dump") {
        std::ostream& out = settings_.output ? *settings_.output : std::cout;
        out << settings_.name << ":" << step.line << ": "
            << HostDescribeTexts(HostVisibleTexts(window_)) << std::endl;
    }
    return {};
}

}  // namespace

HostScenarioResult HostRunScenario(const std::shared_ptr<UIWindow>& window,
                                   const std::string& script,
                                   const HostScenarioSettings& settings) {
    HostScenarioResult result;
    std::string error;
    auto steps = HostParseScenario(script, &error);
    if (!steps) {
        result.message = settings.name + ": " + error;
        return result;
    }
    // What the program logged before (a launch) counts when recording began earlier.
    HostStartRecordingLog();
    ScenarioPlayer player(window, settings);
    for (const HostScenarioStep& step : *steps) {
        const std::string failure = player.play(step);
        if (!failure.empty()) {
            result.message = settings.name + ":" + std::to_string(step.line) + ": step \"" +
                             step.source + "\" failed: " + failure + "\n" +
                             HostDescribeTexts(HostVisibleTexts(window));
            return result;
        }
    }
    result.passed = true;
    return result;
}
