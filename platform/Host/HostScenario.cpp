#include "Host/HostScenario.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>

#include "Dispatch/NSRunLoop.h"
#include "Host/HostKeyboard.h"
#include "Host/HostRenderer.h"
#include "Host/HostTouchInput.h"
#include "QuartzCore/CAFrameClock.h"
#include "QuartzCore/CATiledLayer.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"

namespace {

// Each step's arguments: "N" a number, "T" a quoted text, "W" a word;
// lower case ones are optional.
const std::map<std::string, std::string>& grammar() {
    static const std::map<std::string, std::string> steps = {
        {"tap", "NN|T"},     {"long-press", "NN|T"}, {"drag", "NNNNn"},   {"pinch", "NNN"},
        {"type", "T"},       {"key", "W"},           {"wait", "N"},       {"idle", ""},
        {"screenshot", "W"}, {"expect", "T"},        {"expect-not", "T"}, {"dump", ""},
    };
    return steps;
}

bool isNumber(const std::string& word) {
    char* end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    return !word.empty() && *end == '\0' && std::isfinite(value);
}

// Splits a line into words; a quoted text is one word (\" and \\ escape).
bool splitWords(const std::string& line, std::vector<std::string>& words, std::vector<bool>& quoted,
                std::string* error) {
    size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    word += line[i + 1];
                    i += 2;
                } else if (line[i] == '"') {
                    closed = true;
                    ++i;
                    break;
                } else {
                    word += line[i++];
                }
            }
            if (!closed) {
                *error = "a quoted text is not closed";
                return false;
            }
            quoted.push_back(true);
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
                word += line[i++];
            }
            quoted.push_back(false);
        }
        words.push_back(word);
    }
    return true;
}

bool matchesPattern(const std::string& pattern, const std::vector<std::string>& args,
                    const std::vector<bool>& quoted) {
    size_t required = 0;
    for (char c : pattern) {
        required += std::isupper(static_cast<unsigned char>(c)) ? 1 : 0;
    }
    if (args.size() < required || args.size() > pattern.size()) {
        return false;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const char kind = char(std::toupper(static_cast<unsigned char>(pattern[i])));
        if ((kind == 'N' && (quoted[i] || !isNumber(args[i]))) || (kind == 'T' && !quoted[i])) {
            return false;
        }
    }
    return true;
}

std::string usage(const std::string& verb) {
    static const std::map<std::string, std::string> usages = {
        {"tap", "tap X Y | tap \"Text\""},
        {"long-press", "long-press X Y | long-press \"Text\""},
        {"drag", "drag X1 Y1 X2 Y2 [SECONDS]"},
        {"pinch", "pinch X Y SCALE"},
        {"type", "type \"text\""},
        {"key", "key NAME"},
        {"wait", "wait SECONDS"},
        {"idle", "idle"},
        {"screenshot", "screenshot FILE"},
        {"expect", "expect \"Text\""},
        {"expect-not", "expect-not \"Text\""},
        {"dump", "dump"},
    };
    return usages.at(verb);
}

