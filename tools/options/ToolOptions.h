#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// A tool's command line of "--name value" pairs, by name. Answers nothing
// when a required option is missing, an option is not one of `required` or
// `optional`, or the last option has no value: a mistyped option is an error,
// not a default.
std::optional<std::map<std::string, std::string>> parseToolOptions(
    int argc, const char* const* argv, const std::vector<std::string>& required,
    const std::vector<std::string>& optional = {});
