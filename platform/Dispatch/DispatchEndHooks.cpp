#include "Dispatch/DispatchEndHooks.h"

#include "Dispatch/DispatchRuntime.h"

void DispatchAddEndHook(std::function<void()> hook) {
    DispatchRuntime::shared().addEndHook(std::move(hook));
}
