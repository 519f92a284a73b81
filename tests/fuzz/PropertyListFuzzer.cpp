// Property list reader fuzzer: any input must give a value or nullopt, and a
// value that was read must survive writing and reading again in both forms.
#include <cstdint>
#include <cstdlib>

#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"

namespace {

void roundTrip(const Value& value, NSPropertyListSerialization::Format format) {
    std::optional<Value::Data> written =
        NSPropertyListSerialization::dataWithPropertyList(value, format);
    // Only a null (which the binary form can hold but no property list may
    // be written with) is allowed to fail.
    if (!written)
        return;
    std::optional<Value> reread = NSPropertyListSerialization::propertyListWithData(*written);
    if (!reread)
        std::abort();
    // Binary keeps every value exactly (NaN aside, which never equals itself).
    if (format == NSPropertyListSerialization::Format::Binary) {
        std::optional<Value::Data> again =
            NSPropertyListSerialization::dataWithPropertyList(*reread, format);
        if (!again || *again != *written)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const bool quiet = [] {
        NSLogSetSink([](NSLogLevel, const std::string&) {});
        return true;
    }();
    (void)quiet;
    const Value::Data data(bytes, bytes + size);
    std::optional<Value> value = NSPropertyListSerialization::propertyListWithData(data);
    if (!value)
        return 0;
    roundTrip(*value, NSPropertyListSerialization::Format::Binary);
    roundTrip(*value, NSPropertyListSerialization::Format::XML);
    return 0;
}
