#include "packages/CBMapStoreIdentifier.h"

namespace {
constexpr size_t kMaximumIdentifierLength = 64;
}

bool CBMapStoreIsValidIdentifier(const std::optional<std::string>& name) {
    if (!name)
        return false;
    const std::string& identifier = *name;
    if (identifier.empty() || identifier.size() > kMaximumIdentifierLength)
        return false;
    for (unsigned char c : identifier) {
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                             (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!allowed)
            return false;
    }
    return true;
}
