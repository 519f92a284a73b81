#include "app/CBHomeServices.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// How often an ending command is looked at.
constexpr auto kPollPause = std::chrono::milliseconds(10);
// What the command may write before its empty line: a few addresses.
constexpr size_t kMaximumOutput = 64 * 1024;

// Waits for the command to end, up to the deadline; true once it has.
bool endsBy(pid_t command, Clock::time_point deadline, int* status) {
    for (;;) {
        const pid_t ended = ::waitpid(command, status, WNOHANG);
        if (ended == command || (ended < 0 && errno != EINTR))
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPollPause);
    }
}

// Ends the command and every process it started (its process group, which
// it leads): asked, then killed when it has not ended by the deadline; what
// it left behind is killed once it has ended.
void end(pid_t command, Clock::time_point deadline) {
    ::kill(-command, SIGTERM);
    int status = 0;
    if (!endsBy(command, deadline, &status))
        ::kill(-command, SIGKILL);
    ::waitpid(command, &status, 0);
    ::kill(-command, SIGKILL);
}

std::string describeStatus(int status) {
    if (WIFEXITED(status))
        return "ended with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return std::string("ended by ") + ::strsignal(WTERMSIG(status));
    return "ended";
}

// Reads the command's lines up to its empty line; false at its end of output,
// past kMaximumOutput (errno EMSGSIZE) or at the deadline (errno ETIMEDOUT).
bool readArguments(int output, Clock::time_point deadline, std::vector<std::string>& arguments) {
    std::string pending;
    size_t read = 0;
    for (;;) {
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line.empty())
                return true;
            arguments.push_back(std::move(line));
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd ready{output, POLLIN, 0};
        const int n = ::poll(&ready, 1, int(std::max<int64_t>(left.count(), 0)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0) {
            errno = ETIMEDOUT;
            return false;
        }
        char buffer[512];
        const ssize_t got = n > 0 ? ::read(output, buffer, sizeof buffer) : -1;
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        read += size_t(got);
        if (read > kMaximumOutput) {
            errno = EMSGSIZE;
            return false;
        }
        pending.append(buffer, size_t(got));
    }
}

}  // namespace

std::unique_ptr<CBHomeServices> CBHomeServices::start(const std::string& command,
                                                      const std::string& homeFolder,
                                                      std::string* error, Clock::duration wait) {
    auto fail = [error](std::string reason) {
        if (error)
            *error = std::move(reason);
        return nullptr;
    };
    if (::access(command.c_str(), X_OK) != 0)
        return fail("cannot run " + command + ": " + std::strerror(errno));
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0)
        return fail(std::strerror(errno));
    // Made before the fork: the child may only call what is safe between
    // fork and exec in a process with threads.
    char* const argv[] = {const_cast<char*>(command.c_str()), const_cast<char*>(homeFolder.c_str()),
                          nullptr};
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) {
        const int reason = errno;
        ::close(output[0]);
        ::close(output[1]);
        return fail(std::strerror(reason));
    }
    if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        // A group of its own: it is ended with all it started, and a closed
        // terminal or Ctrl+C reaches this program alone, which then ends it.
        ::setpgid(0, 0);
        ::dup2(output[1], STDOUT_FILENO);
        const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (nothing >= 0)
            ::dup2(nothing, STDIN_FILENO);
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    ::setpgid(child, child);
    ::close(output[1]);
    std::vector<std::string> arguments;
    const auto deadline = Clock::now() + wait;
    const bool ready = readArguments(output[0], deadline, arguments);
    const int reason = errno;
    ::close(output[0]);
    if (ready)
        return std::unique_ptr<CBHomeServices>(new CBHomeServices(child, std::move(arguments)));
    if (reason == ETIMEDOUT || reason == EMSGSIZE) {
        end(child, Clock::now() + kStopTime);
        const auto seconds = std::chrono::duration<double>(wait).count();
        char within[32];
        std::snprintf(within, sizeof within, "%g s", seconds);
        return fail(reason == EMSGSIZE ? command + " wrote more than a few addresses"
                                       : command + " did not start the services within " + within);
    }
    // It closed its output without its empty line: it is ending, or ends now.
    int status = 0;
    if (!endsBy(child, Clock::now() + kStopTime, &status)) {
        end(child, Clock::now() + kStopTime);
        return fail(command + " closed its output before the services ran");
    }
    return fail(command + " " + describeStatus(status) + " before the services ran");
}

CBHomeServices::~CBHomeServices() {
    end(command_, Clock::now() + kStopTime);
}
