#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class UIApplicationDelegate;

// Makes the application's delegate from the arguments the host leaves
// (program name first); nullptr ends the program with status 1.
using HostDelegateFactory = std::function<std::shared_ptr<UIApplicationDelegate>(
    const std::vector<std::string>& arguments)>;

// The program's UIApplicationMain: parses the host options (--phone, --pad,
// --landscape, --scale N, --screenshot FILE, --scenario FILE, ...), sets up
// the screen and device, launches the delegate (didFinishLaunching, then
// becoming active) and shows the key window in a desktop window until it is
// closed. The desktop window fits the display: without --scale it takes the
// largest whole scale up to 2 at which the device's screen fits, and a screen
// that does not fit even so is made smaller. With --screenshot it renders the
// key window headless to FILE after start-up and returns; with --scenario it
// plays the script headless instead (status 1 when a step fails, 2 when the
// script cannot be read or parsed); both keep the device's size and the scale
// as given. Answers the exit status.
int HostApplicationMain(int argc, const char* const* argv, const HostDelegateFactory& factory);
