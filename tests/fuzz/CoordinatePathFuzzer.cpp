// Reads arbitrary bytes as a stored coordinate path; whatever reads must
// store again into a blob that reads back as the same path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "Foundation/NSLog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const bool quiet = [] {
        NSLogSetSink([](NSLogLevel, const std::string&) {});
        return true;
    }();
    (void)quiet;

    const CBCoordinatePathValueTransformer transformer;
    const std::any loaded = transformer.reverseTransformedValue(Value::Data(bytes, bytes + size));
    const auto* path = std::any_cast<std::shared_ptr<CBCoordinatePath>>(&loaded);
    if (!path) {
        return 0;
    }
    const std::any stored = transformer.transformedValue(*path);
    const auto* data = std::any_cast<Value::Data>(&stored);
    if (!data || data->size() > size) {
        std::abort();
    }
    const auto again = CBCoordinatePathValueTransformer::pathFromData(*data);
    if (!again || !(*again == **path) ||
        CBCoordinatePathValueTransformer::dataFromPath(*again) != *data) {
        std::abort();
    }
    return 0;
}
