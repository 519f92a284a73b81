#include "app/CBHomeLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

std::string CBHomeLock::lockPathForHome(const std::string& documents) {
    return (std::filesystem::path(documents).parent_path() / "instance.lock").string();
}

CBHomeLock::Attempt CBHomeLock::tryToHold(const std::string& path) {
    Attempt attempt;
    // Read-only is enough for a lock, and opens in a home that is not writable
    // once the file is there.
    const int file = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    if (file < 0) {
        attempt.error = std::strerror(errno);
        return attempt;
    }
    int status;
    do {
        status = ::flock(file, LOCK_EX | LOCK_NB);
    } while (status != 0 && errno == EINTR);
    if (status != 0) {
        const int reason = errno;
        ::close(file);
        if (reason == EWOULDBLOCK)
            attempt.heldElsewhere = true;
        else
            attempt.error = std::strerror(reason);
        return attempt;
    }
    attempt.lock.reset(new CBHomeLock(file));
    return attempt;
}

CBHomeLock::~CBHomeLock() {
    ::close(file_);
}
