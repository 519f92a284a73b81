#pragma once

#include <optional>
#include <string>

#include "Foundation/Value.h"

// Reads the XML property list form. Only the property list vocabulary is
// understood: the five predefined entities and character references are
// decoded, a document type declaration is skipped and never expanded (no
// entity definitions, no external files), and nesting beyond kMaximumDepth is
// refused, so hostile input cannot expand or exhaust the stack.
class XMLPropertyListReader {
  public:
    static constexpr size_t kMaximumDepth = 512;

    static std::optional<Value> read(const Value::Data& data, std::string* reason);

  private:
    struct Tag {
        std::string name;
        bool closing = false;
        bool empty = false;  // <name/>
    };

    explicit XMLPropertyListReader(const Value::Data& data) : data_(data) {}

    std::optional<Value> readDocument();
    std::optional<Value> readValue(const Tag& tag, size_t depth);
    std::optional<Value> readArray(size_t depth);
    std::optional<Value> readDictionary(size_t depth);
    // The character data up to the closing tag of name.
    std::optional<std::string> readText(const Tag& tag);
    // The next tag, skipping whitespace, comments and processing instructions.
    std::optional<Tag> nextTag();
    std::optional<Tag> readTag();
    bool expectClosing(const std::string& name);
    bool skipPast(const char* terminator);
    bool skipDoctype();
    bool startsWith(const char* prefix) const;
    bool decodeEntity(std::string& text);
    bool fail(const std::string& reason);

    const Value::Data& data_;
    size_t position_ = 0;
    std::string reason_;
};
