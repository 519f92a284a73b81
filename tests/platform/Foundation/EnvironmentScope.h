#pragma once

#include <stdlib.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Sets (or, for nullopt, unsets) environment variables for one test and
// restores them afterwards.
class EnvironmentScope {
  public:
    using Values = std::vector<std::pair<std::string, std::optional<std::string>>>;

    explicit EnvironmentScope(const Values& values) {
        for (const auto& [name, value] : values) {
            const char* old = getenv(name.c_str());
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            apply(name, value);
        }
    }
    ~EnvironmentScope() {
        for (const auto& [name, value] : saved_)
            apply(name, value);
    }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

  private:
    static void apply(const std::string& name, const std::optional<std::string>& value) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }

    Values saved_;
};
