#include "sdk/crash/BITCrashCoreError.h"

void BITCrashCoreSetError(NSError* error, long code, const std::string& description,
                          int posixErrno) {
    if (error == nullptr) {
        return;
    }
    Value::Dictionary userInfo;
    userInfo[NSError::NSLocalizedDescriptionKey] = description;
    if (posixErrno != 0) {
        userInfo[NSError::NSUnderlyingErrorKey] =
            Value::Dictionary{{"domain", "NSPOSIXErrorDomain"}, {"code", posixErrno}};
    }
    *error = NSError::errorWithDomain(BITCrashCoreErrorDomain, code, std::move(userInfo));
}
