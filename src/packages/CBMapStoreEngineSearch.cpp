#include <algorithm>

#include "CoreData/NSStringFolding.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreMap.h"

namespace {

bool isWordCharacter(unsigned char c) {
    return c >= 0x80 || std::isalnum(c);
}

// Whether the folded text holds the term as a whole term: not inside a
// longer word on either side.
bool containsWholeTerm(const std::string& text, const std::string& term) {
    if (term.empty())
        return false;
    for (size_t at = text.find(term); at != std::string::npos; at = text.find(term, at + 1)) {
        const bool startsWord = at == 0 || !isWordCharacter(text[at - 1]);
        const size_t end = at + term.size();
        const bool endsWord = end == text.size() || !isWordCharacter(text[end]);
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

}  // namespace

std::shared_ptr<NSPredicate> CBMapStoreEngine::predicateForCanonicalSearchTerm(
    const std::string& term) {
    // searchText is stored folded, so a plain CONTAINS matches as the
    // folded comparison would, and runs in SQL without folding each row.
    return NSPredicate::predicateWithFormat("searchText CONTAINS %@", {term});
}

// Rules: nil text, or text shorter than 3 characters after trimming, cancels
// the search (NO, the completion never runs); the text of a pending search
// answers YES and leaves it; the text of the last executed search, with none
// pending, answers NO. A search in other countries or regions is a new question.
bool CBMapStoreEngine::mapsMatchingInCountriesAndFederalRegionsWithCompletionBlock(
    const std::optional<std::string>& text,
    const std::vector<std::shared_ptr<CBMapStoreCountry>>& countries,
    const std::vector<std::shared_ptr<CBMapStoreFederalRegion>>& regions,
    MapsCompletion completion) {
    if (!text || !completion) {
        cancelSearch();
        return false;
    }
    SearchScope scope;
    if (!regions.empty()) {
        for (const auto& region : regions)
            scope.regions.push_back(region->objectID());
    } else {
        for (const auto& country : countries)
            scope.countries.push_back(country->objectID());
    }
    if (!(scope == searchScope_)) {
        cancelSearch();
        searchScope_ = scope;
    }
    auto info = std::make_shared<CBGeoSearchInfo>();
    info->startDate = NSDate::date();
    info->searchString = *text;
    info->delaySearch = true;
    info->completionBlock = [completion](const std::vector<std::any>& found) {
        std::vector<std::shared_ptr<CBMapStoreMap>> maps;
        for (const auto& item : found) {
            if (const auto* map = std::any_cast<std::shared_ptr<CBMapStoreMap>>(&item))
                maps.push_back(*map);
        }
        completion(maps);
    };
    return searchWithGeoSearchInfo(info);
}

void CBMapStoreEngine::startSearchWithSearchInfo(const std::shared_ptr<CBGeoSearchInfo>& info) {
    if (!info)
        return;
    const SearchScope scope = searchScope_;
    auto fetch = [scope](NSManagedObjectContext& context, const CBGeoSearchRequest& request,
                         size_t limit) {
        NSFetchRequest fetchRequest(CBMapStoreMap::kEntityName);
        std::vector<std::shared_ptr<NSPredicate>> conditions{request.searchPredicate};
        if (!scope.regions.empty())
            conditions.push_back(NSPredicate::predicateWithFormat("region IN %@", {scope.regions}));
        else if (!scope.countries.empty())
            conditions.push_back(
                NSPredicate::predicateWithFormat("country IN %@", {scope.countries}));
        fetchRequest.predicate = NSPredicate::andPredicateWithSubpredicates(conditions);
        fetchRequest.sortDescriptors = {NSSortDescriptor{"priority", false}};
        fetchRequest.fetchLimit = limit;
        return context.executeFetchRequest(fetchRequest);
    };
    auto build = [](const CBGeoSearchInfo& job,
                    const std::vector<std::shared_ptr<NSManagedObject>>& rows) {
        struct Hit {
            bool whole;
            int64_t priority;
            std::string name;
            std::shared_ptr<CBMapStoreMap> map;
        };
        std::vector<Hit> hits;
        for (const auto& row : rows) {
            auto map = std::dynamic_pointer_cast<CBMapStoreMap>(row);
            if (!map)
                continue;
            const std::string searchText = map->stringForKey("searchText").value_or("");
            hits.push_back({containsWholeTerm(searchText, job.canonicalSearchString),
                            map->priority(), map->localName(), map});
        }
        std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) {
            if (a.whole != b.whole)
                return a.whole;
            if (a.priority != b.priority)
                return a.priority > b.priority;
            return NSStringLocalizedCompare(a.name, b.name, false) < 0;
        });
        std::vector<std::any> found;
        for (auto& hit : hits)
            found.emplace_back(std::move(hit.map));
        return found;
    };
    runSearchJob(info, fetch, build);
}
