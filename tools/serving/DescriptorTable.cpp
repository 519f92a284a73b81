#include "DescriptorTable.h"

#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

void DescriptorTable::raiseLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

bool DescriptorTable::ranOut(int error) {
    return error == EMFILE || error == ENFILE;
}

size_t DescriptorTable::shortBy() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 0;
    const size_t spare = std::clamp<size_t>(limit.rlim_cur / 16, 4, 64);
    // The lowest free descriptor, taken and given back at once: the limit
    // less it is how many are left.
    const int lowest = ::eventfd(0, EFD_CLOEXEC);
    if (lowest >= 0)
        ::close(lowest);
    const size_t left = lowest < 0 || rlim_t(lowest) >= limit.rlim_cur
                            ? 0
                            : size_t(limit.rlim_cur - rlim_t(lowest));
    return left < spare ? 2 * spare - left : 0;
}
