#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What to download and how to show it, for the download engine's addDownload:
//
//   engine->addDownload({.url = *url,
//                        .destinationPath = basePath,
//                        .identifier = "liechtenstein",
//                        .type = "map",
//                        .title = "Liechtenstein",
//                        .progressReservedForPostProcessing = 0.4});
//
// A download is known by its identifier and type; asking for one that is
// queued already answers the queued one. Every field has a default, so a
// request names only what it needs.
struct ZELDownloadRequest {
    std::string url = {};
    // The folder the package is unpacked beside and installed into.
    std::string destinationPath = {};
    std::string identifier = {};
    // "map", "wikipedia", "mapStore": picks the installer.
    std::string type = {};
    std::optional<std::string> title = {};
    std::optional<std::string> subTitle = {};
    // The expected size in bytes, when known before the server says it.
    std::optional<int64_t> downloadSize = {};
    // Higher loads first among downloads that failed equally often.
    int priority = 0;
    // The catalogue's identifier of what is loaded (for a map: the map's).
    std::optional<std::string> payLoad = {};
    // The share of the progress bar, 0...1, that belongs to the install.
    double progressReservedForPostProcessing = 0;
};
