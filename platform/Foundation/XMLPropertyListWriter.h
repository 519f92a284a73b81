#pragma once

#include <optional>
#include <string>

#include "Foundation/Value.h"

// Writes the XML property list form, indented with tabs. Dates keep whole
// seconds, as the XML form has no fractions. Null values cannot be written.
class XMLPropertyListWriter {
  public:
    static constexpr size_t kMaximumDepth = 512;

    static std::optional<Value::Data> write(const Value& plist, std::string* reason);

  private:
    bool writeValue(const Value& value, size_t depth);
    void writeEscaped(const std::string& text);
    void indent(size_t depth);

    std::string out_;
    std::string reason_;
};
