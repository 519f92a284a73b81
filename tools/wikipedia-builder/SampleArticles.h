#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CoreLocation/CLLocationCoordinate2D.h"

class NSManagedObjectContext;

// One sample article: an object of the geo store with a German "wikipedia"
// tag, its position and the tags its text is made from.
struct SampleArticle {
    std::string title;      // the article's title as the tag names it
    std::string sourceUrl;  // the real article's address, as written
    std::string url;        // the same percent-escaped: the key of the store
    CLLocationCoordinate2D coordinate{};
    std::map<std::string, std::string> tags;
    std::string address;  // "street number, zip" or empty
};

namespace SampleArticles {

// The distinct titles of the objects tagged "wikipedia" = "<language>:<title>",
// sorted by title.
std::vector<SampleArticle> read(NSManagedObjectContext& context, const std::string& language);

// Metres between two articles.
double distance(const SampleArticle& a, const SampleArticle& b);

}  // namespace SampleArticles
