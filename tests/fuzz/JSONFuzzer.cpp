// JSON reader fuzzer: any input must give a value or nullopt, and a value that
// was read must be written and read back to the same value.
#include <cstdint>
#include <cstdlib>

#include "Foundation/NSJSONSerialization.h"
#include "Foundation/NSLog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const bool quiet = [] {
        NSLogSetSink([](NSLogLevel, const std::string&) {});
        return true;
    }();
    (void)quiet;
    std::optional<Value> value =
        NSJSONSerialization::JSONObjectWithData(Value::Data(bytes, bytes + size));
    if (!value)
        return 0;
    std::optional<std::string> text = NSJSONSerialization::stringWithJSONObject(*value);
    if (!text)
        std::abort();  // everything JSON can hold can be written back
    std::optional<Value> reread = NSJSONSerialization::JSONObjectWithString(*text);
    if (!reread || *reread != *value)
        std::abort();
    return 0;
}
