#pragma once

#include <optional>
#include <string>

// base64EncodedString / base64EncodedStringBreakingLines of the string's ASCII
// bytes; nullopt for a string that is not pure ASCII.
std::optional<std::string> base64EncodedString(const std::string& string, bool breakLines = true);
std::optional<std::string> base64EncodedStringBreakingLines(const std::string& string,
                                                            bool breakLines);

// The decoded bytes read as ASCII text; nullopt when they are not ASCII.
std::optional<std::string> stringFromBase64String(const std::string& string);

// Percent-escapes the UTF-8 bytes of everything but letters, digits and
// "-", ".", "_", "~", with upper-case hexadecimal digits.
std::string urlEncoded(const std::string& string);

// Percent escapes replaced; nullopt for a broken escape or a result that is
// not UTF-8.
std::optional<std::string> urlDecoded(const std::string& string);

// The file name under which a file cache keeps what it fetched from a URL:
// the URL's Base64 text in the URL-safe alphabet of RFC 4648 ("-" and "_", no
// "=" and no line breaks), so it is always one path component; names longer
// than 255 bytes become "sha256." and the SHA-256 of the URL in hexadecimal.
std::string urlSafeCacheFileName(const std::string& url);
