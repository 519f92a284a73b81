#pragma once

#include <string>
#include <vector>

// "a.b.c" as its segments {"a", "b", "c"}; empty segments are kept, so a
// malformed key path fails where it is used instead of being silently mended.
std::vector<std::string> splitKeyPath(const std::string& keyPath);
