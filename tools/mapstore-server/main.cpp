#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "LocalServing.h"
#include "MapStoreServer.h"

namespace {

constexpr int kMostWriteTimeout = 24 * 60 * 60;

bool isFolder(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

}  // namespace

// kelvara-mapstore-server --root DIR [--port N] [--test-control DIR] [--write-timeout SECONDS]
// Prints the port it listens on as the first line of standard output.
// --test-control turns on the /_control endpoints that tests steer the
// server with; replaceWith may then name files under that folder only.
// --write-timeout: how long a client may take no byte of its answer before
// it is reset (default three minutes), short for tests of clients that stop.
int main(int argc, char** argv) {
    std::string root;
    std::optional<std::string> testData;
    int port = 0;
    std::optional<uint64_t> writeTimeout;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
            root = argv[++i];
        } else if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            const auto parsed = parsePort(argv[0], argv[++i]);
            if (!parsed)
                return 2;
            port = *parsed;
        } else if (std::strcmp(argv[i], "--test-control") == 0 && i + 1 < argc) {
            testData = argv[++i];
        } else if (std::strcmp(argv[i], "--write-timeout") == 0 && i + 1 < argc) {
            writeTimeout = parseDecimal(argv[++i]).value_or(0);
        } else {
            std::fprintf(stderr,
                         "usage: %s --root DIR [--port N] [--test-control DIR] "
                         "[--write-timeout SECONDS]\n",
                         argv[0]);
            return 2;
        }
    }
    if (!isFolder(root)) {
        std::fprintf(stderr, "%s: --root must name a folder\n", argv[0]);
        return 2;
    }
    if (testData && !isFolder(*testData)) {
        std::fprintf(stderr, "%s: --test-control must name a folder\n", argv[0]);
        return 2;
    }
    if (writeTimeout && (*writeTimeout == 0 || *writeTimeout > kMostWriteTimeout)) {
        std::fprintf(stderr, "%s: --write-timeout must be from 1 to %d seconds\n", argv[0],
                     kMostWriteTimeout);
        return 2;
    }
    MapStoreServer server(std::filesystem::canonical(root).string(), testData);
    if (writeTimeout)
        server.setWriteTimeout(std::chrono::seconds(*writeTimeout));
    const int bound = server.bind(port);
    if (bound <= 0) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("%d\n", bound);
    std::fflush(stdout);
    server.listen();
    return 0;
}
