#pragma once

#include <optional>
#include <string>

#include "Foundation/Value.h"

class CBGeoTag;

// What a row of a place or line screen tells of one tag: what it is, and
// its value in words.
struct CBPlaceFact {
    std::string label;
    std::string value;
};

// The tags of the map data as a person reads them. Each shown tag has a
// label: the tag translations' name of its key, else the name the app's
// "Tags" texts give it, else its key in words. Values are translated,
// opening hours written out, yes and no said in words, and ";" lists read
// as lists. Tags meant for machines (references to other databases,
// official and operator numbers, import bookkeeping) are left out, and so
// are flags and codes of keys nobody has named.
class CBPlaceFacts {
  public:
    // `translations`: the data manager's tag translations (may be nullptr).
    explicit CBPlaceFacts(const Value* translations) : translations_(translations) {}

    // nullopt for a tag the screens leave out.
    std::optional<CBPlaceFact> factForTag(CBGeoTag& tag) const;
    // The tag's value in words.
    std::string valueText(CBGeoTag& tag) const;
    // The name of the key; "" when nobody has named it.
    std::string labelForKey(const std::string& key) const;
    static bool isMachineKey(const std::string& key);

  private:
    std::string valueItemText(const std::string& key, const std::string& item) const;

    const Value* translations_;
};
