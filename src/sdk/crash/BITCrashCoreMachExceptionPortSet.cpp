#include "sdk/crash/BITCrashCoreMachExceptionPortSet.h"

BITCrashCoreMachExceptionPortSet::BITCrashCoreMachExceptionPortSet(
    std::vector<Registration> registrations)
    : registrations_(std::move(registrations)) {
    if (registrations_.size() > capacity) {
        registrations_.resize(capacity);
    }
}

BITCrashCoreMachExceptionPortSet::BITCrashCoreMachExceptionPortSet(
    const AsyncSafeRepresentation& representation) {
    uint32_t count = representation.count < capacity ? representation.count : capacity;
    for (uint32_t i = 0; i < count; i++) {
        registrations_.push_back({representation.masks[i], representation.actions[i]});
    }
}

BITCrashCoreMachExceptionPortSet::AsyncSafeRepresentation
BITCrashCoreMachExceptionPortSet::asyncSafeRepresentation() const {
    AsyncSafeRepresentation representation;
    for (const Registration& registration : registrations_) {
        representation.masks[representation.count] = registration.mask;
        representation.actions[representation.count] = registration.action;
        representation.count++;
    }
    return representation;
}
