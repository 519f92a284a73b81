#pragma once

#include <optional>
#include <string>

// Shortens street and stop names for labels and titles with the table of
// the current map's country: "Hauptstraße" to "Hauptstr.", "Avenue des
// Champs" to "Av. des Champs", "Main Street" to "Main St". The geo object
// class offers both operations as its own.
//
// Rules match whole words ("Eastern Road" gives "Eastern Rd", not "Eern
// Rd"); in German and Dutch, where street words end compounds, they match
// the end of a word ("Lindenstraße" gives "Lindenstr.").
//
// The table is process-wide: chosen on the main thread when a map opens,
// read by tile workers at the same time. A reader always sees one whole
// table, the old or the new.
class CBStreetNameAbbreviation {
  public:
    // The table of the country (upper-cased first; "US..." , "UK" and "AU"
    // share the English one); no table for other codes or nullopt.
    static void setCurrentCountryForShortenedNamesWithCountryCode(
        const std::optional<std::string>& countryCode);
    // Names below 6 characters stay as they are; rules apply in turn until
    // one leaves fewer than 6 characters.
    static std::string shortenedNameForCurrentCountryFromString(const std::string& name);
};
