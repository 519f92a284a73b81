#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "LocalServing.h"
#include "TileRenderer.h"
#include "TileServer.h"
#include "WorldOutlines.h"

// kelvara-tile-server [--port N] [--key KEY] [--world FILE] [--delay MS] [--failure-rate F]
// Prints the port it listens on as the first line of standard output.
int main(int argc, char** argv) {
    int port = 0;
    std::string world = KELVARA_WORLD_OUTLINES;
    // The key the map kit's online layer sends by default.
    TileServer::Options options{"5f3c9a0e7b2d4c18a6e9f01b3d7c5a42"};
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--port") == 0 && hasValue) {
            const auto parsed = parsePort(argv[0], argv[++i]);
            if (!parsed)
                return 2;
            port = *parsed;
        } else if (std::strcmp(argv[i], "--key") == 0 && hasValue)
            options.apiKey = argv[++i];
        else if (std::strcmp(argv[i], "--world") == 0 && hasValue)
            world = argv[++i];
        else if (std::strcmp(argv[i], "--delay") == 0 && hasValue)
            options.delayMilliseconds = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--failure-rate") == 0 && hasValue)
            options.failureRate = std::atof(argv[++i]);
        else {
            std::fprintf(stderr,
                         "usage: %s [--port N] [--key KEY] [--world FILE] [--delay MS] "
                         "[--failure-rate F]\n",
                         argv[0]);
            return 2;
        }
    }
    try {
        const WorldOutlines outlines(world);
        const TileRenderer renderer(outlines);
        TileServer server(renderer, options);
        const int bound = server.bind(port);
        if (bound <= 0) {
            std::fprintf(stderr, "cannot listen on 127.0.0.1:%d\n", port);
            return 1;
        }
        std::printf("%d\n", bound);
        std::fflush(stdout);
        server.listen();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
