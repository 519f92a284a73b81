#pragma once

#include <string>

// The stored form of an OpenStreetMap opening_hours or collection_times
// value: day abbreviations and a few words become the fixed tokens the app
// localises ("Mo-Fr 09:00-18:00" is stored as "MO.-FR. 09:00-18:00",
// "Su off" as "SU. xDAYOFFx"). Unknown words stay as they are.
std::string storedOpeningHours(const std::string& value);
