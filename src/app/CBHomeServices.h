#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

// The local services a start brings up once it holds its home (scripts/run's
// map store server, SDK service and tile service): a command run as this
// process's child with the home's folder as its one argument. The command
// starts the services, writes this program's arguments for them to its
// output, one a line, then an empty line, and stays while they run.
//
// It runs as the leader of a process group of its own, reading nothing. It
// ends with this process, however that ends: the destructor tells its group
// to (SIGTERM) and waits for it, so the services' ports are free once this
// process has ended; and a process killed before its destructors ran has the
// command told by the kernel (the parent-death signal, set for the thread
// that runs `start`: the main thread, which lives as long as the process),
// which then ends what it started.
class CBHomeServices {
  public:
    static constexpr std::chrono::seconds kStartTime{60};
    static constexpr std::chrono::seconds kStopTime{5};

    // Runs `command` and reads its arguments; nullptr, saying why in *error,
    // when it cannot be run, ends before its empty line or has not written it
    // within `wait` (it is ended then).
    static std::unique_ptr<CBHomeServices> start(
        const std::string& command, const std::string& homeFolder, std::string* error,
        std::chrono::steady_clock::duration wait = kStartTime);

    // This program's arguments for the services (--store-url URL, ...).
    const std::vector<std::string>& arguments() const { return arguments_; }

    // Ends the command, and so its services; killed when it has not ended
    // within kStopTime.
    ~CBHomeServices();
    CBHomeServices(const CBHomeServices&) = delete;
    CBHomeServices& operator=(const CBHomeServices&) = delete;

  private:
    CBHomeServices(pid_t command, std::vector<std::string> arguments)
        : command_(command), arguments_(std::move(arguments)) {}

    pid_t command_;
    std::vector<std::string> arguments_;
};
