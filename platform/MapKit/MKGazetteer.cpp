#include "MapKit/MKGazetteer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

#include "CoreData/NSStringFolding.h"
#include "Foundation/NSBundle.h"

namespace {

constexpr int kFolding = kPredicateCaseInsensitive | kPredicateDiacriticInsensitive;

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::optional<double> number(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || !end || *end != '\0' || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// 0 whole name, 1 prefix, 2 word prefix, 3 anywhere; nullopt no match.
std::optional<int> rank(const std::string& name, const std::string& query) {
    if (name == query)
        return 0;
    const auto at = name.find(query);
    if (at == std::string::npos)
        return std::nullopt;
    if (at == 0)
        return 1;
    for (size_t from = at; from != std::string::npos; from = name.find(query, from + 1)) {
        const char before = name[from - 1];
        if (before == ' ' || before == '-' || before == '\'' || before == '(')
            return 2;
    }
    return 3;
}

std::mutex& sharedMutex() {
    static std::mutex mutex;
    return mutex;
}
std::optional<std::string>& sharedPath() {
    static std::optional<std::string> path;
    return path;
}
std::shared_ptr<const MKGazetteer>& sharedGazetteer() {
    static std::shared_ptr<const MKGazetteer> gazetteer;
    return gazetteer;
}

}  // namespace

std::shared_ptr<const MKGazetteer> MKGazetteer::read(const std::string& path, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        if (error)
            *error = "cannot read the place list " + path;
        return nullptr;
    }
    auto gazetteer = std::make_shared<MKGazetteer>();
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, '\t');)
            fields.push_back(field);
        if (fields.size() < 4 || fields.size() > 9)
            continue;
        fields.resize(9);
        const auto latitude = number(fields[1]), longitude = number(fields[2]),
                   radius = number(fields[3]);
        const std::string name = trimmed(fields[0]);
        if (name.empty() || !latitude || !longitude || !radius || *radius < 0 ||
            !CLLocationCoordinate2DIsValid({*latitude, *longitude}))
            continue;
        gazetteer->places_.push_back({name,
                                      NSStringFold(name, kFolding),
                                      {*latitude, *longitude},
                                      *radius,
                                      trimmed(fields[4]),
                                      trimmed(fields[5]),
                                      trimmed(fields[6]),
                                      trimmed(fields[7]),
                                      trimmed(fields[8])});
    }
    return gazetteer;
}

std::shared_ptr<const MKGazetteer> MKGazetteer::shared(std::string* error) {
    std::lock_guard lock(sharedMutex());
    if (sharedGazetteer())
        return sharedGazetteer();
    auto path =
        sharedPath() ? sharedPath() : NSBundle::mainBundle()->pathForResource("gazetteer", "tsv");
    if (!path) {
        if (error)
            *error = "the application has no place list (gazetteer.tsv)";
        return nullptr;
    }
    sharedGazetteer() = read(*path, error);
    return sharedGazetteer();
}

void MKGazetteer::setSharedPath(std::optional<std::string> path) {
    std::lock_guard lock(sharedMutex());
    sharedPath() = std::move(path);
    sharedGazetteer().reset();
}

std::vector<MKGazetteer::Place> MKGazetteer::placesMatching(const std::string& query,
                                                            size_t limit) const {
    const std::string folded = NSStringFold(trimmed(query), kFolding);
    if (folded.empty())
        return {};
    std::vector<std::pair<int, const Place*>> found;
    for (const auto& place : places_)
        if (auto r = rank(place.folded, folded))
            found.emplace_back(*r, &place);
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        if (a.first != b.first)
            return a.first < b.first;
        return a.second->radius > b.second->radius;
    });
    std::vector<Place> places;
    for (size_t i = 0; i < found.size() && i < limit; ++i)
        places.push_back(*found[i].second);
    return places;
}
