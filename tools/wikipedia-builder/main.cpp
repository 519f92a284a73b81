// kelvara-wikipedia-builder: the sample Wikipedia package of a map, made from
// the objects of its geo store that carry a "wikipedia" tag.
#include <cstdio>
#include <string>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "Foundation/NSBundle.h"
#include "ToolOptions.h"
#include "WikipediaPackage.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: kelvara-wikipedia-builder --store FILE --id ID --language LANG "
                 "--output DIR --gpx FILE --bundle DIR --region CODE --country CODE "
                 "[--root DIR]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    auto parsed = parseToolOptions(
        argc, argv,
        {"--store", "--id", "--language", "--output", "--gpx", "--bundle", "--region", "--country"},
        {"--root"});
    if (!parsed)
        return usage();
    auto& options = *parsed;
    CBCoordinatePathValueTransformer::registerTransformer();
    NSBundle::setMainBundlePath(options["--bundle"]);
    WikipediaPackageRequest request{options["--store"],  options["--id"],     options["--language"],
                                    options["--output"], options["--gpx"],    options["--root"],
                                    options["--region"], options["--country"]};
    std::string error;
    if (!WikipediaPackage::build(request, &error)) {
        std::fprintf(stderr, "kelvara-wikipedia-builder: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
