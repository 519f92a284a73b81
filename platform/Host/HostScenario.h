#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreGraphics/CGGeometry.h"

class UIView;
class UIWindow;

// One step of a scenario script: its line, its words (quotes removed) and
// the line as written.
struct HostScenarioStep {
    int line = 0;
    std::vector<std::string> words;
    std::string source;
};

// Parses a scenario script (the format is in docs/SCENARIOS.md). nullopt
// with "line N: ..." in error for an unknown step or bad arguments.
std::optional<std::vector<HostScenarioStep>> HostParseScenario(const std::string& script,
                                                               std::string* error);

// A text a person sees on the window: the view showing it and where it is
// (window points, cut to what its clipping ancestors and the window show).
struct HostScreenText {
    std::string text;
    CGRect frame;
    std::shared_ptr<UIView> view;
};

// The visible texts of the window, back to front.
std::vector<HostScreenText> HostVisibleTexts(const std::shared_ptr<UIWindow>& window);

struct HostScenarioSettings {
    // Where relative screenshot paths go (empty: the working directory).
    std::string outputDirectory;
    // The script's name in messages.
    std::string name = "scenario";
    // Render scale of screenshots (0: the screen's).
    double scale = 0;
    // How long `idle` waits for quiet before failing.
    double idleTimeout = 30;
    // Where dump and failures are printed (nullptr: standard output and error).
    std::ostream* output = nullptr;
};

struct HostScenarioResult {
    bool passed = false;
    // Why it failed: the step, its line and the texts on screen.
    std::string message;
};

// Plays a script on a window as a person would, through the host's own
// touch and keyboard paths, running the main run loop between steps. The
// window should be the key window. Stops at the first failing step.
HostScenarioResult HostRunScenario(const std::shared_ptr<UIWindow>& window,
                                   const std::string& script,
                                   const HostScenarioSettings& settings = {});
