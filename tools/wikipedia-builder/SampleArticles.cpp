#include "SampleArticles.h"

#include <algorithm>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreLocation/CLLocation.h"
#include "wikiguide/ZELWikiGuideItem.h"

namespace {

std::string addressOf(CBGeoObject& object) {
    for (const auto& address : object.addresses()) {
        const auto street = address->street();
        if (!street || street->empty())
            continue;
        std::string text = *street;
        if (const auto number = address->houseNumber())
            text += " " + *number;
        if (const auto zip = address->zipCode())
            text += ", " + *zip + " Neubrandenburg";
        return text;
    }
    return {};
}

}  // namespace

std::vector<SampleArticle> SampleArticles::read(NSManagedObjectContext& context,
                                                const std::string& language) {
    NSFetchRequest request("tag");
    request.predicate = NSPredicate::predicateWithFormat("key = %@", {std::string("wikipedia")});
    const std::string prefix = language + ":";
    std::map<std::string, SampleArticle> byTitle;
    for (const auto& found : context.executeFetchRequest(request).value_or(
             std::vector<std::shared_ptr<NSManagedObject>>{})) {
        auto tag = std::dynamic_pointer_cast<CBGeoTag>(found);
        if (!tag || tag->attribute().rfind(prefix, 0) != 0)
            continue;
        const std::string title = tag->attribute().substr(prefix.size());
        if (title.empty() || byTitle.count(title))
            continue;
        for (const auto& member : tag->objectsForKey("objects")) {
            auto object = std::dynamic_pointer_cast<CBGeoObject>(member);
            if (!object)
                continue;
            SampleArticle article;
            article.title = title;
            std::string path = title;
            std::replace(path.begin(), path.end(), ' ', '_');
            article.sourceUrl = "https://" + language + ".wikipedia.org/wiki/" + path;
            const auto encoded = ZELWikiGuideItem::encodedUrlFromString(article.sourceUrl);
            if (!encoded)
                continue;
            article.url = encoded->absoluteString();
            article.coordinate = {object->doubleForKey("latitude").value_or(0),
                                  object->doubleForKey("longitude").value_or(0)};
            for (const auto& objectTag : object->tags())
                article.tags[objectTag->key()] = objectTag->attribute();
            article.address = addressOf(*object);
            byTitle[title] = std::move(article);
            break;
        }
    }
    std::vector<SampleArticle> articles;
    for (auto& [title, article] : byTitle)
        articles.push_back(std::move(article));
    return articles;
}

double SampleArticles::distance(const SampleArticle& a, const SampleArticle& b) {
    return CLLocation(a.coordinate.latitude, a.coordinate.longitude)
        .distanceFromLocation(CLLocation(b.coordinate.latitude, b.coordinate.longitude));
}
