#include "mapkit/CBMapStoreCities.h"

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoCity.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSManagedObjectContext.h"

CBMapStoreCities CBMapStoreCities::citiesOfDataManager(CBGeoDataManager& data) {
    CBMapStoreCities found;
    auto context = data.managedObjectContext();
    auto request = NSFetchRequest::fetchRequestWithEntityName(CBGeoCity::kEntityName);
    auto rows = context ? context->executeFetchRequest(*request) : std::nullopt;
    if (!rows)
        return found;
    std::shared_ptr<CBGeoCity> last;
    for (auto& row : *rows) {
        auto city = std::dynamic_pointer_cast<CBGeoCity>(row);
        if (!city)
            continue;
        last = city;
        auto cityBox = city->boundingBox();
        if (!cityBox)
            continue;
        if (!found.boundingBox) {
            found.boundingBox =
                CBBoundingBox::boundingBoxWithCoordinateNEAndSW(cityBox->NE(), cityBox->SW());
        } else {
            found.boundingBox->growToIncludeCoordinate(cityBox->NE());
            found.boundingBox->growToIncludeCoordinate(cityBox->SW());
        }
    }
    if (last)
        found.countryCode = last->countryCode();
    return found;
}
