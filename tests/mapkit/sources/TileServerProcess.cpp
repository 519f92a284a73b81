#include "TileServerProcess.h"

#include <cstdio>
#include <cstdlib>

#include "LocalServerSpawn.h"
#include "Net/NSURLConnection.h"

TileServerProcess::TileServerProcess(std::vector<std::string> options) {
    std::vector<std::string> arguments{KELVARA_TILE_SERVER, "--port", "0"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    port_ = spawnLocalServer(std::move(arguments), pid_);
}

void TileServerProcess::stop() {
    stopLocalServer(pid_);
}

long TileServerProcess::tileRequests() const {
    const NSURLRequest request(*NSURL::URLWithString("http://" + host() + "/_count"));
    const auto data = NSURLConnection::sendSynchronousRequest(request);
    return data ? std::atol(std::string(data->begin(), data->end()).c_str()) : -1;
}
