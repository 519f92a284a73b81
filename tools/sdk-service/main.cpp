#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BetaEndpoint.h"
#include "CrashEndpoint.h"
#include "FeedbackEndpoint.h"
#include "SdkService.h"
#include "StoreEndpoint.h"
#include "TrackEndpoint.h"

// kelvara-sdk-service [--port N] [--app ID]... [--builds FILE]
// Prints the port it listens on as the first line of standard output.
int main(int argc, char** argv) {
    SdkService service;
    addIntegrationEndpoint(service);
    addTrackEndpoint(service);
    addCrashEndpoint(service);
    addFeedbackEndpoint(service);
    addBetaEndpoint(service);
    addStoreEndpoint(service);
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--app") == 0 && i + 1 < argc) {
            service.addApp(argv[++i]);
        } else if (std::strcmp(argv[i], "--builds") == 0 && i + 1 < argc) {
            if (!loadBetaBuilds(service, argv[++i]))
                return 2;
        } else {
            std::fprintf(stderr, "usage: %s [--port N] [--app ID]... [--builds FILE]\n", argv[0]);
            return 2;
        }
    }
    const int bound = service.bind(port);
    if (bound <= 0) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("%d\n", bound);
    std::fflush(stdout);
    service.listen();
    return 0;
}
