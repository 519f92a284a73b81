#pragma once

#include <map>
#include <optional>
#include <string>

#include "Foundation/Value.h"

// Reads localised strings tables: the classic text form
//   /* comment */ "key" = "value";   // comment
// with escapes \" \\ \n \t \r \UXXXX (surrogate pairs joined), unquoted
// words and `"key";` (the value is the key); UTF-8, or UTF-16 with a byte
// order mark. A property list dictionary of strings is accepted as well.
class StringsFileReader {
  public:
    using Table = std::map<std::string, std::string>;

    // nullopt with the reason when the text is malformed.
    static std::optional<Table> read(const Value::Data& data, std::string* reason);

  private:
    explicit StringsFileReader(std::string text) : text_(std::move(text)) {}

    std::optional<Table> readTable();
    bool skipSpaceAndComments();
    std::optional<std::string> readToken();
    std::optional<std::string> readQuoted();
    bool readEscape(std::string& out);
    bool readHexUnit(uint32_t& unit);  // four hexadecimal digits
    bool fail(const std::string& reason);

    std::string text_;
    size_t position_ = 0;
    std::string reason_;
};
