#include "Foundation/ICUString.h"

#include <unicode/ustring.h>

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
