#pragma once

#include <string>

#include "Foundation/Value.h"

// A recoverable error: a domain, a code and a userInfo dictionary.
struct NSError {
    static constexpr const char* NSLocalizedDescriptionKey = "NSLocalizedDescription";
    static constexpr const char* NSUnderlyingErrorKey = "NSUnderlyingError";
    static constexpr const char* NSFilePathErrorKey = "NSFilePath";

    static constexpr const char* NSCocoaErrorDomain = "NSCocoaErrorDomain";
    // Codes of the Cocoa domain used here.
    static constexpr long NSFileNoSuchFileError = 4;
    static constexpr long NSFileReadUnknownError = 256;
    static constexpr long NSFileReadNoPermissionError = 257;
    static constexpr long NSFileReadCorruptFileError = 259;
    static constexpr long NSFileReadTooLargeError = 263;
    static constexpr long NSFileWriteUnknownError = 512;
    static constexpr long NSFileWriteNoPermissionError = 513;
    static constexpr long NSFileWriteFileExistsError = 516;
    static constexpr long NSFileWriteOutOfSpaceError = 640;
    static constexpr long NSPropertyListReadCorruptError = 3840;
    static constexpr long NSPropertyListWriteInvalidError = 3851;

    std::string domain;
    long code = 0;
    Value::Dictionary userInfo;

    static NSError errorWithDomain(std::string domain, long code, Value::Dictionary userInfo = {});
    // Stores a Cocoa-domain error with a description (and the file path when
    // given) into *error; does nothing when error is null.
    static void setCocoaError(NSError* error, long code, const std::string& description,
                              const std::string& path = {});
    // userInfo's localized description, else "The operation couldn't be completed. (<domain> error
    // <code>.)"
    std::string localizedDescription() const;
    // "Error Domain=<domain> Code=<code> "<localizedDescription>""
    std::string description() const;
};
