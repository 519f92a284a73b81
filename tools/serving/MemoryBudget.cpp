#include "MemoryBudget.h"

bool MemoryBudget::take(size_t bytes) {
    size_t used = used_.load();
    do {
        if (bytes > capacity_ - used)
            return false;
    } while (!used_.compare_exchange_weak(used, used + bytes));
    return true;
}

void MemoryBudget::give(size_t bytes) {
    used_ -= bytes;
}
