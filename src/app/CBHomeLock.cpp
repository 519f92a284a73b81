#include "app/CBHomeLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

// Without following a link, without waiting on a FIFO or a device, and
// without taking a terminal as the controlling one.
constexpr int kOpenFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

bool lockWithoutWaiting(int file) {
    int status;
    do {
        status = ::flock(file, LOCK_EX | LOCK_NB);
    } while (status != 0 && errno == EINTR);
    return status == 0;
}

}  // namespace

std::string CBHomeLock::lockPathForHome(const std::string& documents) {
    return (std::filesystem::path(documents).parent_path() / "instance.lock").string();
}

CBHomeLock::Attempt CBHomeLock::lockOpened(int file, bool folder) {
    Attempt attempt;
    struct stat info;
    if (::fstat(file, &info) != 0 || (folder ? !S_ISDIR(info.st_mode) : !S_ISREG(info.st_mode))) {
        ::close(file);
        attempt.notALockFile = true;
        attempt.error = folder ? "it is not a folder" : "it is not a regular file";
        return attempt;
    }
    if (!lockWithoutWaiting(file)) {
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

CBHomeLock::Attempt CBHomeLock::tryToHold(const std::string& path) {
    // Read-only is enough for a lock, and opens in a home that is not writable
    // once the file is there.
    const int file = ::open(path.c_str(), kOpenFlags | O_CREAT, 0644);
    if (file < 0) {
        Attempt attempt;
        const int reason = errno;
        if (reason == ELOOP || reason == EISDIR || reason == ENXIO) {
            attempt.notALockFile = true;
            attempt.error = reason == ELOOP    ? "it is a link, not a lock file"
                            : reason == EISDIR ? "it is a folder, not a lock file"
                                               : "it is not a regular file";
        } else {
            attempt.error = std::strerror(reason);
        }
        return attempt;
    }
    return lockOpened(file, false);
}

CBHomeLock::Attempt CBHomeLock::tryToHoldFolder(const std::string& path) {
    const int folder = ::open(path.c_str(), kOpenFlags | O_DIRECTORY);
    if (folder < 0) {
        Attempt attempt;
        const int reason = errno;
        // Without following, a link to a folder is "not a folder" too.
        struct stat info;
        const bool link = ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
        attempt.notALockFile = reason == ELOOP || reason == ENOTDIR;
        attempt.error = !attempt.notALockFile ? std::strerror(reason)
                        : link                ? "it is a link, not a folder"
                                              : "it is not a folder";
        return attempt;
    }
    return lockOpened(folder, true);
}

CBHomeLock::~CBHomeLock() {
    ::close(file_);
}
