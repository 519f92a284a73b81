#pragma once

#include <optional>
#include <string>

// The store's review page of the application with that store identifier,
// opened in the browser; nullopt for an empty identifier.
std::optional<std::string> zel_appStoreReviewURLForAppID(const std::string& appID);
