#include "model/CBCityGuide.h"

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSPredicate.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"

namespace {

// A key and value pair names one tag, but a store may hold it twice.
constexpr size_t kTagsPerKeyAndValue = 2;

const std::string* stringOf(const Value& dictionary, const char* key) {
    const Value* value = dictionary.get(key);
    return value ? value->stringValue() : nullptr;
}

// Whether the key is missing or holds a string.
bool optionalString(const Value& dictionary, const char* key) {
    const Value* value = dictionary.get(key);
    return !value || value->stringValue();
}

std::optional<CBCityGuideRow> rowFromValue(const Value& value, std::string* problem) {
    if (!value.dictionaryValue()) {
        *problem = "it is not a dictionary";
        return std::nullopt;
    }
    const std::string* title = stringOf(value, "rowTitle");
    if (!title) {
        *problem = "\"rowTitle\" is not a text";
        return std::nullopt;
    }
    const Value* tagsValue = value.get("rowTags");
    auto tags = tagsValue ? CBGuideTagFilterFromValue(*tagsValue) : std::nullopt;
    if (!tags) {
        *problem = "\"rowTags\" is not a list of dictionaries with a text \"key\"";
        return std::nullopt;
    }
    const Value* unnamed = value.get("rowShowUnnamed");
    if (unnamed && unnamed->type() != Value::Type::Bool) {
        *problem = "\"rowShowUnnamed\" is not a boolean";
        return std::nullopt;
    }
    if (!optionalString(value, "rowIcon")) {
        *problem = "\"rowIcon\" is not a text";
        return std::nullopt;
    }
    CBCityGuideRow row;
    row.title = *title;
    row.tags = std::move(*tags);
    row.showUnnamed = unnamed && *unnamed->boolValue();
    // Only the first of several names is used.
    if (const std::string* icon = stringOf(value, "rowIcon"); icon && !icon->empty())
        row.icon = icon->substr(0, icon->find(';'));
    return row;
}

}  // namespace

Value CBGuideTagFilterToValue(const CBGuideTagFilter& filter) {
    Value::Array entries;
    for (const auto& entry : filter) {
        Value::Dictionary dictionary{{"key", Value(entry.key)}};
        if (entry.attribute)
            dictionary["attribute"] = Value(*entry.attribute);
        entries.emplace_back(std::move(dictionary));
    }
    return Value(std::move(entries));
}

std::optional<CBGuideTagFilter> CBGuideTagFilterFromValue(const Value& value) {
    const Value::Array* entries = value.arrayValue();
    if (!entries)
        return std::nullopt;
    CBGuideTagFilter filter;
    for (const Value& entry : *entries) {
        const std::string* key = entry.dictionaryValue() ? stringOf(entry, "key") : nullptr;
        if (!key || !optionalString(entry, "attribute"))
            return std::nullopt;
        const std::string* attribute = stringOf(entry, "attribute");
        filter.push_back({*key, attribute ? std::optional<std::string>(*attribute) : std::nullopt});
    }
    return filter;
}

std::vector<CBCityGuideSection> CBCityGuide::content() {
    const auto path = NSBundle::mainBundle()->pathForResource(kResourceName, "plist");
    std::optional<Value> root;
    if (path)
        root = NSPropertyListSerialization::propertyListWithContentsOfFile(*path);
    if (!root || !root->arrayValue()) {
        NSLogWithLevel(NSLogLevel::Error, "City guide: %s.plist is %s; the guide has no sections",
                       kResourceName, path ? "not an array" : "missing");
        return {};
    }
    return sectionsFromPropertyList(*root);
}

std::vector<CBCityGuideSection> CBCityGuide::sectionsFromPropertyList(const Value& root) {
    std::vector<CBCityGuideSection> sections;
    const Value::Array* items = root.arrayValue();
    if (!items)
        return sections;
    for (size_t index = 0; index < items->size(); ++index) {
        const Value& item = (*items)[index];
        const bool letterIndex = index == kLetterIndexSection;
        const std::string* title =
            item.dictionaryValue() ? stringOf(item, "sectionTitle") : nullptr;
        const Value* rows = item.get("rows");
        // The letter index uses only its title and icon.
        const bool rowsFit = rows ? rows->arrayValue() != nullptr : letterIndex;
        if (!title || !optionalString(item, "sectionIcon") || !rowsFit) {
            NSLogWithLevel(NSLogLevel::Error,
                           "City guide: section %zu is left out: it needs a text \"sectionTitle\", "
                           "a text \"sectionIcon\" and an array \"rows\"",
                           index);
            continue;
        }
        CBCityGuideSection section;
        section.title = *title;
        if (const std::string* icon = stringOf(item, "sectionIcon"))
            section.icon = *icon;
        section.letterIndex = letterIndex;
        const Value::Array* rowItems = rows ? rows->arrayValue() : nullptr;
        for (size_t r = 0; rowItems && r < rowItems->size(); ++r) {
            std::string problem;
            if (auto row = rowFromValue((*rowItems)[r], &problem))
                section.rows.push_back(std::move(*row));
            else
                NSLogWithLevel(NSLogLevel::Error,
                               "City guide: row %zu of section \"%s\" is left out: %s", r,
                               title->c_str(), problem.c_str());
        }
        sections.push_back(std::move(section));
    }
    return sections;
}

long CBCityGuide::countOfRow(CBGeoDataManager& manager, const CBGuideTagFilter& tags,
                             bool showUnnamed) {
    auto context = manager.managedObjectContext();
    long total = 0;
    for (const auto& entry : tags) {
        auto request = manager.requestForTagsWithKeyAndAttribute(entry.key, entry.attribute);
        if (!request || !context)
            continue;
        request->includesSubentities = false;
        auto found = context->executeFetchRequest(*request);
        if (!found)
            continue;
        for (const auto& object : *found) {
            auto* tag = dynamic_cast<CBGeoTag*>(object.get());
            if (!tag)
                continue;
            const auto count = showUnnamed ? tag->total() : tag->totalNamed();
            total += count ? long(*count) : 0;
        }
    }
    return total;
}

// A key's count takes every tag of the key, so its list does too: a limit
// here would list fewer places than the row counts.
std::vector<std::shared_ptr<CBGeoTag>> CBCityGuide::tagsOfFilter(CBGeoDataManager& manager,
                                                                 const CBGuideTagFilter& tags) {
    std::vector<std::shared_ptr<CBGeoTag>> result;
    auto context = manager.managedObjectContext();
    for (const auto& entry : tags) {
        auto request = manager.requestForTagsWithKeyAndAttribute(entry.key, entry.attribute);
        if (!request || !context)
            continue;
        request->fetchLimit = entry.attribute ? kTagsPerKeyAndValue : 0;
        auto found = context->executeFetchRequest(*request);
        if (!found)
            continue;
        for (const auto& object : *found)
            if (auto tag = std::dynamic_pointer_cast<CBGeoTag>(object))
                result.push_back(std::move(tag));
    }
    return result;
}

std::shared_ptr<NSPredicate> CBCityGuide::objectPredicate(
    const std::vector<std::shared_ptr<CBGeoTag>>& tags, bool showUnnamed) {
    std::vector<std::shared_ptr<NSManagedObject>> objects(tags.begin(), tags.end());
    return NSPredicate::predicateWithFormat(
        showUnnamed ? "ANY tags IN %@" : "name != nil AND ANY tags IN %@", {objects});
}
