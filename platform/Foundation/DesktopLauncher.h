#pragma once

#include <functional>
#include <string>
#include <vector>

// Hands files and URLs to the desktop's own programs (xdg-open, xdg-email).
// Programs start without a shell (each argument reaches them as it is) and
// are not waited for. Tests replace the launcher and the program lookup so
// that no process is ever spawned.
class DesktopLauncher {
  public:
    // argv[0] is the program, looked up on PATH. Answers whether it started.
    using Launcher = std::function<bool(const std::vector<std::string>& argv)>;
    // Whether a program of that name can be started.
    using Lookup = std::function<bool(const std::string& program)>;

    static bool launch(const std::vector<std::string>& argv);
    static bool isProgramAvailable(const std::string& program);

    // nullptr restores the real behaviour.
    static void setLauncher(Launcher launcher);
    static void setLookup(Lookup lookup);
};
