#include "KeptBytes.h"

size_t keptBytes(const nlohmann::json& value) {
    if (value.is_string())
        return kKeptValueBytes + value.get_ref<const std::string&>().size();
    size_t bytes = kKeptValueBytes;
    if (value.is_object()) {
        for (const auto& [key, item] : value.items())
            bytes += key.size() + keptBytes(item);
    } else if (value.is_array()) {
        for (const auto& item : value)
            bytes += keptBytes(item);
    }
    return bytes;
}
