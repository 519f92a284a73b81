#include "foundation/ZELFormat.h"

#include "Foundation/NSStringFormat.h"

std::optional<std::string> ZELFormatWithDouble(std::string_view format, double value) {
    auto conversions = NSFormatConversions(format);
    if (!conversions || conversions->size() != 1 ||
        conversions->front().kind != NSFormatConversion::Kind::Real) {
        return std::nullopt;
    }
    return NSStringWithFormat(format, {value});
}
