#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// tools/tile-server run as a child process on 127.0.0.1 for one test.
class TileServerProcess {
  public:
    explicit TileServerProcess(std::vector<std::string> options = {});
    ~TileServerProcess() { stop(); }

    bool running() const { return port_ > 0 && pid_ > 0; }
    int port() const { return port_; }
    // "127.0.0.1:<port>"
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    // How many tile requests the server received.
    long tileRequests() const;
    void stop();

  private:
    pid_t pid_ = -1;
    int port_ = 0;
};
