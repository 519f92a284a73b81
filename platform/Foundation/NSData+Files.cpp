#include "Foundation/NSData+Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "Foundation/NSLog.h"

namespace {

long readErrorCode(int code) {
    if (code == ENOENT || code == ENOTDIR)
        return NSError::NSFileNoSuchFileError;
    if (code == EACCES || code == EPERM)
        return NSError::NSFileReadNoPermissionError;
    return NSError::NSFileReadUnknownError;
}

long writeErrorCode(int code) {
    if (code == EACCES || code == EPERM || code == EROFS)
        return NSError::NSFileWriteNoPermissionError;
    if (code == ENOSPC || code == EDQUOT)
        return NSError::NSFileWriteOutOfSpaceError;
    return NSError::NSFileWriteUnknownError;
}

bool writeAll(int fd, const Value::Data& data) {
    size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

bool failWrite(const std::string& path, NSError* error) {
    const int code = errno;
    NSLogWithLevel(NSLogLevel::Error, "Cannot write %s: %s", path.c_str(), std::strerror(code));
    NSError::setCocoaError(error, writeErrorCode(code), std::strerror(code), path);
    return false;
}

}  // namespace

std::optional<Value::Data> dataWithContentsOfFile(const std::string& path, NSError* error,
                                                  size_t maximumSize) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        NSError::setCocoaError(error, readErrorCode(code), std::strerror(code), path);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        NSError::setCocoaError(error, NSError::NSFileReadUnknownError, "Not a regular file", path);
        return std::nullopt;
    }
    if (static_cast<unsigned long long>(info.st_size) > maximumSize) {
        ::close(fd);
        NSError::setCocoaError(error, NSError::NSFileReadTooLargeError, "File too large", path);
        return std::nullopt;
    }
    // The buffer never grows past the size the file had when opened.
    Value::Data data(static_cast<size_t>(info.st_size));
    size_t filled = 0;
    while (filled < data.size()) {
        const ssize_t n = ::read(fd, data.data() + filled, data.size() - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int code = errno;
            ::close(fd);
            NSError::setCocoaError(error, readErrorCode(code), std::strerror(code), path);
            return std::nullopt;
        }
        if (n == 0)
            break;
        filled += static_cast<size_t>(n);
    }
    ::close(fd);
    data.resize(filled);
    return data;
}

bool writeDataToFile(const Value::Data& data, const std::string& path, bool atomically,
                     NSError* error) {
    if (!atomically) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return failWrite(path, error);
        const bool ok = writeAll(fd, data);
        if (::close(fd) != 0 || !ok)
            return failWrite(path, error);
        return true;
    }
    const std::filesystem::path target(path);
    std::string temporary = path + ".tmp.XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return failWrite(path, error);
    struct stat existing {};
    // The new file keeps the permissions of the one it replaces.
    const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
    const bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, data) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        errno = code;
        return failWrite(path, error);
    }
    // Make the rename itself durable.
    const std::string folder =
        target.has_parent_path() ? target.parent_path().string() : std::string(".");
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}
