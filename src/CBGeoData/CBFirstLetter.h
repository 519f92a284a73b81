#pragma once

#include <optional>
#include <string>

// The section letter of an alphabetical list: the first user-perceived
// character of the upper-cased text once everything but letters and digits
// is trimmed from both ends; nullopt when nothing is left.
std::optional<std::string> CBFirstLetterOfText(const std::string& text);
