#pragma once

#include <string>
#include <vector>

// Opening hours and collection times as a person writes them, in the words
// of the user's language: "Mon–Fri 08:00–19:00, Sat 08:00–13:00",
// "Mon closed". Reads the packages' stored form ("MO.-FR. 08:00-19:00;
// SU. xDAYOFFx") and the plain form of the map data ("Mo-Fr 08:00-18:00;
// PH off"). A rule it cannot read is shown as it stands, its stored words
// localised, so nothing of the value is ever dropped.
class CBOpeningHours {
  public:
    static std::string readableText(const std::string& value);
};

// The items in words: "a", "a and b", "a, b and c".
std::string CBListInWords(const std::vector<std::string>& items);
