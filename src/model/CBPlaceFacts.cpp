#include "model/CBPlaceFacts.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "CBGeoData/CBGeoTag.h"
#include "Foundation/NSBundle.h"
#include "model/CBOpeningHours.h"
#include "model/CBPlaceTexts.h"

namespace {

constexpr const char* kTagsTable = "Tags";
// What the bundle answers for a text it does not have.
constexpr const char* kMissing = "\x01";

bool startsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::optional<std::string> tagsText(const std::string& key) {
    auto bundle = NSBundle::mainBundle();
    if (!bundle)
        return std::nullopt;
    std::string text = bundle->localizedStringForKey(key, kMissing, kTagsTable);
    if (text == kMissing)
        return std::nullopt;
    return text;
}

// "fire_hydrant:type" reads "Fire hydrant type".
std::string keyInWords(const std::string& key) {
    std::string words;
    for (char c : key)
        words += c == '_' || c == ':' ? ' ' : c;
    if (!words.empty())
        words[0] = char(std::toupper(static_cast<unsigned char>(words[0])));
    return words;
}

bool hasLetter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        return std::isalpha(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80;
    });
}

bool isFlag(const std::string& value) {
    return value == "yes" || value == "no";
}

}  // namespace

bool CBPlaceFacts::isMachineKey(const std::string& key) {
    // The mapping scheme's "public_transport" says again, less plainly, what
    // the stop's kind says.
    static const std::array<const char*, 20> keys = {
        "wikidata",    "wikipedia",    "wiki",        "image",     "uic_ref",
        "uic_name",    "relatedStops", "firstLetter", "layer",     "area",
        "type",        "admin_level",  "border_type", "onkz",      "created_by",
        "attribution", "check_date",   "name_1",      "undefined", "public_transport"};
    if (std::find(keys.begin(), keys.end(), key) != keys.end())
        return true;
    // Names given in quotes where the tags are named count as read.
    if (tagsText(key))
        return false;
    static const std::array<const char*, 19> prefixes = {
        "openGeoDB:", "opengeodb:", "ebusinesslotse", "wikipedia:", "source", "gtfs",    "ref:",
        "note",       "fixme",      "FIXME",          "ele:",       "is_in:", "ISO3166", "railway:",
        "de:",        "mobility:",  "survey",         "check_date", "osm"};
    for (const char* prefix : prefixes)
        if (startsWith(key, prefix))
            return true;
    for (const char* suffix : {":wikidata", ":wikipedia", "_ref", ":ref"})
        if (endsWith(key, suffix))
            return true;
    return false;
}

std::string CBPlaceFacts::labelForKey(const std::string& key) const {
    if (translations_) {
        if (const Value* entry = translations_->get(key)) {
            if (const std::string* text = entry->stringValue())
                return *text;
            if (const Value* description = entry->get("description"))
                if (const std::string* text = description->stringValue())
                    return *text;
        }
    }
    return tagsText(key).value_or("");
}

std::string CBPlaceFacts::valueItemText(const std::string& key, const std::string& item) const {
    if (translations_) {
        if (const Value* entry = translations_->get(key))
            if (const Value* text = entry->get(item))
                if (const std::string* string = text->stringValue())
                    return *string;
    }
    if (auto text = tagsText(key + "=" + item))
        return *text;
    if (auto text = tagsText("=" + item))
        return *text;
    return item;
}

std::string CBPlaceFacts::valueText(CBGeoTag& tag) const {
    const std::string key = tag.key();
    const std::string value = tag.attribute();
    if (CBGeoTag::translatesOpeningHourAttributeForKey(key))
        return CBOpeningHours::readableText(value);
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= value.size()) {
        size_t end = value.find(';', start);
        if (end == std::string::npos)
            end = value.size();
        if (std::string item = CBTextWithoutOuterBlanks(value.substr(start, end - start));
            !item.empty())
            items.push_back(valueItemText(key, item));
        start = end + 1;
    }
    if (items.empty())
        return value;
    std::string text = CBListInWords(items);
    if (key == "ele" && !hasLetter(text))
        text += " m";
    return text;
}

std::optional<CBPlaceFact> CBPlaceFacts::factForTag(CBGeoTag& tag) const {
    const std::string key = tag.key();
    if (key.empty() || isMachineKey(key))
        return std::nullopt;
    const std::string value = CBTextWithoutOuterBlanks(tag.attribute());
    if (value.empty())
        return std::nullopt;
    std::string label = labelForKey(key);
    if (label.empty()) {
        // Flags and codes of a key nobody named say nothing to a reader.
        if (isFlag(value) || !hasLetter(value))
            return std::nullopt;
        label = keyInWords(key);
    }
    return CBPlaceFact{label, valueText(tag)};
}
