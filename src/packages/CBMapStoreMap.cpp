#include "packages/CBMapStoreMap.h"

#include <unicode/brkiter.h>
#include <unicode/unistr.h>

#include <any>

#include "CBGeoData/CBCoreDataManager.h"
#include "CoreData/NSStringFolding.h"
#include "Foundation/NSBundle.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreIdentifier.h"
#include "packages/CBMapStoreMapTitle.h"

std::string CBMapStoreMap::localName() {
    const auto all = titles();
    std::vector<std::string> languages = NSBundle::preferredLocalizations();
    for (const std::string& language : languages) {
        for (const auto& record : all) {
            if (record->languageCode() == language) {
                if (auto title = record->title())
                    return *title;
            }
        }
    }
    if (auto name = stringForKey("name"))
        return *name;
    return identifier().value_or("");
}

std::shared_ptr<CBMapStoreCountry> CBMapStoreMap::country() {
    return std::dynamic_pointer_cast<CBMapStoreCountry>(objectForKey("country"));
}

std::shared_ptr<CBMapStoreFederalRegion> CBMapStoreMap::region() {
    return std::dynamic_pointer_cast<CBMapStoreFederalRegion>(objectForKey("region"));
}

std::vector<std::shared_ptr<CBMapStoreMapTitle>> CBMapStoreMap::titles() {
    return objectsOfClassForKey<CBMapStoreMapTitle>("titles");
}

std::shared_ptr<CBCoordinatePath> CBMapStoreMap::shape() {
    std::any value = transformableValueForKey("shape");
    if (auto* path = std::any_cast<std::shared_ptr<CBCoordinatePath>>(&value))
        return *path;
    return nullptr;
}

std::shared_ptr<CBBoundingBox> CBMapStoreMap::bbox() {
    auto corner = [this](const char* key) { return doubleForKey(key).value_or(0.0); };
    return CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
        {corner("NELatitude"), corner("NELongitude")},
        {corner("SWLatitude"), corner("SWLongitude")});
}

CLLocationCoordinate2D CBMapStoreMap::coordinate() {
    return bbox()->centerCoordinate();
}

std::optional<std::string> CBMapStoreMap::code() {
    if (auto federal = region()) {
        if (auto regionCode = federal->regionCode())
            return regionCode;
    }
    if (auto land = country())
        return land->countryCode();
    return std::nullopt;
}

std::string CBMapStoreMap::title() {
    std::string text = localName();
    if (auto federal = region())
        return text + ", " + federal->localName();
    if (auto land = country())
        return text + ", " + land->localName();
    return text;
}

const std::string& CBMapStoreMap::firstLetter() {
    if (!firstLetter_) {
        icu::UnicodeString upper = icu::UnicodeString::fromUTF8(localName());
        upper.toUpper();
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> characters(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        std::string letter;
        if (U_SUCCESS(status) && !upper.isEmpty()) {
            characters->setText(upper);
            const int32_t end = characters->next();
            upper.tempSubString(0, end == icu::BreakIterator::DONE ? upper.length() : end)
                .toUTF8String(letter);
        }
        firstLetter_ = letter;
    }
    return *firstLetter_;
}

int CBMapStoreMap::compare(CBMapStoreMap& other) {
    return NSStringLocalizedCompare(localName(), other.localName(), false);
}

std::optional<std::string> CBMapStoreMap::filePath() {
    auto id = identifier();
    if (!CBMapStoreIsValidIdentifier(id))
        return std::nullopt;
    return CBCoreDataManager::applicationDocumentsDirectory() + "/maps/" + *id + "/" + *id +
           ".sqlite";
}

double CBMapStoreMap::distanceFromCLLocation(const CLLocation& location) {
    const CLLocationCoordinate2D centre = coordinate();
    return CLLocation(centre.latitude, centre.longitude).distanceFromLocation(location);
}
