// Program entry. Until the map window exists, the program sets up the
// application's folders and the stored-path transformer, then says plainly
// what is not there yet.
#include <cstdio>
#include <cstring>
#include <string>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "Foundation/NSPathUtilities.h"

namespace {
void printUsage() {
    std::puts(
        "usage: kelvara [--home DIR]\n"
        "  --home DIR   keep Documents, Caches, Library and the user defaults under DIR");
}
}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--home") == 0 && i + 1 < argc) {
            NSSetApplicationHome(argv[++i]);
        } else if (std::strcmp(argv[i], "--help") == 0) {
            printUsage();
            return 0;
        } else {
            std::fprintf(stderr, "kelvara: unknown argument '%s'\n", argv[i]);
            printUsage();
            return 2;
        }
    }

    CBCoordinatePathValueTransformer::registerTransformer();
    const std::string documents = NSSearchPathForDirectory(NSSearchPathDirectory::Documents);

    std::printf("Kelvara: documents folder %s\n", documents.c_str());
    std::puts(
        "Kelvara has no map window yet: the foundation layer (geometry, coordinate paths,\n"
        "property lists, user defaults, dispatch) is built and tested, but map packages,\n"
        "rendering and the screens are not. Run scripts/test to see what works.");
    return 0;
}
