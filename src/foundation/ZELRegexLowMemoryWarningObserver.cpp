#include "foundation/ZELRegexLowMemoryWarningObserver.h"

#include <mutex>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSNotificationCenter.h"
#include "foundation/ZELRegexCache.h"

namespace {
// The window toolkit posts it; this library links no window toolkit.
constexpr const char* kMemoryWarning = "UIApplicationDidReceiveMemoryWarningNotification";
}  // namespace

void ZELRegexLowMemoryWarningObserver::startObserving() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Kept for the life of the process, as the cache is.
        static auto observer = NSNotificationCenter::defaultCenter()->addObserverForName(
            kMemoryWarning, nullptr, {}, [](const NSNotification&) { lowMemoryWarning(); });
    });
}

void ZELRegexLowMemoryWarningObserver::lowMemoryWarning() {
    if (!ZELRegexCache::shared().clearUnlessBusy())
        DispatchQueue::main()->after(0.1, [] { lowMemoryWarning(); });
}
