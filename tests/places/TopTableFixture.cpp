#include "TopTableFixture.h"

#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSPredicate.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "model/CBTopTableFiles.h"

namespace {

using Tags = std::vector<std::pair<std::string, std::string>>;

const Tags kBerlinTags{
    {"TT_ID", std::to_string(TopTableFixture::kBerlinVenueID)},
    {"TTStatus", "bookable"},
    {"TTImage", TopTableFixture::kPhotoFileName},
    {"TTRatingOverall", "4.5"},
    {"TTRatingCount", "128"},
    {"TTRatingAmbience", "4"},
    {"TTRatingFood", "4.5"},
    {"TTRatingService", "5"},
    {"TTRatingValue", "3.5"},
    {"TTDescription",
     "Sample data for tests, not a real guide entry. A restaurant in the old town, a few steps "
     "from the town wall: regional cooking with fish from the lakes around the city, game in "
     "autumn and a garden for summer evenings. This text runs on for several lines so that the "
     "place screen shows only its beginning and opens the whole of it on a screen of its own."},
    {"cuisine", "german"},
    {"TTPriceBand", "\u20ac\u20ac"},
    {"TTSignatureDish", "Potato soup with smoked fish (sample)"},
    {"TTDressCode", "Casual"},
    {"opening_hours", "Mo-Su 11:30-22:00"},
    {"TTMenuCourse1",
     "Starters##Potato soup#4.90 \u20ac##Herring salad with apple#6.50 \u20ac##Bread and dripping"},
    {"TTMenuCourse2",
     "Course 2##Roast pork with red cabbage#13.90 \u20ac##Fish of the day#market price#ask us##"
     "Vegetable strudel#11.50 \u20ac"},
    {"TTChecklist", "Vegetarian dishes"},
    {"TTChecklist", "Garden seating"},
    {"TTChecklist", "Cards accepted"},
};

const Tags kPhoneOnlyTags{
    {"TT_ID", std::to_string(TopTableFixture::kPhoneOnlyVenueID)},
    {"TTStatus", "directory"},
    {"TTDescription", "Sample data for tests, not a real guide entry."},
    {"cuisine", "regional"},
};

void addVenue(const std::shared_ptr<NSManagedObjectContext>& context, const std::string& name,
              CLLocationCoordinate2D where, const Tags& tags) {
    auto venue = CBGeoObject::objectInContextAtCoordinate(context, where);
    venue->updateNameAndCanonicalNameForString(name);
    for (const auto& [key, value] : tags)
        venue->addTag(CBGeoTag::tagWithKeyAndAttributeInContext(key, value, context));
}

// A plate with knife and fork on a tablecloth, drawn for the sample.
bool writePhoto(const std::string& path) {
    const CGSize size{320, 240};
    UIGraphicsBeginImageContextWithOptions(size, true, 1);
    CGContextRef context = UIGraphicsGetCurrentContext();
    context->setRGBFillColor(0.55, 0.12, 0.10, 1);
    context->fillRect(CGRectMake(0, 0, size.width, size.height));
    context->setRGBFillColor(0.93, 0.90, 0.84, 1);
    for (int stripe = 0; stripe < 8; ++stripe)
        context->fillRect(CGRectMake(stripe * 40, 0, 18, size.height));
    context->setRGBFillColor(1, 1, 1, 1);
    context->fillEllipseInRect(CGRectMake(90, 50, 140, 140));
    context->setRGBFillColor(0.85, 0.55, 0.20, 1);
    context->fillEllipseInRect(CGRectMake(125, 85, 70, 70));
    context->setRGBFillColor(0.75, 0.75, 0.78, 1);
    context->fillRect(CGRectMake(62, 60, 8, 120));
    context->fillRect(CGRectMake(250, 60, 8, 120));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    const std::vector<uint8_t> jpeg = UIImageJPEGRepresentation(image, 0.85);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
    return !jpeg.empty() && bool(out);
}

}  // namespace

bool TopTableFixture::writeGuideForMapStore(const std::string& mapStorePath, std::string* why) {
    auto fail = [why](const std::string& reason) {
        if (why)
            *why = reason;
        return false;
    };
    auto map = CBGeoDataManager::create();
    if (!map->addPersistentStoreCoordinatorWithPath(mapStorePath))
        return fail("cannot open the map store " + mapStorePath);
    NSFetchRequest request("object");
    request.predicate = NSPredicate::predicateWithFormat("name == %@", {Value("Berlin")});
    const auto found = map->managedObjectContext()->executeFetchRequest(request);
    if (!found || found->size() != 1)
        return fail("the map has no one restaurant \"Berlin\"");
    auto berlin = std::dynamic_pointer_cast<CBGeoObject>(found->front());
    berlin->addTag(CBGeoTag::tagWithKeyAndAttributeInContext(
        "linkedTT_ID", std::to_string(kBerlinVenueID), map->managedObjectContext()));
    if (!map->saveChanges())
        return fail("cannot link \"Berlin\" to the guide");
    const CLLocationCoordinate2D at = berlin->coordinate();

    const std::string guidePath = CBTopTableStorePathForMapStorePath(mapStorePath);
    const std::string images = CBTopTableImagesPathForMapStorePath(mapStorePath);
    std::error_code error;
    std::filesystem::create_directories(images, error);
    if (error)
        return fail("cannot make " + images);
    auto guide = CBGeoDataManager::create();
    if (!guide->addPersistentStoreCoordinatorWithPath(guidePath))
        return fail("cannot make the guide store " + guidePath);
    auto context = guide->managedObjectContext();
    addVenue(context, "Berlin", at, kBerlinTags);
    addVenue(context, kPhoneOnlyVenueName, {at.latitude + 0.002, at.longitude + 0.003},
             kPhoneOnlyTags);
    if (!guide->saveChanges())
        return fail("cannot save the guide store");
    if (!writePhoto(images + "/" + kPhotoFileName))
        return fail("cannot write the photo");
    return true;
}
