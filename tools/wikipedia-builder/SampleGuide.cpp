#include "SampleGuide.h"

#include <algorithm>
#include <cmath>

#include "ArticleText.h"

namespace {

using Group = ArticleText::Group;

// The titles shown first in the guide, when the extract has them.
const std::vector<std::string> kTopTitles{"Stargarder Tor", "Tollensesee"};
// The gate the walk starts at.
constexpr const char* kFirstGate = "Friedländer Tor";

Value articleEntry(const SampleArticle& article, const std::string& imageUrl,
                   const std::string& type, std::optional<double> alongWalk = std::nullopt) {
    Value::Dictionary entry{{"title", Value(article.title)},
                            {"url", Value(article.sourceUrl)},
                            {"image", Value(imageUrl)},
                            {"latitude", Value(article.coordinate.latitude)},
                            {"longitude", Value(article.coordinate.longitude)}};
    if (!type.empty())
        entry["type"] = Value(type);
    if (alongWalk)
        entry["distanceAlongWalk"] = Value(std::round(*alongWalk));
    return Value(entry);
}

// A group's picture is its first article's, else its first sub-group's.
Value group(const std::string& title, const std::string& key, Value::Array articles,
            Value::Array groups = {}, const std::string& type = "") {
    Value::Dictionary entry{{"title", Value(title)}, {"groupKey", Value(key)}};
    const Value* first = !articles.empty() ? &articles.front()
                         : !groups.empty() ? &groups.front()
                                           : nullptr;
    if (const Value* image = first ? first->get("image") : nullptr)
        entry["image"] = *image;
    if (!articles.empty())
        entry["articles"] = Value(std::move(articles));
    if (!groups.empty())
        entry["groups"] = Value(std::move(groups));
    if (!type.empty())
        entry["type"] = Value(type);
    return Value(entry);
}

// The gates and towers of the old town, in walking order round the town.
std::vector<size_t> gateStops(const std::vector<SampleArticle>& articles) {
    std::vector<size_t> stops;
    CLLocationCoordinate2D centre{0, 0};
    for (size_t i = 0; i < articles.size(); ++i) {
        if (ArticleText::kindOf(articles[i]).group == Group::GatesAndTowers) {
            stops.push_back(i);
            centre.latitude += articles[i].coordinate.latitude;
            centre.longitude += articles[i].coordinate.longitude;
        }
    }
    if (stops.empty())
        return stops;
    centre.latitude /= double(stops.size());
    centre.longitude /= double(stops.size());
    auto bearing = [&](size_t i) {
        return std::atan2(articles[i].coordinate.latitude - centre.latitude,
                          articles[i].coordinate.longitude - centre.longitude);
    };
    std::sort(stops.begin(), stops.end(),
              [&](size_t a, size_t b) { return bearing(a) > bearing(b); });
    auto first = std::find_if(stops.begin(), stops.end(),
                              [&](size_t i) { return articles[i].title == kFirstGate; });
    if (first != stops.end())
        std::rotate(stops.begin(), first, stops.end());
    return stops;
}

}  // namespace

SampleGuide SampleGuide::make(const std::vector<SampleArticle>& articles,
                              const std::vector<std::string>& imageUrls,
                              NSManagedObjectContext& context, std::string* error) {
    SampleGuide guide;
    guide.walkTitle = "Rundgang zu den Toren der Altstadt";
    std::map<Group, Value::Array> byGroup;
    Value::Array top;
    for (size_t i = 0; i < articles.size(); ++i) {
        byGroup[ArticleText::kindOf(articles[i]).group].push_back(
            articleEntry(articles[i], imageUrls[i], "sight"));
        if (std::find(kTopTitles.begin(), kTopTitles.end(), articles[i].title) != kTopTitles.end())
            top.push_back(articleEntry(articles[i], imageUrls[i], "top"));
    }
    for (size_t i = 0; top.size() < 2 && i < articles.size(); ++i) {
        if (std::find(kTopTitles.begin(), kTopTitles.end(), articles[i].title) == kTopTitles.end())
            top.push_back(articleEntry(articles[i], imageUrls[i], "top"));
    }

    const auto stops = gateStops(articles);
    std::vector<CLLocationCoordinate2D> points;
    for (size_t i : stops)
        points.push_back(articles[i].coordinate);
    guide.walk = WalkRoute::between(context, points, error);
    if (guide.walk.points.empty())
        return guide;
    Value::Array walkStops;
    for (size_t n = 0; n < stops.size(); ++n)
        walkStops.push_back(articleEntry(articles[stops[n]], imageUrls[stops[n]], "sight",
                                         guide.walk.stopDistances[n]));
    Value::Array coordinates;
    for (const auto& point : guide.walk.points) {
        coordinates.emplace_back(point.latitude);
        coordinates.emplace_back(point.longitude);
    }
    Value::Dictionary walk{
        {"title", Value(guide.walkTitle)},
        {"groupKey", Value("gates-walk")},
        {"type", Value("walk")},
        {"image", Value(imageUrls[stops.front()])},
        {"articles", Value(walkStops)},
        {"path",
         Value(Value::Dictionary{{"title", Value(guide.walkTitle)},
                                 {"totalDistance", Value(std::round(guide.walk.totalDistance))},
                                 {"segments", Value(Value::Array{Value(Value::Dictionary{
                                                  {"coordinates", Value(coordinates)}})})}})}};

    Value::Array groups{
        group("Höhepunkte", "top", top, {}, "top"),
        Value(walk),
        group("Stadttore und Türme", "gates", byGroup[Group::GatesAndTowers]),
        group("Seen", "lakes", byGroup[Group::Lakes]),
        group("Orte", "places", byGroup[Group::Places],
              {group("Dörfer", "villages", byGroup[Group::Villages])}),
        group("Kultur und Bauwerke", "culture", byGroup[Group::Culture]),
        group("Verkehr", "transport", byGroup[Group::Transport]),
    };
    guide.dictionary = Value(Value::Dictionary{
        {"rootGroup",
         Value(Value::Dictionary{{"title", Value("Neubrandenburg")}, {"groups", Value(groups)}})}});
    return guide;
}
