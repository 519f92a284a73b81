#include "Dispatch/DispatchThreadStartHooks.h"

#include <mutex>
#include <vector>

namespace {

std::mutex& hooksMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::vector<std::function<void()>>& hooks() {
    static auto* list = new std::vector<std::function<void()>>;
    return *list;
}

}  // namespace

void DispatchAddThreadStartHook(std::function<void()> hook) {
    if (!hook) {
        return;
    }
    std::lock_guard lock(hooksMutex());
    hooks().push_back(std::move(hook));
}

void DispatchRunThreadStartHooks() {
    std::vector<std::function<void()>> copy;
    {
        std::lock_guard lock(hooksMutex());
        copy = hooks();
    }
    for (const auto& hook : copy) {
        hook();
    }
}
