#pragma once

#include <httplib.h>

#include <string>
#include <thread>

// An HTTP server on 127.0.0.1 and a free port, run on its own thread for the
// length of a test fixture.
class LocalHTTPServer {
  public:
    LocalHTTPServer();
    ~LocalHTTPServer();

    httplib::Server& server() { return server_; }
    // Starts listening; routes must be added before.
    void start();
    std::string url(const std::string& path) const;

  private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};