// Text matches exactly, or as a pattern when it holds * (any run of characters).
bool textMatches(const std::string& pattern, const std::string& text) {
    if (pattern.find('*') == std::string::npos) {
        return pattern == text;
    }
    size_t p = 0, t = 0, star = std::string::npos, mark = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == text[t] && pattern[p] != '*') {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

void collectTexts(const std::shared_ptr<UIView>& view, CGRect visible,
                  std::vector<HostScreenText>& texts) {
    if (view->isHidden() || view->alpha() < 0.01) {
        return;
    }
    const CGRect frame = view->convertRectToView(view->bounds(), nullptr);
    if (view->clipsToBounds()) {
        visible = CGRectIntersection(visible, frame);
    }
    if (CGRectIsEmpty(visible)) {
        return;
    }
    std::vector<UIVisibleText> own = view->visibleTexts();
    // A view is also found by its accessibility label when it draws other text.
    const auto& label = view->accessibilityLabel();
    if (label && !label->empty() &&
        std::none_of(own.begin(), own.end(),
                     [&](const UIVisibleText& text) { return text.text == *label; })) {
        own.push_back({*label, view->bounds()});
    }
    for (const UIVisibleText& text : own) {
        const CGRect shown =
            CGRectIntersection(visible, view->convertRectToView(text.rect, nullptr));
        if (!text.text.empty() && !CGRectIsEmpty(shown)) {
            texts.push_back({text.text, shown, view});
        }
    }
    for (const auto& subview : view->subviews()) {
        collectTexts(subview, visible, texts);
    }
}

std::string describeTexts(const std::vector<HostScreenText>& texts) {
    std::ostringstream out;
    out << "texts on screen (" << texts.size() << "):";
    for (const HostScreenText& text : texts) {
        out << "\n  \"" << text.text << "\" at (" << text.frame.origin.x << ", "
            << text.frame.origin.y << ", " << text.frame.size.width << " x "
            << text.frame.size.height << ")";
    }
    return out.str();
}

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
    ~ScenarioPlayer() { CAFrameClock::shared().removeFrameHandler(frameHandler_); }
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

bool ScenarioPlayer::quiet() {
    return !CAFrameClock::shared().needsFrame() && !hasPendingTiles(*window_->layer());
}

std::string ScenarioPlayer::findText(const std::string& text, CGPoint* point) {
    const auto texts = HostVisibleTexts(window_);
    bool seen = false;
    for (auto it = texts.rbegin(); it != texts.rend(); ++it) {
        if (!textMatches(text, it->text)) {
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
    } else if (verb == "drag") {
        const CGPoint from{number(0), number(1)}, to{number(2), number(3)};
        const double seconds = args.size() > 4 ? std::max(0.0, number(4)) : 0.3;
        const int steps = std::max(2, int(std::lround(seconds * 60)));
        input_.mouseDown(from, false);
        for (int i = 1; i <= steps; ++i) {
            const double t = double(i) / steps;
            pass(seconds / steps);
            input_.mouseMoved({from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t});
        }
        input_.mouseUp(to);
        pass(kSettle);
    } else if (verb == "pinch") {
        const double scale = number(2);
        if (!(scale > 0)) {
            return "the scale must be above 0";
        }
        // The wheel's pinch: the same gesture a mouse wheel makes.
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
        const double deadline = settings_.idleTimeout;
        double waited = 0, quietFor = 0;
        // Quiet must hold for a while: posted work often posts more.
        constexpr double kQuietSpan = 0.2;
        while (quietFor < kQuietSpan) {
            if (waited >= deadline) {
                return "not idle after " + std::to_string(int(deadline)) +
                       " s (animations, tiles or posted work go on)";
            }
            pass(1.0 / 60);
            waited += 1.0 / 60;
            quietFor = quiet() ? quietFor + 1.0 / 60 : 0;
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
        const auto texts = HostVisibleTexts(window_);
        const bool found = std::any_of(texts.begin(), texts.end(), [&](const HostScreenText& t) {
            return textMatches(args[0], t.text);
        });
        if (found != (verb == "expect")) {
            return found ? "\"" + args[0] + "\" is on screen" : "no \"" + args[0] + "\" on screen";
        }
    } else if (verb == "dump") {
        std::ostream& out = settings_.output ? *settings_.output : std::cout;
        out << settings_.name << ":" << step.line << ": "
            << describeTexts(HostVisibleTexts(window_)) << std::endl;
    }
    return {};
}

}  // namespace

std::optional<std::vector<HostScenarioStep>> HostParseScenario(const std::string& script,
                                                               std::string* error) {
    std::vector<HostScenarioStep> steps;
    std::istringstream lines(script);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& message) -> std::optional<std::vector<HostScenarioStep>> {
        if (error) {
            *error = "line " + std::to_string(number) + ": " + message + ": " + line;
        }
        return std::nullopt;
    };
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        HostScenarioStep step;
        step.line = number;
        step.source = line.substr(first);
        std::vector<bool> quoted;
        std::string splitError;
        if (!splitWords(line, step.words, quoted, &splitError)) {
            return fail(splitError);
        }
        const std::string& verb = step.words[0];
        auto rule = grammar().find(verb);
        if (quoted[0] || rule == grammar().end()) {
            return fail("unknown step \"" + verb +
                        "\" (steps: tap, long-press, drag, pinch, type, key, wait, idle, "
                        "screenshot, expect, expect-not, dump)");
        }
        const std::vector<std::string> args(step.words.begin() + 1, step.words.end());
        const std::vector<bool> argQuoted(quoted.begin() + 1, quoted.end());
        std::istringstream alternatives(rule->second);
        std::string pattern;
        bool ok = false;
        while (!ok && std::getline(alternatives, pattern, '|')) {
            ok = matchesPattern(pattern, args, argQuoted);
        }
        if (!ok && !(rule->second.empty() && args.empty())) {
            return fail("bad arguments, expected " + usage(verb));
        }
        steps.push_back(std::move(step));
    }
    return steps;
}

std::vector<HostScreenText> HostVisibleTexts(const std::shared_ptr<UIWindow>& window) {
    std::vector<HostScreenText> texts;
    if (window) {
        window->layoutIfNeeded();
        collectTexts(window, window->bounds(), texts);
    }
    return texts;
}

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
    ScenarioPlayer player(window, settings);
    for (const HostScenarioStep& step : *steps) {
        const std::string failure = player.play(step);
        if (!failure.empty()) {
            result.message = settings.name + ":" + std::to_string(step.line) + ": step \"" +
                             step.source + "\" failed: " + failure + "\n" +
                             describeTexts(HostVisibleTexts(window));
            return result;
        }
    }
    result.passed = true;
    return result;
}
