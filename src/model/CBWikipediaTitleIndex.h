#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectID.h"
#include "CoreData/NSPersistentStoreCoordinator.h"

// The folded titles of an article store in title order, read once per store,
// so that a keystroke scans memory instead of every row of the store: a
// package of 50,000 titles answers each keystroke within milliseconds.
//
// Used on the search queue only.
class CBWikipediaTitleIndex {
  public:
    // The index of the context's store, read when the store changed.
    static std::shared_ptr<CBWikipediaTitleIndex> indexForContext(
        NSManagedObjectContext& context, std::shared_ptr<CBWikipediaTitleIndex> current);

    // The articles whose folded title contains every word, in title order,
    // at most `limit`.
    std::vector<NSManagedObjectID> articlesContainingAllWords(const std::vector<std::string>& words,
                                                              size_t limit) const;

  private:
    struct Entry {
        std::string term;
        NSManagedObjectID objectID;
    };
    std::weak_ptr<NSPersistentStoreCoordinator> coordinator_;
    std::vector<Entry> entries_;
};
