#include "Foundation/DesktopLauncher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// Never destroyed: a launch's reaper thread may end while the process exits.
Overrides& overrides() {
    static auto* shared = new Overrides;
    return *shared;
}

constexpr size_t kMaximumOutput = 64 * 1024;

// Starts the program; with `output` its standard output goes to a pipe
// whose reading end is returned there.
bool spawnProcess(const std::vector<std::string>& argv, pid_t* pid, int* output) {
    if (argv.empty()) {
        return false;
    }
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    int pipeEnds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output) {
        if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return false;
        }
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    }
    const int failed = posix_spawnp(pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (output) {
        close(pipeEnds[1]);
        *output = pipeEnds[0];
        if (failed != 0) {
            close(pipeEnds[0]);
        }
    }
    if (failed != 0) {
        NSLogWithLevel(NSLogLevel::Error, "DesktopLauncher: could not start %s", argv[0].c_str());
        return false;
    }
    return true;
}

bool spawn(const std::vector<std::string>& argv) {
    pid_t pid = 0;
    if (!spawnProcess(argv, &pid, nullptr)) {
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

bool DesktopLauncher::launchReadingOutput(const std::vector<std::string>& argv, Finished finished) {
    Launcher launcher;
    {
        std::lock_guard lock(overrides().mutex);
        launcher = overrides().launcher;
    }
    if (launcher) {
        return launcher(argv);
    }
    pid_t pid = 0;
    int output = -1;
    if (!spawnProcess(argv, &pid, &output)) {
        return false;
    }
    std::thread([pid, output, finished = std::move(finished)] {
        std::string text;
        char buffer[4096];
        ssize_t count = 0;
        while ((count = read(output, buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR)) {
            if (count > 0 && text.size() < kMaximumOutput) {
                text.append(buffer, std::min(size_t(count), kMaximumOutput - text.size()));
            }
        }
        close(output);
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (finished) {
            finished(WIFEXITED(status) ? WEXITSTATUS(status) : -1, text);
        }
    }).detach();
    return true;
}

void DesktopLauncher::setLauncher(Launcher launcher) {
    std::lock_guard lock(overrides().mutex);
    overrides().launcher = std::move(launcher);
}

void DesktopLauncher::setLookup(Lookup lookup) {
    std::lock_guard lock(overrides().mutex);
    overrides().lookup = std::move(lookup);
}
