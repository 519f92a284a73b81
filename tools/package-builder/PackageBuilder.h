#pragma once

#include <map>
#include <string>

#include "GeoStoreWriter.h"

// Builds one map package from an OpenStreetMap file: the folder <id> with
// <id>.sqlite, layers, documents and licence, and <id>.zip beside it. The
// work happens in a temporary folder that is renamed into place only when
// everything is written, so a failure leaves the output folder as it was.
struct PackageRequest {
    std::string input;
    std::string outputDirectory;
    std::string identifier;
    std::string modelPath;  // CBGeoObject.model
    std::string typesPath;  // CBGeoTypes.plist
    std::string countryCode;
    std::map<std::string, std::string> names;  // "EN" -> "Neubrandenburg"
};

class PackageBuilder {
  public:
    // false with *error (a sentence for the user) on failure.
    static bool buildPackage(const PackageRequest& request, std::string* error,
                             GeoStoreWriter::Statistics* statistics = nullptr);
};
