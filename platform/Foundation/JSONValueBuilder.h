#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Foundation/Value.h"

// Builds a Value from nlohmann's event (SAX) parser, which keeps its own state
// on the heap; nesting beyond kMaximumDepth stops the parse, so deep input
// cannot exhaust the stack of the code that later walks the tree.
class JSONValueBuilder : public nlohmann::json_sax<nlohmann::json> {
  public:
    static constexpr size_t kMaximumDepth = 512;

    std::optional<Value> result() { return std::move(result_); }
    const std::string& reason() const { return reason_; }

    bool null() override { return add(Value()); }
    bool boolean(bool value) override { return add(Value(value)); }
    bool number_integer(number_integer_t value) override { return add(Value(value)); }
    bool number_unsigned(number_unsigned_t value) override;
    bool number_float(number_float_t value, const string_t&) override { return add(Value(value)); }
    bool string(string_t& value) override { return add(Value(std::move(value))); }
    bool binary(binary_t&) override { return fail("binary values are not JSON"); }
    bool start_object(std::size_t) override { return open(Value(Value::Dictionary{})); }
    bool key(string_t& value) override;
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(Value(Value::Array{})); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t position, const std::string& token,
                     const nlohmann::detail::exception& error) override;

  private:
    bool add(Value value);
    bool open(Value container);
    bool close();
    bool fail(std::string reason);

    std::vector<Value> containers_;
    std::vector<std::string> keys_;  // the pending key of each open dictionary
    std::optional<Value> result_;
    std::string reason_;
};
