#include "MapStoreServerProcess.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Foundation/NSJSONSerialization.h"
#include "LocalServerSpawn.h"
#include "Net/NSURLConnection.h"

MapStoreServerProcess::MapStoreServerProcess(const std::string& root) {
    // The test's own folder is the only place replaceWith may take files from.
    port_ = spawnLocalServer(
        {KELVARA_MAPSTORE_SERVER, "--root", root, "--port", "0", "--test-control", root}, pid_);
}

MapStoreServerProcess::~MapStoreServerProcess() {
    stopLocalServer(pid_);
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

void MapStoreServerProcess::release(const std::string& path) const {
    post("/_control/release?path=" + path);
}

void MapStoreServerProcess::clearFaults() const {
    post("/_control/clear");
}
