// kelvara-package-builder: makes a map package from an OpenStreetMap file.
//
//   kelvara-package-builder --input city.osm.pbf --output DIR --id ID
//       --model CBGeoObject.model --types CBGeoTypes.plist
//       [--country CC] [--name LANG=Name ...]
#include <cstdio>
#include <cstring>
#include <string>

#include "PackageBuilder.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: kelvara-package-builder --input FILE --output DIR --id ID --model FILE "
                 "--types FILE [--country CC] [--name LANG=NAME ...]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    PackageRequest request;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (i + 1 >= argc)
            return usage();
        std::string value = argv[++i];
        if (option == "--input")
            request.input = value;
        else if (option == "--output")
            request.outputDirectory = value;
        else if (option == "--id")
            request.identifier = value;
        else if (option == "--model")
            request.modelPath = value;
        else if (option == "--types")
            request.typesPath = value;
        else if (option == "--country")
            request.countryCode = value;
        else if (option == "--name") {
            auto equals = value.find('=');
            if (equals == std::string::npos)
                return usage();
            request.names[value.substr(0, equals)] = value.substr(equals + 1);
        } else {
            return usage();
        }
    }
    if (request.input.empty() || request.outputDirectory.empty() || request.identifier.empty() ||
        request.modelPath.empty() || request.typesPath.empty())
        return usage();
    std::string error;
    GeoStoreWriter::Statistics statistics;
    if (!PackageBuilder::buildPackage(request, &error, &statistics)) {
        std::fprintf(stderr, "kelvara-package-builder: %s\n", error.c_str());
        return 1;
    }
    std::printf(
        "%s: %zu objects, %zu elements, %zu map tiles, %zu tags, %zu addresses, "
        "%zu relations, %zu nodes\n",
        request.identifier.c_str(), statistics.objects, statistics.elements, statistics.mapTiles,
        statistics.tags, statistics.addresses, statistics.relations, statistics.nodes);
    return 0;
}
