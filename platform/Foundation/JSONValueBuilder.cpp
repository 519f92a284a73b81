#include "Foundation/JSONValueBuilder.h"

bool JSONValueBuilder::number_unsigned(number_unsigned_t value) {
    // Beyond int64 a number is a real, like every other non-integer.
    if (value > static_cast<number_unsigned_t>(INT64_MAX))
        return add(Value(static_cast<double>(value)));
    return add(Value(static_cast<int64_t>(value)));
}

bool JSONValueBuilder::key(string_t& value) {
    keys_.back() = std::move(value);
    return true;
}

bool JSONValueBuilder::parse_error(std::size_t position, const std::string&,
                                   const nlohmann::detail::exception& error) {
    fail(std::string(error.what()) + " (byte " + std::to_string(position) + ")");
    return false;
}

bool JSONValueBuilder::fail(std::string reason) {
    if (reason_.empty())
        reason_ = std::move(reason);
    return false;
}

bool JSONValueBuilder::add(Value value) {
    if (containers_.empty()) {
        result_ = std::move(value);
        return true;
    }
    Value& parent = containers_.back();
    if (parent.type() == Value::Type::Array) {
        parent.mutableArray().push_back(std::move(value));
    } else {
        parent.mutableDictionary().insert_or_assign(keys_.back(), std::move(value));
    }
    return true;
}

bool JSONValueBuilder::open(Value container) {
    if (containers_.size() >= kMaximumDepth)
        return fail("nested too deeply");
    containers_.push_back(std::move(container));
    keys_.emplace_back();
    return true;
}

bool JSONValueBuilder::close() {
    Value finished = std::move(containers_.back());
    containers_.pop_back();
    keys_.pop_back();
    return add(std::move(finished));
}
