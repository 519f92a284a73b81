#include "wikiguide/CBWikipediaArticle.h"

#include "CBGeoData/CBFirstLetter.h"
#include "foundation/CLLocationManager+AuthorizationStatus.h"
#include "location/CBLocationManager.h"

void CBWikipediaArticle::registerClass() {
    NSManagedObject::registerClass("CBWikipediaArticle",
                                   [] { return std::make_shared<CBWikipediaArticle>(); });
    CBWikipediaArticleData::registerClass();
}

std::shared_ptr<CBWikipediaArticle> CBWikipediaArticle::articleInContext(
    NSManagedObjectContext& context) {
    return std::dynamic_pointer_cast<CBWikipediaArticle>(
        context.insertNewObjectForEntityForName(kEntityName));
}

std::shared_ptr<CBWikipediaArticleData> CBWikipediaArticle::data() {
    return std::dynamic_pointer_cast<CBWikipediaArticleData>(objectForKey("data"));
}

std::optional<Value::Data> CBWikipediaArticle::html() {
    const auto body = data();
    return body ? body->html() : std::nullopt;
}

void CBWikipediaArticle::setHtml(const Value::Data& html) {
    auto body = data();
    if (!body) {
        const auto context = managedObjectContext();
        if (!context)
            return;
        body = CBWikipediaArticleData::articleDataInContext(*context);
        setObjectForKey("data", body);
    }
    body->setHtml(html);
}

CLLocationCoordinate2D CBWikipediaArticle::coordinate() {
    return CLLocationCoordinate2DMake(latitude().value_or(0.0), longitude().value_or(0.0));
}

std::shared_ptr<CLLocation> CBWikipediaArticle::coreLocation() {
    if (!cachedCoreLocation_) {
        const auto here = coordinate();
        cachedCoreLocation_ = std::make_shared<CLLocation>(here.latitude, here.longitude);
    }
    return cachedCoreLocation_;
}

std::optional<double> CBWikipediaArticle::distanceFromLastLocation() {
    if (!ZEL_hasWhenInUseOrAlwaysAuthorizationStatus())
        return std::nullopt;
    const auto manager = CBLocationManager::sharedInstance();
    const auto last = manager ? manager->location() : nullptr;
    if (!last)
        return std::nullopt;
    return coreLocation()->distanceFromLocation(*last);
}

void CBWikipediaArticle::setFirstLetterFromTitle() {
    const auto title = stringForKey("title");
    const auto letter = title ? CBFirstLetterOfText(*title) : std::nullopt;
    setValueForKey("firstLetter", letter ? Value(*letter) : Value());
}
