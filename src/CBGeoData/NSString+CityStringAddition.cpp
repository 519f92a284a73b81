#include "CBGeoData/NSString+CityStringAddition.h"

#include "CoreData/NSStringFolding.h"
#include "Foundation/NSBundle.h"

namespace {

std::string lookUp(const std::string& key, const std::string& table) {
    auto bundle = NSBundle::mainBundle();
    return bundle ? bundle->localizedStringForKey(key, "", table) : key;
}

int order(const std::string& a, const std::string& b) {
    int result = NSStringCompareFolded(a, b, kPredicateDiacriticInsensitive);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

}  // namespace

std::string localizedName(const std::string& key) {
    return lookUp(key, "");
}

std::string localizedCountryCode(const std::string& key) {
    return lookUp(key, "countrycodes");
}

std::string localizedContinent(const std::string& key) {
    return lookUp(key, "countrycodes");
}

int compareLocalized(const std::string& key, const std::string& other) {
    return order(localizedName(key), localizedName(other));
}

int compareLocalizedCountryCode(const std::string& key, const std::string& other) {
    return order(localizedCountryCode(key), localizedCountryCode(other));
}
