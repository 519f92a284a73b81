#pragma once

#include <optional>
#include <string>

// Identifiers and codes of the catalogue become file names and URL path
// components: only [A-Za-z0-9_-], 1 to 64 characters, are accepted.
bool CBMapStoreIsValidIdentifier(const std::optional<std::string>& identifier);
