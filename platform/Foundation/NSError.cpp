#include "Foundation/NSError.h"

NSError NSError::errorWithDomain(std::string domain, long code, Value::Dictionary userInfo) {
    NSError error;
    error.domain = std::move(domain);
    error.code = code;
    error.userInfo = std::move(userInfo);
    return error;
}

std::string NSError::localizedDescription() const {
    auto found = userInfo.find(NSLocalizedDescriptionKey);
    if (found != userInfo.end()) {
        if (const std::string* text = found->second.stringValue())
            return *text;
    }
    return "The operation couldn't be completed. (" + domain + " error " + std::to_string(code) +
           ".)";
}

std::string NSError::description() const {
    return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" +
           localizedDescription() + "\"";
}

void NSError::setCocoaError(NSError* error, long code, const std::string& description,
                            const std::string& path) {
    if (!error)
        return;
    Value::Dictionary userInfo{{NSLocalizedDescriptionKey, description}};
    if (!path.empty())
        userInfo[NSFilePathErrorKey] = path;
    *error = errorWithDomain(NSCocoaErrorDomain, code, std::move(userInfo));
}
