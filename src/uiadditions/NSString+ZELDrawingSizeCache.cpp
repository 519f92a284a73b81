#include "uiadditions/NSString+ZELDrawingSizeCache.h"

#include <cstdio>
#include <mutex>
#include <unordered_map>

#include "UIKit/NSString+UIKit.h"

namespace {

// Enough for every label of a map screen; past it the cache starts over.
constexpr size_t kMaxEntries = 8192;

struct SizeCache {
    std::mutex mutex;
    std::unordered_map<std::string, CGSize> sizes;
};

SizeCache& cache() {
    static SizeCache* instance = new SizeCache;  // used by workers until exit
    return *instance;
}

std::string keyFor(const std::string& text, const UIFontRef& font) {
    char size[64];
    std::snprintf(size, sizeof size, "%.1f", font ? font->pointSize() : 0.0);
    return text + "-" + (font ? font->fontName() : std::string("(null)")) + size;
}

}  // namespace

CGSize zelSizeWithFont(const std::string& text, const UIFontRef& font) {
    const std::string key = keyFor(text, font);
    SizeCache& c = cache();
    {
        std::lock_guard lock(c.mutex);
        auto it = c.sizes.find(key);
        if (it != c.sizes.end()) {
            return it->second;
        }
    }
    const CGSize size = sizeWithFont(text, font);
    std::lock_guard lock(c.mutex);
    if (c.sizes.size() >= kMaxEntries) {
        c.sizes.clear();
    }
    c.sizes.emplace(key, size);
    return size;
}

size_t zelDrawingSizeCacheCount() {
    std::lock_guard lock(cache().mutex);
    return cache().sizes.size();
}
