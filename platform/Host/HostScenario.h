#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "Host/HostScenarioScript.h"
#include "Host/HostScreenTexts.h"

class UIWindow;

// How a scenario is played.
struct HostScenarioSettings {
    // Where relative screenshot paths go (empty: the working directory).
    std::string outputDirectory;
    // The script's name in messages.
    std::string name = "scenario";
    // Render scale of screenshots (0: the screen's).
    double scale = 0;
    // How long `idle` waits for quiet before failing.
    double idleTimeout = 30;
    // Where dump prints (nullptr: standard output).
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
