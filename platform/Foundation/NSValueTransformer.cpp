#include "Foundation/NSValueTransformer.h"

#include <map>
#include <mutex>
#include <shared_mutex>

namespace {

struct Registry {
    std::shared_mutex mutex;
    std::map<std::string, std::shared_ptr<NSValueTransformer>> transformers;
};

// Never destroyed: stores decode through it on worker threads, which may
// still be drawing while the process exits.
Registry& registry() {
    static auto* shared = new Registry;
    return *shared;
}

}  // namespace

std::any NSValueTransformer::reverseTransformedValue(const std::any&) const {
    return {};
}

void NSValueTransformer::setValueTransformerForName(std::shared_ptr<NSValueTransformer> transformer,
                                                    const std::string& name) {
    Registry& shared = registry();
    std::unique_lock lock(shared.mutex);
    if (transformer) {
        shared.transformers[name] = std::move(transformer);
    } else {
        shared.transformers.erase(name);
    }
}

std::shared_ptr<NSValueTransformer> NSValueTransformer::valueTransformerForName(
    const std::string& name) {
    Registry& shared = registry();
    std::shared_lock lock(shared.mutex);
    auto found = shared.transformers.find(name);
    return found == shared.transformers.end() ? nullptr : found->second;
}
