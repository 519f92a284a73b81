#include "TelemetryTestSupport.h"

#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "Foundation/NSData+Files.h"
#include "Foundation/NSJSONSerialization.h"
#include "Foundation/NSUserDefaults.h"
#include "Net/NSURLConnection.h"
#include "sdk/BITMetricsManager.h"
#include "sdk/BITPersistence.h"

extern char** environ;

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
    int output[2];
    if (pipe(output) != 0)
        return;
    std::string program = KELVARA_SDK_SERVICE;
    std::string portFlag = "--port";
    std::string portText = std::to_string(port);
    char* argv[] = {program.data(), portFlag.data(), portText.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawned != 0) {
        pid_ = -1;
        close(output[0]);
        return;
    }
    FILE* stream = fdopen(output[0], "r");
    char line[32] = {};
    running_ = stream && std::fgets(line, sizeof line, stream) && std::atoi(line) == port;
    if (stream)
        std::fclose(stream);
}

SdkServiceOnPort::~SdkServiceOnPort() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
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
