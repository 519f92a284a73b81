#pragma once

#include <string>

#include "Foundation/Value.h"

// Base64 with the standard alphabet ("A"-"Z", "a"-"z", "0"-"9", "+", "/") and
// "=" fill characters.

// Every character outside the alphabet ("=", blanks, line breaks, anything
// else) is skipped; a trailing unit of one character gives nothing. A string
// that is not pure ASCII decodes to empty data.
Value::Data dataFromBase64String(const std::string& string);

// base64EncodedString / base64EncodedStringBreakingLines: with breakLines, a
// "\r\n" after every 64 characters (48 input bytes) when more follows.
std::string base64EncodedString(const Value::Data& data, bool breakLines = true);
std::string base64EncodedStringBreakingLines(const Value::Data& data, bool breakLines);
