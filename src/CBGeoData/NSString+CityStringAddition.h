#pragma once

#include <string>

// City, country and continent names of the application's string tables,
// for a string that is a localisation key.

// The main bundle's default table ("" when missing: the key itself).
std::string localizedName(const std::string& key);
// The table "countrycodes": a country code gives the country's name.
std::string localizedCountryCode(const std::string& key);
std::string localizedContinent(const std::string& key);
// The two localised names compared ignoring diacritics: -1, 0, 1.
int compareLocalized(const std::string& key, const std::string& other);
int compareLocalizedCountryCode(const std::string& key, const std::string& other);
