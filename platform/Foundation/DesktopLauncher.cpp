#include "Foundation/DesktopLauncher.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <sstream>
#include <thread>

#include "Foundation/NSLog.h"

extern char** environ;

namespace {

struct Overrides {
    std::mutex mutex;
    DesktopLauncher::Launcher launcher;
    DesktopLauncher::Lookup lookup;
};

Overrides& overrides() {
    static Overrides shared;
    return shared;
}

bool spawn(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        return false;
    }
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0].c_str(), nullptr, nullptr, args.data(), environ) != 0) {
        NSLogWithLevel(NSLogLevel::Error, "DesktopLauncher: could not start %s", argv[0].c_str());
        return false;
    }
    // Reap the child without blocking the caller.
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
    return true;
}

bool onPath(const std::string& program) {
    if (program.find('/') != std::string::npos) {
        return access(program.c_str(), X_OK) == 0;
    }
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool DesktopLauncher::launch(const std::vector<std::string>& argv) {
    Launcher launcher;
    {
        std::lock_guard lock(overrides().mutex);
        launcher = overrides().launcher;
    }
    return launcher ? launcher(argv) : spawn(argv);
}

bool DesktopLauncher::isProgramAvailable(const std::string& program) {
    Lookup lookup;
    {
        std::lock_guard lock(overrides().mutex);
        lookup = overrides().lookup;
    }
    return lookup ? lookup(program) : onPath(program);
}

void DesktopLauncher::setLauncher(Launcher launcher) {
    std::lock_guard lock(overrides().mutex);
    overrides().launcher = std::move(launcher);
}

void DesktopLauncher::setLookup(Lookup lookup) {
    std::lock_guard lock(overrides().mutex);
    overrides().lookup = std::move(lookup);
}
