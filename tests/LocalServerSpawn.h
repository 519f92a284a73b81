#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

// Starts a local server of tools/ whose first line of standard output is the
// port it listens on. Answers the port (0 when it did not start) and sets
// pid (-1 when it did not start).
inline int spawnLocalServer(std::vector<std::string> arguments, pid_t& pid) {
    pid = -1;
    int output[2];
    if (pipe(output) != 0)
        return 0;
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawned != 0) {
        pid = -1;
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
