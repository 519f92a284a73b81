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

    // The exit status (-1 when the program did not exit normally) and what
    // it wrote on its standard output (at most 64 KiB of it).
    using Finished = std::function<void(int status, const std::string& output)>;
    // Starts the program like launch() and, once it has ended, hands its
    // status and output to `finished` on a thread of its own. False when it
    // cannot start, and `finished` is never called; a replaced launcher is
    // given the program instead, and `finished` is never called either.
    static bool launchReadingOutput(const std::vector<std::string>& argv, Finished finished);

    // nullptr restores the real behaviour.
    static void setLauncher(Launcher launcher);
    static void setLookup(Lookup lookup);
};
