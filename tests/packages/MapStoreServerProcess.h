#pragma once

#include <sys/types.h>

#include <string>

#include "Foundation/Value.h"

// tools/mapstore-server run as a child process on 127.0.0.1 over a root
// folder, for one test, with its control endpoints on.
class MapStoreServerProcess {
  public:
    explicit MapStoreServerProcess(const std::string& root);
    ~MapStoreServerProcess();

    bool running() const { return port_ > 0; }
    int port() const { return port_; }
    // "http://127.0.0.1:<port>"
    std::string baseURL() const;
    std::string urlFor(const std::string& path) const { return baseURL() + path; }
    // Every request the server served, oldest first (dictionaries with
    // "method", "path", "range", "ifRange", "status").
    Value::Array log() const;
    // Switches on a fault for a path: `query` is the fault's parameters
    // ("cut=1000&count=1").
    void fault(const std::string& path, const std::string& query) const;
    void clearFaults() const;
    // Lets the answers a "hold=1" fault keeps back on the path go.
    void release(const std::string& path) const;

  private:
    void post(const std::string& pathAndQuery) const;

    pid_t pid_ = -1;
    int port_ = 0;
};
