#pragma once

#include <chrono>
#include <thread>

// Polls `done` every 10 ms until it holds; false once `bound` has passed
// without it.
template <typename Done>
bool eventually(Done done, std::chrono::milliseconds bound = std::chrono::minutes(1)) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
