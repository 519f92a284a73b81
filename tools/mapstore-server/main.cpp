#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "MapStoreServer.h"

// kelvara-mapstore-server --root DIR [--port N]
// Prints the port it listens on as the first line of standard output.
int main(int argc, char** argv) {
    std::string root;
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
            root = argv[++i];
        } else if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s --root DIR [--port N]\n", argv[0]);
            return 2;
        }
    }
    std::error_code error;
    if (root.empty() || !std::filesystem::is_directory(root, error)) {
        std::fprintf(stderr, "%s: --root must name a folder\n", argv[0]);
        return 2;
    }
    MapStoreServer server(std::filesystem::canonical(root).string());
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
