#pragma once

#include <string>

// The text as a URL query value: every byte but the unreserved ones (letters,
// digits, "-", ".", "_", "~") becomes %XX, so "&", "=", "+", "#", "(" and
// spaces cannot end or split the value. UTF-8 is encoded byte by byte.
std::string stringByAddingPercentEncodingForQueryValue(const std::string& text);
