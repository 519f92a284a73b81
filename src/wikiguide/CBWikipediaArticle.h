#pragma once

#include <memory>
#include <optional>
#include <string>

#include "CoreData/NSManagedObject.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreLocation/CLLocation.h"
#include "wikiguide/CBWikipediaArticleData.h"

// An article of the offline Wikipedia ("article"): title, web address,
// position, list letter and folded search key; the body lives in its
// "articledata".
class CBWikipediaArticle : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "article";
    // Registers both entity classes of the article store.
    static void registerClass();
    static std::shared_ptr<CBWikipediaArticle> articleInContext(NSManagedObjectContext& context);

    std::optional<std::string> title() { return stringForKey("title"); }
    std::optional<std::string> url() { return stringForKey("url"); }
    std::optional<std::string> firstLetter() { return stringForKey("firstLetter"); }
    std::optional<std::string> canonicalSearchTerm() { return stringForKey("canonicalSearchTerm"); }
    std::optional<double> latitude() { return doubleForKey("latitude"); }
    std::optional<double> longitude() { return doubleForKey("longitude"); }
    std::shared_ptr<CBWikipediaArticleData> data();

    // The body's HTML; nullopt without a body.
    std::optional<Value::Data> html();
    // Makes the body in the article's own context the first time.
    void setHtml(const Value::Data& html);

    // Missing numbers read as 0.
    CLLocationCoordinate2D coordinate();
    // Its identity as a pin: the URI of its object ID.
    std::string uniqueIdentifier() const { return objectID().URIRepresentation(); }
    // Made on first use and kept: later position changes do not move it.
    std::shared_ptr<CLLocation> coreLocation();
    // Metres to the location service's last position; nullopt without
    // location authorisation or a position.
    std::optional<double> distanceFromLastLocation();
    void setFirstLetterFromTitle();

  private:
    std::shared_ptr<CLLocation> cachedCoreLocation_;
};
