#pragma once

#include <httplib.h>

#include <atomic>
#include <mutex>
#include <random>
#include <string>

#include "LocalServer.h"
#include "TileRenderer.h"

// The neighbourhood tile service: GET "/neighbourhood/{z}/{x}/{y}.png?apikey=KEY".
// A wrong or missing key answers 403 with an error picture; levels above 11
// and tiles outside the grid answer 404. A delay and a failure rate (500
// answers) play a slow or unreliable service. "/_count" answers how many tile
// requests arrived, for tests that check what a client asked.
class TileServer {
  public:
    struct Options {
        std::string apiKey;
        int delayMilliseconds = 0;
        double failureRate = 0;
    };

    TileServer(const TileRenderer& renderer, Options options);

    // The bound port, or -1.
    int bind(int port);
    void listen() { server_.listen_after_bind(); }

  private:
    void serveTile(const httplib::Request& request, httplib::Response& response);
    bool shouldFail();

    const TileRenderer& renderer_;
    Options options_;
    LocalServer server_;
    std::atomic<long> requests_ = 0;
    std::mutex randomMutex_;
    std::mt19937 random_{20261206};
};
