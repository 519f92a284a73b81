#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

// Runs one test of this program again, alone, in a process of its own:
// `test` is its full name ("SuiteChild.Name"), `variable` ("NAME=value") is
// added to the environment (the child test runs only when it finds it), and
// the child's standard error goes to `errorOutput` when one is given.
// Answers the child's wait status, or -1 when it could not be started.
inline int runTestInChildProcess(const std::string& test, const std::string& variable,
                                 const std::string& errorOutput = "") {
    std::vector<char*> environment;
    for (char** entry = environ; *entry; ++entry)
        environment.push_back(*entry);
    environment.push_back(const_cast<char*>(variable.c_str()));
    environment.push_back(nullptr);
    char program[] = "/proc/self/exe";
    std::string filter = "--gtest_filter=" + test;
    char* arguments[] = {program, filter.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!errorOutput.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorOutput.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, program, &actions, nullptr, arguments, environment.data());
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(child, &status, 0) != child)
        return -1;
    return status;
}
