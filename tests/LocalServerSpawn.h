#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

// Starts a local server of tools/ whose first line of standard output is the
// port it listens on. Answers the port (0 when it did not start) and sets
// pid (-1 when it did not start). With `descriptors`, the server may open
// no more than that many files (its soft and hard limit).
//
// The server is sent SIGTERM when the spawning thread ends, so a test that
// crashes or is killed leaves no server behind holding ctest's output pipe.
// Spawn from the main thread (or one that outlives the server).
inline int spawnLocalServer(std::vector<std::string> arguments, pid_t& pid,
                            rlim_t descriptors = 0) {
    pid = -1;
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        return 0;
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        // Only async-signal-safe calls until exec: the parent may have threads.
        // A parent that died before prctl took effect shows as a new parent.
        const rlimit limit{descriptors, descriptors};
        if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent ||
            dup2(output[1], STDOUT_FILENO) < 0 ||
            (descriptors > 0 && setrlimit(RLIMIT_NOFILE, &limit) != 0))
            _exit(127);
        execve(argv[0], argv.data(), environ);
        _exit(127);
    }
    close(output[1]);
    if (child < 0) {
        close(output[0]);
        return 0;
    }
    FILE* stream = fdopen(output[0], "r");
    char line[32] = {};
    int port = 0;
    if (stream && std::fgets(line, sizeof line, stream))
        port = std::atoi(line);
    if (stream)
        std::fclose(stream);
    else
        close(output[0]);
    if (port <= 0) {
        // It could not be run, or ended before it listened.
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
        return 0;
    }
    pid = child;
    return port;
}

// Stops a server started by spawnLocalServer and waits for it; pid becomes -1.
inline void stopLocalServer(pid_t& pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
}

// A local server of tools/ running while this lives.
class RunningLocalServer {
  public:
    explicit RunningLocalServer(std::vector<std::string> arguments, rlim_t descriptors = 0) {
        port_ = spawnLocalServer(std::move(arguments), pid_, descriptors);
    }
    ~RunningLocalServer() { stopLocalServer(pid_); }
    RunningLocalServer(const RunningLocalServer&) = delete;
    RunningLocalServer& operator=(const RunningLocalServer&) = delete;

    int port() const { return port_; }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int port_ = 0;
};
