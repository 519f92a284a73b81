#include <cstdio>
#include <cstring>
#include <string>

#include "BetaEndpoint.h"
#include "CrashEndpoint.h"
#include "FeedbackEndpoint.h"
#include "LocalServing.h"
#include "SdkService.h"
#include "StoreEndpoint.h"
#include "TrackEndpoint.h"

namespace {

int usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s [--port N] [--app ID]... [--builds FILE] [--history N] "
                 "[--memory BYTES] [--test-control]\n",
                 program);
    return 2;
}

// An option followed by a count of its own.
bool isCountOption(const char* option) {
    return std::strcmp(option, "--history") == 0 || std::strcmp(option, "--memory") == 0;
}

}  // namespace

// kelvara-sdk-service [--port N] [--app ID]... [--builds FILE] [--history N] [--memory BYTES]
//                     [--test-control]
// Prints the port it listens on as the first line of standard output.
// --history: how many exchanges GET /_received keeps (default 1000).
// --memory: the budget of what the service holds (default 256 MiB), small
// for tests of a service short of memory.
// --test-control opens the endpoints under "/_" that tests read and steer
// the service with; without it no local program can script its answers.
int main(int argc, char** argv) {
    size_t history = SdkService::kDefaultHistoryLength;
    size_t memory = SdkService::kMemoryBytes;
    bool testControl = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--test-control") == 0) {
            testControl = true;
        } else if (isCountOption(argv[i]) && i + 1 < argc) {
            const auto value = parseDecimal(argv[i + 1]);
            if (!value || *value == 0)
                return usage(argv[0]);
            if (std::strcmp(argv[i], "--history") == 0)
                history = *value;
            else
                memory = *value;
        }
    }
    SdkService service(history, testControl, memory);
    addIntegrationEndpoint(service);
    addTrackEndpoint(service);
    addCrashEndpoint(service);
    addFeedbackEndpoint(service);
    addBetaEndpoint(service);
    addStoreEndpoint(service);
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            const auto parsed = parsePort(argv[0], argv[++i]);
            if (!parsed)
                return 2;
            port = *parsed;
        } else if (std::strcmp(argv[i], "--app") == 0 && i + 1 < argc) {
            service.addApp(argv[++i]);
        } else if (std::strcmp(argv[i], "--builds") == 0 && i + 1 < argc) {
            if (!loadBetaBuilds(service, argv[++i]))
                return 2;
        } else if (isCountOption(argv[i]) && i + 1 < argc) {
            ++i;  // read above
        } else if (std::strcmp(argv[i], "--test-control") != 0) {
            return usage(argv[0]);
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
