#include "Foundation/ICUString.h"

#include <unicode/ustring.h>

#include "Foundation/PropertyListText.h"

std::optional<std::u16string> ICUStringFromUTF8(std::string_view text) {
    std::u16string result(text.size(), u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(result.data(), static_cast<int32_t>(result.size()), &length, text.data(),
                  static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status))
        return std::nullopt;
    result.resize(static_cast<size_t>(length));
    return result;
}

std::optional<std::string> ICUStringToUTF8(const UChar* text, int32_t length) {
    std::string result(static_cast<size_t>(length) * 3, '\0');
    int32_t written = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8(result.data(), static_cast<int32_t>(result.size()), &written, text, length,
                &status);
    if (U_FAILURE(status))
        return std::nullopt;
    result.resize(static_cast<size_t>(written));
    return result;
}

std::u16string ICUStringFromUTF8Repairing(std::string_view text) {
    // At most one UTF-16 unit per byte, U+FFFD included.
    std::u16string result(text.size(), u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(result.data(), static_cast<int32_t>(result.size()), &length, text.data(),
                         static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    result.resize(U_FAILURE(status) ? 0 : static_cast<size_t>(length));
    return result;
}

std::string UTF8StringByRepairing(std::string_view text) {
    // Most text needs no repair; a large one is not converted twice for it.
    if (PropertyListText::isValidUTF8(reinterpret_cast<const uint8_t*>(text.data()), text.size()))
        return std::string(text);
    const std::u16string units = ICUStringFromUTF8Repairing(text);
    return ICUStringToUTF8(units.data(), static_cast<int32_t>(units.size())).value_or("");
}
