#include "sdk/crash/BITCrashCXXExceptionWrapperException.h"

#include <cxxabi.h>

#include <cstdlib>

BITCrashCXXExceptionWrapperException::BITCrashCXXExceptionWrapperException(
    const BITCrashUncaughtCXXExceptionInfo& info) {
    if (info.exception_type_name != nullptr) {
        int status = 0;
        char* demangled = abi::__cxa_demangle(info.exception_type_name, nullptr, nullptr, &status);
        name_ = status == 0 && demangled != nullptr ? demangled : info.exception_type_name;
        free(demangled);
    }
    if (info.exception_message != nullptr) {
        reason_ = info.exception_message;
    }
    for (uint32_t i = 0; i < info.exception_frames_count && info.exception_frames != nullptr; i++) {
        frames_.push_back(info.exception_frames[i]);
    }
}
