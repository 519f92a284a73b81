#include "PackageBuilder.h"

#include <unistd.h>

#include <filesystem>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "OsmData.h"
#include "PackageArchive.h"
#include "TypeTable.h"

namespace fs = std::filesystem;

namespace {

bool writeStore(const PackageRequest& request, const OsmData& data, const TypeTable& types,
                const std::string& storePath, bool* hasRoutes, std::string* error,
                GeoStoreWriter::Statistics* statistics) {
    auto model = NSManagedObjectModel::modelWithContentsOfFile(request.modelPath);
    if (!model) {
        *error = "cannot read the geo object model " + request.modelPath;
        return false;
    }
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    NSError storeError;
    if (!coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", storePath, {},
                                                 &storeError)) {
        *error = "cannot create the geo store: " + storeError.localizedDescription();
        return false;
    }
    auto context = std::make_shared<NSManagedObjectContext>();
    context->setPersistentStoreCoordinator(coordinator);
    GeoStoreWriter writer(types, context, {request.countryCode, request.names});
    if (!writer.write(data, error))
        return false;
    *hasRoutes = writer.hasTransitRoutes();
    if (statistics)
        *statistics = writer.statistics();
    context->reset();
    return true;
}

}  // namespace

bool PackageBuilder::buildPackage(const PackageRequest& request, std::string* error,
                                  GeoStoreWriter::Statistics* statistics) {
    if (request.identifier.empty() || request.identifier.find('/') != std::string::npos) {
        *error = "the package identifier must be a plain name";
        return false;
    }
    auto types = TypeTable::tableWithContentsOfFile(request.typesPath);
    if (!types) {
        *error = "cannot read the type table " + request.typesPath;
        return false;
    }
    std::string readError;
    auto data = OsmData::dataWithContentsOfFile(request.input, &readError);
    if (!data) {
        *error = "cannot read map data from " + request.input + ": " + readError;
        return false;
    }
    CBCoordinatePathValueTransformer::registerTransformer();
    CBGeoEntityRegistry::registerClasses();

    fs::path output(request.outputDirectory);
    fs::path work = output / ("." + request.identifier + ".building-" + std::to_string(getpid()));
    fs::path folder = work / request.identifier;
    fs::path zip = work / (request.identifier + ".zip");
    std::error_code code;
    fs::remove_all(work, code);
    fs::create_directories(folder, code);
    if (code) {
        *error = "cannot create " + folder.string() + ": " + code.message();
        return false;
    }
    auto fail = [&work](void) {
        std::error_code ignored;
        fs::remove_all(work, ignored);
        return false;
    };
    bool hasRoutes = false;
    std::string storePath = (folder / (request.identifier + ".sqlite")).string();
    if (!writeStore(request, *data, *types, storePath, &hasRoutes, error, statistics))
        return fail();
    PackageArchive::Contents contents{request.identifier, request.identifier, hasRoutes};
    if (!PackageArchive::writeSupportFiles(folder.string(), contents, error) ||
        !PackageArchive::zipFolder(folder.string(), zip.string(), error))
        return fail();

    fs::path finalFolder = output / request.identifier;
    fs::path finalZip = output / (request.identifier + ".zip");
    fs::remove_all(finalFolder, code);
    fs::remove(finalZip, code);
    fs::rename(folder, finalFolder, code);
    if (!code)
        fs::rename(zip, finalZip, code);
    if (code) {
        *error = "cannot move the package into " + output.string() + ": " + code.message();
        return fail();
    }
    fs::remove_all(work, code);
    return true;
}
