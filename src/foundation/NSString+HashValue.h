#pragma once

#include <string>

// The SHA-256 digest of the string's UTF-8 bytes as 64 lower-case hexadecimal
// characters (the file names of the guide's images).
std::string sha256String(const std::string& string);
