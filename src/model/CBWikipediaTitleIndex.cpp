#include "model/CBWikipediaTitleIndex.h"

#include "CoreData/NSFetchRequest.h"
#include "wikiguide/CBWikipediaArticle.h"

std::shared_ptr<CBWikipediaTitleIndex> CBWikipediaTitleIndex::indexForContext(
    NSManagedObjectContext& context, std::shared_ptr<CBWikipediaTitleIndex> current) {
    const auto coordinator = context.persistentStoreCoordinator();
    if (!coordinator)
        return nullptr;
    if (current && current->coordinator_.lock() == coordinator)
        return current;
    NSFetchRequest request(CBWikipediaArticle::kEntityName);
    request.sortDescriptors = {NSSortDescriptor{"title", true}};
    const auto articles = context.executeFetchRequest(request);
    if (!articles)
        return nullptr;
    auto index = std::make_shared<CBWikipediaTitleIndex>();
    index->coordinator_ = coordinator;
    index->entries_.reserve(articles->size());
    for (const auto& article : *articles)
        index->entries_.push_back(
            {article->stringForKey("canonicalSearchTerm").value_or(""), article->objectID()});
    // The rows are read; the index is what the searches keep.
    context.reset();
    return index;
}

std::vector<NSManagedObjectID> CBWikipediaTitleIndex::articlesContainingAllWords(
    const std::vector<std::string>& words, size_t limit) const {
    std::vector<NSManagedObjectID> found;
    for (const Entry& entry : entries_) {
        bool all = true;
        for (const auto& word : words) {
            if (entry.term.find(word) == std::string::npos) {
                all = false;
                break;
            }
        }
        if (!all)
            continue;
        found.push_back(entry.objectID);
        if (found.size() == limit)
            break;
    }
    return found;
}
