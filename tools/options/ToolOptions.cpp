#include "ToolOptions.h"

#include <algorithm>

std::optional<std::map<std::string, std::string>> parseToolOptions(
    int argc, const char* const* argv, const std::vector<std::string>& required,
    const std::vector<std::string>& optional) {
    auto known = [&](const std::string& name) {
        return std::find(required.begin(), required.end(), name) != required.end() ||
               std::find(optional.begin(), optional.end(), name) != optional.end();
    };
    if (argc < 1 || (argc - 1) % 2 != 0)
        return std::nullopt;
    std::map<std::string, std::string> options;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!known(argv[i]))
            return std::nullopt;
        options[argv[i]] = argv[i + 1];
    }
    for (const std::string& name : required) {
        if (!options.count(name))
            return std::nullopt;
    }
    return options;
}
