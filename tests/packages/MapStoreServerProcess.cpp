#include "MapStoreServerProcess.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Foundation/NSJSONSerialization.h"
#include "Net/NSURLConnection.h"

extern char** environ;

MapStoreServerProcess::MapStoreServerProcess(const std::string& root) {
    int output[2];
    if (pipe(output) != 0)
        return;
    std::vector<std::string> arguments{KELVARA_MAPSTORE_SERVER, "--root", root, "--port", "0"};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawned != 0) {
        pid_ = -1;
        close(output[0]);
        return;
    }
    // The first line is the port.
    FILE* stream = fdopen(output[0], "r");
    char line[32] = {};
    if (stream && std::fgets(line, sizeof line, stream))
        port_ = std::atoi(line);
    if (stream)
        std::fclose(stream);
}

MapStoreServerProcess::~MapStoreServerProcess() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
}

std::string MapStoreServerProcess::baseURL() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

Value::Array MapStoreServerProcess::log() const {
    const NSURLRequest request(*NSURL::URLWithString(baseURL() + "/_log"));
    const auto data = NSURLConnection::sendSynchronousRequest(request);
    if (!data)
        return {};
    const auto json = NSJSONSerialization::JSONObjectWithData(*data);
    return json && json->arrayValue() ? *json->arrayValue() : Value::Array{};
}

void MapStoreServerProcess::post(const std::string& pathAndQuery) const {
    NSMutableURLRequest request(*NSURL::URLWithString(baseURL() + pathAndQuery));
    request.setHTTPMethod("POST");
    NSURLConnection::sendSynchronousRequest(request);
}

void MapStoreServerProcess::fault(const std::string& path, const std::string& query) const {
    post("/_control/fault?path=" + path + "&" + query);
}

void MapStoreServerProcess::clearFaults() const {
    post("/_control/clear");
}
