#include "wikiguide/CBWikipediaArticleData.h"

void CBWikipediaArticleData::registerClass() {
    NSManagedObject::registerClass("CBWikipediaArticleData",
                                   [] { return std::make_shared<CBWikipediaArticleData>(); });
}

std::shared_ptr<CBWikipediaArticleData> CBWikipediaArticleData::articleDataInContext(
    NSManagedObjectContext& context) {
    return std::dynamic_pointer_cast<CBWikipediaArticleData>(
        context.insertNewObjectForEntityForName(kEntityName));
}

std::optional<Value::Data> CBWikipediaArticleData::html() {
    const Value value = valueForKey("html");
    if (const auto* bytes = value.dataValue())
        return *bytes;
    return std::nullopt;
}

void CBWikipediaArticleData::setHtml(const Value::Data& html) {
    setValueForKey("html", Value(html));
}
