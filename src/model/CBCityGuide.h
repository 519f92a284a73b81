#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Value.h"

class CBGeoDataManager;
class CBGeoTag;
class NSPredicate;

// One entry of a tag filter: a tag key of the geo store, and the value to
// match when one is given ("amenity" = "restaurant", or all of "shop").
struct CBGuideTagFilterEntry {
    std::string key;
    std::optional<std::string> attribute;
    bool operator==(const CBGuideTagFilterEntry&) const = default;
};
using CBGuideTagFilter = std::vector<CBGuideTagFilterEntry>;

// The stored form of a filter: an array of dictionaries with "key" and, when
// given, "attribute".
Value CBGuideTagFilterToValue(const CBGuideTagFilter& filter);
// nullopt unless the value is an array of dictionaries, each with a string
// "key" and no "attribute" or a string one.
std::optional<CBGuideTagFilter> CBGuideTagFilterFromValue(const Value& value);

// A category of the guide: its places are those carrying a tag of the filter.
struct CBCityGuideRow {
    std::string title;
    // The first of the icon names, when there is one.
    std::optional<std::string> icon;
    CBGuideTagFilter tags;
    // Places without a name are listed and counted too.
    bool showUnnamed = false;
};

// A circle of the dial: its categories, or the index of first letters.
struct CBCityGuideSection {
    std::string title;
    std::optional<std::string> icon;
    std::vector<CBCityGuideRow> rows;
    // Opens the index of first letters instead of categories.
    bool letterIndex = false;
};

// The definition of the city guide, the bundle's "CBCityGuide.plist": an
// array of sections ("sectionTitle", "sectionIcon", "rows"), each row with
// "rowTitle", "rowIcon" (names separated by ";"), "rowTags" (the filter) and
// "rowShowUnnamed". The tenth section of the file is the letter index. And
// what a row selects in a map's geo store.
class CBCityGuide {
  public:
    static constexpr const char* kResourceName = "CBCityGuide";
    static constexpr size_t kLetterIndexSection = 9;

    // The sections of the bundle's file; none (and one log line) when the
    // file is missing or not an array.
    static std::vector<CBCityGuideSection> content();
    // The sections of a parsed file; a section or row of the wrong shape is
    // left out with a log line naming it.
    static std::vector<CBCityGuideSection> sectionsFromPropertyList(const Value& root);

    // The number of places of the row: the stored totals of its tags (named
    // places only unless it shows unnamed ones too); 0 without a store.
    static long countOfRow(CBGeoDataManager& manager, const CBGuideTagFilter& tags,
                           bool showUnnamed);
    // The tags the filter selects, entry by entry: every tag of a key, at
    // most two of a key and value.
    static std::vector<std::shared_ptr<CBGeoTag>> tagsOfFilter(CBGeoDataManager& manager,
                                                               const CBGuideTagFilter& tags);
    // The places carrying one of the tags (named ones only, unless asked).
    static std::shared_ptr<NSPredicate> objectPredicate(
        const std::vector<std::shared_ptr<CBGeoTag>>& tags, bool showUnnamed);
};
