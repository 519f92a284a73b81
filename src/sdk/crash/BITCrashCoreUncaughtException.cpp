#include "sdk/crash/BITCrashCoreUncaughtException.h"

#include <atomic>

namespace {

std::atomic<BITCrashCoreUncaughtExceptionHandler> uncaughtExceptionHandler{nullptr};

}  // namespace

BITCrashCoreUncaughtExceptionHandler BITCrashCoreGetUncaughtExceptionHandler() {
    return uncaughtExceptionHandler.load();
}

void BITCrashCoreSetUncaughtExceptionHandler(BITCrashCoreUncaughtExceptionHandler handler) {
    uncaughtExceptionHandler.store(handler);
}
