#pragma once

#include <string>

class CBMapStoreInfoMap;

// The texts of a catalogue map's statistics on its detail screen.
namespace CBMapDetailStatistics {

// A record the screen can show: a version, a size of at least 0.05 MB and
// points of interest.
bool isValid(const CBMapStoreInfoMap* info);
// The version date (long style) and the package size in megabytes.
std::string generalLine(const CBMapStoreInfoMap& info);
// What the map offers of Wikipedia. An empty "wiki" dictionary offers
// nothing: it must not claim a guide and walks for zero languages.
std::string wikipediaLine(const CBMapStoreInfoMap& info, bool packageInstalled);
// The package size in megabytes (the record gives bytes).
double megabytes(int64_t bytes);

}  // namespace CBMapDetailStatistics
