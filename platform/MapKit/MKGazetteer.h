#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreLocation/CLLocation.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

// The offline place list that answers local searches: one place a line,
// "name<TAB>latitude<TAB>longitude<TAB>radius in metres", then, where known,
// "<TAB>locality<TAB>street<TAB>postal code<TAB>phone<TAB>web address"
// (trailing empty fields may be left out); lines starting with "#" are
// comments. The build writes it from the map packages' named places and the
// world outlines' countries.
class MKGazetteer {
  public:
    struct Place {
        std::string name;
        std::string folded;  // case and accents folded, as queries are
        CLLocationCoordinate2D coordinate;
        CLLocationDistance radius;
        // Empty where the list does not know them.
        std::string locality;
        std::string thoroughfare;
        std::string postalCode;
        std::string phoneNumber;
        std::string url;
    };

    // nullptr with *error when the file cannot be read; bad lines are skipped.
    static std::shared_ptr<const MKGazetteer> read(const std::string& path, std::string* error);
    // The main bundle's "gazetteer.tsv" (or the path set for tests), read once.
    static std::shared_ptr<const MKGazetteer> shared(std::string* error);
    // nullopt: the main bundle's file again.
    static void setSharedPath(std::optional<std::string> path);

    // At most limit places for the query: whole names first, then names
    // starting with it, then names with a word starting with it, then names
    // containing it; larger places before smaller ones of the same rank.
    std::vector<Place> placesMatching(const std::string& query, size_t limit) const;
    const std::vector<Place>& places() const { return places_; }

  private:
    std::vector<Place> places_;
};
