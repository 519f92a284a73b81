#pragma once

#include <string>

// The sample Wikipedia package of a map, made from its geo store: the
// article store, the pictures and the guide with one walk, zipped as
// <id>_wiki-<lang>.zip, plus a GPX file of the walk. With a map store server
// folder, the zip is put under wikipedia/<code>/ there and the map's
// statistics get their "wiki" entry.
struct WikipediaPackageRequest {
    std::string storePath;   // the map's <id>.sqlite
    std::string identifier;  // the map's identifier
    std::string language;    // "de"
    std::string outputDirectory;
    std::string gpxPath;
    std::string rootDirectory;  // optional
    std::string regionCode;     // the code of the package's folder on the server ("DE-MV")
    std::string countryCode;    // "DE"
};

namespace WikipediaPackage {

// The main bundle must be the application bundle (models, styles, icons).
bool build(const WikipediaPackageRequest& request, std::string* error);

}  // namespace WikipediaPackage
