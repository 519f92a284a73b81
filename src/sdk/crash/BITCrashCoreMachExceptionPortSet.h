#pragma once

#include <csignal>
#include <cstdint>
#include <vector>

// The registrations that were in force before the exception server took
// over: on Linux, the signal actions installed before ours, each with the
// mask bit of its signal (1 << signal). The async-safe copy has fixed storage,
// so a crashing process can read it without allocating.
class BITCrashCoreMachExceptionPortSet {
  public:
    // The most registrations a set holds.
    static constexpr int capacity = 14;

    struct Registration {
        uint32_t mask = 0;
        struct sigaction action = {};
    };

    struct AsyncSafeRepresentation {
        uint32_t count = 0;
        uint32_t masks[capacity] = {};
        struct sigaction actions[capacity] = {};
    };

    BITCrashCoreMachExceptionPortSet() = default;
    // Keeps at most capacity registrations, in order.
    explicit BITCrashCoreMachExceptionPortSet(std::vector<Registration> registrations);
    explicit BITCrashCoreMachExceptionPortSet(const AsyncSafeRepresentation& representation);

    const std::vector<Registration>& set() const { return registrations_; }
    AsyncSafeRepresentation asyncSafeRepresentation() const;

  private:
    std::vector<Registration> registrations_;
};
