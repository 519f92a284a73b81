#pragma once

#include <memory>

#include "CoreData/NSManagedObject.h"
#include "CoreData/NSManagedObjectContext.h"

// The body of an article ("articledata"): HTML in UTF-8, kept apart from the
// article so that lists and searches never load it.
class CBWikipediaArticleData : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "articledata";
    static void registerClass();
    static std::shared_ptr<CBWikipediaArticleData> articleDataInContext(
        NSManagedObjectContext& context);

    std::optional<Value::Data> html();
    void setHtml(const Value::Data& html);
};
