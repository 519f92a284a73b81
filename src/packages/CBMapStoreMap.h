#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePath.h"
#include "CoreData/NSManagedObject.h"
#include "CoreLocation/CLLocation.h"

class CBMapStoreCountry;
class CBMapStoreFederalRegion;
class CBMapStoreMapTitle;
class UIImage;

// A map of the catalogue ("map"); the installed-maps store keeps the same
// entity with the dates and the downloading flag filled. The cover images
// and the distance live in memory only. Main thread, like its context.
class CBMapStoreMap : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "map";

    std::optional<std::string> identifier() { return stringForKey("identifier"); }
    // The title in the user's language, else English, else the stored name.
    std::string localName();
    std::optional<std::string> places() { return stringForKey("places"); }
    std::optional<std::string> subtitle() { return places(); }
    int64_t priority() { return integerForKey("priority").value_or(0); }
    std::shared_ptr<CBMapStoreCountry> country();
    std::shared_ptr<CBMapStoreFederalRegion> region();
    std::vector<std::shared_ptr<CBMapStoreMapTitle>> titles();
    // The outline; nullptr when the catalogue has none.
    std::shared_ptr<CBCoordinatePath> shape();
    std::shared_ptr<CBBoundingBox> bbox();
    CLLocationCoordinate2D coordinate();
    // Where the map's files lie on the server: the region's code, else the country's.
    std::optional<std::string> code();

    std::optional<NSDate> dateAdded() { return dateForKey("dateAdded"); }
    void setDateAdded(const NSDate& date) { setValueForKey("dateAdded", Value(date)); }
    std::optional<NSDate> lastUsed() { return dateForKey("lastUsed"); }
    void setLastUsed(const NSDate& date) { setValueForKey("lastUsed", Value(date)); }
    bool isDownloading() { return boolForKey("isDownloading").value_or(false); }
    void setIsDownloading(bool flag) { setValueForKey("isDownloading", Value(flag)); }

    // "<local name>, <region or country name>".
    std::string title();
    std::string shortTitle() { return localName(); }
    // The first composed character of the upper-cased local name.
    const std::string& firstLetter();
    // By local name: negative, 0 or positive.
    int compare(CBMapStoreMap& other);
    // <Documents>/maps/<id>/<id>.sqlite; nullopt without a valid identifier.
    std::optional<std::string> filePath();
    double distanceFromCLLocation(const CLLocation& location);

    std::shared_ptr<UIImage> coverImage;
    std::shared_ptr<UIImage> blurredCoverImage;
    std::optional<double> currentDistance;

  protected:
    void didTurnIntoFault() override { firstLetter_.reset(); }

  private:
    std::optional<std::string> firstLetter_;
};
