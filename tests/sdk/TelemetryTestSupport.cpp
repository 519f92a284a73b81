#include "TelemetryTestSupport.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "Foundation/NSData+Files.h"
#include "Foundation/NSJSONSerialization.h"
#include "Foundation/NSUserDefaults.h"
#include "LocalServerSpawn.h"
#include "Net/NSURLConnection.h"
#include "sdk/BITMetricsManager.h"
#include "sdk/BITPersistence.h"

void resetTelemetryStorage() {
    BITPersistence persistence;
    std::error_code error;
    for (const int type : {BITPersistenceTypeTelemetry, BITPersistenceTypeMetaData}) {
        for (const auto& entry :
             std::filesystem::directory_iterator(persistence.folderPathForType(type), error))
            std::filesystem::remove_all(entry.path(), error);
    }
    const auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->removeObjectForKey(kBITApplicationWasLaunched);
    defaults->removeObjectForKey(kBITApplicationDidEnterBackgroundTime);
    defaults->synchronize();
}

std::vector<std::string> telemetryFiles(BITPersistence& persistence) {
    persistence.waitForPendingWrites();
    return persistence.persistedFilesForType(BITPersistenceTypeTelemetry)
        .value_or(std::vector<std::string>{});
}

std::string writeTelemetryFile(BITPersistence& persistence, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    const std::string path = persistence.fileURLForType(BITPersistenceTypeTelemetry);
    writeDataToFile(Value::Data(text.begin(), text.end()), path, true);
    return path;
}

int unusedLocalPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

SdkServiceOnPort::SdkServiceOnPort(int port) {
    running_ =
        spawnLocalServer({KELVARA_SDK_SERVICE, "--port", std::to_string(port), "--test-control"},
                         pid_) == port;
}

SdkServiceOnPort::~SdkServiceOnPort() {
    stopLocalServer(pid_);
}

Value receivedTelemetry(const std::string& baseURL) {
    const NSURLRequest request(*NSURL::URLWithString(baseURL + "_telemetry"));
    const auto data = NSURLConnection::sendSynchronousRequest(request);
    if (!data)
        return Value(Value::Dictionary{});
    return NSJSONSerialization::JSONObjectWithData(*data).value_or(Value(Value::Dictionary{}));
}

Value::Array receivedTelemetryLines(const std::string& baseURL) {
    const Value received = receivedTelemetry(baseURL);
    const Value* lines = received.get("lines");
    return lines && lines->arrayValue() ? *lines->arrayValue() : Value::Array{};
}

Value::Array trackExchanges(const Value& received) {
    Value::Array exchanges;
    if (const auto* all = received.arrayValue()) {
        for (const Value& exchange : *all) {
            const Value* path = exchange.get("path");
            if (path && path->stringValue() && *path->stringValue() == "/v2/track")
                exchanges.push_back(exchange);
        }
    }
    return exchanges;
}
